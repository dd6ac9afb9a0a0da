// The catalogue of settings against the board codecs. For every written
// setting of a fully fitted instrument: changing its control changes exactly
// the bits the catalogue names in the written record and nothing else; once
// written, the instrument's value under the catalogue's read layout shows as
// the control does, and a read puts the control back as it was. Every byte of every written
// record belongs to a setting or is named reserved; a key names one stored
// setting (entries that share it hold the same fields at other firmware
// levels) and each control and caption is the form's own.
#include "image/Settings.h"
#include "image/boards/PumpCodec.h"
#include "tests/support/SimRig.h"
#include "workflows/Changes.h"
#include "workflows/WriteWorkflow.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

// The written record `word` as the form builds it now.
ConfigImage encoded(KVX_Configurator& w, quint16 word) {
    ConfigImage image;
    for (Pump pump : kAllPumps) {
        if (pumpRecords(pump).cartridge == word) {
            encodePumpCartridgeRecord(*w.ui, pump, image,
                                      QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
            return image;
        }
    }
    encodeRecord(w, word, image);
    return image;
}

// The bits of the record `word` that `s` writes (all bits of a wide field).
QByteArray bitsOf(const Setting& s, quint16 word) {
    QByteArray bits(kImageCapacity, '\0');
    for (const FieldPos& f : s.write) {
        if (f.word != word)
            continue;
        for (int i = 0; i < f.width; ++i) {
            const quint32 mask = f.width > 4 || !f.mask ? 0xFF : f.mask >> (8 * (f.width - 1 - i));
            bits[f.at + i] = char(bits[f.at + i] | char(mask & 0xFF));
        }
    }
    return bits;
}

// Gives the setting's controls another value the form can show, as program
// code would (no interlock runs).
void change(KVX_Configurator& w, const Setting& s) {
    auto c = [&](int i) { return w.changes->control(s.controls.value(i)); };
    auto check = [&](int i) { qobject_cast<QAbstractButton*>(c(i))->setChecked(true); };
    auto checked = [&](int i) { return qobject_cast<QAbstractButton*>(c(i))->isChecked(); };
    auto bump = [](QWidget* widget) {
        auto* box = qobject_cast<QSpinBox*>(widget);
        box->setValue(box->value() < box->maximum() ? box->value() + 1 : box->value() - 1);
    };
    switch (s.kind) {
    case SettingKind::Bit: // both boxes of a bit Pumps C and D share
    case SettingKind::Switch: {
        const bool on = !qobject_cast<QAbstractButton*>(c(0))->isChecked();
        for (int i = 0; i < s.controls.size(); ++i)
            qobject_cast<QAbstractButton*>(c(i))->setChecked(on);
        break;
    }
    case SettingKind::Choice:
        if (auto* combo = qobject_cast<QComboBox*>(c(0))) {
            combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        } else {
            const int now = checked(0) ? 0 : checked(1) ? 1 : 2;
            check((now + 1) % 3);
        }
        break;
    case SettingKind::Integer:
    case SettingKind::Span:
        bump(c(0));
        break;
    case SettingKind::Decimal: {
        auto* box = qobject_cast<QDoubleSpinBox*>(c(0));
        const double step = std::pow(10.0, -box->decimals());
        box->setValue(box->value() + (box->value() + step <= box->maximum() ? step : -step));
        break;
    }
    case SettingKind::Text: {
        auto* edit = qobject_cast<QLineEdit*>(c(0));
        edit->setText(edit->text() == "ALT-1" ? "ALT-2" : "ALT-1");
        break;
    }
    case SettingKind::SampleStart:
        check(checked(0) ? 2 : 0);
        break;
    case SettingKind::PumpStart:
        if (checked(1)) {
            check(2);
            qobject_cast<QSpinBox*>(c(4))->setValue(1);
        } else {
            check(checked(2) ? 3 : 1);
        }
        break;
    case SettingKind::PumpSpan:
        if (checked(1)) {
            check(2);
            qobject_cast<QSpinBox*>(c(3))->setValue(1);
        } else {
            check(1);
        }
        break;
    case SettingKind::Reserved:
    case SettingKind::Reading:
        break;
    }
}

QSet<quint16> wordsOf(const Setting& s) {
    QSet<quint16> words;
    for (const FieldPos& f : s.write)
        words.insert(f.word);
    return words;
}

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SimRig> rig;
    int level = -1;

private slots:
    void cleanupTestCase() { rig.reset(); }

    void keysControlsAndCaptions() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        QHash<QString, const Setting*> keys;
        const QRegularExpression scheme("^[a-z0-9_]+(\\.[a-z0-9_]+)+$");
        for (const Setting& s : settingCatalogue()) {
            QVERIFY2(scheme.match(s.key).hasMatch(), qPrintable(s.key));
            // A key shared: the same stored setting, shown elsewhere at other levels.
            if (const Setting* first = keys.value(s.key)) {
                QVERIFY2(first->maxLevel < s.minLevel, qPrintable(s.key));
                QVERIFY2(first->kind == s.kind && first->conversion == s.conversion &&
                             first->onCode == s.onCode && first->controls != s.controls,
                         qPrintable(s.key));
                for (int i = 0; i < s.read.size(); ++i)
                    QVERIFY2(first->read[i].word == s.read[i].word &&
                                 first->read[i].at == s.read[i].at &&
                                 first->read[i].mask == s.read[i].mask,
                             qPrintable(s.key));
                QCOMPARE(first->read.size(), s.read.size());
                QCOMPARE(first->write.size(), s.write.size());
                for (int i = 0; i < s.write.size(); ++i)
                    QVERIFY2(first->write[i].word == s.write[i].word &&
                                 first->write[i].at == s.write[i].at &&
                                 first->write[i].mask == s.write[i].mask,
                             qPrintable(s.key));
                QCOMPARE(findSetting(s.key), first);
            } else {
                keys.insert(s.key, &s);
                QCOMPARE(findSetting(s.key), &s);
            }
            QCOMPARE(findSetting(s.key, s.minLevel), &s);
            QCOMPARE(findSetting(s.key, s.maxLevel), &s);
            QVERIFY2(s.write.isEmpty() || s.read.isEmpty() || s.read.size() == s.write.size(),
                     qPrintable(s.key));
            for (const QString& name : s.controls)
                QVERIFY2(rig.w().changes->control(name), qPrintable(s.key + ": " + name));
            // The instrument's own values read as the form shows them.
            if (s.kind == SettingKind::Reading && rig.w().changes->applies(s))
                QCOMPARE(rig.w().changes->instrumentText(s).value_or("(none)"),
                         rig.w().changes->formText(s));
            // A check box's caption is its own text.
            if (s.kind == SettingKind::Bit) {
                const QString text =
                    qobject_cast<QAbstractButton*>(rig.w().changes->control(s.controls.first()))
                        ->text()
                        .replace("&&", "&");
                QVERIFY2(s.caption.endsWith(text), qPrintable(s.key + ": " + s.caption));
            }
        }
    }

    void everyWrittenSettingMovesItsOwnBits_data() {
        QTest::addColumn<int>("entry");
        const QList<Setting>& all = settingCatalogue();
        for (int i = 0; i < all.size(); ++i)
            if (all[i].written() && !all[i].controls.isEmpty())
                QTest::newRow(qPrintable(all[i].key + " " + all[i].tab)) << i;
    }
    void everyWrittenSettingMovesItsOwnBits() {
        QFETCH(int, entry);
        const Setting& s = settingCatalogue()[entry];
        // One connection per firmware range the settings need, with room
        // above every flow rate.
        if (!rig || level != (s.maxLevel == 0 ? 0 : 5)) {
            level = s.maxLevel == 0 ? 0 : 5;
            auto config = SimRig::load("full");
            config.firmwareLevel = level;
            for (auto& p : config.pumps)
                p.limitRaw = 60000;
            rig = std::make_unique<SimRig>(config);
            QVERIFY(rig->connect());
        }
        KVX_Configurator& w = rig->w();
        if (!w.changes->editable(s))
            QSKIP("not taken from this form: a control the instrument leaves disabled");
        QMap<quint16, ConfigImage> before;
        for (quint16 word : wordsOf(s))
            before.insert(word, encoded(w, word));
        change(w, s);
        QVERIFY2(w.changes->edited(s), qPrintable(w.changes->formText(s)));
        bool moved = false;
        for (quint16 word : wordsOf(s)) {
            const ConfigImage after = encoded(w, word);
            QCOMPARE(after.length, before[word].length);
            const QByteArray allowed = bitsOf(s, word);
            for (int i = 0; i < after.length; ++i) {
                const int diff = after.bytes[size_t(i)] ^ before[word].bytes[size_t(i)];
                QVERIFY2((diff & ~quint8(allowed[i])) == 0,
                         qPrintable(QString("byte %1 of %2").arg(i).arg(word, 4, 16)));
                moved = moved || diff != 0;
            }
        }
        QVERIFY(moved);
        // Written, the instrument's record under the catalogue's read layout
        // shows as the control does; read back by the board's decoder, the
        // control shows the same again.
        const QString shown = w.changes->formText(s);
        rig->pressWrite();
        QVERIFY(rig->settle());
        QCOMPARE(w.changes->instrumentText(s).value_or("(none)"), shown);
        QVERIFY(!w.changes->edited(s));
        {
            DialogScript yes({}, QMessageBox::Yes);
            w.KVXReadButtonPressed();
        }
        QVERIFY(rig->settle());
        QCOMPARE(w.changes->formText(s), shown);
    }

    void everyByteOfAWrittenRecordIsNamed() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        QMap<quint16, QByteArray> named;
        for (const Setting& s : settingCatalogue()) {
            for (quint16 word : wordsOf(s)) {
                QByteArray& bits = named[word];
                bits.resize(kImageCapacity, '\0');
                const QByteArray own = bitsOf(s, word);
                for (int i = 0; i < kImageCapacity; ++i)
                    bits[i] = char(bits[i] | own[i]);
            }
        }
        QCOMPARE(named.size(), 32);
        for (auto it = named.cbegin(); it != named.cend(); ++it) {
            const ConfigImage record = encoded(rig.w(), it.key());
            QVERIFY2(record.length > 2, qPrintable(QString::number(it.key(), 16)));
            for (int i = 2; i < record.length; ++i)
                QVERIFY2(quint8(it.value()[i]) == 0xFF,
                         qPrintable(QString("byte %1 of %2").arg(i).arg(it.key(), 4, 16)));
        }
    }
};

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
