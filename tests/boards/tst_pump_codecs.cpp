// Pump records of Pumps A-D and the logging words of both pump boards.
#include "image/boards/FilterPumpCodec.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/SorbentPumpCodec.h"
#include "tests/boards/FormFixture.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

const QDateTime kStart(QDate(2024, 3, 25), QTime(9, 5), Qt::UTC);

QList<QCheckBox*> checkedBoxes(const PumpWidgets& w) {
    QList<QCheckBox*> out;
    for (QCheckBox* box : w.allLogging) {
        if (box->isChecked())
            out << box;
    }
    return out;
}

} // namespace

class PumpCodecTest : public QObject {
    Q_OBJECT

private slots:
    void flowSetsLimitBeforeRate() {
        Form f;
        f.ui.pumpAFlowRate->setMaximum(0.1);
        QVERIFY(
            decodePumpFlowRecord(f.ui, Pump::A, record(0x8012, {1, 0x03, 0xE8, 0x07, 0xD0}), 5));
        QCOMPARE(f.ui.pumpAFlowRate->maximum(), 2.0);
        QCOMPARE(f.ui.pumpAFlowRate->value(), 1.0);

        QVERIFY(decodePumpFlowRecord(f.ui, Pump::C, record(0xC201, {1, 0, 0x32, 0, 0xC8}), 5));
        QCOMPARE(f.ui.pumpCFlowRate->maximum(), 2.0);
        QCOMPARE(f.ui.pumpCFlowRate->value(), 0.5);

        // A record without the limit forces the rate to 0.
        QVERIFY(decodePumpFlowRecord(f.ui, Pump::B, record(0x8014, {1, 0x03, 0xE8}), 5));
        QCOMPARE(f.ui.pumpBFlowRate->maximum(), 0.0);
        QCOMPARE(f.ui.pumpBFlowRate->value(), 0.0);
    }

    void pumpNotFitted() {
        for (int level : {1, 2}) {
            Form f;
            const PumpWidgets w = pumpWidgets(f.ui, Pump::A);
            for (QCheckBox* box : w.allLogging)
                box->setChecked(true);
            f.ui.pumpAFlowRate->setValue(1.5);
            f.ui.pumpACartID->setText("FC-1");
            QVERIFY(!decodePumpFlowRecord(f.ui, Pump::A, record(0x8012, {0, 0x03, 0xE8}), level));
            QVERIFY(!f.ui.pumpAFlowRate->isEnabled() && !f.ui.pumpACartID->isEnabled());
            QCOMPARE(f.ui.pumpAFlowRate->value(), 1.5);
            QCOMPARE(f.ui.pumpACartID->text(), QString("FC-1"));
            QVERIFY(f.ui.pumpALogPUMPS->isChecked() && !f.ui.pumpALogPUMPS->isEnabled());
            QVERIFY(f.ui.pumpALogIBMP581P->isEnabled());
            // The ten quantities of the pump itself are left out of the word.
            QCOMPARE(collectFilterPumpLogging(f.ui, Pump::A), quint32(0x1FFFF & ~0xF87C));
            QCOMPARE(f.ui.pumpAStart->isEnabled(), level < 2);
            QCOMPARE(f.ui.pumpADurationDaysLabel->isEnabled(), level < 2);
        }
        // An answer too short to hold the flag counts as not fitted.
        Form g;
        QVERIFY(!decodePumpFlowRecord(g.ui, Pump::D, record(0xC101), 5));
        QVERIFY(!g.ui.pumpDFlowRate->isEnabled() && !g.ui.pumpDLogBMP581T->isEnabled());
        QVERIFY(g.ui.pumpDLogVSUPPLY->isEnabled());
        QVERIFY(!g.ui.pumpDStart->isEnabled());
        QVERIFY(g.ui.pumpCFlowRate->isEnabled());
    }

