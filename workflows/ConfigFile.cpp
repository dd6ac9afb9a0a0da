#include "workflows/ConfigFile.h"

#include "app/KVX_Configurator.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Changes.h"
#include "workflows/Record.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSpinBox>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

namespace kvx {

namespace {

using Kind = SettingKind;

// A file bigger than this is no configuration (a full one is some 15 kB).
constexpr qint64 kMaxFileBytes = 1 << 20;
// The characters a text setting can hold: its field in the record written.
int textLength(const Setting& s) {
    return s.write.isEmpty() ? 0 : s.write.first().width;
}

QString tr(const char* text) {
    return QCoreApplication::translate("ConfigFile", text);
}

// The largest number a field of a record can hold.
double fieldMaximum(const FieldPos& f) {
    quint32 mask = f.mask ? f.mask : (f.width >= 4 ? 0xFFFFFFFFu : (1u << (8 * f.width)) - 1);
    while (mask != 0 && (mask & 1u) == 0)
        mask >>= 1;
    return mask;
}

// A choice list whose words are its codes (the logging interval): its file
// values are numbers.
bool numericChoices(const Setting& s) {
    return !s.choices.isEmpty() &&
           std::all_of(s.choices.cbegin(), s.choices.cend(),
                       [](const SettingChoice& c) { return c.text == QString::number(c.code); });
}

QStringList choiceTexts(const Setting& s) {
    QStringList texts;
    for (const SettingChoice& c : s.choices)
        texts << c.text;
    return texts;
}

// A date as the form's words have it ("2025-04-01 08:00 UTC"): its shape
// alone, and exactly the dates the instrument can hold, a calendar date from
// 2000 to 2099 with hours 0 to 23 and minutes 0 to 59 (February 29 in the
// years divisible by four, 2000 among them).
const char* const kDateShape = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2} UTC";
const char* const kCalendarDate =
    "20(?:[0-9]{2}-(?:(?:0[13578]|1[02])-(?:0[1-9]|[12][0-9]|3[01])"
    "|(?:0[469]|11)-(?:0[1-9]|[12][0-9]|30)|02-(?:0[1-9]|1[0-9]|2[0-8]))"
    "|(?:[02468][048]|[13579][26])-02-29) (?:[01][0-9]|2[0-3]):[0-5][0-9] UTC";

// A digit from `low` to `high` as a pattern.
QString digits(QChar low, QChar high) {
    return low == high ? QString(low) : QStringLiteral("[%1-%2]").arg(low, high);
}

// `n` more digits as a pattern.
QString anyDigits(int n) {
    return n <= 0   ? QString()
           : n == 1 ? QStringLiteral("[0-9]")
                    : QStringLiteral("[0-9]{%1}").arg(n);
}

// The whole numbers from 0 to `most` in decimal, leading zeros allowed.
QString upTo(quint64 most) {
    const QString top = QString::number(most);
    const int length = int(top.size());
    QStringList ways;
    if (length == 1) {
        ways << digits(QLatin1Char('0'), top[0]);
    } else {
        // Fewer digits than `most`: any such number.
        ways << QStringLiteral("[0-9]");
        if (length > 2)
            ways << QStringLiteral("[1-9]") + (length == 3
                                                   ? QStringLiteral("[0-9]")
                                                   : QStringLiteral("[0-9]{1,%1}").arg(length - 2));
        // As many digits: the same first digits as `most`, then a smaller one,
        // then any.
        for (int i = 0; i < length; ++i) {
            const QChar low = QLatin1Char(i == 0 ? '1' : '0');
            if (top[i] > low)
                ways << top.left(i) + digits(low, QChar(top[i].unicode() - 1)) +
                            anyDigits(length - i - 1);
        }
        ways << top;
    }
    return QStringLiteral("0*(?:%1)").arg(ways.join(QLatin1Char('|')));
}

// The form's words for the kinds made of several controls, as a pattern.
// `exact`: precisely the words a file may hold, the numbers no larger than
// their fields and the dates ones the instrument can hold (the schema's
// pattern, and the test of a file's value); otherwise any number and any date
// of the right shape, for taking words apart and saying what is wrong. Each
// number and date is a group of its own.
QString pattern(const Setting& s, bool exact) {
    const QStringList c = choiceTexts(s);
    const QString date = QLatin1String(exact ? kCalendarDate : kDateShape);
    const auto number = [&](int field) {
        return exact ? upTo(quint64(fieldMaximum(s.read.value(field)))) : QStringLiteral("[0-9]+");
    };
    // Days, hours and minutes from the setting's field `first` on.
    const auto span = [&](int first) {
        return QStringLiteral("(%1) d (%2) h (%3) min")
            .arg(number(first), number(first + 1), number(first + 2));
    };
    switch (s.kind) {
    case Kind::Span:
        return QStringLiteral("^%1$").arg(span(0));
    case Kind::SampleStart:
        // The sample start's date word is its second field.
        return QStringLiteral(R"(^(?:%1 (%4)|mode 3, (%4)|(?:%2|%3)(?: \(date word (%5)\))?)$)")
            .arg(c.value(0), c.value(1), c.value(2), date, number(1));
    case Kind::PumpStart:
        return QStringLiteral(R"(^(?:%1|%2 %4(?: \(and (%5)\))?|%3 (%5))$)")
            .arg(c.value(0), c.value(1), c.value(2), span(0), date);
    case Kind::PumpSpan:
        return QStringLiteral("^(?:%1|%2 %3)$").arg(c.value(0), c.value(1), span(0));
    default:
        return QString();
    }
}

// The pattern compiled, and held whole: a line break at the end does not
// count as the end.
const QRegularExpression& compiled(const Setting& s, bool exact) {
    static QHash<std::pair<const Setting*, bool>, QRegularExpression> cache;
    auto it = cache.find({&s, exact});
    if (it == cache.end())
        it = cache.insert({&s, exact}, QRegularExpression(
                                           QRegularExpression::anchoredPattern(pattern(s, exact))));
    return *it;
}

// The date of "yyyy-MM-dd hh:mm UTC"; invalid unless the instrument can hold
// it: a calendar date from 2000 to 2099, hours 0 to 23, minutes 0 to 59.
QDateTime dateOf(const QString& words) {
    const QDate date = QDate::fromString(words.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(words.mid(11, 5), QStringLiteral("hh:mm"));
    if (!date.isValid() || !time.isValid() || date.year() < 2000 || date.year() > 2099)
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

bool isWhole(const QJsonValue& v, double lo, double hi) {
    const double d = v.toDouble();
    return v.isDouble() && std::floor(d) == d && d >= lo && d <= hi;
}

QString wholeProblem(double lo, double hi) {
    return tr("expected a whole number from %1 to %2").arg(qint64(lo)).arg(qint64(hi));
}

// Words of the kind as an example, for the message about wrong ones.
QString example(const Setting& s) {
    return s.kind == Kind::Span ? spanText(1, 2, 30)
           : s.kind == Kind::SampleStart
               ? s.choices[0].text + QStringLiteral(" 2025-04-01 08:00 UTC")
           : s.kind == Kind::PumpStart ? s.choices[1].text + QStringLiteral(" 0 d 2 h 0 min")
                                       : s.choices[1].text + QStringLiteral(" 1 d 0 h 0 min");
}

// Why words of a kind made of several controls are none the instrument can
// hold; empty when they are.
QString compositeProblem(const Setting& s, const QString& words) {
    if (compiled(s, true).match(words).hasMatch())
        return QString();
    const QRegularExpressionMatch m = compiled(s, false).match(words);
    if (m.hasMatch()) {
        int number = 0;
        for (int i = 1; i <= m.lastCapturedIndex(); ++i) {
            const QString part = m.captured(i);
            if (part.isEmpty())
                continue;
            if (part.endsWith(QLatin1String(" UTC"))) {
                if (!dateOf(part).isValid())
                    return tr("%1 is no date the instrument can hold (a calendar date from "
                              "2000-01-01 00:00 UTC to 2099-12-31 23:59 UTC)")
                        .arg(part);
                continue;
            }
            // Days, hours, minutes; the sample start's date word is its second field.
            const FieldPos& f = s.read.value(s.kind == Kind::SampleStart ? 1 : number++);
            if (part.toDouble() > fieldMaximum(f))
                return tr("%1 is more than the instrument can hold (%2)")
                    .arg(part)
                    .arg(qint64(fieldMaximum(f)));
        }
    }
    return tr("expected text like \"%1\"").arg(example(s));
}

// The first key that one object of a JSON text (already parsed without
// error) holds twice; null when there is none. JSON readers keep only one of
// the two values, so such a file cannot be taken as written.
QString repeatedKey(const QByteArray& json) {
    struct Level {
        bool object;
        bool expectsKey;
        QSet<QString> keys;
    };
    QList<Level> levels;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') {
            qsizetype end = i + 1;
            while (end < json.size() && json[end] != '"')
                end += json[end] == '\\' ? 2 : 1;
            if (!levels.isEmpty() && levels.last().object && levels.last().expectsKey) {
                // The key as a reader sees it, its escapes undone.
                const QString key =
                    QJsonDocument::fromJson('[' + json.mid(i, end - i + 1) + ']')[0].toString();
                if (levels.last().keys.contains(key))
                    return key;
                levels.last().keys.insert(key);
                levels.last().expectsKey = false;
            }
            i = end;
        } else if (c == '{' || c == '[') {
            levels.append({c == '{', c == '{', {}});
        } else if ((c == '}' || c == ']') && !levels.isEmpty()) {
            levels.removeLast();
        } else if (c == ',' && !levels.isEmpty() && levels.last().object) {
            levels.last().expectsKey = true;
        }
    }
    return QString();
}

QString label(const Setting& s) {
    return QStringLiteral("%1 \u203a %2").arg(s.page, s.caption);
}

void clickTo(QWidget* w, bool on) {
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (button && button->isEnabled() && button->isChecked() != on)
        button->click();
}

void setNumber(QWidget* w, const QString& words) {
    if (auto* box = qobject_cast<QSpinBox*>(w))
        box->setValue(int(std::clamp<qint64>(words.toLongLong(), box->minimum(), box->maximum())));
    else if (auto* decimal = qobject_cast<QDoubleSpinBox*>(w))
        decimal->setValue(words.toDouble());
}

void setSpan(const QList<QWidget*>& c, int first, const QRegularExpressionMatch& m, int group) {
    for (int i = 0; i < 3; ++i)
        setNumber(c.value(first + i), m.captured(group + i));
}

void setDate(QWidget* w, const QString& words) {
    if (auto* edit = qobject_cast<QDateTimeEdit*>(w))
        edit->setDateTime(dateOf(words));
}

// "1 thing" or "N things".
QString counted(qsizetype n, const QString& one, const QString& many) {
    return n == 1 ? one : many.arg(n);
}

QString pagesOf(const QStringList& labels) {
    QStringList pages;
    for (const QString& l : labels) {
        const QString page = l.section(QStringLiteral(" \u203a "), 0, 0);
        if (!pages.contains(page))
            pages << page;
    }
    return pages.join(QStringLiteral(", "));
}

// The keys at the top of a file, and those of them that hold text.
const QStringList kTopKeys = {QStringLiteral("$schema"), QStringLiteral("format"),
                              QStringLiteral("version"), QStringLiteral("program"),
                              QStringLiteral("saved"),   QStringLiteral("instrument"),
                              QStringLiteral("settings")};
const QStringList kTextKeys = {QStringLiteral("$schema"), QStringLiteral("program"),
                               QStringLiteral("saved")};

// The boards of `instrument.boards`, named as their settings' keys begin.
const QStringList kBoards = {QStringLiteral("main"), QStringLiteral("gas"), QStringLiteral("pumpa"),
                             QStringLiteral("pumpb"), QStringLiteral("pumpscd")};

// Names that files saved by earlier versions of the program use, and the
// names that replaced them. Both are read; the later one is written.
const QHash<QString, QString>& formerBoards() {
    static const QHash<QString, QString> names = {
        {QStringLiteral("pump_a"), QStringLiteral("pumpa")},
        {QStringLiteral("pump_b"), QStringLiteral("pumpb")},
        {QStringLiteral("pumps_cd"), QStringLiteral("pumpscd")}};
    return names;
}
const QHash<QString, QString>& formerKeys() {
    // The Alphasense enables at firmware level 0, where the Gas page shows them.
    static const QHash<QString, QString> keys = [] {
        QHash<QString, QString> k;
        for (int n = 1; n <= 4; ++n)
            k.insert(QStringLiteral("gas.alphasense%1.enabled").arg(n),
                     QStringLiteral("alphasense.%1.enabled").arg(n));
        return k;
    }();
    return keys;
}

// What is wrong with a file's `instrument`; empty when nothing is. Sets
// `mainBoard` to the main board identifier it names.
QString instrumentProblem(const QJsonValue& instrument, QString* mainBoard) {
    if (!instrument.isObject())
        return tr("instrument: expected an object");
    const QJsonObject o = instrument.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.key() == QLatin1String("firmware_level")) {
            if (!isWhole(it.value(), 0, 65535))
                return QStringLiteral("instrument.firmware_level: ") + wholeProblem(0, 65535);
        } else if (it.key() == QLatin1String("boards")) {
            if (!it.value().isObject())
                return tr("instrument.boards: expected an object");
            const QJsonObject boards = it.value().toObject();
            for (auto b = boards.begin(); b != boards.end(); ++b) {
                const QString name = formerBoards().value(b.key(), b.key());
                if (!kBoards.contains(name))
                    return tr("instrument.boards.%1: not a board of the KVXv2 (%2)")
                        .arg(b.key(), kBoards.join(QStringLiteral(", ")));
                if (name != b.key() && boards.contains(name))
                    return tr("instrument.boards: %1 and its older name %2 are both there")
                        .arg(name, b.key());
                if (!b.value().isString())
                    return tr("instrument.boards.%1: expected text").arg(b.key());
            }
            *mainBoard = boards.value(QStringLiteral("main")).toString();
        } else {
            return tr("instrument.%1: not a key of a configuration file").arg(it.key());
        }
    }
    return QString();
}

