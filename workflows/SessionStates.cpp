// The session state dispatcher: every code goes to the workflow that owns its
// family (workflows/SessionStates.h). A state that needs the instrument waits
// for the link to be idle, builds the request image and starts one exchange;
// the next state consumes it.
#include "workflows/SessionStates.h"
#include "app/KVX_Configurator.h"
#include "image/boards/PumpWidgets.h"
#include "link/LinkConstants.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Changes.h"

#include <iterator>

void KVX_Configurator::runSessionState() {
    const int s = sessionState;
    // Every record a read receives is kept (the read consumes it in the state
    // after its cfg_get, with the link idle): a write sends back from it what
    // no control could change.
    if (s > kvx::kReadStates.first && s <= kvx::kReadStates.last && linkIdle() &&
        commandWord == kvx::kCfgGet)
        readBack.records.insert(requestImage.requestWord(), responseImage);
    if (queuedPumpState != 0 && s != queuedPumpState) {
        runPumpState(); // a pump command left behind by a link reset is dropped
        return;
    }
    switch (kvx::workflowOf(s)) {
    case kvx::Workflow::Connection:
        runConnectionState();
        break;
    case kvx::Workflow::Clock:
        runClockState();
        break;
    case kvx::Workflow::Calibration:
        runCalibrationState();
        break;
    case kvx::Workflow::Read:
        runReadState();
        break;
    case kvx::Workflow::Write:
        runWriteState();
        break;
    case kvx::Workflow::PumpCommand:
        runPumpState();
        break;
    case kvx::Workflow::None:
        break;
    }
}

void KVX_Configurator::startGet(quint16 requestWord, int nextState) {
    requestImage.resetRequest(requestWord);
    requestImage.finishRequest();
    linkStep = kvx::LinkGet;
    sessionState = nextState;
}

void KVX_Configurator::startSet(int nextState) {
    requestImage.finishRequest();
    changes->sending(requestImage);
    linkStep = kvx::LinkSet;
    sessionState = nextState;
}

bool KVX_Configurator::canStartWorkflow() const {
    if (sessionState != 0)
        return false;
    // A connected link: idle, or carrying the exchange of a pump command that
    // has already handed the session back (the new workflow's first state
    // waits for it). Not while connecting, saying farewell or reset.
    switch (linkStep) {
    case kvx::LinkIdle:
    case kvx::LinkGet:
    case kvx::LinkSet:
    case kvx::LinkSendRequest:
    case kvx::LinkWaitAnswer:
        return true;
    default:
        return false;
    }
}

void KVX_Configurator::lockButtons() {
    ui->kvxWrite->setEnabled(false);
    ui->kvxRead->setEnabled(false);
    ui->setRTC->setEnabled(false);
    ui->readRTC->setEnabled(false);
    ui->scd30CalButton->setEnabled(false);
    if (buttonsLocked)
        return;
    buttonsLocked = true;
    for (size_t i = 0; i < std::size(kvx::kAllPumps); ++i) {
        const kvx::PumpWidgets p = kvx::pumpWidgets(*ui, kvx::kAllPumps[i]);
        // The buttons' own settings, not what a disabled page makes of them:
        // a pump whose page is off keeps its buttons as they were.
        heldPumpButtons[i] = {!p.startButton->testAttribute(Qt::WA_ForceDisabled),
                              !p.stopButton->testAttribute(Qt::WA_ForceDisabled)};
        p.startButton->setEnabled(false);
        p.stopButton->setEnabled(false);
    }
}

void KVX_Configurator::unlockButtons() {
    ui->kvxWrite->setEnabled(true);
    ui->kvxRead->setEnabled(true);
    ui->setRTC->setEnabled(true);
    ui->readRTC->setEnabled(true);
    ui->scd30CalButton->setEnabled(ui->Tab_Gas->isEnabled() && ui->scd30->isEnabled());
    if (!buttonsLocked)
        return;
    buttonsLocked = false;
    for (size_t i = 0; i < std::size(kvx::kAllPumps); ++i) {
        const kvx::PumpWidgets p = kvx::pumpWidgets(*ui, kvx::kAllPumps[i]);
        p.startButton->setEnabled(heldPumpButtons[i].start);
        p.stopButton->setEnabled(heldPumpButtons[i].stop);
    }
}
