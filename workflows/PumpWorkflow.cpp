// Commands that act on the instrument at once: starting and stopping a single
// pump (firmware level 5 and above), and the SCD30's forced CO2 calibration.
//
//   1300 + 2i   start pump i (A..D) at its flow field's rate     -> 0
//   1301 + 2i   stop pump i                                      -> 0
//   798         send the calibration   ->   799 show its stamp, unlock   -> 0
//
// A pump command returns the session to idle as soon as its request is queued,
// and its buttons toggle then, not when the instrument confirms; until then the
// workflow buttons are locked. Like every
// workflow it starts only from an idle link and session, so no other workflow
// can be recorded over it; a link reset while it waits drops it.
#include "app/KVX_Configurator.h"
#include "image/boards/GasBoardCodec.h"
#include "image/boards/PumpCodec.h"
#include "ui_KVX_Configurator.h"
#include "workflows/SessionStates.h"

#include <QMessageBox>

namespace {

using kvx::Pump;

constexpr int kPumpStates = kvx::kPumpCommandStates.first;
constexpr int kCalibrationShown = kvx::kCalibrationStates.last;

int pumpCommandState(Pump pump, bool run) {
    return kPumpStates + 2 * kvx::pumpIndex(pump) + (run ? 0 : 1);
}

void pumpButtonClicked(KVX_Configurator& w, Pump pump, bool run) {
    const kvx::PumpWidgets p = kvx::pumpWidgets(*w.ui, pump);
    if (!w.canStartWorkflow())
        return;
    if (run && !(p.flowRate->value() > 0.0))
        return;
    (run ? p.startButton : p.stopButton)->setEnabled(false);
    // Until the command goes out nothing else can start: no button may look
    // usable meanwhile.
    w.lockButtons();
    w.sessionState = pumpCommandState(pump, run);
    w.queuedPumpState = w.sessionState;
}

// Sends the pump command of `state` and enables the pump's other button.
void sendPumpCommand(KVX_Configurator& w, int state, int nextState) {
    const Pump pump = kvx::kAllPumps[(state - kPumpStates) / 2];
    const bool run = (state - kPumpStates) % 2 == 0;
    kvx::encodePumpRunRecord(*w.ui, pump, w.requestImage, run);
    w.queuedPumpState = 0;
    w.startSet(nextState);
    w.unlockButtons();
    const kvx::PumpWidgets p = kvx::pumpWidgets(*w.ui, pump);
    (run ? p.stopButton : p.startButton)->setEnabled(true);
}

} // namespace

void KVX_Configurator::PumpAStartClicked() {
    pumpButtonClicked(*this, Pump::A, true);
}
void KVX_Configurator::PumpAStopClicked() {
    pumpButtonClicked(*this, Pump::A, false);
}
void KVX_Configurator::PumpBStartClicked() {
    pumpButtonClicked(*this, Pump::B, true);
}
void KVX_Configurator::PumpBStopClicked() {
    pumpButtonClicked(*this, Pump::B, false);
}
void KVX_Configurator::PumpCStartClicked() {
    pumpButtonClicked(*this, Pump::C, true);
}
void KVX_Configurator::PumpCStopClicked() {
    pumpButtonClicked(*this, Pump::C, false);
}
void KVX_Configurator::PumpDStartClicked() {
    pumpButtonClicked(*this, Pump::D, true);
}
void KVX_Configurator::PumpDStopClicked() {
    pumpButtonClicked(*this, Pump::D, false);
}

void KVX_Configurator::runPumpState() {
    if (queuedPumpState != 0 && sessionState != queuedPumpState) {
        // The link was reset while the command waited: the pages were cleared,
        // and with them the pump buttons; the command has nowhere to go.
        queuedPumpState = 0;
        return;
    }
    if (!kvx::kPumpCommandStates.holds(sessionState) || !linkIdle())
        return;
    sendPumpCommand(*this, sessionState, 0);
}

void KVX_Configurator::SCD30CalButtonPressed() {
    if (!canStartWorkflow())
        return;
    const QMessageBox::StandardButton answer = askYesNo(
        tr("SCD30 CO2 Forced Calibration."),
        tr("This operation will force the SCD30 into a calibration mode assuming it is being "
           "exposed to a known concentration of CO2.  Are you sure you wish to proceed?"));
    if (answer != QMessageBox::Yes || !canStartWorkflow())
        return;
    lockButtons();
    sessionState = kvx::kCalibrate;
}

void KVX_Configurator::runCalibrationState() {
    if (!linkIdle())
        return;
    if (sessionState == kvx::kCalibrate) {
        // The calibration stamp is the computer's local time, unlike the
        // instrument clock, which runs in UTC.
        kvx::encodeScd30CalibrationRecord(*ui, requestImage,
                                          QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::LocalTime));
        startSet(kCalibrationShown);
    } else if (sessionState == kCalibrationShown) {
        // The answer is the record stored: its stamp follows the ppm value.
        ui->scd30Calibrated->setText(responseImage.readInstallText(4));
        unlockButtons();
        sessionState = 0;
    }
}