// "at firmware level 0", "from firmware level 1", "at firmware levels 2 to 4".
QString levelsOf(const Setting& s) {
    if (s.maxLevel == 0xFFFF)
        return QStringLiteral("from firmware level %1").arg(s.minLevel);
    if (s.minLevel == s.maxLevel)
        return QStringLiteral("at firmware level %1").arg(s.minLevel);
    return QStringLiteral("at firmware levels %1 to %2").arg(s.minLevel).arg(s.maxLevel);
}

// "a, b or c"
QString either(const QStringList& words) {
    return words.size() < 2 ? words.value(0)
                            : words.mid(0, words.size() - 1).join(QStringLiteral(", ")) +
                                  QStringLiteral(" or ") + words.last();
}

// What a value of the setting is, in words: the pages and captions it stands
// for, its unit where the caption does not carry it, and the words it takes.
QString describe(const QList<const Setting*>& entries) {
    const Setting& s = *entries.first();
    QStringList where;
    for (const Setting* e : entries)
        where << label(*e) + (entries.size() > 1 ? QLatin1Char(' ') + levelsOf(*e) : QString());
    QString text = where.join(QStringLiteral("; "));
    if (!s.unit.isEmpty() && !s.caption.contains(QLatin1Char('[')))
        text += QStringLiteral(" [%1]").arg(s.unit);
    const QStringList c = choiceTexts(s);
    const auto q = [](const QString& words) { return QStringLiteral("\"%1\"").arg(words); };
    const QString span = QStringLiteral("D d H h M min");
    const QString date = QStringLiteral("YYYY-MM-DD hh:mm UTC");
    const QString dates = QStringLiteral(". A date is a calendar date from 2000-01-01 00:00 UTC "
                                         "to 2099-12-31 23:59 UTC");
    const QString spanLimits = QStringLiteral("; days up to %1, hours and minutes up to %2")
                                   .arg(qint64(fieldMaximum(s.read.value(0))))
                                   .arg(qint64(fieldMaximum(s.read.value(1))));
    switch (s.kind) {
    case Kind::Switch:
        return text + QStringLiteral(": true or false, or a code the form cannot show");
    case Kind::Choice:
        if (numericChoices(s))
            return text + QStringLiteral(": %1 as the form offers them, or another number the "
                                         "form cannot show")
                              .arg(either(c));
        return text + QStringLiteral(": a choice as the form shows it, or a code");
    case Kind::Decimal:
        return text + QStringLiteral(", in steps of %1 (a number between two steps is set to "
                                     "the nearer)")
                          .arg(decimalText(std::pow(10.0, -s.decimals), s.decimals));
    case Kind::Text:
        return text + QStringLiteral(": up to %1 printable Latin-1 characters").arg(textLength(s));
    case Kind::SampleStart:
        return text +
               QStringLiteral(": %1, %2 or %3; what the form cannot show: a power-on "
                              "start with a date word left in its record (either "
                              "followed by %4), start mode 3 (%5)")
                   .arg(q(c.value(0) + QLatin1Char(' ') + date), q(c.value(1)), q(c.value(2)),
                        q(QStringLiteral(" (date word N)")), q(QStringLiteral("mode 3, ") + date)) +
               dates;
    case Kind::Span:
        return text + QStringLiteral(": %1").arg(q(span)) + spanLimits;
    case Kind::PumpStart:
        return text +
               QStringLiteral(": %1, %2 or %3; what the form cannot show: a delay with a "
                              "date left in its record (%4)")
                   .arg(q(c.value(0)), q(c.value(1) + QLatin1Char(' ') + span),
                        q(c.value(2) + QLatin1Char(' ') + date),
                        q(c.value(1) + QLatin1Char(' ') + span +
                          QStringLiteral(" (and %1)").arg(date))) +
               spanLimits + dates;
    case Kind::PumpSpan:
        return text +
               QStringLiteral(": %1 or %2")
                   .arg(q(c.value(0)), q(c.value(1) + QLatin1Char(' ') + span)) +
               spanLimits;
    default:
        return text;
    }
}

