// Random operator sessions against kvx-sim through the real event loop. For
// each instrument, a seeded sequence of what an operator does: every kind of
// control on every page the instrument has, the clicks that drive other
// controls (sample start, sensor modes, Alphasense partners, pump schedules,
// the boxes Pumps C and D share), edits changed and changed back, files saved
// and opened again, altered copies of them, Read and Write with every
// question answered Yes.
//
// The test keeps its own account of what is right, apart from the change
// list. After each Read and each confirmed Write it notes every setting's
// controls and whether the form's encoding of the setting differs from what
// the instrument holds (a value the form cannot show). Then:
//  - a confirmed Write stores every setting as the form encodes it, except a
//    setting whose controls hold what they held then (and whose value no
//    later choice contradicts: see untouched()) and whose value the form
//    cannot show, and the unused bits: those keep the instrument's bytes. A
//    Write with nothing done since the last Read or Write stores exactly
//    what the instrument held;
//  - after each Read and each Write nothing is marked and nothing counted;
//  - an opened file ends in the form as the file says (saved again, it gives
//    the same values), or the message after opening names the setting; a
//    setting the file sets counts as set, even to what the form already
//    showed.
// What the instrument holds is followed by a second, in-process instrument
// built from the same description, to which every record kvx-sim stored is
// written again.
//
// KVX_SESSION_SEED picks another seed, KVX_SESSION_STEPS the number of random
// steps per instrument (40 by default). A failure prints the seed, the
// instrument, the numbered steps and the command that replays the session.
//
// The rows after the random sessions pin down one case each, without chance.
#include "image/boards/PumpCodec.h"
#include "link/Status.h"
#include "sim/InstrumentConfig.h"
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"
#include "workflows/WriteWorkflow.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QtTest>

#include <optional>

using namespace kvx;
using namespace kvx::test;

namespace {

constexpr int kDefaultSteps = 40;
constexpr quint32 kSoakSeed = 7919;
constexpr int kSoakSteps = 100;

// Each message box on the offscreen platform warns about size hints; over a
// long session that would use up the test's allowance of warnings.
QtMessageHandler testHandler = nullptr;
void dropSizeHintNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains("propagateSizeHints"))
        testHandler(type, context, text);
}

// ---- the instruments ------------------------------------------------------------

QJsonObject readJson(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}

bool writeJson(const QString& path, const QJsonObject& o) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(QJsonDocument(o).toJson()) > 0;
}

// `into` with `path` ("a/b/c", a number for an array's entry) set to `value`.
QJsonValue put(const QJsonValue& into, const QStringList& path, const QJsonValue& value) {
    if (path.isEmpty())
        return value;
    bool index = false;
    const int at = path.first().toInt(&index);
    if (index) {
        QJsonArray a = into.toArray();
        a[at] = put(a.at(at), path.mid(1), value);
        return a;
    }
    QJsonObject o = into.toObject();
    o[path.first()] = put(o.value(path.first()), path.mid(1), value);
    return o;
}

// The instrument descriptions the sessions run against: the presets, and two
// made from the full one. "odd" holds values the form cannot show: an
// unlisted interval and stop state, a SEN55 mode beyond the list, durations
// and a cleaning interval beyond the spin boxes, a UTC offset beyond the
// box, a flow above its limit, an unknown NO2 algorithm and compensation,
// unused bits, a pump's delay beside a date, and Pump B's date under a
// sample that starts at the next power-on. "fresh" starts at a specific
// time whose date bytes are zero, as a new instrument does.
QJsonObject instrumentDescription(const QString& name) {
    const bool derived = name == "odd" || name == "fresh";
    QJsonObject o = readJson(
        QStringLiteral(KVX_SOURCE_DIR "/sim/presets/%1.json").arg(derived ? "full" : name));
    QStringList edits;
    if (name == "odd")
        edits = {"main/logging=1179647",
                 "main/utcOffsetHours=-327.68",
                 "main/schedule/flags=33061",
                 "main/schedule/durationDays=365",
                 "main/schedule/durationHours=30",
                 "main/schedule/durationMinutes=75",
                 "main/schedule/logInterval=10",
                 "main/schedule/stopState=2",
                 "main/sen55/mode=5",
                 "main/sen55/cleaningIntervalHours=2000",
                 "gas/scd30/compensation=7",
                 "gas/alphasense/1/algorithm=9",
                 "gas/figaro/range=7",
                 "pumps/A/flowRate=2.5",
                 R"(pumps/A/start={"delayDays":1,"delayHours":2,"delayMinutes":3,)"
                 R"("at":"2030-05-01T10:00"})",
                 R"(pumps/C/duration={"days":400,"hours":30,"minutes":0})",
                 R"(pumps/D/start={"delayDays":0,"delayHours":99,"delayMinutes":0})"};
    if (name == "fresh")
        edits = {"main/schedule/start=null"};
    for (const QString& e : edits) {
        const QJsonValue v =
            QJsonDocument::fromJson("[" + e.section('=', 1).toUtf8() + "]").array().at(0);
        o = put(o, e.section('=', 0, 0).split('/'), v).toObject();
    }
    o["name"] = name;
    return o;
}

// ---- fields -----------------------------------------------------------------------

ConfigImage imageOf(const QByteArray& bytes) {
    ConfigImage image;
    image.length = quint16(std::min<qsizetype>(bytes.size(), kImageCapacity));
    std::copy(bytes.cbegin(), bytes.cbegin() + image.length, image.bytes.begin());
    return image;
}

// A field's content: its masked value for fields of up to four bytes (as
// written after `conversion`), the text up to its first zero byte for wider
// ones; nullopt when the record does not reach the field.
std::optional<QString> fieldText(const ConfigImage& r, const FieldPos& f,
                                 Conversion conversion = Conversion::None) {
    if (f.width <= 4) {
        const std::optional<quint32> v = fieldValue(r, f);
        if (!v)
            return std::nullopt;
        return QStringLiteral("0x%1").arg(toWritten(conversion, *v), 0, 16);
    }
    if (f.at >= r.length)
        return std::nullopt;
    QByteArray text;
    for (int i = f.at; i < f.at + f.width && i < r.length && r.bytes[size_t(i)] != 0; ++i)
        text.append(char(r.bytes[size_t(i)]));
    return '"' + QString::fromLatin1(text) + '"';
}

QString label(const Setting& s) {
    return s.page + QStringLiteral(" \u203a ") + s.caption;
}

// The settings a write sends and the test looks at: reserved entries that
// the instrument's records hold included, values only the instrument sets
// and stamps without a read field left out.
bool checked(const Setting& s) {
    return s.written() && !s.read.isEmpty() && s.read.size() == s.write.size();
}

// ---- controls -----------------------------------------------------------------------

QWidget* pageOf(QWidget* c) {
    for (QWidget* p = c ? c->parentWidget() : nullptr; p; p = p->parentWidget())
        if (p->objectName().startsWith(QLatin1String("Tab_")))
            return p;
    return nullptr;
}

