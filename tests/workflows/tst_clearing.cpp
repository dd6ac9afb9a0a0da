// Clearing of the board pages at a link reset: what a read disabled comes
// back, the pages leave the tab widget, and the next connection reads them
// again.
#include "tests/support/SimRig.h"

#include <QtTest>

using namespace kvx::test;

namespace {

bool inTabs(const Ui_KVX_Configurator& ui, QWidget* page) {
    return ui.configuratorTabs->indexOf(page) >= 0;
}

// Enabled on its own page (the page itself is disabled once cleared).
bool enabledOnPage(QWidget* widget, QWidget* page) {
    return widget->isEnabledTo(page);
}

QList<QCheckBox*> sen55Boxes(const Ui_KVX_Configurator& ui) {
    return {ui.mainLogSEN55_PM1_0, ui.mainLogSEN55_PM2_5, ui.mainLogSEN55_PM4_0,
            ui.mainLogSEN55_PM10,  ui.mainLogVSEN55RH,    ui.mainLogSEN55T,
            ui.mainLogSEN55RawVOC, ui.mainLogSEN55RawNOx};
}

} // namespace

class ClearingTest : public QObject {
    Q_OBJECT

private slots:
    void mainBoardWithoutSen55() {
        SimRig sim("minimal");
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        QVERIFY(!ui.mainLogSEN55_PM10->isEnabled());
        QVERIFY(ui.sampleHalt->isHidden()); // level 0
        ui.sen55ID->setText("old");
        sim.window->clearMainBoard();
        QVERIFY(!inTabs(ui, ui.Tab_Main));
        QVERIFY(!ui.Tab_Main->isEnabled());
        for (QCheckBox* box : sen55Boxes(ui))
            QVERIFY(enabledOnPage(box, ui.Tab_Main) && !box->isChecked());
        QVERIFY(!ui.mainLogVBUS->isChecked());          // was checked by the read
        QVERIFY(!enabledOnPage(ui.sen55, ui.Tab_Main)); // until the next read finds it
        QVERIFY(ui.sen55ID->text().isEmpty());
        QCOMPARE(ui.sen55Mode->currentIndex(), 0);
        QVERIFY(enabledOnPage(ui.sampleHalt, ui.Tab_Main) && !ui.sampleHalt->isHidden());
        QVERIFY(!ui.sampleHalt->isChecked());
    }

    void absentPumpBComesBack() {
        auto config = SimRig::load("full");
        config.pumps[1].fitted = false;
        SimRig sim(config);
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        QVERIFY(!ui.pumpBFlowRate->isEnabled() && !ui.pumpBStart->isEnabled());
        ui.stopPumpB->setEnabled(true);
        ui.pumpBDelayedStart->setChecked(true);
        sim.window->clearPumpB();
        QVERIFY(!inTabs(ui, ui.Tab_PumpB) && !ui.Tab_PumpB->isEnabled());
        QWidget* page = ui.Tab_PumpB;
        for (QWidget* w : {(QWidget*)ui.pumpBFlowRate, (QWidget*)ui.pumpBCartID,
                           (QWidget*)ui.pumpBLogPUMPS, (QWidget*)ui.pumpBLogCartSample,
                           (QWidget*)ui.pumpBStart, (QWidget*)ui.pumpBSampleStart,
                           (QWidget*)ui.pumpBDelayHours, (QWidget*)ui.pumpBDelayHoursLabel,
                           (QWidget*)ui.pumpBStartDateTime, (QWidget*)ui.pumpBDuration,
                           (QWidget*)ui.pumpBDurationMinutes, (QWidget*)ui.startPumpB})
            QVERIFY2(enabledOnPage(w, page), qPrintable(w->objectName()));
        QVERIFY(!ui.stopPumpB->isEnabled());
        QVERIFY(ui.pumpBSampleStart->isChecked() && ui.pumpBFullSample->isChecked());
        QCOMPARE(ui.pumpBFlowRate->value(), 0.0);
        // Pump A's page is untouched.
        QVERIFY(inTabs(ui, ui.Tab_PumpA) && ui.pumpAFlowRate->isEnabled());
        QCOMPARE(ui.pumpAFlowRate->value(), 1.0);
    }