// The schema of a setting's value in a file: exactly the values that
// wordsOf() takes.
QJsonObject settingSchema(const QList<const Setting*>& entries) {
    const Setting& s = *entries.first();
    const double most = fieldMaximum(s.read.first());
    const QJsonObject whole{{QStringLiteral("type"), QStringLiteral("integer")},
                            {QStringLiteral("minimum"), 0},
                            {QStringLiteral("maximum"), most}};
    // Python's `$` also matches before a line break that ends the text.
    const QJsonObject oneLine{{QStringLiteral("pattern"), QStringLiteral("\n")}};
    QJsonObject schema;
    switch (s.kind) {
    case Kind::Bit:
        schema.insert(QStringLiteral("type"), QStringLiteral("boolean"));
        break;
    case Kind::Switch:
        schema.insert(
            QStringLiteral("anyOf"),
            QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("boolean")}}, whole});
        break;
    case Kind::Choice:
        if (numericChoices(s)) {
            schema = whole;
            break;
        }
        schema.insert(QStringLiteral("anyOf"),
                      QJsonArray{QJsonObject{{QStringLiteral("enum"),
                                              QJsonArray::fromStringList(choiceTexts(s))}},
                                 whole});
        break;
    case Kind::Integer:
        schema = whole;
        break;
    case Kind::Decimal:
        schema.insert(QStringLiteral("type"), QStringLiteral("number"));
        schema.insert(QStringLiteral("minimum"), (0.0 - s.offset) / s.scale);
        schema.insert(QStringLiteral("maximum"), (most - s.offset) / s.scale);
        break;
    case Kind::Text:
        // No character outside the ones the instrument stores.
        schema.insert(QStringLiteral("type"), QStringLiteral("string"));
        schema.insert(QStringLiteral("maxLength"), textLength(s));
        schema.insert(QStringLiteral("not"),
                      QJsonObject{{QStringLiteral("pattern"),
                                   QStringLiteral("[^%1]").arg(kStorableCharacters)}});
        break;
    default:
        schema.insert(QStringLiteral("type"), QStringLiteral("string"));
        schema.insert(QStringLiteral("pattern"), pattern(s, true));
        schema.insert(QStringLiteral("not"), oneLine);
        break;
    }
    schema.insert(QStringLiteral("description"), describe(entries));
    return schema;
}