bool isInput(QWidget* c) {
    return qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
           qobject_cast<QAbstractSpinBox*>(c) || qobject_cast<QLineEdit*>(c);
}

// A control's value as the test notes it.
QString valueOf(const QWidget* c) {
    if (const auto* b = qobject_cast<const QAbstractButton*>(c))
        return b->isChecked() ? QStringLiteral("checked") : QStringLiteral("unchecked");
    if (const auto* box = qobject_cast<const QComboBox*>(c))
        return QStringLiteral("%1 \"%2\"").arg(box->currentIndex()).arg(box->currentText());
    if (const auto* t = qobject_cast<const QDateTimeEdit*>(c))
        return t->dateTime().toUTC().toString(Qt::ISODate);
    if (const auto* d = qobject_cast<const QDoubleSpinBox*>(c))
        return QString::number(d->value(), 'f', d->decimals());
    if (const auto* s = qobject_cast<const QSpinBox*>(c))
        return QString::number(s->value());
    if (const auto* e = qobject_cast<const QLineEdit*>(c))
        return '"' + e->text() + '"';
    return c ? QString() : QStringLiteral("(none)");
}

// The value and whether the control is enabled, for messages.
QString stateOf(const QWidget* c) {
    return valueOf(c) + (c && !c->isEnabled() ? QStringLiteral(" (disabled)") : QString());
}

// A button's text as shown ("&&" shows as "&", a single "&" marks the shortcut).
QString buttonText(const QAbstractButton* b) {
    return b->text()
        .replace(QLatin1String("&&"), QLatin1String("\x01"))
        .remove('&')
        .replace('\x01', '&');
}

QString dateText(const QDateTime& dt) {
    return dt.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm")) + QStringLiteral(" UTC");
}

// Printable Latin-1 characters (no control characters), which every text
// field of the instrument holds.
QString latin1Text(QRandomGenerator& rng, int maxLength) {
    static const QString pool = [] {
        QString p;
        for (int c = 0x20; c < 0x7F; ++c)
            p += QChar(c);
        for (int c = 0xA1; c <= 0xFF; ++c)
            p += QChar(c);
        return p + QStringLiteral("        ");
    }();
    const int length = rng.bounded(100) < 10 ? 0 : 1 + int(rng.bounded(quint32(maxLength)));
    QString text;
    for (int i = 0; i < length; ++i)
        text += pool.at(int(rng.bounded(quint32(pool.size()))));
    return text;
}

QDateTime randomDate(QRandomGenerator& rng) {
    // Mostly near the instrument's own dates, now and then anywhere it can hold.
    const bool anywhere = rng.bounded(100) < 15;
    const QDate first = anywhere ? QDate(2000, 1, 1) : QDate(2024, 6, 1);
    const int days = anywhere ? int(first.daysTo(QDate(2099, 12, 31))) : 3 * 365;
    return QDateTime(first.addDays(rng.bounded(days + 1)),
                     QTime(int(rng.bounded(24)), int(rng.bounded(60))), Qt::UTC);
}

// Answers every message box that opens with `answer` where it has that
// button, otherwise with its default or first one; keeps what each said.
class Answers : public QObject {
public:
    explicit Answers(QMessageBox::StandardButton answer) : answer(answer) {
        QObject::connect(&timer, &QTimer::timeout, this, [this] { poll(); });
        timer.start(2);
    }
    QStringList texts;   // title: text, informative text
    QStringList details; // detailed texts

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts << box->windowTitle() + ": " + box->text() + " " + box->informativeText();
        details << box->detailedText();
        QAbstractButton* button = box->button(answer);
        if (!button)
            button = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        if (button)
            button->click();
    }
    QMessageBox::StandardButton answer;
    QTimer timer;
};

// ---- the rows that pin one case each ------------------------------------------------

sim::InstrumentConfig configOf(const QString& name) {
    QString error;
    const auto config = sim::InstrumentConfig::fromJson(
        QJsonDocument(instrumentDescription(name)).toJson(), &error);
    if (!config)
        qFatal("instrument %s: %s", qPrintable(name), qPrintable(error));
    return *config;
}

// The controls marked as changed, by name.
QStringList markedControls(const KVX_Configurator& w) {
    QStringList marked;
    for (const QWidget* c : w.findChildren<QWidget*>())
        if (c->property("kvxChanged").toBool())
            marked << c->objectName();
    marked.sort();
    return marked;
}

// "at:hex", the bytes the last store of `word` holds from `at` on, as long as `want`.
QString storedBytes(SimRig& rig, quint16 word, const QString& want) {
    const QList<QByteArray> stores = rig.sim().log().stores(word);
    const int at = want.section(':', 0, 0).toInt();
    const int size = int(want.section(':', 1).size() / 2);
    return stores.isEmpty() ? QStringLiteral("(not stored)")
                            : QStringLiteral("%1:%2").arg(at).arg(
                                  QString::fromLatin1(stores.last().mid(at, size).toHex()));
}

// The instrument answers a read of the SEN55 record with its first 12 bytes
// only (mode and run times, no cleaning interval), as an older one does.
class ShortSen55Record : public sim::SimSerialDevice {
public:
    using SimSerialDevice::SimSerialDevice;
    QByteArray readAvailable() override {
        QByteArray bytes = SimSerialDevice::readAvailable();
        if (const std::optional<QByteArray> record = instrument().readRecord(0x0060))
            bytes.replace('\r' + answer(*record) + '\r', '\r' + answer(record->left(12)) + '\r');
        return bytes;
    }

private:
    static QByteArray answer(const QByteArray& image) {
        QStringList fields{QString::number(image.size())};
        for (int i = 0; i + 1 < image.size(); i += 2)
            fields << QString::number(quint8(image[i]) << 8 | quint8(image[i + 1]));
        fields << QString::number(crc16Modbus(image));
        return fields.join(',').toLatin1();
    }
};
} // namespace

class SessionsTest : public QObject, PtySim {
    Q_OBJECT

    std::unique_ptr<sim::Instrument> shadow; // what kvx-sim holds, replayed
    int replayed = 0;

    QStringList steps;
    QString problem; // the first thing found wrong
    QRandomGenerator rng;
    int fileCount = 0;
    QStringList savedFiles;

    // What the test noted at the last Read or confirmed Write.
    // Every control's value and whether it is enabled, at one moment.
    struct Form {
        QHash<QString, QString> values;
        QSet<QString> enabled;
    };
    QHash<QString, QString> noted; // control name -> value and enabled state, for messages
    Form notedForm;
    QSet<const Setting*> notShown; // the form could not show the instrument's value
    QJsonObject baseline;          // the settings as a file saved then held them
    // The settings a file set since then: the file's value and every
    // control's value right after the file was opened.
    struct SetByFile {
        QJsonValue value;
        Form form;
    };
    QHash<const Setting*, SetByFile> byFile;
    bool untouchedSinceNoted = true;

    // ---- the session ----