    void pumpsCDLeaveNoBoxChecked() {
        auto config = SimRig::load("full");
        config.pumps[2].fitted = false;
        config.sorbentLogging = 0xFFFFFFFF;
        SimRig sim(config);
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        QVERIFY(ui.pumpDLogCartSample->isChecked() && ui.pumpCLogAtmo->isChecked());
        QVERIFY(!ui.pumpCLogRDAC->isEnabled());
        sim.window->clearPumpsCD();
        for (QWidget* page : {ui.Tab_PumpC, ui.Tab_PumpD}) {
            QVERIFY(!inTabs(ui, page) && !page->isEnabled());
            for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
                QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
                QVERIFY2(enabledOnPage(box, page), qPrintable(box->objectName()));
            }
        }
        QVERIFY(enabledOnPage(ui.pumpCFlowRate, ui.Tab_PumpC));
        QVERIFY(ui.pumpDCartID->text().isEmpty() && ui.pumpDVolume->text().isEmpty());
        QCOMPARE(sim.window->cartridgeIds[3], QString("ST-D-0043")); // members are kept
    }

    void gasAlphasenseAndFigaro() {
        auto config = SimRig::load("mixed");
        config.firmwareLevel = 4;
        config.figaro.fitted = false;
        SimRig sim(config);
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        QVERIFY(!ui.sgp41->isEnabled() && !ui.as2_3->isEnabled());
        QVERIFY(!ui.alphasenseLogAS3Algorithm2->isEnabled());
        QVERIFY(!ui.figaroMode->isEnabledTo(ui.Tab_Figaro));
        QVERIFY(!ui.gasLogAS1Raw->isEnabled()); // level 1 and above

        sim.window->clearGasBoard();
        QVERIFY(!inTabs(ui, ui.Tab_Gas));
        for (QWidget* w : {(QWidget*)ui.sgp41, (QWidget*)ui.gasLogSGP41RawVOC,
                           (QWidget*)ui.gasLogAS1Raw, (QWidget*)ui.as2, (QWidget*)ui.gasFanState})
            QVERIFY2(enabledOnPage(w, ui.Tab_Gas), qPrintable(w->objectName()));
        QVERIFY(ui.sfa30ID->text().isEmpty() && ui.scd30Run->text().isEmpty());
        QVERIFY(ui.gasLogAS1Raw->isHidden()); // visibility waits for the next read

        sim.window->clearAlphasenseBoard();
        QVERIFY(!inTabs(ui, ui.Tab_Alphasense));
        for (QWidget* w : {(QWidget*)ui.as2_3, (QWidget*)ui.alphasenseLogAS2Raw,
                           (QWidget*)ui.alphasenseLogAS3Algorithm2})
            QVERIFY2(enabledOnPage(w, ui.Tab_Alphasense), qPrintable(w->objectName()));
        QVERIFY(ui.as3ID_3->text().isEmpty() && !ui.as3Mode_3->isChecked());

        ui.figaro20PPM->setChecked(true);
        sim.window->clearFigaroBoard();
        for (QWidget* w :
             {(QWidget*)ui.figaroMode, (QWidget*)ui.figaroLogging, (QWidget*)ui.figaroLogGain1,
              (QWidget*)ui.figaroRange, (QWidget*)ui.figaro50PPM, (QWidget*)ui.figaroRunLabel})
            QVERIFY2(enabledOnPage(w, ui.Tab_Figaro), qPrintable(w->objectName()));
        QVERIFY(ui.figaro1000PPM->isChecked());
        QVERIFY(!ui.Tab_Figaro->isEnabled());
    }

    // The link reset clears every page; the next connection brings the same
    // widgets back and reads them again.
    void reconnectReadsAgain() {
        auto config = SimRig::load("full");
        config.pumps[1].fitted = false;
        SimRig sim(config);
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        sim.window->linkStep = 999;
        sim.tick();
        QCOMPARE(ui.configuratorTabs->count(), 1);
        QVERIFY(ui.pumpBFlowRate->isEnabledTo(ui.Tab_PumpB));
        sim.instrument->log().clear();
        QVERIFY(sim.connect());
        QCOMPARE(ui.configuratorTabs->count(), 8);
        QVERIFY(!ui.pumpBFlowRate->isEnabled());
        QCOMPARE(sim.requestedWords().count(0x8014), 1);
        QCOMPARE(ui.pumpAFlowRate->value(), 1.0);
    }
};

QTEST_MAIN(ClearingTest)
#include "tst_clearing.moc"
