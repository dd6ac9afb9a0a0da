// Reading the configuration: one cfg_get per record, board by board, each
// answer decoded into the board's page before the next record is requested.
// Pages that are disabled (boards not fitted) are skipped, records the
// firmware level does not have are skipped, and a pump that reports itself not
// fitted ends that pump's part of the chain.
//
//   100-106, 195, 196   main board      300-307, 398, 399   Pump A
//   200-209, 297-299    gas board       400-407, 498, 499   Pump B
//   1100                end             500-514, 598, 599   Pumps C and D
#include "app/KVX_Configurator.h"
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/FilterPumpCodec.h"
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/SorbentPumpCodec.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Changes.h"
#include "workflows/WriteWorkflow.h"

#include <QMessageBox>

namespace {

using kvx::Pump;

// Session states of one pump's records: flow, install date, run time, volume,
// cartridge, start schedule, duration (each decoded in its own state).
constexpr int kPumpRecordSteps = 7;

// Decodes the answer to pump record `step` (0 = flow ... 6 = duration), which
// the state `firstState + step` consumes, and requests the pump's next record.
// Returns false when the pump's part of the chain is over: the pump is not
// fitted, the firmware level has no schedule records, or the duration is in.
bool pumpRecordStep(KVX_Configurator& w, Pump pump, int step, int firstState) {
    Ui_KVX_Configurator& ui = *w.ui;
    const kvx::PumpRecords& records = kvx::pumpRecords(pump);
    const int next = firstState + step + 1;
    switch (step) {
    case 0:
        if (!kvx::decodePumpFlowRecord(ui, pump, w.responseImage, w.firmwareLevel))
            return false;
        w.startGet(records.install, next);
        return true;
    case 1:
        kvx::decodePumpInstallRecord(ui, pump, w.responseImage);
        w.startGet(records.run, next);
        return true;
    case 2:
        kvx::decodePumpRunRecord(ui, pump, w.responseImage);
        w.startGet(records.volume, next);
        return true;
    case 3:
        kvx::decodePumpVolumeRecord(ui, pump, w.responseImage);
        w.startGet(records.cartridge, next);
        return true;
    case 4:
        kvx::decodePumpCartridgeRecord(ui, pump, w.responseImage,
                                       w.cartridgeIds[size_t(kvx::pumpIndex(pump))]);
        if (w.firmwareLevel < 2)
            return false;
        w.startGet(records.start, next);
        return true;
    case 5:
        kvx::decodePumpStartRecord(ui, pump, w.responseImage);
        w.startGet(records.duration, next);
        return true;
    default:
        kvx::decodePumpDurationRecord(ui, pump, w.responseImage);
        return false;
    }
}

bool inPumpStates(int state, int firstState) {
    return state >= firstState && state < firstState + kPumpRecordSteps;
}

} // namespace

void KVX_Configurator::KVXReadButtonPressed() {
    if (!canStartWorkflow())
        return;
    const QMessageBox::StandardButton answer = askYesNo(
        tr("Read configuration data from the KVXv2."),
        tr("This operation will overwrite any changes you've made in the program but haven't "
           "written to the KVXv2 yet.  Are you sure you wish to proceed?"));
    // The link may have been reset or taken by another request meanwhile.
    if (answer != QMessageBox::Yes || !canStartWorkflow())
        return;
    lockButtons();
    sessionState = 100;
}