// Holds no `key` beside the key it is the older name of.
QJsonObject notBoth(const QString& key) {
    return QJsonObject{
        {QStringLiteral("not"), QJsonObject{{QStringLiteral("required"), QJsonArray{key}}}}};
}

} // namespace

void tell(KVX_Configurator& w, QMessageBox::Icon icon, const QString& title, const QString& text,
          const QString& informative, const QString& details) {
    QPointer<QMessageBox> box = new QMessageBox(icon, title, text, QMessageBox::Ok, &w);
    box->setInformativeText(informative);
    if (!details.isEmpty())
        box->setDetailedText(details);
    if (w.answerer)
        w.answerer(*box);
    else
        box->exec();
    delete box;
}

QString presentKey(const QString& key) {
    return formerKeys().value(key, key);
}

QJsonValue fileValue(const Setting& s, const QString& words) {
    bool number = false;
    const qint64 whole = words.toLongLong(&number);
    switch (s.kind) {
    case Kind::Bit:
        return words == switchText(true);
    case Kind::Switch:
        if (words == switchText(true) || words == switchText(false))
            return words == switchText(true);
        return whole;
    case Kind::Choice:
        if (number && (numericChoices(s) || !choiceTexts(s).contains(words)))
            return whole;
        return words;
    case Kind::Integer:
        return whole;
    case Kind::Decimal:
        return words.toDouble();
    default:
        return words;
    }
}

std::optional<QString> wordsOf(const Setting& s, const QJsonValue& v, QString* problem) {
    const double most = s.read.isEmpty() ? 0 : fieldMaximum(s.read.first());
    QString why;
    switch (s.kind) {
    case Kind::Bit:
        if (v.isBool())
            return switchText(v.toBool());
        why = tr("expected true or false");
        break;
    case Kind::Switch:
        if (v.isBool())
            return switchText(v.toBool());
        if (isWhole(v, 0, most)) {
            const quint32 code = quint32(v.toDouble());
            if (code == s.onCode || code == (s.onCode == 2 ? 1u : 0u))
                return switchText(code == s.onCode);
            return QString::number(code);
        }
        why = tr("expected true, false or a whole number from 0 to %1").arg(qint64(most));
        break;
    case Kind::Choice:
        if (v.isString() && !numericChoices(s) && choiceTexts(s).contains(v.toString()))
            return v.toString();
        if (isWhole(v, 0, most)) {
            const quint32 code = quint32(v.toDouble());
            for (const SettingChoice& c : s.choices)
                if (c.code == code)
                    return c.text;
            return QString::number(code);
        }
        why = numericChoices(s) ? wholeProblem(0, most)
                                : tr("expected one of \"%1\", or a code from 0 to %2")
                                      .arg(choiceTexts(s).join(QStringLiteral("\", \"")))
                                      .arg(qint64(most));
        break;
    case Kind::Integer:
        if (isWhole(v, 0, most))
            return QString::number(qint64(v.toDouble()));
        why = wholeProblem(0, most);
        break;
    case Kind::Decimal: {
        const double lo = (0.0 - s.offset) / s.scale, hi = (most - s.offset) / s.scale;
        const double d = v.toDouble();
        if (v.isDouble() && d >= lo && d <= hi) {
            // A number between the instrument's steps keeps its own words:
            // the form takes the nearest step, and opening lists it.
            const double steps = d * std::pow(10.0, s.decimals);
            return std::abs(steps - std::round(steps)) < 1e-6
                       ? decimalText(d, s.decimals)
                       : QString::number(d, 'g', QLocale::FloatingPointShortest);
        }
        why = tr("expected a number from %1 to %2")
                  .arg(decimalText(lo, s.decimals), decimalText(hi, s.decimals));
        break;
    }
    case Kind::Text:
        if (v.isString() && v.toString().size() <= textLength(s) && storableText(v.toString()))
            return v.toString();
        why = v.isString() && v.toString().size() <= textLength(s)
                  ? tr("\"%1\" holds characters the instrument cannot store (it takes "
                       "printable Latin-1 characters only)")
                        .arg(v.toString())
                  : tr("expected text of at most %1 characters").arg(textLength(s));
        break;
    case Kind::SampleStart:
    case Kind::Span:
    case Kind::PumpStart:
    case Kind::PumpSpan:
        if (!v.isString()) {
            why = tr("expected text");
            break;
        }
        why = compositeProblem(s, v.toString());
        if (why.isEmpty())
            return v.toString();
        break;
    case Kind::Reserved:
    case Kind::Reading:
        why = tr("only the instrument sets it");
        break;
    }
    if (problem)
        *problem = why;
    return std::nullopt;
}

