// Form interlocks: the slots that enable, disable, check and mirror controls
// while the operator edits. They touch widgets only, never the instrument.
//
// Every change made here goes through setChecked / setCheckState, which emit
// no clicked(), so none of these slots ever sets off another one. The SEN55
// mode combo is the exception the other way round: its slot also runs when a
// read sets the combo from code.
#include "app/KVX_Configurator.h"
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/PumpWidgets.h"
#include "ui_KVX_Configurator.h"

#include <array>
#include <initializer_list>

namespace {

// ---- sampling and pump schedules ----

using kvx::Pump;
using kvx::PumpWidgets;

void setEnabled(std::initializer_list<QSpinBox*> fields, bool enabled) {
    for (QSpinBox* field : fields)
        field->setEnabled(enabled);
}

// A pump takes part in the sample schedule only when its board is fitted
// (page enabled) and the firmware offers pump schedules (start group enabled).
bool scheduled(const PumpWidgets& p) {
    return p.page->isEnabled() && p.start->isEnabled();
}

// A power-on start has no date to measure a pump's own start time against, so
// the pumps' specific-time choice is withdrawn; a pump that had it falls back
// to starting with the sample. Its delay fields stay as they are: they are
// already disabled while the specific choice is selected.
void sampleStartsAtPowerOn(const Ui_KVX_Configurator& f) {
    f.startDateTime->setEnabled(false);
    for (Pump pump : kvx::kAllPumps) {
        const PumpWidgets p = kvx::pumpWidgets(f, pump);
        if (!scheduled(p))
            continue;
        if (p.specificDateTime->isChecked())
            p.sampleStart->setChecked(true);
        p.specificDateTime->setEnabled(false);
        p.startDateTime->setEnabled(false);
    }
}

// The pumps' own start options are left as they are; each date-time editor
// becomes editable whichever option is selected.
void sampleStartsAtSpecificTime(const Ui_KVX_Configurator& f) {
    f.startDateTime->setEnabled(true);
    for (Pump pump : kvx::kAllPumps) {
        const PumpWidgets p = kvx::pumpWidgets(f, pump);
        if (!scheduled(p))
            continue;
        p.specificDateTime->setEnabled(true);
        p.startDateTime->setEnabled(true);
    }
}

enum class PumpStart { AtSampleStart, Delayed, AtSpecificTime };

// Only the fields of the selected start option are editable. Disabling keeps
// the values; a write sends the fields of the selected option only.
void choosePumpStart(const Ui_KVX_Configurator& f, Pump pump, PumpStart start) {
    const PumpWidgets p = kvx::pumpWidgets(f, pump);
    QRadioButton* chosen = start == PumpStart::AtSampleStart ? p.sampleStart
                           : start == PumpStart::Delayed     ? p.delayedStart
                                                             : p.specificDateTime;
    chosen->setChecked(true);
    setEnabled({p.delayDays, p.delayHours, p.delayMinutes}, start == PumpStart::Delayed);
    p.startDateTime->setEnabled(start == PumpStart::AtSpecificTime);
}

void choosePumpDuration(const Ui_KVX_Configurator& f, Pump pump, bool shorterThanSample) {
    const PumpWidgets p = kvx::pumpWidgets(f, pump);
    (shorterThanSample ? p.partialSample : p.fullSample)->setChecked(true);
    setEnabled({p.durationDays, p.durationHours, p.durationMinutes}, shorterThanSample);
}

// ---- sensor modes ----

void setLogging(std::initializer_list<QCheckBox*> boxes, bool on) {
    for (QCheckBox* box : boxes)
        box->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

// Gas page: the position's Raw box follows its mode.
void alphasenseGasModeChanged(const Ui_KVX_Configurator& f, int position, bool on) {
    setLogging({kvx::alphasenseWidgets(f, position).gasLogRaw}, on);
}

// Alphasense page. Switched on, the sensor logs its Raw value (its algorithm
// boxes are the operator's choice) and its partner position, when fitted, is
// switched on too; only the partner's mode box changes, because its own slot
// does not run. Switched off, the sensor logs nothing; its partner is left
// alone.
void alphasenseModeChanged(const Ui_KVX_Configurator& f, const std::array<int, 4>& partners,
                           int position, bool on) {
    // Raw, then algorithms 1 to 4.
    const auto logging = kvx::alphasenseWidgets(f, position).logging;
    if (!on) {
        for (QCheckBox* box : logging)
            box->setCheckState(Qt::Unchecked);
        return;
    }
    logging[0]->setCheckState(Qt::Checked);
    const int partner = partners[position - 1];
    if (partner < 1 || partner > 4)
        return;
    QCheckBox* partnerMode = kvx::alphasenseWidgets(f, partner).mode;
    if (partnerMode->isEnabled())
        partnerMode->setCheckState(Qt::Checked);
}

// ---- logging shared by Pumps C and D ----

void mirrorSharedLog(QCheckBox* twin, bool checked) {
    if (twin->isChecked() != checked)
        twin->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

} // namespace

// ---- sampling start ----

void KVX_Configurator::SampleAlwaysPowerOnClicked() {
    sampleStartsAtPowerOn(*ui);
}
void KVX_Configurator::SampleNextPowerOnClicked() {
    sampleStartsAtPowerOn(*ui);
}
void KVX_Configurator::SampleSpecificTimeClicked() {
    sampleStartsAtSpecificTime(*ui);
}

// ---- sensor modes ----

void KVX_Configurator::SGP41ModeChanged(bool checked) {
    setLogging({ui->gasLogSGP41RawVOC, ui->gasLogSGP41RawNOX}, checked);
}
void KVX_Configurator::SFA30ModeChanged(bool checked) {
    setLogging({ui->gasLogSFA30Formald, ui->gasLogSFA30RH, ui->gasLogSFA30T}, checked);
}
void KVX_Configurator::SCD30ModeChanged(bool checked) {
    setLogging({ui->gasLogSCD30CO2, ui->gasLogSCD30T, ui->gasLogSCD30RH}, checked);
}
void KVX_Configurator::FigaroModeChanged(bool checked) {
    setLogging(
        {ui->figaroLogGain1, ui->figaroLogOutput, ui->figaroLogReference, ui->figaroLogOffset},
        checked);
}

void KVX_Configurator::Alphasense1GasModeChanged(bool checked) {
    alphasenseGasModeChanged(*ui, 1, checked);
}
void KVX_Configurator::Alphasense2GasModeChanged(bool checked) {
    alphasenseGasModeChanged(*ui, 2, checked);
}
void KVX_Configurator::Alphasense3GasModeChanged(bool checked) {
    alphasenseGasModeChanged(*ui, 3, checked);
}
void KVX_Configurator::Alphasense4GasModeChanged(bool checked) {
    alphasenseGasModeChanged(*ui, 4, checked);
}
void KVX_Configurator::Alphasense1ModeChanged(bool checked) {
    alphasenseModeChanged(*ui, alphasensePartners, 1, checked);
}
void KVX_Configurator::Alphasense2ModeChanged(bool checked) {
    alphasenseModeChanged(*ui, alphasensePartners, 2, checked);
}
void KVX_Configurator::Alphasense3ModeChanged(bool checked) {
    alphasenseModeChanged(*ui, alphasensePartners, 3, checked);
}
void KVX_Configurator::Alphasense4ModeChanged(bool checked) {
    alphasenseModeChanged(*ui, alphasensePartners, 4, checked);
}

// Items: 0 "Idle", 1 "RH/T/Gas", 2 "RH/T/Gas/PMS". Any other index (-1 when
// the combo is emptied) is treated as idle.
void KVX_Configurator::SEN55ModeChanged(int index) {
    const bool gas = index == 1 || index == 2;
    const bool particles = index == 2;
    setLogging({ui->mainLogSEN55_PM1_0, ui->mainLogSEN55_PM2_5, ui->mainLogSEN55_PM4_0,
                ui->mainLogSEN55_PM10},
               particles);
    setLogging(
        {ui->mainLogVSEN55RH, ui->mainLogSEN55T, ui->mainLogSEN55RawVOC, ui->mainLogSEN55RawNOx},
        gas);
}

// ---- pump schedules ----

void KVX_Configurator::PumpASampleStartClicked() {
    choosePumpStart(*ui, Pump::A, PumpStart::AtSampleStart);
}
void KVX_Configurator::PumpADelayedStartClicked() {
    choosePumpStart(*ui, Pump::A, PumpStart::Delayed);
}
void KVX_Configurator::PumpASpecificDateTimeClicked() {
    choosePumpStart(*ui, Pump::A, PumpStart::AtSpecificTime);
}
void KVX_Configurator::PumpAFullSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::A, false);
}
void KVX_Configurator::PumpAPartialSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::A, true);
}

