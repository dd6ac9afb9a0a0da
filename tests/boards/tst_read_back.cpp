// Writing back what was read: what the operator could not change goes out as
// the instrument last reported it, what the operator could change comes from
// the form, and without a read the form alone decides.
#include "FormFixture.h"
#include "image/LoggingWord.h"
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/FilterPumpCodec.h"
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/SorbentPumpCodec.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

struct FakeBox {
    bool enabled = true;
    bool checked = false;
    bool isEnabled() const { return enabled; }
    bool isChecked() const { return checked; }
    void setChecked(bool on) { checked = on; }
};

ConfigImage loggingRecord(quint16 word, quint32 value) {
    ConfigImage image;
    image.resetRequest(word);
    image.appendU32(value);
    return image;
}

} // namespace

class ReadBackTest : public QObject {
    Q_OBJECT

private slots:
    void mergeTakesOnlyEditableBitsFromTheBoxes() {
        FakeBox on, off, hidden;
        on.checked = true;
        hidden.enabled = false;
        hidden.checked = true; // a disabled box's state never counts
        const std::array<LoggingBit<FakeBox>, 3> table{{{0, &on}, {1, &off}, {4, &hidden}}};
        // Read: bit 1 (an enabled box, now clear) and bit 9 (no box); the
        // disabled box of bit 4 was clear.
        QCOMPARE(mergeLoggingWord(0x00000202u, table), quint32(0x00000201u));
        QCOMPARE(mergeLoggingWord(0x00000010u, table), quint32(0x00000011u));
        QCOMPARE(mergeLoggingWord(0x00000000u, table), quint32(0x00000001u));
        QCOMPARE(mergeLoggingWord(0xFFFFFFFFu, table), quint32(0xFFFFFFFDu));
    }

    void mainLoggingKeepsAbsentSensorAndUnusedBits() {
        Form f;
        ReadBackState readBack;
        // SEN55 absent: its eight boxes disabled and unchecked by the read.
        decodeSen55Record(f.ui, record(0x0060));
        const quint32 read = 0x8000FF03u; // bits 0, 1, SEN55 8-15, and 31 without a box
        decodeMainLoggingRecord(f.ui, loggingRecord(0x0000, read));
        readBack.records.insert(0x0000, loggingRecord(0x0000, read));
        f.ui.mainLogVBUS->setChecked(false); // the operator's one edit
        f.ui.mainLogVBAT->setChecked(true);
        ConfigImage out;
        encodeMainLoggingRecord(f.ui, out, readBack);
        QCOMPARE(out.readU32(2), quint32(0x8000FF12u));
        // Without a read, the form alone: absent and unused bits are 0.
        encodeMainLoggingRecord(f.ui, out);
        QCOMPARE(out.readU32(2), quint32(0x00000012u));
    }

    void pumpLoggingKeepsTheBitsOfAnAbsentPump() {
        Form f;
        ReadBackState readBack;
        QVERIFY(!decodePumpFlowRecord(f.ui, Pump::A, record(0x8012, {0}), 2));
        readBack.records.insert(0x8002, loggingRecord(0x8002, 0x0001FFFFu));
        decodeFilterPumpLoggingRecord(f.ui, Pump::A, loggingRecord(0x8002, 0x0001FFFFu));
        f.ui.pumpALog3V3->setChecked(false);
        ConfigImage out;
        encodeFilterPumpLoggingRecord(f.ui, Pump::A, out, readBack);
        QCOMPARE(out.readU32(2), quint32(0x0001FFFDu));
        // Pump B's record is its own.
        encodeFilterPumpLoggingRecord(f.ui, Pump::B, out, readBack);
        QCOMPARE(out.requestWord(), quint16(0x8004));
        QCOMPARE(out.readU32(2), quint32(0));
    }

    void sorbentLoggingKeepsWhatNeitherPageCanChange() {
        Form f;
        ReadBackState readBack;
        QVERIFY(!decodePumpFlowRecord(f.ui, Pump::C, record(0xC201, {0}), 2));
        // Bit 0 shared, both of its boxes disabled; bit 1 shared, one enabled.
        f.ui.pumpCLogVSUPPLY->setEnabled(false);
        f.ui.pumpDLogVSUPPLY->setEnabled(false);
        f.ui.pumpDLog3V3->setEnabled(false);
        const quint32 read = 0x83FF8003u; // 0, 1, Pump C's own 15-25, and 31
        readBack.records.insert(0xC001, loggingRecord(0xC001, read));
        decodePumpsCDLoggingRecord(f.ui, loggingRecord(0xC001, read));
        QVERIFY(f.ui.pumpCLog3V3->isChecked() && f.ui.pumpDLog3V3->isChecked());
        f.ui.pumpCLog3V3->setChecked(false); // the operator clears the shared bit
        f.ui.pumpDLogRDAC->setChecked(true); // and sets one of Pump D's
        ConfigImage out;
        encodePumpsCDLoggingRecord(f.ui, out, readBack);
        QCOMPARE(out.readU32(2), quint32(0x83FF8011u));
    }