QList<std::pair<const Setting*, QString>> fileSettings(const KVX_Configurator& w, bool withEdits) {
    const ChangeTracker& changes = *w.changes;
    QList<std::pair<const Setting*, QString>> settings;
    for (const Setting& s : settingCatalogue()) {
        // Settings of sensors that are not fitted are left out.
        if (!changes.editable(s))
            continue;
        // What the next Write stores: an edited setting as the form shows
        // it, any other as the instrument holds it.
        const std::optional<QString> words =
            withEdits && changes.edited(s) ? changes.formText(s) : changes.instrumentText(s);
        settings.append({&s, words ? *words : changes.formText(s)});
    }
    return settings;
}

QJsonObject settingsObject(const KVX_Configurator& w, bool withEdits) {
    QJsonObject settings;
    for (const auto& [s, words] : fileSettings(w, withEdits))
        settings.insert(s->key, fileValue(*s, words));
    return settings;
}

QJsonObject configurationDocument(const KVX_Configurator& w) {
    const QJsonObject settings = settingsObject(w, true);
    QJsonObject boards;
    const QLineEdit* const ids[] = {w.ui->kvxIDBox, w.ui->gasIDBox, w.ui->pumpAIDBox,
                                    w.ui->pumpBIDBox, w.ui->pumpsCDIDBox};
    for (int i = 0; i < kBoards.size(); ++i)
        if (!ids[i]->isHidden() && !ids[i]->text().isEmpty())
            boards.insert(kBoards[i], ids[i]->text());
    QJsonObject instrument;
    instrument.insert(QStringLiteral("boards"), boards);
    instrument.insert(QStringLiteral("firmware_level"), w.firmwareLevel);
    QJsonObject doc;
    doc.insert(QStringLiteral("format"), kConfigFileFormat);
    doc.insert(QStringLiteral("version"), kConfigFileVersion);
    doc.insert(QStringLiteral("program"),
               QStringLiteral("KVX Configurator ") + w.ui->versionLabel->text());
    doc.insert(QStringLiteral("saved"),
               QDateTime::fromMSecsSinceEpoch(w.nowMs(), Qt::UTC).toString(Qt::ISODate));
    doc.insert(QStringLiteral("instrument"), instrument);
    doc.insert(QStringLiteral("settings"), settings);
    return doc;
}

CheckedConfiguration checkConfiguration(const QByteArray& bytes) {
    CheckedConfiguration file;
    const auto refuse = [&file](const QString& why) {
        file.problem = why;
        file.values.clear();
        file.unknown.clear();
        file.instrumentOwn.clear();
        return file;
    };
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return refuse(
            tr("it is not JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset));
    if (const QString key = repeatedKey(bytes); !key.isNull())
        return refuse(tr("the key \"%1\" appears twice in one object").arg(key));
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(QStringLiteral("format")) != kConfigFileFormat)
        return refuse(tr("format: it is not a KVX configuration file"));
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!isWhole(version, 1, 1e9))
        return refuse(tr("version: expected a whole number from 1"));
    if (version.toInt() > kConfigFileVersion)
        return refuse(tr("version: format version %1 is newer than this program reads (%2)")
                          .arg(version.toInt())
                          .arg(kConfigFileVersion));
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!kTopKeys.contains(it.key()))
            return refuse(tr("%1: not a key of a configuration file").arg(it.key()));
        if (kTextKeys.contains(it.key()) && !it.value().isString())
            return refuse(tr("%1: expected text").arg(it.key()));
    }
    if (root.contains(QStringLiteral("instrument"))) {
        const QString problem =
            instrumentProblem(root.value(QStringLiteral("instrument")), &file.mainBoard);
        if (!problem.isEmpty())
            return refuse(problem);
    }
    const QJsonValue settings = root.value(QStringLiteral("settings"));
    if (!settings.isObject())
        return refuse(tr("settings: expected an object of settings"));
    const QJsonObject values = settings.toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString key = presentKey(it.key());
        if (key != it.key() && values.contains(key))
            return refuse(
                tr("settings: %1 and its older name %2 are both there").arg(key, it.key()));
        const Setting* s = findSetting(key);
        if (!s) {
            file.unknown << it.key();
            continue;
        }
        if (!s->written() || s->kind == Kind::Reserved || s->controls.isEmpty()) {
            file.instrumentOwn << it.key();
            continue;
        }
        QString problem;
        const std::optional<QString> words = wordsOf(*s, it.value(), &problem);
        if (!words)
            return refuse(it.key() + QStringLiteral(": ") + problem);
        file.values.append({s, *words});
    }
    return file;
}

void applySetting(KVX_Configurator& w, const Setting& s, const QString& words) {
    QList<QWidget*> c;
    for (const QString& name : s.controls)
        c << w.changes->control(name);
    QWidget* first = c.value(0);
    const QRegularExpressionMatch m = compiled(s, false).match(words);
    switch (s.kind) {
    case Kind::Bit:
        // A bit with a box on two pages: the first that is enabled (the
        // other one follows it).
        for (QWidget* box : c) {
            if (box && box->isEnabled()) {
                clickTo(box, words == switchText(true));
                break;
            }
        }
        break;
    case Kind::Switch:
        clickTo(first, words == switchText(true));
        break;
    case Kind::Choice: {
        int index = int(choiceTexts(s).indexOf(words));
        // A code without words shows as the form shows it after a read.
        if (index < 0 && !words.isEmpty())
            index = s.otherwise;
        if (auto* box = qobject_cast<QComboBox*>(first)) {
            const int item = index >= 0 ? box->findText(s.choices[index].text) : -1;
            if (item >= 0 || words.isEmpty())
                box->setCurrentIndex(item);
        } else if (index >= 0) {
            clickTo(c.value(index), true);
        }
        break;
    }
    case Kind::Integer:
    case Kind::Decimal:
        setNumber(first, words);
        break;
    case Kind::Text:
        if (auto* edit = qobject_cast<QLineEdit*>(first))
            edit->setText(words);
        break;
    case Kind::SampleStart:
        // specificTime, alwaysPowerOn, nextPowerOn, startDateTime
        if (!m.captured(1).isEmpty() || !m.captured(2).isEmpty()) {
            setDate(c.value(3), m.captured(1) + m.captured(2));
            clickTo(c.value(0), true);
        } else {
            clickTo(c.value(words.startsWith(s.choices.value(1).text) ? 1 : 2), true);
        }
        break;
    case Kind::Span:
        setSpan(c, 0, m, 1);
        break;
    case Kind::PumpStart:
        // group, with the sample, delayed, specific, days, hours, minutes, date
        if (words.startsWith(s.choices.value(1).text)) {
            setSpan(c, 4, m, 1);
            clickTo(c.value(2), true);
        } else if (words.startsWith(s.choices.value(2).text)) {
            setDate(c.value(7), m.captured(5));
            clickTo(c.value(3), true);
        } else {
            clickTo(c.value(1), true);
        }
        break;
    case Kind::PumpSpan:
        // group, full, shorter, days, hours, minutes
        if (words.startsWith(s.choices.value(1).text)) {
            setSpan(c, 3, m, 1);
            clickTo(c.value(2), true);
        } else {
            clickTo(c.value(1), true);
        }
        break;
    case Kind::Reserved:
    case Kind::Reading:
        break;
    }
}

