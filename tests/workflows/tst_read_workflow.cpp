// The read chain against the simulated instrument: which records are asked
// for, in which order, at every firmware level and with boards, sensors and
// pumps missing; the lock-out around it and the confirmation in front of it.
#include "tests/support/SimRig.h"

#include <QtTest>

using namespace kvx::test;

Q_DECLARE_METATYPE(QList<quint16>)

namespace {

const QList<quint16> kMain = {0x0010, 0x0020, 0x0030, 0x0040, 0x0060, 0x0050, 0x0000};

QList<quint16> gasWords(int level) {
    QList<quint16> words = {0x4016, 0x4036, 0x4026, 0x4046, 0x4056, 0x4066, 0x4076};
    if (level > 2)
        words << 0x40B6;
    if (level > 3)
        words << 0x40C6;
    words << 0x4006;
    if (level > 0)
        words << 0x40A6;
    return words;
}

QList<quint16> pumpWords(const QList<quint16>& all, int level) {
    // flow, install, run, volume, cartridge, start, duration
    return level >= 2 ? all : all.mid(0, 5);
}

QList<quint16> fullChain(int level) {
    QList<quint16> words = kMain + gasWords(level);
    words += pumpWords({0x8012, 0x8032, 0x8042, 0x8052, 0x8022, 0x8062, 0x8072}, level);
    words << 0x8002;
    words += pumpWords({0x8014, 0x8034, 0x8044, 0x8054, 0x8024, 0x8064, 0x8074}, level);
    words << 0x8004;
    words += pumpWords({0xC201, 0xC221, 0xC231, 0xC241, 0xC211, 0xC251, 0xC261}, level);
    words += pumpWords({0xC101, 0xC121, 0xC131, 0xC141, 0xC111, 0xC151, 0xC161}, level);
    words << 0xC001;
    return words;
}

QString hexList(const QList<quint16>& words) {
    QStringList out;
    for (quint16 w : words)
        out << QString::number(w, 16);
    return out.join(' ');
}

QList<quint16> withoutFirmwareLevel(QList<quint16> words) {
    words.removeAll(0x0070);
    return words;
}

} // namespace

class ReadWorkflowTest : public QObject {
    Q_OBJECT

private slots:
    void chainAtEveryLevel_data() {
        QTest::addColumn<int>("level");
        for (int level = 0; level <= 5; ++level)
            QTest::addRow("level %d", level) << level;
    }