void KVX_Configurator::PumpBSampleStartClicked() {
    choosePumpStart(*ui, Pump::B, PumpStart::AtSampleStart);
}
void KVX_Configurator::PumpBDelayedStartClicked() {
    choosePumpStart(*ui, Pump::B, PumpStart::Delayed);
}
void KVX_Configurator::PumpBSpecificDateTimeClicked() {
    choosePumpStart(*ui, Pump::B, PumpStart::AtSpecificTime);
}
void KVX_Configurator::PumpBFullSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::B, false);
}
void KVX_Configurator::PumpBPartialSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::B, true);
}

void KVX_Configurator::PumpCSampleStartClicked() {
    choosePumpStart(*ui, Pump::C, PumpStart::AtSampleStart);
}
void KVX_Configurator::PumpCDelayedStartClicked() {
    choosePumpStart(*ui, Pump::C, PumpStart::Delayed);
}
void KVX_Configurator::PumpCSpecificDateTimeClicked() {
    choosePumpStart(*ui, Pump::C, PumpStart::AtSpecificTime);
}
void KVX_Configurator::PumpCFullSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::C, false);
}
void KVX_Configurator::PumpCPartialSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::C, true);
}

void KVX_Configurator::PumpDSampleStartClicked() {
    choosePumpStart(*ui, Pump::D, PumpStart::AtSampleStart);
}
void KVX_Configurator::PumpDDelayedStartClicked() {
    choosePumpStart(*ui, Pump::D, PumpStart::Delayed);
}
void KVX_Configurator::PumpDSpecificDateTimeClicked() {
    choosePumpStart(*ui, Pump::D, PumpStart::AtSpecificTime);
}
void KVX_Configurator::PumpDFullSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::D, false);
}
void KVX_Configurator::PumpDPartialSampleTimeClicked() {
    choosePumpDuration(*ui, Pump::D, true);
}