    void hiddenHaltFlagGoesBackAsRead() {
        Form f;
        ReadBackState readBack;
        ConfigImage read = record(0x0040, {0x80, 0x02});
        readBack.records.insert(0x0040, read);
        f.ui.alwaysPowerOn->setChecked(true);
        f.ui.sampleHalt->setChecked(false);
        f.ui.sampleHalt->setEnabled(false); // below firmware level 5
        ConfigImage out;
        encodeScheduleRecord(f.ui, out, readBack);
        QCOMPARE(out.readU16(2), quint16(0x8002));
        // Shown, the box decides.
        f.ui.sampleHalt->setEnabled(true);
        encodeScheduleRecord(f.ui, out, readBack);
        QCOMPARE(out.readU16(2), quint16(0x0002));
        // Hidden without a read: no halt.
        f.ui.sampleHalt->setEnabled(false);
        f.ui.sampleHalt->setChecked(true);
        encodeScheduleRecord(f.ui, out);
        QCOMPARE(out.readU16(2), quint16(0x0002));
    }

    void scd30CompensationIsKept() {
        Form f;
        ReadBackState readBack;
        ConfigImage out;
        // Off with "1 Day": the compensation shown goes with mode 1.
        const ConfigImage off = record(0x4036, {0, 1, 0, 0, 0, 0, 0, 3});
        decodeScd30Record(f.ui, off);
        readBack.records.insert(0x4036, off);
        encodeScd30Record(f.ui, out, readBack);
        QCOMPARE(dataOf(out), bytes({0, 1, 0, 3}));
        f.ui.scd30Compensation->setCurrentIndex(1);
        encodeScd30Record(f.ui, out, readBack);
        QCOMPARE(dataOf(out), bytes({0, 1, 0, 1}));

        // A value the list has no item for goes back as read; without a read
        // it goes out as 0xFFFF.
        const ConfigImage odd = record(0x4036, {0, 2, 0, 0, 0, 0, 0, 9});
        decodeScd30Record(f.ui, odd);
        QCOMPARE(f.ui.scd30Compensation->currentIndex(), -1);
        readBack.records.insert(0x4036, odd);
        encodeScd30Record(f.ui, out, readBack);
        QCOMPARE(dataOf(out), bytes({0, 2, 0, 9}));
        encodeScd30Record(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 2, 0xFF, 0xFF}));
    }

    void no2AlgorithmTheListCannotShowIsKept() {
        Form f;
        ReadBackState readBack;
        int partner = 0;
        auto read = [&](int position, quint16 word) {
            const ConfigImage image =
                record(alphasenseRecordWord(position), {word >> 8, word & 0xFF});
            decodeAlphasenseRecord(f.ui, position, image, 2, partner);
            readBack.records.insert(alphasenseRecordWord(position), image);
        };
        // Position 3: OX-B431 with partner 1 running algorithm 2, which its
        // list does not offer: shown as "Algorithm #1".
        read(3, 0x2132);
        QCOMPARE(f.ui.as3_NO2_Algorithm->currentText(), QString("Algorithm #1"));
        // Position 1: a CO-B4 (no list) that reports algorithm 1 in use.
        read(1, 0x1012);
        QVERIFY(!f.ui.as1_NO2_Algorithm->isEnabled());
        // Position 2: OX-B431 running algorithm 6, beyond the list.
        read(2, 0x613A);
        QCOMPARE(f.ui.as2_NO2_Algorithm->currentIndex(), -1);
        read(4, 0x0000); // absent

        ConfigImage out;
        encodeAlphasenseModesRecord(f.ui, out, 2, readBack);
        QCOMPARE(dataOf(out), bytes({0x03, 0x0C + 1, 0x05, 0x00}));

        // A choice the operator makes is sent as shown.
        f.ui.as3_NO2_Algorithm->setCurrentIndex(2); // "Algorithm #3"
        f.ui.as2_NO2_Algorithm->setCurrentIndex(4); // "Algorithm #4"
        encodeAlphasenseModesRecord(f.ui, out, 2, readBack);
        QCOMPARE(dataOf(out), bytes({0x03, 0x09, 0x07, 0x00}));
        // Without a read the form alone decides.
        f.ui.as3_NO2_Algorithm->setCurrentIndex(1);
        encodeAlphasenseModesRecord(f.ui, out, 2);
        QCOMPARE(dataOf(out), bytes({0x01, 0x09, 0x03, 0x00}));
    }
};

QTEST_MAIN(ReadBackTest)
#include "tst_read_back.moc"