bool OpenReport::anythingToSay() const {
    return !notFitted.isEmpty() || !sensorOff.isEmpty() || !keptOwn.isEmpty() ||
           !adjusted.isEmpty() || !notInFile.isEmpty();
}

OpenReport applyConfiguration(KVX_Configurator& w, const CheckedConfiguration& file) {
    ChangeTracker& changes = *w.changes;
    // By key: where a setting has an entry per range of firmware levels, the
    // instrument's level picks the entry that takes it.
    QHash<QString, QString> values;
    for (const auto& [setting, words] : file.values)
        values.insert(setting->key, words);
    const bool sameInstrument = !file.mainBoard.isEmpty() && !w.ui->kvxIDBox->isHidden() &&
                                file.mainBoard == w.ui->kvxIDBox->text();
    OpenReport report;
    // A setting the file sets, and whether the file holds the very value the
    // instrument holds.
    struct Target {
        const Setting* setting;
        QString words;
        bool held;
    };
    QList<Target> targets;
    // A sensor's mode before its logging boxes (switching a sensor on or off
    // sets them), and the sample's start before the pumps': every other kind
    // before the logging bits, each in the catalogue's order.
    QList<const Setting*> order;
    for (const bool bits : {false, true}) {
        for (const Setting& s : settingCatalogue())
            if ((s.kind == Kind::Bit) == bits)
                order << &s;
    }
    for (const Setting* s : order) {
        if (!s->written() || s->kind == Kind::Reserved || s->controls.isEmpty())
            continue;
        if (const Setting* entry = findSetting(s->key, w.firmwareLevel); entry && entry != s)
            continue;
        const auto it = values.constFind(s->key);
        if (it == values.cend()) {
            if (changes.editable(*s))
                report.notInFile << label(*s);
            continue;
        }
        if (!changes.applies(*s)) {
            report.notFitted << label(*s);
            continue;
        }
        if (!changes.editable(*s)) {
            report.sensorOff << label(*s);
            continue;
        }
        if (s->perInstrument && !sameInstrument) {
            report.keptOwn << label(*s);
            continue;
        }
        const std::optional<QString> held = changes.instrumentText(*s);
        targets.append({s, *it, held && *held == *it});
    }
    // The setting ends as the file says: the form shows it, or the file holds
    // the instrument's own value, which an unedited write keeps.
    const auto taken = [&changes](const Target& t) {
        return changes.formText(*t.setting) == t.words || (t.held && !changes.edited(*t.setting));
    };
    const auto apply = [&w, &changes](const Target& t) {
        applySetting(w, *t.setting, t.words);
        // The instrument's own value where the form has no words for it: the
        // form shows it as the read left it, and the write keeps it.
        if (t.held && changes.formText(*t.setting) != t.words)
            changes.restore(*t.setting);
        // A file sets every other value it holds, also one the form shows
        // already.
        changes.setFromFile(*t.setting, !t.held);
    };
    for (const Target& t : targets)
        apply(t);
    // A rule between settings may have undone a value set before (switching
    // a sensor on switches its partner on): again, until every setting ends
    // as the file says or nothing more changes.
    for (int pass = 0; pass < 3; ++pass) {
        bool again = false;
        for (const Target& t : targets) {
            if (!taken(t)) {
                apply(t);
                again = true;
            }
        }
        if (!again)
            break;
    }
    for (const Target& t : targets) {
        if (taken(t))
            ++report.taken;
        else
            report.adjusted << QStringLiteral("%1: %2 \u2192 %3")
                                   .arg(label(*t.setting), t.words, changes.formText(*t.setting));
    }
    changes.refresh();
    return report;
}

CheckedConfiguration readConfiguration(const QString& path) {
    QFile file(path);
    CheckedConfiguration checked;
    if (!file.open(QIODevice::ReadOnly))
        checked.problem = file.errorString();
    else if (const QByteArray bytes = file.read(kMaxFileBytes + 1); bytes.size() > kMaxFileBytes)
        // Read up to the limit only: a pipe or a device reports no size.
        checked.problem = tr("it is too large to be a configuration file");
    else
        checked = checkConfiguration(bytes);
    return checked;
}