    void countersAndCartridge() {
        Form f;
        decodePumpInstallRecord(f.ui, Pump::B, record(0x8034, {0x3C, 0x98, 9, 5}));
        QCOMPARE(f.ui.pumpBInstall->text(), QString("On 3/25/2024 @ 9:05"));
        decodePumpRunRecord(f.ui, Pump::B, record(0x8044, {0, 1, 0, 0}));
        QCOMPARE(f.ui.pumpBRun->text(), QString("65536"));
        decodePumpVolumeRecord(f.ui, Pump::B, record(0x8054, {0, 1, 0}));
        QCOMPARE(f.ui.pumpBVolume->text(), QString("0"));

        std::array<QString, 4> ids;
        ConfigImage id = record(0x8024);
        for (char c : QByteArray("ABCDEFGHIJKLMNOPQRST"))
            id.appendU8(quint8(c));
        id.appendU8(0);
        decodePumpCartridgeRecord(f.ui, Pump::B, id, ids[1]);
        QCOMPARE(f.ui.pumpBCartID->text(), QString("ABCDEFGHIJKLMNO"));
        QCOMPARE(ids[1], QString("ABCDEFGHIJKLMNO"));
        QVERIFY(!pumpCartridgeChanged(f.ui, Pump::B, ids));
        f.ui.pumpBCartID->setText("abcdefghijklmno");
        QVERIFY(pumpCartridgeChanged(f.ui, Pump::B, ids));
        f.ui.pumpBCartID->setEnabled(false);
        QVERIFY(!pumpCartridgeChanged(f.ui, Pump::B, ids));

        ConfigImage out;
        f.ui.pumpCCartID->setText("ST-9");
        encodePumpCartridgeRecord(f.ui, Pump::C, out, QDateTime(QDate(2025, 3, 7), QTime(9, 5)));
        QCOMPARE(out.requestWord(), quint16(0xC211));
        QCOMPARE(dataOf(out),
                 bytes({0x33, 0x99, 9, 5, 'S', 'T', '-', '9', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    }

    void startRecords() {
        Form f;
        const PumpWidgets w = pumpWidgets(f.ui, Pump::A);
        // Delay half filled: a delay, whatever the date half holds.
        decodePumpStartRecord(f.ui, Pump::A, record(0x8062, {0, 1, 2, 3, 0x3C, 0x98, 9, 5}));
        QVERIFY(w.delayedStart->isChecked());
        QCOMPARE(w.delayDays->value(), 1);
        QCOMPARE(w.delayHours->value(), 2);
        QCOMPARE(w.delayMinutes->value(), 3);
        QVERIFY(!w.startDateTime->isEnabled());

        // Date half only, the sample starting at a specific time.
        decodePumpStartRecord(f.ui, Pump::A, record(0x8062, {0, 0, 0, 0, 0x3C, 0x98, 9, 5}));
        QVERIFY(w.specificDateTime->isChecked() && w.specificDateTime->isEnabled());
        QCOMPARE(w.startDateTime->dateTime(), kStart);
        QVERIFY(!w.delayDays->isEnabled());

        // All zero: with the sample.
        Form g;
        const PumpWidgets v = pumpWidgets(g.ui, Pump::D);
        decodePumpStartRecord(g.ui, Pump::D, record(0xC151, {0, 0, 0, 0, 0, 0, 0, 0}));
        QVERIFY(v.sampleStart->isChecked());
        QVERIFY(!v.startDateTime->isEnabled() && !v.delayMinutes->isEnabled());

        // A specific pump start while the sample starts at power-on: shown and
        // written back as a start with the sample.
        Form h;
        const PumpWidgets u = pumpWidgets(h.ui, Pump::B);
        h.ui.startDateTime->setEnabled(false);
        decodePumpStartRecord(h.ui, Pump::B, record(0x8064, {0, 0, 0, 0, 0x3C, 0x98, 9, 5}));
        QVERIFY(u.sampleStart->isChecked());
        QVERIFY(!u.specificDateTime->isEnabled() && !u.startDateTime->isEnabled());
        ConfigImage out;
        encodePumpStartRecord(h.ui, Pump::B, out);
        QCOMPARE(out.requestWord(), quint16(0x8064));
        QCOMPARE(dataOf(out), QByteArray(8, '\0'));
    }

    void startAndDurationEncoding() {
        Form f;
        const PumpWidgets w = pumpWidgets(f.ui, Pump::C);
        ConfigImage out;
        w.delayedStart->setChecked(true);
        encodePumpStartRecord(f.ui, Pump::C, out); // a delay of 0: with the sample
        QCOMPARE(dataOf(out), QByteArray(8, '\0'));
        decodePumpStartRecord(f.ui, Pump::C, out);
        QVERIFY(w.sampleStart->isChecked());

        w.delayedStart->setChecked(true);
        w.delayDays->setValue(1);
        w.delayHours->setValue(2);
        w.delayMinutes->setValue(3);
        encodePumpStartRecord(f.ui, Pump::C, out);
        QCOMPARE(dataOf(out), bytes({0, 1, 2, 3, 0, 0, 0, 0}));

        w.specificDateTime->setChecked(true);
        w.startDateTime->setDateTime(kStart);
        encodePumpStartRecord(f.ui, Pump::C, out);
        QCOMPARE(dataOf(out), bytes({0, 0, 0, 0, 0x3C, 0x98, 9, 5}));

        w.partialSample->setChecked(true);
        encodePumpDurationRecord(f.ui, Pump::C, out); // partial 0: the whole sample
        QCOMPARE(out.requestWord(), quint16(0xC261));
        QCOMPARE(dataOf(out), QByteArray(4, '\0'));
        decodePumpDurationRecord(f.ui, Pump::C, out);
        QVERIFY(w.fullSample->isChecked() && !w.durationHours->isEnabled());

        w.partialSample->setChecked(true);
        w.durationDays->setValue(300);
        w.durationMinutes->setValue(59);
        encodePumpDurationRecord(f.ui, Pump::C, out);
        QCOMPARE(dataOf(out), bytes({1, 44, 0, 59}));
        w.fullSample->setChecked(true);
        decodePumpDurationRecord(f.ui, Pump::C, out);
        QVERIFY(w.partialSample->isChecked());
        QCOMPARE(w.durationDays->value(), 300);
    }

    void flowAndRunRecords() {
        Form f;
        ConfigImage out;
        f.ui.pumpAFlowRate->setValue(1.25);
        encodePumpFlowRecord(f.ui, Pump::A, out);
        QCOMPARE(out.readU16(2), quint16(1250));
        encodePumpRunRecord(f.ui, Pump::A, out, true);
        QCOMPARE(out.requestWord(), quint16(0x8082));
        QCOMPARE(out.readU16(2), quint16(1250));
        f.ui.pumpAFlowRate->setValue(0.001);
        encodePumpRunRecord(f.ui, Pump::A, out, true);
        QCOMPARE(out.readU16(2), quint16(1));
        f.ui.pumpCFlowRate->setValue(0.75);
        encodePumpRunRecord(f.ui, Pump::C, out, true);
        QCOMPARE(out.requestWord(), quint16(0xC271));
        QCOMPARE(out.readU16(2), quint16(75));
        encodePumpRunRecord(f.ui, Pump::D, out, false);
        QCOMPARE(out.requestWord(), quint16(0xC171));
        QCOMPARE(out.length, 4);
        QCOMPARE(out.readU16(2), quint16(0));
        f.ui.pumpDFlowRate->setValue(1.25);
        encodePumpFlowRecord(f.ui, Pump::D, out);
        QCOMPARE(out.requestWord(), quint16(0xC101));
        QCOMPARE(out.readU16(2), quint16(125));
    }

    void filterPumpLogging() {
        Form f;
        decodeFilterPumpLoggingRecord(f.ui, Pump::B, record(0x8004, {0, 1, 0, 5}));
        QVERIFY(f.ui.pumpBLogVSUPPLY->isChecked() && f.ui.pumpBLogPUMPS->isChecked());
        QVERIFY(f.ui.pumpBLogAtmo->isChecked());
        QCOMPARE(checkedBoxes(pumpWidgets(f.ui, Pump::B)).size(), 3);
        QVERIFY(checkedBoxes(pumpWidgets(f.ui, Pump::A)).isEmpty());
        ConfigImage out;
        encodeFilterPumpLoggingRecord(f.ui, Pump::B, out);
        QCOMPARE(out.requestWord(), quint16(0x8004));
        QCOMPARE(out.readU32(2), quint32(0x10005));
        decodeFilterPumpLoggingRecord(f.ui, Pump::B, record(0x8004, {0, 1, 0}));
        QVERIFY(checkedBoxes(pumpWidgets(f.ui, Pump::B)).isEmpty());
    }

    void sorbentLogging() {
        Form f;
        const PumpWidgets c = pumpWidgets(f.ui, Pump::C);
        const PumpWidgets d = pumpWidgets(f.ui, Pump::D);
        f.ui.pumpDLogVSUPPLY->setEnabled(false); // its twin on Pump C is enabled
        decodePumpsCDLoggingRecord(f.ui, record(0xC001, {0x04, 0, 0, 0x01}));
        QCOMPARE(checkedBoxes(c), (QList<QCheckBox*>{f.ui.pumpCLogVSUPPLY, f.ui.pumpCLogAtmo}));
        QCOMPARE(checkedBoxes(d), (QList<QCheckBox*>{f.ui.pumpDLogVSUPPLY, f.ui.pumpDLogAtmo}));

        decodePumpsCDLoggingRecord(f.ui, record(0xC001, {0, 0, 0x80, 0}));
        QCOMPARE(checkedBoxes(c), QList<QCheckBox*>{f.ui.pumpCLogRDAC});
        QVERIFY(checkedBoxes(d).isEmpty());
        decodePumpsCDLoggingRecord(f.ui, record(0xC001, {0, 0, 0, 0x10}));
        QVERIFY(checkedBoxes(c).isEmpty());
        QCOMPARE(checkedBoxes(d), QList<QCheckBox*>{f.ui.pumpDLogRDAC});

        // Both twins disabled: both left alone.
        f.ui.pumpCLog3V3->setChecked(true);
        f.ui.pumpCLog3V3->setEnabled(false);
        f.ui.pumpDLog3V3->setEnabled(false);
        decodePumpsCDLoggingRecord(f.ui, record(0xC001, {0, 0, 0, 0}));
        QVERIFY(f.ui.pumpCLog3V3->isChecked());
    }

    // Pump C not fitted, Pump D fitted: Pump C's own bits go out as 0, a
    // shared bit from whichever twin is enabled and checked.
    void sorbentLoggingWithPumpCAbsent() {
        Form f;
        const PumpWidgets c = pumpWidgets(f.ui, Pump::C);
        const PumpWidgets d = pumpWidgets(f.ui, Pump::D);
        for (QCheckBox* box : c.allLogging)
            box->setChecked(true);
        QVERIFY(!decodePumpFlowRecord(f.ui, Pump::C, record(0xC201, {0}), 2));
        d.allLogging[5]->setChecked(true);       // pumpDLogRDAC, bit 4
        f.ui.pumpDLogBMP390T->setChecked(true);  // bit 3
        f.ui.pumpCLogVSUPPLY->setEnabled(false); // checked but disabled: bit 0 from D (off)
        ConfigImage out;
        encodePumpsCDLoggingRecord(f.ui, out);
        QCOMPARE(out.requestWord(), quint16(0xC001));
        // Shared bits 1, 2, 3 and 26 from Pump C's enabled boxes or D's.
        QCOMPARE(out.readU32(2), quint32(0x0400001E));
        QCOMPARE(out.readU32(2) & 0x03FF8000u, quint32(0));
    }
};

QTEST_MAIN(PumpCodecTest)
#include "tst_pump_codecs.moc"