    bool idle() const {
        return w && w->linkStep == LinkIdle && w->sessionState == 0 && w->ui->kvxWrite->isEnabled();
    }

    void fail(const QString& what) {
        if (problem.isEmpty())
            problem = what;
    }

    bool connectTo(const QString& name) {
        const QJsonObject description = instrumentDescription(name);
        const QString path = dir.filePath("instrument.json");
        QString error;
        const auto config =
            sim::InstrumentConfig::fromJson(QJsonDocument(description).toJson(), &error);
        if (!config || !writeJson(path, description)) {
            fail("instrument " + name + ": " + error);
            return false;
        }
        shadow = std::make_unique<sim::Instrument>(*config, QDateTime::currentMSecsSinceEpoch());
        replayed = 0;
        if (!start({"--config", path})) {
            fail("kvx-sim did not start");
            return false;
        }
        if (!QTest::qWaitFor([this] { return idle(); }, 60000)) {
            fail("the initial read did not end");
            return false;
        }
        return true;
    }

    // Writes every record kvx-sim stored since the last call to the shadow
    // instrument as well.
    void followInstrument() {
        const QStringList lines = loggedLines();
        for (; replayed < lines.size(); ++replayed) {
            if (lines[replayed].endsWith(QLatin1String(" cfg_set"))) {
                shadow->receive(lines[replayed].toLatin1() + '\r');
                shadow->discardOutput();
            }
        }
    }

    std::optional<ConfigImage> held(quint16 word) const {
        const std::optional<QByteArray> r = shadow->readRecord(word);
        return r ? std::optional<ConfigImage>(imageOf(*r)) : std::nullopt;
    }

    // The instrument's value of each of the setting's written fields, as a
    // write would send it; nullopt where its records lack it.
    QList<std::optional<QString>> instrumentFields(const Setting& s) const {
        QList<std::optional<QString>> out;
        for (const FieldPos& f : s.read) {
            const std::optional<ConfigImage> r = held(f.word);
            out << (r ? fieldText(*r, f, s.conversion) : std::nullopt);
        }
        return out;
    }

    // Every record as the form encodes it now (the cartridge records with
    // the ID; their stamp is the write's time).
    QHash<quint16, ConfigImage> encodedRecords() const {
        QHash<quint16, ConfigImage> out;
        for (const Setting& s : settingCatalogue()) {
            for (const FieldPos& f : s.write) {
                if (out.contains(f.word))
                    continue;
                ConfigImage image;
                if (encodeRecord(*w, f.word, image)) {
                    out.insert(f.word, image);
                    continue;
                }
                for (Pump pump : kAllPumps) {
                    if (pumpRecords(pump).cartridge == f.word) {
                        encodePumpCartridgeRecord(*w->ui, pump, image,
                                                  QDateTime::currentDateTime());
                        out.insert(f.word, image);
                    }
                }
            }
        }
        return out;
    }

    QList<std::optional<QString>> encodedFields(const Setting& s,
                                                const QHash<quint16, ConfigImage>& records) const {
        QList<std::optional<QString>> out;
        for (const FieldPos& f : s.write) {
            const auto it = records.constFind(f.word);
            out << (it == records.cend() ? std::nullopt : fieldText(*it, f));
        }
        return out;
    }

    QString controlsOf(const Setting& s) const {
        QStringList out;
        for (const QString& name : s.controls)
            out << (name + " " + stateOf(w->findChild<QWidget*>(name))).trimmed();
        return out.join(", ");
    }

    Form formNow() const {
        Form form;
        for (const Setting& s : settingCatalogue()) {
            for (const QString& name : s.controls) {
                const QWidget* c = w->findChild<QWidget*>(name);
                form.values.insert(name, valueOf(c));
                if (c && c->isEnabled())
                    form.enabled.insert(name);
            }
        }
        return form;
    }

    // Whether the setting was changed since `since`.
    enum class Change {
        None,
        // Only controls disabled then and now hold other values (a file
        // whose value was not taken may leave them so): whether that counts
        // as a change is not for this test to say.
        DisabledOnly,
        Some,
    };
    // A change is a control holding another value; whether it is enabled does
    // not count (the sample start enables and disables the pumps' own start
    // choices without changing them). A pump start the instrument holds as a
    // date alone, which the form withdrew while the sample started at
    // power-on, is changed too once the sample starts at a specific time
    // again: "with the sample" or a delay then contradicts it.
    Change changeOf(const Setting& s, const Form& since) const {
        Change change = Change::None;
        for (const QString& name : s.controls) {
            const QWidget* c = w->findChild<QWidget*>(name);
            if (since.values.value(name) == valueOf(c))
                continue;
            if (since.enabled.contains(name) || (c && c->isEnabled()))
                return Change::Some;
            change = Change::DisabledOnly;
        }
        if (s.kind != SettingKind::PumpStart)
            return change;
        const QList<std::optional<QString>> held =
            instrumentFields(s); // days, hours, minutes, date
        const QString zero = QStringLiteral("0x0");
        const bool dateAlone = held.size() == 4 && held[0] == zero && held[1] == zero &&
                               held[2] == zero && held[3] && held[3] != zero;
        const bool sampleNowAtTime =
            w->ui->specificTime->isChecked() &&
            since.values.value("specificTime") != valueOf(w->ui->specificTime);
        return dateAlone && sampleNowAtTime ? Change::Some : change;
    }

    // Notes the form and the instrument after a Read or a confirmed Write.
    void note() {
        followInstrument();
        noted.clear();
        notShown.clear();
        byFile.clear();
        notedForm = formNow();
        const QHash<quint16, ConfigImage> encoded = encodedRecords();
        for (const Setting& s : settingCatalogue()) {
            for (const QString& name : s.controls)
                noted.insert(name, stateOf(w->findChild<QWidget*>(name)));
            if (checked(s) && s.kind != SettingKind::Reserved &&
                encodedFields(s, encoded) != instrumentFields(s))
                notShown.insert(&s);
        }
        baseline = configurationDocument(*w).value("settings").toObject();
        untouchedSinceNoted = true;
    }

    // Nothing marked, nothing counted.
    void checkNothingMarked(const QString& after) {
        QTest::qWait(5);
        w->changes->refresh();
        QStringList marked;
        for (const QWidget* c : w->findChildren<QWidget*>())
            if (c->property("kvxChanged").toBool())
                marked << c->objectName();
        if (w->changes->count() == 0 && marked.isEmpty())
            return;
        QStringList listed;
        for (const SettingChange& c : w->changes->changes())
            listed << "  " + c.line();
        marked.sort();
        fail(QStringLiteral("after %1, %2 unwritten changes are counted and these controls "
                            "marked: %3\n%4")
                 .arg(after)
                 .arg(w->changes->count())
                 .arg(marked.join(", "), listed.join('\n')));
    }

    // ---- the operator's steps ----

    struct Control {
        const Setting* setting;
        QWidget* widget;
    };