void KVX_Configurator::runReadState() {
    const int state = sessionState;

    // ---- first states of each board: the page test comes before the wait ----
    switch (state) {
    case 100:
        readBack = kvx::ReadBackState{};
        keptAsRead.clear();
        if (!ui->Tab_Main->isEnabled()) {
            sessionState = 200;
            return;
        }
        break;
    case 200:
        if (!ui->Tab_Gas->isEnabled()) {
            sessionState = 300;
            return;
        }
        break;
    case 300:
        if (!ui->Tab_PumpA->isEnabled()) {
            sessionState = 400;
            return;
        }
        break;
    case 400:
        if (!ui->Tab_PumpB->isEnabled()) {
            sessionState = 500;
            return;
        }
        break;
    case 500:
        // Pump D's records go with the sorbent board's first page.
        if (!ui->Tab_PumpC->isEnabled()) {
            sessionState = 1100;
            return;
        }
        break;
    case 1100:
        // Skipped boards pass on without waiting; nothing is unlocked while
        // the link is busy or being taken down (a reset then ends the read).
        if (!linkIdle())
            return;
        keptAsRead = changes->keptAsOnInstrument();
        changes->schedule();
        unlockButtons();
        sessionState = 0;
        return;
    default:
        break;
    }

    if (!linkIdle())
        return;

    // ---- pumps ----
    if (inPumpStates(state, 301)) {
        if (!pumpRecordStep(*this, Pump::A, state - 301, 301))
            sessionState = 398;
        return;
    }
    if (inPumpStates(state, 401)) {
        if (!pumpRecordStep(*this, Pump::B, state - 401, 401))
            sessionState = 498;
        return;
    }
    if (inPumpStates(state, 501)) {
        if (!pumpRecordStep(*this, Pump::C, state - 501, 501))
            startGet(kvx::pumpRecords(Pump::D).flow, 508);
        return;
    }
    if (inPumpStates(state, 508)) {
        if (!pumpRecordStep(*this, Pump::D, state - 508, 508))
            sessionState = 598;
        return;
    }
    if (state >= 204 && state <= 207) {
        const int position = state - 203;
        kvx::decodeAlphasenseRecord(*ui, position, responseImage, firmwareLevel,
                                    alphasensePartners[size_t(position - 1)]);
        if (position < 4) {
            startGet(kvx::alphasenseRecordWord(position + 1), state + 1);
        } else if (firmwareLevel > 2) {
            kvx::showGasFanRow(*ui, true);
            startGet(kvx::kGasFanWord, 208);
        } else {
            kvx::showGasFanRow(*ui, false);
            sessionState = 297;
        }
        return;
    }

    switch (state) {
    // ---- main board ----
    case 100:
        startGet(kvx::kClockWord, 101);
        break;
    case 101:
        kvx::decodeClockRecord(*ui, responseImage);
        startGet(kvx::kUtcOffsetWord, 102);
        break;
    case 102:
        kvx::decodeUtcOffsetRecord(*ui, responseImage);
        startGet(kvx::kSampleIdWord, 103);
        break;
    case 103:
        kvx::decodeSampleIdRecord(*ui, responseImage);
        startGet(kvx::kScheduleWord, 104);
        break;
    case 104:
        kvx::decodeScheduleRecord(*ui, responseImage);
        startGet(kvx::kSen55Word, 105);
        break;
    case 105:
        if (kvx::decodeSen55Record(*ui, responseImage))
            startGet(kvx::kSen55SerialWord, 106);
        else
            sessionState = 195;
        break;
    case 106:
        kvx::decodeSen55SerialRecord(*ui, responseImage);
        sessionState = 195;
        break;
    case 195:
        startGet(kvx::kMainLoggingWord, 196);
        break;
    case 196:
        kvx::decodeMainLoggingRecord(*ui, responseImage);
        sessionState = 200;
        break;

    // ---- gas board ----
    case 200:
        startGet(kvx::kSgp41Word, 201);
        break;
    case 201:
        kvx::decodeSgp41Record(*ui, responseImage);
        startGet(kvx::kScd30Word, 202);
        break;
    case 202:
        kvx::decodeScd30Record(*ui, responseImage);
        startGet(kvx::kSfa30Word, 203);
        break;
    case 203:
        kvx::decodeSfa30Record(*ui, responseImage);
        startGet(kvx::alphasenseRecordWord(1), 204);
        break;
    case 208:
        kvx::decodeGasFanRecord(*ui, responseImage);
        if (firmwareLevel < 4)
            sessionState = 297;
        else
            startGet(kvx::kFigaroWord, 209);
        break;
    case 209:
        kvx::decodeFigaroRecord(*ui, responseImage, readBack);
        sessionState = 297;
        break;
    case 297:
        startGet(kvx::kGasLoggingWord, 298);
        break;
    case 298:
        kvx::decodeGasLoggingRecord(*ui, responseImage, firmwareLevel, readBack);
        if (firmwareLevel == 0)
            sessionState = 300;
        else
            startGet(kvx::kAlphasenseLoggingWord, 299);
        break;
    case 299:
        kvx::decodeAlphasenseLoggingRecord(*ui, responseImage);
        sessionState = 300;
        break;

    // ---- filter pumps ----
    case 300:
        startGet(kvx::pumpRecords(Pump::A).flow, 301);
        break;
    case 398:
        startGet(kvx::filterPumpLoggingWord(Pump::A), 399);
        break;
    case 399:
        kvx::decodeFilterPumpLoggingRecord(*ui, Pump::A, responseImage);
        sessionState = 400;
        break;
    case 400:
        startGet(kvx::pumpRecords(Pump::B).flow, 401);
        break;
    case 498:
        startGet(kvx::filterPumpLoggingWord(Pump::B), 499);
        break;
    case 499:
        kvx::decodeFilterPumpLoggingRecord(*ui, Pump::B, responseImage);
        sessionState = 500;
        break;

    // ---- sorbent pumps ----
    case 500:
        startGet(kvx::pumpRecords(Pump::C).flow, 501);
        break;
    case 598:
        startGet(kvx::kPumpsCDLoggingWord, 599);
        break;
    case 599:
        kvx::decodePumpsCDLoggingRecord(*ui, responseImage);
        sessionState = 1100;
        break;
    default:
        break;
    }
}
