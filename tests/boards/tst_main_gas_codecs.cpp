// Main board, gas board, Alphasense and Figaro records: decoding into the
// form and encoding back.
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "tests/boards/FormFixture.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

QStringList items(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

QList<QCheckBox*> sen55Boxes(const Ui_KVX_Configurator& ui) {
    return {ui.mainLogSEN55_PM1_0, ui.mainLogSEN55_PM2_5, ui.mainLogSEN55_PM4_0,
            ui.mainLogSEN55_PM10,  ui.mainLogVSEN55RH,    ui.mainLogSEN55T,
            ui.mainLogSEN55RawVOC, ui.mainLogSEN55RawNOx};
}

const QDateTime kEarlier(QDate(2024, 3, 25), QTime(9, 5), Qt::UTC);

} // namespace

class MainGasCodecTest : public QObject {
    Q_OBJECT

private slots:
    // ---- main board ----

    void scheduleEveryPowerOnWithHalt() {
        Form f;
        f.ui.startDateTime->setDateTime(kEarlier);
        decodeScheduleRecord(f.ui, record(0x0040, {0x80, 0x02, 0, 0, 0, 0}));
        QVERIFY(f.ui.sampleHalt->isChecked());
        QVERIFY(f.ui.alwaysPowerOn->isChecked());
        QVERIFY(!f.ui.startDateTime->isEnabled());
        QCOMPARE(f.ui.startDateTime->dateTime(), kEarlier);

        // A disabled halt box is left as it is.
        Form g;
        g.ui.sampleHalt->setEnabled(false);
        decodeScheduleRecord(g.ui, record(0x0040, {0x80, 0x02}));
        QVERIFY(!g.ui.sampleHalt->isChecked());
    }