    // The controls an operator can reach now: enabled and shown on a page of
    // the tab row.
    QList<Control> reachable() const {
        QList<Control> out;
        QSet<QWidget*> seen;
        for (const Setting& s : settingCatalogue()) {
            if (s.kind == SettingKind::Reading || s.kind == SettingKind::Reserved)
                continue;
            for (const QString& name : s.controls) {
                QWidget* c = w->findChild<QWidget*>(name);
                QWidget* page = pageOf(c);
                if (!c || !page || seen.contains(c) || !isInput(c) || !c->isEnabled() ||
                    !c->isVisibleTo(page) || w->ui->configuratorTabs->indexOf(page) < 0)
                    continue;
                seen.insert(c);
                out << Control{&s, c};
            }
        }
        return out;
    }

    // The controls that set others off: the operator reaches for them more.
    static bool drivesOthers(const QWidget* c) {
        static const QRegularExpression names(
            "^(specificTime|alwaysPowerOn|nextPowerOn|sen55Mode|.*Mode(_3)?|"
            "pump[A-D](SampleStart|DelayedStart|SpecificDateTime|FullSample|PartialSample)|"
            "pump[CD]Log(VSUPPLY|3V3|BMP390P|BMP390T|Atmo))$");
        return names.match(c->objectName()).hasMatch();
    }

    QString where(const Control& c) const {
        QString text = label(*c.setting);
        if (c.setting->controls.size() > 1 && !qobject_cast<QRadioButton*>(c.widget))
            text += " (" + c.widget->objectName() + ")";
        return text;
    }