// ---- logging shared by Pumps C and D ----

// The five channels of the Pumps C&D board stand on both pump pages; a click
// on one copy brings the other copy to the same state.
void KVX_Configurator::PumpCLogVSUPPLYChanged(bool checked) {
    mirrorSharedLog(ui->pumpDLogVSUPPLY, checked);
}
void KVX_Configurator::PumpCLog3V3Changed(bool checked) {
    mirrorSharedLog(ui->pumpDLog3V3, checked);
}
void KVX_Configurator::PumpCLogBMP390PChanged(bool checked) {
    mirrorSharedLog(ui->pumpDLogBMP390P, checked);
}
void KVX_Configurator::PumpCLogBMP390TChanged(bool checked) {
    mirrorSharedLog(ui->pumpDLogBMP390T, checked);
}
void KVX_Configurator::PumpCLogAtmoChanged(bool checked) {
    mirrorSharedLog(ui->pumpDLogAtmo, checked);
}
void KVX_Configurator::PumpDLogVSUPPLYChanged(bool checked) {
    mirrorSharedLog(ui->pumpCLogVSUPPLY, checked);
}
void KVX_Configurator::PumpDLog3V3Changed(bool checked) {
    mirrorSharedLog(ui->pumpCLog3V3, checked);
}
void KVX_Configurator::PumpDLogBMP390PChanged(bool checked) {
    mirrorSharedLog(ui->pumpCLogBMP390P, checked);
}
void KVX_Configurator::PumpDLogBMP390TChanged(bool checked) {
    mirrorSharedLog(ui->pumpCLogBMP390T, checked);
}
void KVX_Configurator::PumpDLogAtmoChanged(bool checked) {
    mirrorSharedLog(ui->pumpCLogAtmo, checked);
}