    void scheduleOfRequestWordOnly() {
        Form f;
        f.ui.sampleHalt->setChecked(true);
        f.ui.durationDays->setValue(5);
        f.ui.durationMinutes->setValue(7);
        f.ui.logInterval->setCurrentIndex(1);
        f.ui.stopState->setCurrentIndex(1);
        f.ui.startDateTime->setEnabled(false);
        decodeScheduleRecord(f.ui, record(0x0040));
        QVERIFY(!f.ui.sampleHalt->isChecked());
        QVERIFY(f.ui.specificTime->isChecked());
        QVERIFY(f.ui.startDateTime->isEnabled());
        QCOMPARE(f.ui.startDateTime->dateTime(),
                 QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(f.ui.durationDays->value(), 0);
        QCOMPARE(f.ui.durationMinutes->value(), 0);
        QCOMPARE(f.ui.logInterval->currentText(), QString("60"));
        QCOMPARE(f.ui.stopState->currentText(), QString("Idle"));
    }

    // A full record read and written back unchanged, except an interval the
    // form cannot show, which goes back as 60.
    void scheduleRoundTrip() {
        Form f;
        const QByteArray data = bytes({0x80, 0x00, 0x3C, 0x98, 9, 5, 0, 7, 12, 30, 15, 1});
        ConfigImage in = record(0x0040);
        for (char c : data)
            in.appendU8(quint8(c));
        decodeScheduleRecord(f.ui, in);
        QCOMPARE(f.ui.startDateTime->dateTime(), kEarlier);
        ConfigImage out;
        encodeScheduleRecord(f.ui, out);
        QCOMPARE(dataOf(out), data);

        // Interval byte 10 shows "60" and goes back as 60; start mode 3 reads
        // as a specific time and goes back as 0.
        decodeScheduleRecord(f.ui, record(0x0040, {0, 3, 0x3C, 0x98, 9, 5, 0, 1, 0, 0, 10, 0}));
        QCOMPARE(f.ui.logInterval->currentText(), QString("60"));
        encodeScheduleRecord(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 0, 0x3C, 0x98, 9, 5, 0, 1, 0, 0, 60, 0}));
    }

    void scheduleEncodingOfStartModesAndHalt() {
        Form f;
        f.ui.startDateTime->setDateTime(kEarlier);
        f.ui.nextPowerOn->setChecked(true);
        f.ui.sampleHalt->setChecked(true);
        f.ui.sampleHalt->setEnabled(false); // checked but disabled: written as 0
        f.ui.logInterval->setCurrentIndex(0);
        ConfigImage out;
        encodeScheduleRecord(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0}));
        QCOMPARE(out.length, 14);

        f.ui.sampleHalt->setEnabled(true);
        f.ui.alwaysPowerOn->setChecked(true);
        encodeScheduleRecord(f.ui, out);
        QCOMPARE(dataOf(out).left(6), bytes({0x80, 2, 0, 0, 0, 0}));
    }

    void sampleIdTexts() {
        Form f;
        ConfigImage out;
        f.ui.sampleID->setMaxLength(100); // the encoder itself cuts to 31
        f.ui.sampleID->setText(QString(40, QChar('x')));
        encodeSampleIdRecord(f.ui, out);
        QCOMPARE(dataOf(out), QByteArray(31, 'x'));
        out.finishRequest();
        QCOMPARE(out.length, 34);

        f.ui.sampleID->setText(QString::fromUtf8("AB\u20ACCD"));
        encodeSampleIdRecord(f.ui, out);
        QCOMPARE(dataOf(out).left(6), bytes({'A', 'B', 0, 'C', 'D', 0}));
        // Reading that record back ends the ID at the character that had no byte.
        decodeSampleIdRecord(f.ui, out);
        QCOMPARE(f.ui.sampleID->text(), QString("AB"));
    }

    void sen55AbsentAndShort() {
        Form f;
        f.ui.sen55ID->setText("SEN55-1");
        for (QCheckBox* box : sen55Boxes(f.ui))
            box->setChecked(true);
        QVERIFY(!decodeSen55Record(f.ui, record(0x0060, {0, 0, 0, 0, 0, 9})));
        QVERIFY(!f.ui.sen55->isEnabled());
        QCOMPARE(f.ui.sen55ID->text(), QString("SEN55-1"));
        for (QCheckBox* box : sen55Boxes(f.ui))
            QVERIFY(!box->isEnabled() && !box->isChecked());
        // Their bits are ignored when read and written as 0.
        decodeMainLoggingRecord(f.ui, record(0x0000, {0xFF, 0xFF, 0xFF, 0xFF}));
        QCOMPARE(collectMainLogging(f.ui), quint32(0x100FF));
        // An answer too short for the mode word is no SEN55 either.
        Form g;
        QVERIFY(!decodeSen55Record(g.ui, record(0x0060, {0})));

        // 12 bytes: no room for the cleaning interval.
        Form h;
        h.ui.sen55Interval->setValue(500);
        QVERIFY(decodeSen55Record(h.ui, record(0x0060, {0, 3, 0, 0, 0, 42, 0, 0, 1, 0})));
        QCOMPARE(h.ui.sen55Mode->currentText(), QString("RH/T/Gas/PMS"));
        QCOMPARE(h.ui.sen55Run->text(), QString("42"));
        QCOMPARE(h.ui.sen55Fan->text(), QString("256"));
        QCOMPARE(h.ui.sen55Interval->value(), 0);
    }

    void sen55Encoding() {
        Form f;
        f.ui.sen55Interval->setValue(168);
        ConfigImage out;
        const QList<QPair<int, int>> itemToMode = {{0, 1}, {1, 2}, {2, 3}, {-1, 1}};
        for (const auto& [item, mode] : itemToMode) {
            f.ui.sen55Mode->setCurrentIndex(item);
            encodeSen55Record(f.ui, out);
            QCOMPARE(dataOf(out), bytes({0, mode, 0, 0, 0, 168}));
        }
        // A mode above 3 selects nothing and goes back as 1.
        decodeSen55Record(f.ui, record(0x0060, {0, 7}));
        QCOMPARE(f.ui.sen55Mode->currentIndex(), -1);
    }

    void utcOffset() {
        Form f;
        ConfigImage out;
        f.ui.tzOffset->setValue(-12.0);
        encodeUtcOffsetRecord(f.ui, out);
        QCOMPARE(out.readU16(2), quint16(31568));
        f.ui.tzOffset->setValue(14.0);
        encodeUtcOffsetRecord(f.ui, out);
        QCOMPARE(out.readU16(2), quint16(34168));
        decodeUtcOffsetRecord(f.ui, record(0x0020, {0x82, 0x3F})); // 33343: +5.75
        QCOMPARE(f.ui.tzOffset->value(), 5.75);
        decodeUtcOffsetRecord(f.ui, record(0x0020, {0x82})); // one byte short
        QCOMPARE(f.ui.tzOffset->value(), -12.0);
    }

    // ---- gas board ----

    void sensorsNotFitted() {
        Form f;
        f.ui.gasLogSGP41RawVOC->setChecked(true);
        f.ui.sgp41Mode->setChecked(true);
        decodeSgp41Record(f.ui, record(0x4016));
        QVERIFY(!f.ui.sgp41->isEnabled());
        QVERIFY(!f.ui.sgp41Mode->isChecked());
        QVERIFY(!f.ui.gasLogSGP41RawVOC->isEnabled() && !f.ui.gasLogSGP41RawVOC->isChecked());
        QVERIFY(!f.ui.gasLogSGP41RawNOX->isEnabled());

        decodeScd30Record(f.ui, record(0x4036, {0, 0, 0, 0, 0, 5}));
        QVERIFY(!f.ui.scd30->isEnabled() && !f.ui.gasLogSCD30RH->isEnabled());
        decodeSfa30Record(f.ui, record(0x4026, {0}));
        QVERIFY(!f.ui.sfa30->isEnabled() && !f.ui.gasLogSFA30T->isEnabled());
        QVERIFY(f.ui.gasLogBMP581P->isEnabled());
    }

    void sensorsFitted() {
        Form f;
        decodeSgp41Record(f.ui, record(0x4016, {0, 2, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
        QVERIFY(f.ui.sgp41Mode->isChecked());
        QCOMPARE(f.ui.sgp41ID->text(), QString("001A2B3C4D5E"));

        decodeSfa30Record(f.ui, record(0x4026, {0, 5, 0, 0, 1, 1, 'S', 'F', 0}));
        QVERIFY(f.ui.sfa30->isEnabled());
        QVERIFY(!f.ui.sfa30Mode->isChecked()); // other values: fitted and off
        QCOMPARE(f.ui.sfa30Run->text(), QString("257"));
        QCOMPARE(f.ui.sfa30ID->text(), QString("SF"));

        decodeScd30Record(f.ui,
                          record(0x4036, {0, 2, 0, 0, 0, 9, 0, 1, 0x3C, 0x98, 9, 5, 'C', 'O', 0}));
        QCOMPARE(f.ui.scd30Compensation->currentText(), QString("1 Minute"));
        QCOMPARE(f.ui.scd30Calibrated->text(), QString("On 3/25/2024 @ 9:05"));
        QCOMPARE(f.ui.scd30ID->text(), QString("CO"));
        decodeScd30Record(f.ui, record(0x4036, {0, 2, 0, 0, 0, 9, 0, 2, 0, 0, 0, 0}));
        QCOMPARE(f.ui.scd30Calibrated->text(), QString("None"));
    }

    void sensorEncoding() {
        Form f;
        ConfigImage out;
        // SCD30 switched off: mode 1 and the compensation shown, which the
        // sensor keeps while it is off.
        decodeScd30Record(f.ui, record(0x4036, {0, 1, 0, 0, 0, 0, 0, 2}));
        QVERIFY(!f.ui.scd30Mode->isChecked());
        QCOMPARE(f.ui.scd30Compensation->currentText(), QString("1 Hour"));
        encodeScd30Record(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 1, 0, 2}));
        f.ui.scd30Mode->setChecked(true);
        encodeScd30Record(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 2, 0, 2}));

        f.ui.sgp41Mode->setChecked(true);
        encodeSgp41Record(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 2}));
        encodeSfa30Record(f.ui, out);
        QCOMPARE(out.requestWord(), quint16(0x4026));
        QCOMPARE(dataOf(out), bytes({0, 1}));

        f.ui.scd30CalValue->setValue(400);
        encodeScd30CalibrationRecord(f.ui, out, QDateTime(QDate(2025, 3, 7), QTime(9, 5)));
        QCOMPARE(dataOf(out), bytes({0x01, 0x90, 0x33, 0x99, 9, 5}));
    }

    void fanRecord() {
        Form f;
        ConfigImage out;
        decodeGasFanRecord(f.ui, record(0x40B6, {0, 1}));
        QVERIFY(f.ui.gasFanState->isChecked());
        encodeGasFanRecord(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 1}));
        decodeGasFanRecord(f.ui, record(0x40B6, {0, 2}));
        QVERIFY(!f.ui.gasFanState->isChecked());
        f.ui.gasFanState->setChecked(true);
        decodeGasFanRecord(f.ui, record(0x40B6, {1}));
        QVERIFY(!f.ui.gasFanState->isChecked());
        // Hidden and disabled below level 3: written as off.
        f.ui.gasFanState->setChecked(true);
        showGasFanRow(f.ui, false);
        QVERIFY(f.ui.gasFanGroup->isHidden() && !f.ui.gasFanState->isEnabled());
        encodeGasFanRecord(f.ui, out);
        QCOMPARE(dataOf(out), bytes({0, 0}));
    }

    // Bits 2-5 (Figaro) and 16-19 (Alphasense raw, level 0 only).
    void gasLoggingByLevel() {
        for (int level : {0, 2}) {
            Form f;
            ReadBackState readBack;
            int partner = 0;
            decodeAlphasenseRecord(f.ui, 2, record(0x4056), level, partner); // position 2 absent
            for (QCheckBox* box : {f.ui.gasLog5V0, f.ui.gasLogSCD30CO2, f.ui.gasLogSFA30T})
                box->setChecked(true);
            decodeGasLoggingRecord(f.ui, record(0x4006, {0x00, 0x0F, 0x00, 0x3C}), level, readBack);
            QCOMPARE(readBack.gasLogging, quint32(0x000F003C));
            for (QCheckBox* box : {f.ui.gasLog5V0, f.ui.gasLogSCD30CO2, f.ui.gasLogSFA30T})
                QVERIFY(!box->isChecked());
            for (QCheckBox* box : {f.ui.figaroLogOutput, f.ui.figaroLogGain1, f.ui.figaroLogOffset,
                                   f.ui.figaroLogReference})
                QVERIFY(!box->isChecked());
            QCOMPARE(f.ui.gasLogAS1Raw->isChecked(), level == 0);
            QCOMPARE(f.ui.gasLogAS3Raw->isChecked(), level == 0);
            QVERIFY(!f.ui.gasLogAS2Raw->isChecked());
            QCOMPARE(f.ui.gasLogAS4Raw->isHidden(), level != 0);
            QCOMPARE(f.ui.gasLogAS4Raw->isEnabled(), level == 0);

            // Written back: the bits of enabled boxes from the form; the
            // Figaro bits, the raw bit of the absent position 2 and, from
            // level 1, all four hidden raw bits as read (no control can change
            // them).
            ConfigImage out;
            encodeGasLoggingRecord(f.ui, out, readBack);
            QCOMPARE(out.readU32(2), quint32(0x000F003C));
            QCOMPARE(collectGasLogging(f.ui), level == 0 ? quint32(0x000D0000) : quint32(0));
        }
    }

    // ---- Alphasense ----

    void alphasenseOxidantWithoutAlgorithm2() {
        Form f;
        int partner = 0;
        f.ui.alphasenseLogAS3Algorithm2->setChecked(true);
        decodeAlphasenseRecord(f.ui, 3, record(0x4066, {0x21, 0x32, 0, 0, 0, 7, 'O', 'X', 0}), 2,
                               partner);
        QCOMPARE(items(f.ui.as3_NO2_Algorithm),
                 (QStringList{"None", "Algorithm #1", "Algorithm #3", "Algorithm #4"}));
        QCOMPARE(f.ui.as3_NO2_Algorithm->currentText(), QString("Algorithm #1"));
        QVERIFY(!f.ui.alphasenseLogAS3Algorithm2->isEnabled());
        QVERIFY(!f.ui.alphasenseLogAS3Algorithm2->isChecked());
        QVERIFY(f.ui.as3Mode_3->isChecked());
        QCOMPARE(partner, 1);
        QCOMPARE(f.ui.as3Type->text(), QString("OX-B431"));
        QCOMPARE(f.ui.as3Run_3->text(), QString("7"));
        QCOMPARE(f.ui.as3ID_3->text(), QString("OX"));
        QVERIFY(f.ui.as3->isHidden());
        QVERIFY(!f.ui.as3_NO2_Algorithm->isHidden() && f.ui.as3_NO2_Algorithm->isEnabled());

        decodeAlphasenseRecord(f.ui, 3, record(0x4066, {0x21, 0x3A}), 2, partner);
        QCOMPARE(items(f.ui.as3_NO2_Algorithm).size(), 5);
        QCOMPARE(f.ui.as3_NO2_Algorithm->currentText(), QString("Algorithm #2"));

        // Algorithm 4 without "Algorithm #2" in the list, and a code above 4.
        decodeAlphasenseRecord(f.ui, 3, record(0x4066, {0x41, 0x32}), 2, partner);
        QCOMPARE(f.ui.as3_NO2_Algorithm->currentText(), QString("Algorithm #4"));
        decodeAlphasenseRecord(f.ui, 3, record(0x4066, {0x61, 0x3A}), 2, partner);
        QCOMPARE(f.ui.as3_NO2_Algorithm->currentIndex(), -1);
        QCOMPARE(alphasenseAlgorithmCode(f.ui.as3_NO2_Algorithm), 0);
    }

    void alphasenseWithoutAlgorithmControls() {
        Form f;
        int partner = 3;
        // An oxidant sensor without a partner hides the NO2 controls.
        decodeAlphasenseRecord(f.ui, 1, record(0x4046, {0x00, 0x32}), 1, partner);
        QCOMPARE(partner, 0);
        QVERIFY(f.ui.as1_NO2_Label->isHidden() && f.ui.as1_NO2_Algorithm->isHidden());
        QVERIFY(!f.ui.as1_NO2_Algorithm->isEnabled());
        // A type outside 1-4 shows "None".
        decodeAlphasenseRecord(f.ui, 1, record(0x4046, {0x02, 0x92}), 1, partner);
        QCOMPARE(f.ui.as1Type->text(), QString("None"));
        QCOMPARE(partner, 2);
        // Not fitted: the partner number stays.
        decodeAlphasenseRecord(f.ui, 1, record(0x4046, {0x03, 0x30}), 1, partner);
        QCOMPARE(partner, 2);
        QVERIFY(!f.ui.as1_3->isEnabled());
        QVERIFY(!f.ui.alphasenseLogAS1Raw->isEnabled() &&
                !f.ui.alphasenseLogAS1Algorithm4->isEnabled());
    }

    void alphasenseAtLevel0() {
        Form f;
        int partner = 4;
        ReadBackState readBack;
        f.ui.as1->hide();
        decodeAlphasenseRecord(f.ui, 1, record(0x4046, {0, 1, 0, 0, 0, 3}), 0, partner);
        QVERIFY(!f.ui.as1->isHidden() && f.ui.as1->isEnabled());
        QVERIFY(!f.ui.as1Mode->isChecked());
        QCOMPARE(f.ui.as1Run->text(), QString("3"));
        QCOMPARE(partner, 4); // not touched at level 0
        decodeGasLoggingRecord(f.ui, record(0x4006, {0, 1, 0, 0}), 0, readBack);
        QVERIFY(f.ui.gasLogAS1Raw->isChecked());
        decodeGasLoggingRecord(f.ui, record(0x4006, {0, 0, 0, 0}), 0, readBack);
        QVERIFY(!f.ui.gasLogAS1Raw->isChecked());
    }

    void alphasenseModesRecord() {
        Form f;
        int partner = 0;
        decodeAlphasenseRecord(f.ui, 1, record(0x4046, {0x00, 0x12}), 2, partner); // on, no NO2
        decodeAlphasenseRecord(f.ui, 2, record(0x4056), 2, partner);
        decodeAlphasenseRecord(f.ui, 3, record(0x4066, {0x41, 0x3A}), 2, partner);
        decodeAlphasenseRecord(f.ui, 4, record(0x4076, {0, 0}), 2, partner);
        QVERIFY(!f.ui.as1_NO2_Algorithm->isEnabled());
        QCOMPARE(f.ui.as3_NO2_Algorithm->currentText(), QString("Algorithm #4"));
        ConfigImage out;
        encodeAlphasenseModesRecord(f.ui, out, 2);
        QCOMPARE(dataOf(out), bytes({0x01, 0x00, 0x09, 0x00}));

        // Level 0 takes the Gas tab's groups and no algorithm.
        Form g;
        g.ui.as2Mode->setChecked(true);
        g.ui.as4Mode->setChecked(true);
        g.ui.as4->setEnabled(false);
        g.ui.as1Mode_3->setChecked(true);
        encodeAlphasenseModesRecord(g.ui, out, 0);
        QCOMPARE(dataOf(out), bytes({0, 1, 0, 0}));
    }

    void alphasenseLogging() {
        Form f;
        ConfigImage out;
        f.ui.alphasenseLogAS2Algorithm3->setEnabled(false);
        decodeAlphasenseLoggingRecord(f.ui, record(0x40A6, {0x00, 0x08, 0x84, 0x21}));
        QVERIFY(f.ui.alphasenseLogAS1Raw->isChecked());         // bit 0
        QVERIFY(f.ui.alphasenseLogAS2Raw->isChecked());         // bit 5
        QVERIFY(!f.ui.alphasenseLogAS2Algorithm3->isChecked()); // bit 8, disabled
        QVERIFY(f.ui.alphasenseLogAS3Raw->isChecked());         // bit 10
        QVERIFY(f.ui.alphasenseLogAS4Raw->isChecked());         // bit 15
        QVERIFY(f.ui.alphasenseLogAS4Algorithm4->isChecked());  // bit 19
        encodeAlphasenseLoggingRecord(f.ui, out);
        QCOMPARE(out.readU32(2), quint32(0x00088421));
        decodeAlphasenseLoggingRecord(f.ui, record(0x40A6, {0, 8, 0x84}));
        QCOMPARE(collectAlphasenseLogging(f.ui), quint32(0));
    }

    // ---- Figaro ----

    void figaroNotFitted() {
        Form f;
        ReadBackState readBack;
        decodeFigaroRecord(f.ui, record(0x40C6, {0x00}), readBack);
        for (QWidget* w :
             {(QWidget*)f.ui.figaroRunLabel, (QWidget*)f.ui.figaroLogGain1,
              (QWidget*)f.ui.figaroLogging, (QWidget*)f.ui.figaro20PPM, (QWidget*)f.ui.figaroRange})
            QVERIFY(!w->isEnabled());
        // Sent back as read: mode 0 and the range byte that was absent (0).
        f.ui.figaro50PPM->setChecked(true);
        ConfigImage out;
        encodeFigaroRecord(f.ui, out, readBack);
        QCOMPARE(dataOf(out), bytes({0, 0}));
        // Without any read: mode 1 and the range of the buttons.
        encodeFigaroRecord(f.ui, out, ReadBackState{});
        QCOMPARE(dataOf(out), bytes({1, 1}));
    }

    void figaroFittedGoesBackUnchanged() {
        Form f;
        ReadBackState readBack;
        decodeFigaroRecord(f.ui, record(0x40C6, {2, 1, 0, 0, 0, 77}), readBack);
        QVERIFY(f.ui.figaroMode->isChecked());
        QVERIFY(f.ui.figaro50PPM->isChecked());
        QCOMPARE(f.ui.figaroRun->text(), QString("77"));
        ConfigImage out;
        encodeFigaroRecord(f.ui, out, readBack);
        QCOMPARE(dataOf(out), bytes({2, 1}));

        decodeFigaroRecord(f.ui, record(0x40C6, {1, 7}), readBack);
        QVERIFY(f.ui.figaro1000PPM->isChecked());
        QVERIFY(!f.ui.figaroMode->isChecked());
        QCOMPARE(f.ui.figaroRun->text(), QString("0"));
        encodeFigaroRecord(f.ui, out, readBack);
        QCOMPARE(dataOf(out), bytes({1, 7}));

        // Were the page ever enabled, its controls would decide.
        f.ui.Tab_Figaro->setEnabled(true);
        f.ui.figaroMode->setChecked(true);
        f.ui.figaro20PPM->setChecked(true);
        encodeFigaroRecord(f.ui, out, readBack);
        QCOMPARE(dataOf(out), bytes({2, 2}));
    }
};

QTEST_MAIN(MainGasCodecTest)
#include "tst_main_gas_codecs.moc"