OpenMessage takeConfiguration(KVX_Configurator& w, const QString& path,
                              const CheckedConfiguration& checked) {
    const OpenReport report = applyConfiguration(w, checked);
    const QString name = QFileInfo(path).fileName();
    const int differ = w.changes->count();
    w.statusBar()->showMessage(
        differ == 1
            ? tr("Opened %1: 1 setting differs from the instrument.").arg(name)
            : tr("Opened %1: %2 settings differ from the instrument.").arg(name).arg(differ));
    OpenMessage message;
    message.text = tr("Opened %1: %2 settings taken. Nothing is sent to the KVXv2 before Write "
                      "Configuration.")
                       .arg(QDir::toNativeSeparators(path))
                       .arg(report.taken);
    const auto add = [&](const QStringList& list, const QString& summary, const QString& heading) {
        if (!list.isEmpty())
            message.parts.append({summary, heading, list});
    };
    add(report.keptOwn,
        tr("This instrument's sample ID and cartridge and sorbent IDs were kept: the file was "
           "saved from another instrument (%1).")
            .arg(checked.mainBoard.isEmpty() ? tr("no main board named") : checked.mainBoard),
        tr("Kept: saved from another instrument"));
    add(report.adjusted,
        counted(report.adjusted.size(),
                tr("1 value the form cannot show was set to the nearest it can."),
                tr("%1 values the form cannot show were set to the nearest it can.")),
        tr("Set to the nearest the form can show"));
    add(report.notFitted,
        counted(report.notFitted.size(),
                tr("1 setting of a board or firmware level this instrument does not have "
                   "was skipped (%2)."),
                tr("%1 settings of boards or firmware levels this instrument does not have "
                   "were skipped (%2)."))
            .arg(pagesOf(report.notFitted)),
        tr("Skipped: board not fitted or not at this firmware level"));
    add(report.sensorOff,
        counted(report.sensorOff.size(),
                tr("1 setting of a sensor or pump not fitted was skipped."),
                tr("%1 settings of sensors or pumps not fitted were skipped.")),
        tr("Skipped: sensor or pump not fitted"));
    add(checked.unknown,
        counted(checked.unknown.size(), tr("1 key this program does not know was skipped."),
                tr("%1 keys this program does not know were skipped.")),
        tr("Skipped: unknown keys"));
    add(checked.instrumentOwn,
        counted(checked.instrumentOwn.size(), tr("1 value only the instrument sets was not taken."),
                tr("%1 values only the instrument sets were not taken.")),
        tr("Not taken: values only the instrument sets"));
    add(report.notInFile,
        counted(report.notInFile.size(), tr("1 setting the file does not have was left as it was."),
                tr("%1 settings the file does not have were left as they were.")),
        tr("Left as they were: not in the file"));
    return message;
}

QJsonObject configurationSchema() {
    const auto text = [](const QString& description) {
        return QJsonObject{{QStringLiteral("type"), QStringLiteral("string")},
                           {QStringLiteral("description"), description}};
    };
    // Each key once, from its first entry; the description names every
    // entry's page.
    QJsonObject settings;
    for (const Setting& s : settingCatalogue()) {
        if (!s.written() || s.kind == Kind::Reserved || s.controls.isEmpty() ||
            settings.contains(s.key))
            continue;
        QList<const Setting*> entries;
        for (const Setting& other : settingCatalogue())
            if (other.key == s.key)
                entries << &other;
        settings.insert(s.key, settingSchema(entries));
    }
    QJsonObject dependent;
    for (auto it = formerKeys().cbegin(); it != formerKeys().cend(); ++it) {
        QJsonObject schema = settings.value(it.value()).toObject();
        schema.insert(QStringLiteral("description"),
                      QStringLiteral("The older name of %1, which files saved by earlier "
                                     "versions of the program hold; read as that key. A file "
                                     "holds one of the two.")
                          .arg(it.value()));
        schema.insert(QStringLiteral("deprecated"), true);
        settings.insert(it.key(), schema);
        dependent.insert(it.key(), notBoth(it.value()));
    }
    QJsonObject settingsSchema{{QStringLiteral("type"), QStringLiteral("object")},
                               {QStringLiteral("properties"), settings},
                               {QStringLiteral("dependentSchemas"), dependent}};
    settingsSchema.insert(
        QStringLiteral("additionalProperties"),
        QJsonObject{{QStringLiteral("description"),
                     QStringLiteral("A key this program does not know (from a later program, "
                                    "or mistyped) or a value only the instrument sets (serial "
                                    "numbers, run times, the clock): skipped when the file is "
                                    "opened, and listed")}});

    const QStringList boardNames = {
        QStringLiteral("the main board"), QStringLiteral("the gas board"),
        QStringLiteral("Pump A's board"), QStringLiteral("Pump B's board"),
        QStringLiteral("the board of Pumps C and D")};
    QJsonObject boards;
    for (int i = 0; i < kBoards.size(); ++i)
        boards.insert(kBoards[i], text(QStringLiteral("The identifier of %1").arg(boardNames[i])));
    QJsonObject boardsDependent;
    for (auto it = formerBoards().cbegin(); it != formerBoards().cend(); ++it) {
        QJsonObject older = text(QStringLiteral("The older name of %1, which files saved by "
                                                "earlier versions of the program hold. A file "
                                                "holds one of the two.")
                                     .arg(it.value()));
        older.insert(QStringLiteral("deprecated"), true);
        boards.insert(it.key(), older);
        boardsDependent.insert(it.key(), notBoth(it.value()));
    }
    const QJsonObject instrument{
        {QStringLiteral("type"), QStringLiteral("object")},
        {QStringLiteral("description"),
         QStringLiteral("The instrument the file was saved from, for reference: only the main "
                        "board's identifier is used, to tell whether the sample ID and the "
                        "cartridge and sorbent IDs are taken")},
        {QStringLiteral("additionalProperties"), false},
        {QStringLiteral("properties"),
         QJsonObject{
             {QStringLiteral("firmware_level"),
              QJsonObject{{QStringLiteral("type"), QStringLiteral("integer")},
                          {QStringLiteral("minimum"), 0},
                          {QStringLiteral("maximum"), 65535}}},
             {QStringLiteral("boards"),
              QJsonObject{{QStringLiteral("type"), QStringLiteral("object")},
                          {QStringLiteral("description"),
                           QStringLiteral("The identifiers of the boards fitted, named as their "
                                          "settings' keys begin")},
                          {QStringLiteral("additionalProperties"), false},
                          {QStringLiteral("properties"), boards},
                          {QStringLiteral("dependentSchemas"), boardsDependent}}}}}};

    QJsonObject saved = text(QStringLiteral("The UTC time of saving (ISO 8601), for reference"));
    saved.insert(QStringLiteral("format"), QStringLiteral("date-time"));
    return QJsonObject{
        {QStringLiteral("$schema"), QStringLiteral("https://json-schema.org/draft/2020-12/schema")},
        {QStringLiteral("$id"), kConfigSchemaId},
        {QStringLiteral("title"),
         QStringLiteral("KVX Configurator configuration file, format version %1")
             .arg(kConfigFileVersion)},
        {QStringLiteral("description"),
         QStringLiteral("The settings of a KVXv2 instrument by key, each in the form's own words "
                        "and units (docs/configuration-file.md). This schema refuses exactly the "
                        "files the program refuses to open.")},
        {QStringLiteral("type"), QStringLiteral("object")},
        {QStringLiteral("required"), QJsonArray{QStringLiteral("format"), QStringLiteral("version"),
                                                QStringLiteral("settings")}},
        {QStringLiteral("additionalProperties"), false},
        {QStringLiteral("properties"),
         QJsonObject{
             {QStringLiteral("$schema"),
              text(QStringLiteral("The schema the file follows, for editors (%1); not read")
                       .arg(kConfigSchemaId))},
             {QStringLiteral("format"), QJsonObject{{QStringLiteral("const"), kConfigFileFormat}}},
             {QStringLiteral("version"),
              QJsonObject{{QStringLiteral("const"), kConfigFileVersion}}},
             {QStringLiteral("program"),
              text(QStringLiteral("The program that saved the file, for reference"))},
             {QStringLiteral("saved"), saved},
             {QStringLiteral("instrument"), instrument},
             {QStringLiteral("settings"), settingsSchema}}}};
}