    // Everything fitted: every record of every board, skipping only what the
    // firmware level does not have. Level 5 makes 49 exchanges.
    void chainAtEveryLevel() {
        QFETCH(int, level);
        auto config = SimRig::load("full");
        config.firmwareLevel = level;
        SimRig sim(config);
        QVERIFY(sim.connect());
        const QList<quint16> got = withoutFirmwareLevel(sim.requestedWords());
        QCOMPARE(hexList(got), hexList(fullChain(level)));
        if (level == 5)
            QCOMPARE(got.size(), 49);

        auto& ui = *sim.window->ui;
        for (QWidget* button : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC, ui.scd30CalButton})
            QVERIFY(button->isEnabled());
        QCOMPARE(ui.gasFanGroup->isHidden(), level < 3);
        QCOMPARE(ui.gasFanState->isEnabled(), level >= 3);
        QCOMPARE(ui.as1->isHidden(), level >= 1);
    }

    // Main board alone at level 0 without a SEN55: no serial record, and the
    // calibration button stays off without a gas board.
    void mainBoardOnlyWithoutSen55() {
        SimRig sim("minimal");
        QVERIFY(sim.connect());
        QCOMPARE(hexList(withoutFirmwareLevel(sim.requestedWords())),
                 hexList({0x0010, 0x0020, 0x0030, 0x0040, 0x0060, 0x0000}));
        auto& ui = *sim.window->ui;
        QVERIFY(!ui.sen55->isEnabled());
        QVERIFY(!ui.mainLogSEN55_PM1_0->isEnabled());
        QVERIFY(!ui.mainLogSEN55_PM1_0->isChecked());
        QVERIFY(ui.mainLogVBUS->isChecked()); // logging word 31
        for (QWidget* button : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC})
            QVERIFY(button->isEnabled());
        QVERIFY(!ui.scd30CalButton->isEnabled());
    }

    // A gas board without its SCD30 leaves the calibration button off.
    void calibrationButtonNeedsTheScd30() {
        auto config = SimRig::load("full");
        config.scd30.fitted = false;
        SimRig sim(config);
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        QVERIFY(!ui.scd30->isEnabled());
        QVERIFY(!ui.gasLogSCD30CO2->isEnabled() && !ui.gasLogSCD30CO2->isChecked());
        QVERIFY(ui.kvxRead->isEnabled());
        QVERIFY(!ui.scd30CalButton->isEnabled());
    }

    // Absent pumps end their part of the chain after the flow record; a
    // missing board is skipped; a gas board at level 2 reads the Alphasense
    // logging record but no fan record.
    void absentPumpsAndMissingBoards() {
        SimRig sim("mixed");
        QVERIFY(sim.connect());
        QList<quint16> expected = kMain + gasWords(2);
        expected << 0x8012 << 0x8002; // Pump A not fitted
        expected << 0xC201;           // Pump C not fitted
        expected << 0xC101 << 0xC121 << 0xC131 << 0xC141 << 0xC111 << 0xC151 << 0xC161;
        expected << 0xC001;
        QCOMPARE(hexList(withoutFirmwareLevel(sim.requestedWords())), hexList(expected));

        auto& ui = *sim.window->ui;
        QVERIFY(!ui.sgp41->isEnabled());
        QVERIFY(!ui.pumpAFlowRate->isEnabled());
        QVERIFY(!ui.pumpAStart->isEnabled());     // level 2: schedule disabled too
        QVERIFY(ui.pumpALogVSUPPLY->isChecked()); // logging word 3 still read
        QVERIFY(!ui.pumpCFlowRate->isEnabled());
        QVERIFY(!ui.pumpCLogRDAC->isEnabled());
        QVERIFY(ui.pumpDFlowRate->isEnabled());
        QCOMPARE(ui.pumpDFlowRate->value(), 12.5);
        QCOMPARE(ui.pumpDCartID->text(), QString("ST-D-7"));
        QCOMPARE(sim.window->cartridgeIds[3], QString("ST-D-7"));
        QVERIFY(ui.gasFanGroup->isHidden());
        QVERIFY(ui.scd30CalButton->isEnabled());
    }

    // Every button is locked while the read runs and unlocked at its end.
    void buttonsLockedWhileReading() {
        SimRig sim("full");
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        DialogScript seen({QMessageBox::Yes});
        sim.window->KVXReadButtonPressed();
        QCOMPARE(seen.answered(), 1);
        QCOMPARE(seen.titles.value(0), QString("Read configuration data from the KVXv2."));
        QCOMPARE(seen.texts.value(0),
                 QString("This operation will overwrite any changes you've made in "
                         "the program but haven't written to the KVXv2 yet.  Are you "
                         "sure you wish to proceed?"));
        QCOMPARE(sim.window->sessionState, 100);
        const int before = sim.requestedWords().size();
        bool lockedThroughout = true;
        QVERIFY(sim.tickUntil([&] {
            for (QWidget* b : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC, ui.scd30CalButton})
                lockedThroughout =
                    lockedThroughout && (sim.window->sessionState == 0 || !b->isEnabled());
            return sim.window->sessionState == 0 && sim.window->linkStep == 0;
        }));
        QVERIFY(lockedThroughout);
        QCOMPARE(sim.requestedWords().size() - before, 49);
        for (QWidget* b : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC, ui.scd30CalButton})
            QVERIFY(b->isEnabled());
    }

    // No at the confirmation: no button changes, no request goes out.
    void noAtConfirmationChangesNothing() {
        SimRig sim("full");
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        ui.sampleID->setText("edited, not written");
        const int before = sim.instrument->log().commandLines().size();
        DialogScript seen({QMessageBox::No});
        sim.window->KVXReadButtonPressed();
        QCOMPARE(seen.answered(), 1);
        QCOMPARE(sim.window->sessionState, 0);
        for (QWidget* b : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC, ui.scd30CalButton})
            QVERIFY(b->isEnabled());
        for (int i = 0; i < 50; ++i)
            sim.tick();
        QCOMPARE(sim.instrument->log().commandLines().size(), before);
        QCOMPARE(ui.sampleID->text(), QString("edited, not written"));
    }

    // With no board page enabled the chain runs through to its end in a few
    // ticks without any exchange (an idle link, nothing sent).
    void noBoardPagesEndsAtOnce() {
        SimRig sim("full");
        auto& w = sim.w();
        w.linkStep = kvx::LinkIdle;
        w.lockButtons();
        w.sessionState = 100;
        QList<int> states;
        for (int i = 0; i < 10 && w.sessionState != 0; ++i) {
            states << w.sessionState;
            w.runSessionState();
        }
        QCOMPARE(states, (QList<int>{100, 200, 300, 400, 500, 1100}));
        QCOMPARE(w.sessionState, 0);
        QCOMPARE(w.linkStep, int(kvx::LinkIdle));
        QVERIFY(w.ui->kvxRead->isEnabled());
        QVERIFY(!w.ui->scd30CalButton->isEnabled());
    }
};

QTEST_MAIN(ReadWorkflowTest)
#include "tst_read_workflow.moc"