    // Changes one control as a person does; returns what was done.
    QString operate(const Control& c) {
        QWidget* widget = c.widget;
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) {
            b->click();
            if (qobject_cast<QRadioButton*>(b))
                return "click " + buttonText(b);
            return b->isChecked() ? QStringLiteral("click, now on")
                                  : QStringLiteral("click, now off");
        }
        if (auto* box = qobject_cast<QComboBox*>(widget)) {
            int item = box->currentIndex();
            if (box->count() > 1)
                while (item == box->currentIndex())
                    item = int(rng.bounded(quint32(box->count())));
            box->setCurrentIndex(item);
            return "choose " + box->currentText();
        }
        if (auto* t = qobject_cast<QDateTimeEdit*>(widget)) {
            t->setDateTime(randomDate(rng));
            return "set " + dateText(t->dateTime());
        }
        if (auto* d = qobject_cast<QDoubleSpinBox*>(widget)) {
            const double lo = d->minimum(), hi = d->maximum();
            const int pick = int(rng.bounded(4));
            double v = pick == 0   ? lo
                       : pick == 1 ? hi
                       : pick == 2 ? d->value() + (rng.bounded(2) ? 1 : -1) * d->singleStep()
                                   : lo + rng.generateDouble() * (hi - lo);
            d->setValue(std::clamp(v, lo, hi));
            return "set " + QString::number(d->value(), 'f', d->decimals());
        }
        if (auto* s = qobject_cast<QSpinBox*>(widget)) {
            const int pick = int(rng.bounded(4));
            const int v =
                pick == 0   ? s->minimum()
                : pick == 1 ? s->maximum()
                : pick == 2
                    ? s->value() + (rng.bounded(2) ? 1 : -1)
                    : s->minimum() + int(rng.bounded(quint32(s->maximum() - s->minimum() + 1)));
            s->setValue(v);
            return "set " + QString::number(s->value());
        }
        if (auto* e = qobject_cast<QLineEdit*>(widget)) {
            e->setText(
                latin1Text(rng, e->maxLength() > 0 && e->maxLength() < 64 ? e->maxLength() : 31));
            return "type \"" + e->text() + "\"";
        }
        return "nothing";
    }

    // Puts a control back as it was before operate(); radio buttons by
    // clicking the one that was checked.
    QString restore(const Control& c, const QString& before, QAbstractButton* wasChecked) {
        QWidget* widget = c.widget;
        if (auto* b = qobject_cast<QCheckBox*>(widget)) {
            b->click();
            return "click it again";
        }
        if (qobject_cast<QRadioButton*>(widget)) {
            if (!wasChecked || !wasChecked->isEnabled())
                return "leave it";
            wasChecked->click();
            return "click " + buttonText(wasChecked);
        }
        if (auto* box = qobject_cast<QComboBox*>(widget))
            box->setCurrentIndex(before.section(' ', 0, 0).toInt());
        else if (auto* t = qobject_cast<QDateTimeEdit*>(widget))
            t->setDateTime(QDateTime::fromString(before.section(' ', 0, 0), Qt::ISODate));
        else if (auto* d = qobject_cast<QDoubleSpinBox*>(widget))
            d->setValue(before.section(' ', 0, 0).toDouble());
        else if (auto* s = qobject_cast<QSpinBox*>(widget))
            s->setValue(before.section(' ', 0, 0).toInt());
        else if (auto* e = qobject_cast<QLineEdit*>(widget))
            e->setText(before.mid(1, before.lastIndexOf('"') - 1));
        return "back to " + before;
    }

    void edit(bool andBack) {
        const QList<Control> controls = reachable();
        if (controls.isEmpty())
            return;
        // Two edits in five go to the controls that set others off.
        QList<Control> drivers;
        for (const Control& c : controls)
            if (drivesOthers(c.widget))
                drivers << c;
        const QList<Control>& from =
            !drivers.isEmpty() && rng.bounded(100) < 40 ? drivers : controls;
        const Control c = from[int(rng.bounded(quint32(from.size())))];
        const QString before = valueOf(c.widget);
        QAbstractButton* wasChecked = nullptr;
        if (qobject_cast<QRadioButton*>(c.widget)) {
            for (const QString& name : c.setting->controls)
                if (auto* r = w->findChild<QRadioButton*>(name); r && r->isChecked())
                    wasChecked = r;
        }
        QString done = operate(c);
        if (andBack)
            done += ", then " + restore(c, before, wasChecked);
        steps << where(c) + ": " + done;
        untouchedSinceNoted = false;
    }

    void read() {
        steps << "Read Configuration, Yes";
        Answers yes(QMessageBox::Yes);
        w->KVXReadButtonPressed();
        if (!QTest::qWaitFor([this] { return idle(); }, 60000))
            return fail("the read did not end");
        checkNothingMarked("the read");
        note();
    }

    // What a write must store of a setting: the instrument's bytes, the
    // form's encoding, or (where this test cannot tell) either.
    struct Expected {
        bool keep = false;
        bool encode = false;
        QString why;
    };
    Expected expectation(const Setting& s, bool unedited) const {
        if (s.kind == SettingKind::Reserved)
            return {true, false, "unused bits"};
        if (unedited)
            return {true, false, "nothing was changed since the last read or write"};
        const bool hidden = notShown.contains(&s);
        const Change sinceNoted = changeOf(s, notedForm);
        // A file set it, and nothing changed it since: the file's value as
        // the form shows it, or the instrument's own bytes where the file
        // holds what the instrument held. Changed since, and back as it was
        // at the last Read or Write: whether the file's setting still counts
        // is not for this test to say.
        const auto file = byFile.constFind(&s);
        if (file != byFile.cend()) {
            const Change change = changeOf(s, file->form);
            const bool held =
                wordsOf(s, file->value, nullptr) == wordsOf(s, baseline.value(s.key), nullptr);
            if (change == Change::None)
                return held ? Expected{true, false, "a file set the instrument's own value"}
                            : Expected{false, true, "a file set it"};
            if (change == Change::DisabledOnly && held)
                return {true, true,
                        "a file set the instrument's own value; only disabled "
                        "controls changed since"};
            if (hidden && sinceNoted != Change::Some)
                return {true, true, "a file set it, then it was changed back"};
        }
        if (!hidden)
            return {false, true,
                    sinceNoted == Change::None ? "the form shows the instrument's value"
                                               : "changed"};
        switch (sinceNoted) {
        case Change::None:
            return {true, false, "unchanged, and the form cannot show the instrument's value"};
        case Change::DisabledOnly:
            return {true, true,
                    "the form cannot show the instrument's value; only disabled "
                    "controls changed"};
        case Change::Some:
            break;
        }
        return {false, true, "changed"};
    }

    // Write, every question answered Yes; then what kvx-sim stored is what the
    // form encodes, or the instrument's bytes where the test expects them kept.
    void write() {
        const bool unedited = untouchedSinceNoted;
        steps << QStringLiteral("Write Configuration, Yes to every question%1")
                     .arg(unedited ? " (nothing changed since the last read or write)" : "");
        followInstrument();
        const QHash<quint16, ConfigImage> encoded = encodedRecords();
        QHash<const Setting*, QList<std::optional<QString>>> before;
        QHash<const Setting*, Expected> expected;
        for (const Setting& s : settingCatalogue()) {
            if (checked(s)) {
                before.insert(&s, instrumentFields(s));
                expected.insert(&s, expectation(s, unedited));
            }
        }
        // Records the instrument answers in the layout they are written in.
        QHash<quint16, QByteArray> heldRecords;
        for (quint16 word : sameLayoutWords())
            if (const std::optional<QByteArray> r = shadow->readRecord(word))
                heldRecords.insert(word, *r);
        const int storedBefore = int(logged("store").size());
        {
            Answers yes(QMessageBox::Yes);
            w->KVXWriteButtonPressed();
            if (!QTest::qWaitFor([this] { return idle(); }, 60000))
                return fail("the write did not end");
        }
        const QList<QJsonObject> stores = logged("store").mid(storedBefore);
        if (stores.isEmpty() || !logged("refused").isEmpty())
            return fail("the write was not confirmed: " + w->status->message());
        const int level = w->firmwareLevel;
        QStringList wrong;
        for (const QJsonObject& store : stores) {
            const ConfigImage image =
                imageOf(QByteArray::fromHex(store.value("image").toString().toLatin1()));
            const quint16 word = image.requestWord();
            // Unedited: byte for byte, bits of other firmware levels included.
            const QByteArray bytes =
                QByteArray::fromHex(store.value("image").toString().toLatin1());
            if (unedited && heldRecords.contains(word) &&
                heldRecords.value(word).left(bytes.size()) != bytes)
                wrong << QStringLiteral("record 0x%1 was stored as %2, the instrument held %3 "
                                        "(nothing was changed since the last read or write)")
                             .arg(word, 4, 16, QLatin1Char('0'))
                             .arg(QString::fromLatin1(bytes.toHex()),
                                  QString::fromLatin1(heldRecords.value(word).toHex()));
            for (const Setting& s : settingCatalogue()) {
                if (!checked(s) || !s.hasLevel(level))
                    continue;
                for (int i = 0; i < s.write.size(); ++i) {
                    if (s.write[i].word != word)
                        continue;
                    const Expected& e = expected[&s];
                    const std::optional<QString> got = fieldText(image, s.write[i]);
                    const std::optional<QString> kept = before.value(&s).value(i);
                    const std::optional<QString> formed =
                        fieldText(encoded.value(word), s.write[i]);
                    if ((e.keep && got == kept) || (e.encode && got == formed))
                        continue;
                    QStringList want;
                    if (e.keep)
                        want << kept.value_or("(none)") + " as the instrument held it";
                    if (e.encode)
                        want << formed.value_or("(none)") + " as the form encodes it";
                    wrong << QStringLiteral("record 0x%1 was stored with %2 = %3 in field %4, "
                                            "want %5 (%6)\n  its controls: %7\n  when last "
                                            "read or written: %8")
                                 .arg(QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')),
                                      s.key, got.value_or("(none)"), QString::number(i),
                                      want.join(" or "), e.why, controlsOf(s), notedControls(s));
                }
            }
        }
        if (!wrong.isEmpty())
            return fail(wrong.join('\n'));
        checkNothingMarked("the write");
        note();
    }

    // The words whose records hold no text and are answered in the layout
    // they are written in.
    static QList<quint16> sameLayoutWords() {
        QSet<quint16> words, other;
        for (const Setting& s : settingCatalogue()) {
            for (int i = 0; i < s.write.size(); ++i) {
                const FieldPos& to = s.write[i];
                const FieldPos from = s.read.value(i);
                words.insert(to.word);
                if (from.word != to.word || from.at != to.at || from.width != to.width ||
                    from.mask != to.mask || to.width > 4 || s.conversion != Conversion::None)
                    other.insert(to.word);
            }
        }
        words.subtract(other);
        return QList<quint16>(words.begin(), words.end());
    }

    QString notedControls(const Setting& s) const {
        QStringList out;
        for (const QString& name : s.controls)
            out << (name + " " + noted.value(name)).trimmed();
        return out.join(", ");
    }

    void save() {
        const QString path = dir.filePath(QStringLiteral("saved%1.kvxcfg").arg(++fileCount));
        steps << "File › Save Configuration As " + QFileInfo(path).fileName();
        Answers ok(QMessageBox::Ok);
        if (!w->saveConfigurationTo(path))
            return fail("the save failed: " + ok.texts.join(' '));
        savedFiles << path;
    }

    // A value for `s` other than `now`, valid in a file: now and then one
    // the form cannot show, and now and then the edge of what it can (where
    // the form shows a value beyond it).
    QJsonValue otherValue(const Setting& s, const QJsonValue& now) {
        const int roll = int(rng.bounded(100));
        const bool beyond = roll < 25, edge = roll >= 75;
        const auto span = [&](int days, int hours, int minutes) {
            if (edge)
                return spanText(days, hours, minutes);
            return spanText(int(rng.bounded(quint32(days + 1))),
                            int(rng.bounded(quint32(hours + 1))),
                            int(rng.bounded(quint32(minutes + 1))));
        };
        const auto anySpan = [&] { return beyond ? span(400, 30, 75) : span(300, 23, 59); };
        switch (s.kind) {
        case SettingKind::Bit:
            return !now.toBool();
        case SettingKind::Switch:
            if (beyond && s.onCode == 2)
                return 3;
            return !now.toBool();
        case SettingKind::Choice: {
            if (beyond) {
                // A code no item of the list stands for.
                for (;;) {
                    const quint32 code =
                        rng.bounded(100) < 50 ? rng.bounded(16u) : rng.bounded(121u);
                    if (std::none_of(s.choices.cbegin(), s.choices.cend(),
                                     [code](const SettingChoice& c) { return c.code == code; }))
                        return int(code);
                }
            }
            // The item a code without one shows, or any.
            const int item = edge && s.otherwise >= 0 ? s.otherwise
                                                      : int(rng.bounded(quint32(s.choices.size())));
            return fileValue(s, s.choices[item].text);
        }
        case SettingKind::Integer:
            return beyond ? int(s.maximum) + 1 + int(rng.bounded(5000))
                   : edge ? int(s.maximum)
                          : int(rng.bounded(quint32(s.maximum + 1)));
        case SettingKind::Decimal: {
            // A flow rate around its pump's usual limit (2 L/min, 200 mL/min),
            // or at the limit its box holds now; beyond the box's range otherwise.
            const auto* box = w->findChild<QDoubleSpinBox*>(s.controls.value(0));
            if (edge && box)
                return rng.bounded(2) ? box->maximum() : box->minimum();
            const double lo = s.minimum, hi = s.key.endsWith("flow_rate")
                                                  ? (s.scale == 1000 ? 3.0 : 250.0)
                                                  : s.maximum + (beyond ? 8 : 0);
            const double v = lo + rng.generateDouble() * (hi - lo);
            return QString::number(v, 'f', s.decimals).toDouble();
        }
        case SettingKind::Text:
            return latin1Text(rng, s.write.first().width);
        case SettingKind::SampleStart: {
            const int pick = int(rng.bounded(3));
            return pick == 0 ? s.choices[0].text + " " + dateText(randomDate(rng))
                             : s.choices[pick].text;
        }
        case SettingKind::Span:
            return anySpan();
        case SettingKind::PumpStart: {
            const int pick = int(rng.bounded(3));
            if (pick == 1)
                return s.choices[1].text + " " + anySpan();
            if (pick == 2)
                return s.choices[2].text + " " + dateText(randomDate(rng));
            return s.choices[0].text;
        }
        case SettingKind::PumpSpan:
            if (rng.bounded(2))
                return s.choices[0].text;
            return s.choices[1].text + " " + anySpan();
        case SettingKind::Reserved:
        case SettingKind::Reading:
            break;
        }
        return now;
    }

    // The key an altered copy changes: often one whose value the form could
    // not show at the last Read or Write, or one whose controls set others
    // off; otherwise any.
    QString keyToAlter(const QStringList& keys) {
        QStringList hidden, driving;
        for (const QString& key : keys) {
            const Setting* s = findSetting(key, w->firmwareLevel);
            if (!s)
                continue;
            if (notShown.contains(s))
                hidden << key;
            if (s->kind == SettingKind::SampleStart || s->kind == SettingKind::PumpStart ||
                s->kind == SettingKind::PumpSpan || key.endsWith(QLatin1String(".enabled")))
                driving << key;
        }
        const int roll = int(rng.bounded(100));
        const QStringList& from = roll < 40 && !hidden.isEmpty()    ? hidden
                                  : roll < 65 && !driving.isEmpty() ? driving
                                                                    : keys;
        return from[int(rng.bounded(quint32(from.size())))];
    }

    void open(bool altered) {
        if (savedFiles.isEmpty())
            return save();
        QString path = savedFiles[int(rng.bounded(quint32(savedFiles.size())))];
        QJsonObject file = readJson(path);
        QString what = "File › Open Configuration " + QFileInfo(path).fileName();
        if (altered) {
            QJsonObject settings = file.value("settings").toObject();
            const QStringList keys = settings.keys();
            QStringList changes;
            for (int n = 1 + int(rng.bounded(3)); n > 0 && !keys.isEmpty(); --n) {
                const QString key = keyToAlter(keys);
                const Setting* s = findSetting(key, w->firmwareLevel);
                if (!s)
                    continue;
                const QJsonValue v = otherValue(*s, settings.value(key));
                if (!wordsOf(*s, v, nullptr))
                    continue; // not a value a file may hold
                settings[key] = v;
                changes << key + "=" +
                               QString::fromUtf8(QJsonDocument(QJsonArray{v})
                                                     .toJson(QJsonDocument::Compact)
                                                     .chopped(1)
                                                     .mid(1));
            }
            file["settings"] = settings;
            path = dir.filePath(QStringLiteral("altered%1.kvxcfg").arg(++fileCount));
            writeJson(path, file);
            what += " altered (" + changes.join(", ") + ") as " + QFileInfo(path).fileName();
        }
        steps << what;
        untouchedSinceNoted = false;
        Answers ok(QMessageBox::Ok);
        if (!w->openConfigurationFrom(path))
            return fail("the file was refused: " + ok.texts.join(' '));
        checkFileTaken(file.value("settings").toObject(),
                       ok.texts.join('\n') + '\n' + ok.details.join('\n'));
    }

    // Every setting of the file ends in the form as the file says, or the
    // message names it; those it set count as set by the file.
    void checkFileTaken(const QJsonObject& file, const QString& message) {
        const QJsonObject now = configurationDocument(*w).value("settings").toObject();
        const Form form = formNow();
        QStringList wrong;
        for (auto it = file.begin(); it != file.end(); ++it) {
            const Setting* s = findSetting(it.key(), w->firmwareLevel);
            if (!s || !now.contains(it.key()))
                continue; // not a setting of this instrument's form: listed as skipped
            // Named: the label, and not as the start of a longer caption
            // ("Alphasense #1" in "Alphasense #1 Enable").
            const QString name = label(*s);
            if (message.contains(
                    QRegularExpression(QRegularExpression::escape(name) + R"((?!\w| \w))")))
                continue;
            byFile.insert(s, SetByFile{it.value(), form});
            const std::optional<QString> want = wordsOf(*s, it.value(), nullptr);
            const std::optional<QString> got = wordsOf(*s, now.value(it.key()), nullptr);
            if (want != got)
                wrong << QStringLiteral("after opening the file, %1 (%2) is \"%3\" where the "
                                        "file says \"%4\", and the message does not name it\n"
                                        "  its controls: %5")
                             .arg(name, s->key, got.value_or("?"), want.value_or("?"),
                                  controlsOf(*s));
        }
        if (!wrong.isEmpty())
            fail(wrong.join('\n'));
    }

    void runSession(const QString& name, quint32 seed, int count) {
        rng.seed(seed);
        steps.clear();
        problem.clear();
        savedFiles.clear();
        fileCount = 0;
        steps << "Connect: the initial read";
        if (connectTo(name)) {
            checkNothingMarked("the initial read");
            note();
            write(); // unedited: exactly what the instrument held
        }
        for (int i = 0; i < count && problem.isEmpty(); ++i) {
            const int roll = int(rng.bounded(100));
            if (roll < 52)
                edit(false);
            else if (roll < 60)
                edit(true);
            else if (roll < 66)
                save();
            else if (roll < 71)
                open(false);
            else if (roll < 77)
                open(true);
            else if (roll < 85)
                read();
            else
                write();
        }
        const bool verbose = qEnvironmentVariableIsSet("KVX_SESSION_VERBOSE");
        if (problem.isEmpty() && !verbose)
            return;
        QStringList numbered;
        for (int i = 0; i < steps.size(); ++i)
            numbered << QString::number(i + 1) + ". " + steps[i];
        const QString session =
            QStringLiteral("session on \"%1\" with seed %2").arg(name).arg(seed);
        qInfo().noquote() << "The " + session + ", " + QString::number(steps.size()) + " steps:\n" +
                                 numbered.join('\n') + '\n' +
                                 (problem.isEmpty()
                                      ? QStringLiteral("Nothing went wrong.")
                                      : "After step " + QString::number(steps.size()) + ": " +
                                            problem) +
                                 QStringLiteral("\nReplay: KVX_SESSION_SEED=%1 "
                                                "KVX_SESSION_STEPS=%2 tst_sessions %3:%4")
                                     .arg(seed)
                                     .arg(count)
                                     .arg(QLatin1String(QTest::currentTestFunction()), name);
        if (!problem.isEmpty())
            QFAIL(qPrintable("The " + session + " went wrong at step " +
                             QString::number(steps.size()) + ": " + problem.section('\n', 0, 0)));
    }

    // One row per instrument, each with its own fixed seed; KVX_SESSION_SEED
    // gives every row that one.
    static void sessionRows(bool soak) {
        QTest::addColumn<quint32>("seed");
        // The bounded run's seeds take each instrument through one of the
        // ways edits used to be lost.
        const std::pair<const char*, quint32> rows[] = {
            {"full", 20250307}, {"odd", 20250408}, {"minimal", 20250509},
            {"fresh", 11},      {"mixed", 205},    {"legacy", 20250812}};
        const bool chosen = qEnvironmentVariableIsSet("KVX_SESSION_SEED");
        const quint32 seed = quint32(qEnvironmentVariable("KVX_SESSION_SEED").toULong());
        quint32 n = 0;
        for (const auto& [name, fixed] : rows)
            QTest::newRow(name) << (chosen ? seed : soak ? kSoakSeed + 101 * n++ : fixed);
    }
    void runRow(int steps) {
        QFETCH(quint32, seed);
        const int count = qEnvironmentVariableIsSet("KVX_SESSION_STEPS")
                              ? qEnvironmentVariableIntValue("KVX_SESSION_STEPS")
                              : steps;
        runSession(QTest::currentDataTag(), seed, count);
    }

    // ---- helpers of the rows ----

    // Saves the form to a file, changes `edits` ("key=json") in its settings
    // and returns its path.
    QString savedFile(KVX_Configurator& window, const QStringList& edits = {}) {
        const QString path = dir.filePath(QStringLiteral("row%1.kvxcfg").arg(++fileCount));
        if (!window.saveConfigurationTo(path))
            return QString();
        QJsonObject file = readJson(path);
        QJsonObject settings = file.value("settings").toObject();
        for (const QString& e : edits)
            settings[e.section('=', 0, 0)] =
                QJsonDocument::fromJson("[" + e.section('=', 1).toUtf8() + "]").array().at(0);
        file["settings"] = settings;
        return writeJson(path, file) ? path : QString();
    }

    static bool openFile(KVX_Configurator& window, const QString& path) {
        Answers ok(QMessageBox::Ok);
        return window.openConfigurationFrom(path);
    }

    static void readAgain(SimRig& rig) {
        Answers yes(QMessageBox::Yes);
        rig.w().KVXReadButtonPressed();
        QVERIFY(rig.settle());
    }