void addFileMenu(KVX_Configurator& w) {
    QMenu* menu = w.menuBar()->addMenu(tr("&File"));
    menu->setObjectName(QStringLiteral("menuFile"));
    QAction* open = menu->addAction(tr("&Open Configuration\u2026"));
    open->setObjectName(QStringLiteral("actionOpenConfiguration"));
    open->setShortcuts(QKeySequence::Open);
    QAction* save = menu->addAction(tr("&Save Configuration As\u2026"));
    save->setObjectName(QStringLiteral("actionSaveConfiguration"));
    save->setShortcuts(QKeySequence::keyBindings(QKeySequence::Save) +
                       QKeySequence::keyBindings(QKeySequence::SaveAs));
    QAction* record = menu->addAction(tr("Save &Record\u2026"));
    record->setObjectName(QStringLiteral("actionSaveRecord"));
    menu->addSeparator();
    QAction* quit = menu->addAction(tr("&Quit"));
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcuts(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, &w, &QWidget::close);

    // Usable exactly when a button's workflow could start: looked at again
    // whenever the workflow buttons lock, unlock or reset.
    const auto update = [&w, open, save, record] {
        const bool can = w.canStartWorkflow();
        open->setEnabled(can);
        save->setEnabled(can);
        record->setEnabled(can);
    };
    update();
    QObject::connect(menu, &QMenu::aboutToShow, menu, update);
    QObject::connect(&w, &KVX_Configurator::workflowButtonsChanged, menu, update);

    const QString filter = tr("KVX configurations (*.%1)").arg(kConfigFileSuffix);
    QObject::connect(open, &QAction::triggered, &w, [&w, filter] {
        if (!w.canStartWorkflow())
            return;
        const QString path =
            QFileDialog::getOpenFileName(&w, tr("Open Configuration"), QString(), filter);
        if (!path.isEmpty())
            w.openConfigurationFrom(path);
    });
    QObject::connect(save, &QAction::triggered, &w, [&w, filter] {
        if (!w.canStartWorkflow())
            return;
        const QString suggested =
            (w.ui->kvxIDBox->text().isEmpty() ? QStringLiteral("KVXv2") : w.ui->kvxIDBox->text()) +
            QLatin1Char('.') + kConfigFileSuffix;
        // The dialog adds the suffix itself, so that its question before
        // replacing a file is about the file that will be written.
        QPointer<QFileDialog> dialog =
            new QFileDialog(&w, tr("Save Configuration As"), suggested, filter);
        dialog->setObjectName(QStringLiteral("saveConfigurationDialog"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(kConfigFileSuffix);
        const bool accepted = dialog->exec() == QDialog::Accepted;
        if (!dialog)
            return; // the window is gone
        const QStringList chosen = dialog->selectedFiles();
        delete dialog;
        if (accepted && !chosen.isEmpty())
            w.saveConfigurationTo(chosen.first());
    });
    QObject::connect(record, &QAction::triggered, &w, [&w] { askAndSaveRecord(w); });
}

} // namespace kvx

bool KVX_Configurator::saveConfigurationTo(const QString& path) {
    if (!canStartWorkflow())
        return false;
    const QJsonObject doc = kvx::configurationDocument(*this);
    const QByteArray bytes = QJsonDocument(doc).toJson(QJsonDocument::Indented);
    const QString name = QFileInfo(path).fileName();
    // Written whole under another name and then renamed: a failed save leaves
    // an older file of that name as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString why = file.errorString();
        statusBar()->showMessage(tr("Could not save %1: %2").arg(name, why));
        kvx::tell(*this, QMessageBox::Warning, tr("Save Configuration"),
                  tr("Could not save the configuration to %1.").arg(QDir::toNativeSeparators(path)),
                  tr("%1. A file of that name that was there before is as it was.").arg(why));
        return false;
    }
    statusBar()->showMessage(tr("Saved %1: %2 settings.")
                                 .arg(name)
                                 .arg(doc.value(QStringLiteral("settings")).toObject().size()));
    return true;
}

bool KVX_Configurator::openConfigurationFrom(const QString& path) {
    if (!canStartWorkflow())
        return false;
    const kvx::CheckedConfiguration checked = kvx::readConfiguration(path);
    if (!checked.problem.isEmpty()) {
        statusBar()->showMessage(tr("Could not open %1.").arg(QFileInfo(path).fileName()));
        kvx::tell(*this, QMessageBox::Warning, tr("Open Configuration"),
                  tr("Could not open %1.").arg(QDir::toNativeSeparators(path)),
                  tr("%1.\n\nThe form is as it was.").arg(checked.problem));
        return false;
    }
    const kvx::OpenMessage message = kvx::takeConfiguration(*this, path, checked);
    QStringList said, details;
    for (const kvx::OpenMessage::Part& part : message.parts) {
        said << QStringLiteral("\u2022 ") + part.summary;
        details << part.heading + QLatin1Char(':') << part.settings << QString();
    }
    if (!said.isEmpty())
        kvx::tell(*this, QMessageBox::Information, tr("Configuration opened"), message.text,
                  said.join(QLatin1Char('\n')), details.join(QLatin1Char('\n')).trimmed());
    return true;
}
