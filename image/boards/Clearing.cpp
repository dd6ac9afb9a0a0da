// Clearing of the board pages when the link is reset: every control goes back
// to a neutral state, whatever a read disabled because a sensor or pump was
// missing is enabled again, and the page is disabled and taken out of the tab
// widget (the page itself stays with the form for the next connection).
#include "app/KVX_Configurator.h"
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/PumpWidgets.h"
#include "ui_KVX_Configurator.h"

#include <initializer_list>

namespace {

void resetBox(QCheckBox* box) {
    box->setEnabled(true);
    box->setChecked(false);
}

void enableAndShow(std::initializer_list<QWidget*> widgets) {
    for (QWidget* widget : widgets) {
        widget->setEnabled(true);
        widget->show();
    }
}

void removePage(Ui_KVX_Configurator& ui, QWidget* page) {
    page->setEnabled(false);
    const int index = ui.configuratorTabs->indexOf(page);
    if (index >= 0)
        ui.configuratorTabs->removeTab(index);
}

// Flow rate, cartridge ID and counters of one pump.
void clearPumpFields(const kvx::PumpWidgets& w) {
    w.flowRate->setValue(0.0); // the maximum stays as the last read set it
    w.flowRate->setEnabled(true);
    w.cartId->clear();
    w.cartId->setEnabled(true);
    w.install->clear();
    w.run->clear();
    w.volume->clear();
}

// Start and duration controls and the start/stop buttons of one pump.
void clearPumpSchedule(const kvx::PumpWidgets& w) {
    w.sampleStart->setChecked(true);
    w.delayedStart->setChecked(false);
    w.specificDateTime->setChecked(false);
    enableAndShow({w.sampleStart, w.delayedStart, w.specificDateTime});
    for (QSpinBox* spin : {w.delayDays, w.delayHours, w.delayMinutes})
        spin->setValue(0);
    enableAndShow({w.delayDays, w.delayHours, w.delayMinutes, w.delayDaysLabel, w.delayHoursLabel,
                   w.delayMinutesLabel, w.startDateTime, w.start});

    w.fullSample->setChecked(true);
    w.partialSample->setChecked(false);
    enableAndShow({w.fullSample, w.partialSample});
    for (QSpinBox* spin : {w.durationDays, w.durationHours, w.durationMinutes})
        spin->setValue(0);
    enableAndShow({w.durationDays, w.durationHours, w.durationMinutes, w.durationDaysLabel,
                   w.durationHoursLabel, w.durationMinutesLabel, w.duration});

    enableAndShow({w.startButton});
    w.stopButton->setEnabled(false);
    w.stopButton->show();
}

void clearFilterPump(Ui_KVX_Configurator& ui, kvx::Pump pump) {
    const kvx::PumpWidgets w = kvx::pumpWidgets(ui, pump);
    for (QCheckBox* box : w.allLogging)
        resetBox(box);
    clearPumpFields(w);
    clearPumpSchedule(w);
    removePage(ui, w.page);
}

} // namespace

void KVX_Configurator::clearMainBoard() {
    for (QCheckBox* box :
         {ui->mainLogVBUS, ui->mainLogVSUPPLY, ui->mainLog5V0, ui->mainLog3V3, ui->mainLogVBAT,
          ui->mainLogTBAT, ui->mainLogBMP581P, ui->mainLogBMP581T, ui->mainLogSEN55_PM1_0,
          ui->mainLogSEN55_PM2_5, ui->mainLogSEN55_PM4_0, ui->mainLogSEN55_PM10,
          ui->mainLogVSEN55RH, ui->mainLogSEN55T, ui->mainLogSEN55RawVOC, ui->mainLogSEN55RawNOx,
          ui->mainLogAccelerometer})
        resetBox(box);
    ui->sen55ID->clear();
    ui->sen55Run->clear();
    ui->sen55Fan->clear();
    ui->sen55Mode->setCurrentIndex(0);
    ui->sen55Interval->setValue(0);
    ui->sampleHalt->setEnabled(true);
    ui->sampleHalt->setChecked(false);
    ui->sampleHalt->show();
    removePage(*ui, ui->Tab_Main);
}