private slots:
    void initTestCase() { testHandler = qInstallMessageHandler(dropSizeHintNotes); }
    void cleanup() { stop(); }

    // The bounded run: fixed seeds, KVX_SESSION_STEPS random steps (40) per
    // instrument.
    void randomSession_data() { sessionRows(false); }
    void randomSession() { runRow(kDefaultSteps); }
    // The soak: other seeds, longer sessions (100 steps each).
    void soakSession_data() { sessionRows(true); }
    void soakSession() { runRow(kSoakSteps); }

    // The sample start withdraws a pump's own date (and a click on the
    // specific time does not bring it back): the pump's start is a change,
    // marked on its page, and the write stores eight zero bytes.
    void interlockChangeIsWritten_data() {
        QTest::addColumn<QString>("instrument");
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QString>("stored"); // in Pump B's start record 0x8064
        QTest::newRow("power-on start withdraws Pump B's date") << "full"
                                                                << "nextPowerOn"
                                                                << "2:0000000000000000";
        QTest::newRow("always at power-on") << "full"
                                            << "alwaysPowerOn"
                                            << "2:0000000000000000";
        QTest::newRow("Pump B with the sample by hand, then power-on")
            << "full"
            << "pumpBSampleStart nextPowerOn"
            << "2:0000000000000000";
        QTest::newRow("specific time again, Pump B stays with the sample")
            << "full"
            << "nextPowerOn specificTime"
            << "2:0000000000000000";
        QTest::newRow("specific time over a date the form could not show") << "odd"
                                                                           << "specificTime"
                                                                           << "2:0000000000000000";
    }
    void interlockChangeIsWritten() {
        QFETCH(QString, instrument);
        QFETCH(QString, edits);
        QFETCH(QString, stored);
        SimRig rig(configOf(instrument));
        QVERIFY(rig.connect());
        applyEdits(rig.w(), edits);
        rig.w().changes->refresh();
        const QStringList marked = markedControls(rig.w());
        const QStringList pumpB = findSetting("pumpb.start")->controls;
        const bool startMarked = std::any_of(pumpB.cbegin(), pumpB.cend(),
                                             [&](const QString& c) { return marked.contains(c); });
        QTabWidget* tabs = rig.w().ui->configuratorTabs;
        const bool pageMarked = !tabs->tabIcon(tabs->indexOf(rig.w().ui->Tab_PumpB)).isNull();
        rig.pressWrite();
        QVERIFY(rig.settle());
        QCOMPARE(storedBytes(rig, 0x8064, stored), stored);
        QVERIFY2(startMarked && pageMarked, qPrintable("marked: " + marked.join(", ")));
    }

    // Read from an instrument holding no start date: the form shows the
    // default date, nothing is marked, and a write keeps the zero bytes.
    static void zeroDateKept(SimRig& rig) {
        const QDateTime shown = rig.w().ui->startDateTime->dateTime();
        rig.w().changes->refresh();
        const QStringList marked = markedControls(rig.w());
        rig.pressWrite();
        QVERIFY(rig.settle());
        QCOMPARE(storedBytes(rig, 0x0040, "4:00000000"), "4:00000000");
        QCOMPARE(shown, QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(marked, QStringList());
    }

    // A start date the instrument holds as zero bytes: a read shows the
    // form's own start (2000-01-01 00:00 UTC), not an earlier edit nor the
    // previous instrument's date; nothing is marked, and an unedited write
    // keeps the zero bytes.
    void zeroDateAfterRead() {
        SimRig rig(configOf("fresh"));
        QVERIFY(rig.connect());
        applyEdits(rig.w(), "startDateTime@2026-01-01T10:00:00Z");
        readAgain(rig);
        zeroDateKept(rig);
    }
    void zeroDateOnSecondInstrument() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        {
            Answers yes(QMessageBox::Yes);
            rig.w().KVXDisconnectButtonPressed();
        }
        QVERIFY(rig.fallBack() >= 0);
        rig.plug(configOf("fresh"));
        QVERIFY(rig.connect());
        zeroDateKept(rig);
    }

    // The odd instrument holds values the form shows as another one; a file
    // that says that other value sets it, and the write stores the file's.
    void fileValueIsTaken_data() {
        QTest::addColumn<QString>("setting"); // key=json
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("stored");
        QTest::newRow("interval 60 over 10") << "main.schedule.interval=60" << 0x0040 << "12:3c";
        QTest::newRow("Shutdown over stop state 2")
            << "main.schedule.after_sampling=\"Shutdown\"" << 0x0040 << "13:01";
        QTest::newRow("duration the spin boxes hold")
            << "main.schedule.duration=\"300 d 23 h 59 min\"" << 0x0040 << "8:012c173b";
        QTest::newRow("cleaning interval 1000 over 2000")
            << "main.sen55.cleaning_interval=1000" << 0x0060 << "4:000003e8";
        QTest::newRow("flow rate at its limit") << "pumpa.flow_rate=2" << 0x8012 << "2:07d0";
        QTest::newRow("Pump B with the sample under a power-on start")
            << "pumpb.start=\"At Sample Start\"" << 0x8064 << "2:0000000000000000";
    }
    void fileValueIsTaken() {
        QFETCH(QString, setting);
        QFETCH(int, word);
        QFETCH(QString, stored);
        SimRig rig(configOf("odd"));
        QVERIFY(rig.connect());
        const QString path = savedFile(rig.w(), {setting});
        QVERIFY(!path.isEmpty());
        QVERIFY(openFile(rig.w(), path));
        rig.pressWrite();
        QVERIFY(rig.settle());
        QCOMPARE(storedBytes(rig, quint16(word), stored), stored);
    }

    // A file with Alphasense #2 off and its partner #3 on, opened while #3
    // is off: #3's click must not switch #2 back on.
    void alphasensePartnerKeepsTheFile() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        const QString path =
            savedFile(rig.w(), {"alphasense.2.enabled=false", "alphasense.3.enabled=true"});
        QVERIFY(!path.isEmpty());
        applyEdits(rig.w(), "as3Mode_3");
        QVERIFY(!rig.w().ui->as3Mode_3->isChecked());
        QVERIFY(openFile(rig.w(), path));
        rig.pressWrite();
        QVERIFY(rig.settle());
        // One byte per position, bit 0 on: #2 off, #3 on.
        const QByteArray modes = rig.sim().log().stores(0x4086).value(0);
        QVERIFY(modes.size() >= 6);
        QCOMPARE(QString("#2 %1, #3 %2").arg(quint8(modes[3]) & 1).arg(quint8(modes[4]) & 1),
                 QString("#2 0, #3 1"));
    }

    // Firmware level 0: a file saved from the instrument itself, opened after
    // Alphasense #2 was switched on, gives the instrument's settings back,
    // its raw logging box included.
    void sensorBeforeItsLoggingBox() {
        SimRig rig("legacy");
        QVERIFY(rig.connect());
        const QByteArray gasLogging = *rig.sim().readRecord(0x4006);
        const QString path = savedFile(rig.w());
        QVERIFY(!path.isEmpty());
        applyEdits(rig.w(), "as2Mode");
        QVERIFY(openFile(rig.w(), path));
        rig.w().changes->refresh();
        const int differ = rig.w().changes->count();
        rig.pressWrite();
        QVERIFY(rig.settle());
        QCOMPARE(rig.sim().log().stores(0x4006).value(0).toHex(), gasLogging.toHex());
        QCOMPARE(differ, 0);
    }

    // A date the instrument cannot hold refuses the file; the form stays.
    void fileDateBeyondTheInstrument_data() {
        QTest::addColumn<QString>("setting");
        QTest::newRow("sample start in 2150")
            << "main.schedule.start=\"At Specific UTC Date/Time 2150-04-01 08:00 UTC\"";
        QTest::newRow("sample start at 24:00")
            << "main.schedule.start=\"At Specific UTC Date/Time 2025-04-01 24:00 UTC\"";
        QTest::newRow("pump start in 1999")
            << "pumpb.start=\"At Specific UTC Date/Time 1999-12-31 23:59 UTC\"";
        QTest::newRow("pump start at minute 60")
            << "pumpb.start=\"At Specific UTC Date/Time 2025-04-02 06:60 UTC\"";
    }
    void fileDateBeyondTheInstrument() {
        QFETCH(QString, setting);
        SimRig rig("full");
        QVERIFY(rig.connect());
        const QString path = savedFile(rig.w(), {setting});
        QVERIFY(!path.isEmpty());
        const QMap<QString, QString> form = formValues(rig.w());
        Answers ok(QMessageBox::Ok);
        QVERIFY(!rig.w().openConfigurationFrom(path));
        QVERIFY2(ok.texts.value(0).contains("Could not open"), qPrintable(ok.texts.join('\n')));
        QVERIFY2(formValues(rig.w()) == form, qPrintable(differences(form, formValues(rig.w()))));
    }

    // A SEN55 record of 12 bytes holds no cleaning interval: setting one is
    // a change like any other, marked and counted, and written.
    void shortRecordField() {
        SimRig rig(SimRig::load("full"), [](std::shared_ptr<sim::Instrument> instrument) {
            return std::make_unique<ShortSen55Record>(std::move(instrument));
        });
        QVERIFY(rig.connect());
        QVERIFY(rig.w().ui->sen55Interval->isEnabled());
        applyEdits(rig.w(), "sen55Interval=50");
        rig.w().changes->refresh();
        const QStringList marked = markedControls(rig.w());
        const int count = rig.w().changes->count();
        rig.pressWrite();
        QVERIFY(rig.settle());
        QCOMPARE(storedBytes(rig, 0x0060, "4:00000032"), "4:00000032");
        QCOMPARE(marked, QStringList{"sen55Interval"});
        QCOMPARE(count, 1);
    }
};

QTEST_MAIN(SessionsTest)
#include "tst_sessions.moc"