void KVX_Configurator::clearGasBoard() {
    for (QCheckBox* box :
         {ui->gasLog5V0, ui->gasLog3V3, ui->gasLogBMP581P, ui->gasLogBMP581T, ui->gasLogSCD30CO2,
          ui->gasLogSCD30T, ui->gasLogSCD30RH, ui->gasLogSGP41RawVOC, ui->gasLogSGP41RawNOX,
          ui->gasLogSFA30Formald, ui->gasLogSFA30RH, ui->gasLogSFA30T, ui->gasLogAS1Raw,
          ui->gasLogAS2Raw, ui->gasLogAS3Raw, ui->gasLogAS4Raw})
        resetBox(box);

    ui->sgp41->setEnabled(true);
    ui->sgp41Mode->setChecked(false);
    ui->sgp41ID->clear();

    ui->scd30->setEnabled(true);
    ui->scd30Mode->setChecked(false);
    ui->scd30ID->clear();
    ui->scd30Run->clear();
    ui->scd30Compensation->setCurrentIndex(0);
    ui->scd30Calibrated->clear();

    ui->sfa30->setEnabled(true);
    ui->sfa30Mode->setChecked(false);
    ui->sfa30ID->clear();
    ui->sfa30Run->clear();

    for (int position = 1; position <= 4; ++position) {
        const kvx::AlphasenseWidgets w = kvx::alphasenseWidgets(*ui, position);
        w.gasGroup->setEnabled(true);
        w.gasMode->setChecked(false);
        w.gasId->clear();
        w.gasRun->clear();
    }

    ui->gasFanGroup->setEnabled(true);
    ui->gasFanState->setEnabled(true);
    ui->gasFanState->setChecked(false);
    removePage(*ui, ui->Tab_Gas);
}

void KVX_Configurator::clearAlphasenseBoard() {
    for (int position = 1; position <= 4; ++position) {
        for (QCheckBox* box : kvx::alphasenseWidgets(*ui, position).logging)
            resetBox(box);
    }
    for (int position = 1; position <= 4; ++position) {
        const kvx::AlphasenseWidgets w = kvx::alphasenseWidgets(*ui, position);
        w.group->setEnabled(true);
        w.mode->setChecked(false);
        w.id->clear();
        w.run->clear();
    }
    removePage(*ui, ui->Tab_Alphasense);
}

void KVX_Configurator::clearFigaroBoard() {
    ui->figaroLogging->setEnabled(true);
    for (QCheckBox* box :
         {ui->figaroLogGain1, ui->figaroLogOutput, ui->figaroLogOffset, ui->figaroLogReference})
        resetBox(box);
    ui->figaroRange->setEnabled(true);
    for (QRadioButton* range : {ui->figaro20PPM, ui->figaro50PPM, ui->figaro1000PPM})
        range->setEnabled(true);
    ui->figaro1000PPM->setChecked(true);
    ui->figaroRunLabel->setEnabled(true);
    ui->figaroRun->clear();
    ui->figaroMode->setEnabled(true);
    ui->figaroMode->setChecked(false);
    removePage(*ui, ui->Tab_Figaro);
}

void KVX_Configurator::clearPumpA() {
    clearFilterPump(*ui, kvx::Pump::A);
}

void KVX_Configurator::clearPumpB() {
    clearFilterPump(*ui, kvx::Pump::B);
}

void KVX_Configurator::clearPumpsCD() {
    const kvx::PumpWidgets c = kvx::pumpWidgets(*ui, kvx::Pump::C);
    const kvx::PumpWidgets d = kvx::pumpWidgets(*ui, kvx::Pump::D);
    // The five shared pairs first, then Pump D's own boxes, then Pump C's.
    for (int i = 0; i < 5; ++i) {
        resetBox(c.allLogging[size_t(i)]);
        resetBox(d.allLogging[size_t(i)]);
    }
    for (const kvx::PumpWidgets* w : {&d, &c}) {
        for (size_t i = 5; i < w->allLogging.size(); ++i)
            resetBox(w->allLogging[i]);
    }
    clearPumpFields(c);
    clearPumpFields(d);
    clearPumpSchedule(c);
    clearPumpSchedule(d);
    removePage(*ui, ui->Tab_PumpC);
    removePage(*ui, ui->Tab_PumpD);
}
