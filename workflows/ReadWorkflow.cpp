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
#include "workflows/ChainPlan.h"
#include "workflows/Changes.h"
#include "workflows/SessionStates.h"
#include "workflows/WriteWorkflow.h"

#include <QMessageBox>

#include <optional>

namespace {

using kvx::Pump;

// Session states of one pump's records: flow, install date, run time, volume,
// cartridge, start schedule, duration (each decoded in its own state).
constexpr int kPumpRecordSteps = 7;

// One pump's part of the chain: its states from `first`, and what follows its
// last record. Pump D's records follow Pump C's on the same board, so Pump C's
// part goes on by asking for Pump D's flow record.
struct PumpPart {
    Pump pump;
    int first;
    int after;
};
constexpr PumpPart kPumpParts[] = {
    {Pump::A, 301, 398},
    {Pump::B, 401, 498},
    {Pump::C, 501, 508},
    {Pump::D, 508, 598},
};

const PumpPart* pumpPartAt(int state) {
    for (const PumpPart& part : kPumpParts) {
        if (state >= part.first && state < part.first + kPumpRecordSteps)
            return &part;
    }
    return nullptr;
}

// Each board's part begins at its hundred; that state has no answer to
// consume and passes an unfitted board over without waiting for the link.
bool boardStart(int state) {
    return state % 100 == 0;
}

// The records the firmware level decides.
bool readsGasFan(const KVX_Configurator& w) {
    return w.firmwareLevel > 2;
}
bool readsFigaro(const KVX_Configurator& w) {
    return w.firmwareLevel >= 4;
}
bool readsAlphasenseLogging(const KVX_Configurator& w) {
    return w.firmwareLevel != 0;
}
bool readsPumpSchedule(const KVX_Configurator& w) {
    return w.firmwareLevel >= 2;
}

// What a state does once it has consumed its answer: ask for `word` and go on
// at `next`, or go on at `next` without asking. `next` 0: not a read state.
struct ReadMove {
    bool asks = false;
    quint16 word = 0;
    int next = 0;
};

ReadMove ask(quint16 word, int next) {
    return {true, word, next};
}

ReadMove passTo(int next) {
    return {false, 0, next};
}

// The pump record after record `step` (0 = flow ... 6 = duration); none when
// the pump's part is over: the pump is not fitted, the firmware level has no
// schedule records, or the duration is in.
std::optional<quint16> nextPumpRecord(const KVX_Configurator& w, Pump pump, int step, bool fitted) {
    const kvx::PumpRecords& records = kvx::pumpRecords(pump);
    switch (step) {
    case 0:
        return fitted ? std::optional(records.install) : std::nullopt;
    case 1:
        return records.run;
    case 2:
        return records.volume;
    case 3:
        return records.cartridge;
    case 4:
        return readsPumpSchedule(w) ? std::optional(records.start) : std::nullopt;
    case 5:
        return records.duration;
    default:
        return std::nullopt;
    }
}

// The chain itself: the move of `state`, where `fitted` is what the answer it
// consumed said of its sensor or pump (the SEN55 record, a pump's flow
// record). Every skip rule of the read is here, and only here: the read runs
// these moves and its plan walks them.
ReadMove readMoveAt(const KVX_Configurator& w, int state, bool fitted) {
    const Ui_KVX_Configurator& ui = *w.ui;
    if (const PumpPart* part = pumpPartAt(state)) {
        if (const auto word = nextPumpRecord(w, part->pump, state - part->first, fitted))
            return ask(*word, state + 1);
        if (part->pump == Pump::C)
            return ask(kvx::pumpRecords(Pump::D).flow, part->after);
        return passTo(part->after);
    }
    if (state >= 204 && state <= 207) {
        const int position = state - 203;
        if (position < 4)
            return ask(kvx::alphasenseRecordWord(position + 1), state + 1);
        return readsGasFan(w) ? ask(kvx::kGasFanWord, 208) : passTo(297);
    }
    switch (state) {
    // ---- main board ----
    case 100:
        return ui.Tab_Main->isEnabled() ? ask(kvx::kClockWord, 101) : passTo(200);
    case 101:
        return ask(kvx::kUtcOffsetWord, 102);
    case 102:
        return ask(kvx::kSampleIdWord, 103);
    case 103:
        return ask(kvx::kScheduleWord, 104);
    case 104:
        return ask(kvx::kSen55Word, 105);
    case 105:
        return fitted ? ask(kvx::kSen55SerialWord, 106) : passTo(195);
    case 106:
        return passTo(195);
    case 195:
        return ask(kvx::kMainLoggingWord, 196);
    case 196:
        return passTo(200);

    // ---- gas board ----
    case 200:
        return ui.Tab_Gas->isEnabled() ? ask(kvx::kSgp41Word, 201) : passTo(300);
    case 201:
        return ask(kvx::kScd30Word, 202);
    case 202:
        return ask(kvx::kSfa30Word, 203);
    case 203:
        return ask(kvx::alphasenseRecordWord(1), 204);
    case 208:
        return readsFigaro(w) ? ask(kvx::kFigaroWord, 209) : passTo(297);
    case 209:
        return passTo(297);
    case 297:
        return ask(kvx::kGasLoggingWord, 298);
    case 298:
        return readsAlphasenseLogging(w) ? ask(kvx::kAlphasenseLoggingWord, 299) : passTo(300);
    case 299:
        return passTo(300);

    // ---- filter pumps ----
    case 300:
        return ui.Tab_PumpA->isEnabled() ? ask(kvx::pumpRecords(Pump::A).flow, 301) : passTo(400);
    case 398:
        return ask(kvx::filterPumpLoggingWord(Pump::A), 399);
    case 399:
        return passTo(400);
    case 400:
        return ui.Tab_PumpB->isEnabled() ? ask(kvx::pumpRecords(Pump::B).flow, 401) : passTo(500);
    case 498:
        return ask(kvx::filterPumpLoggingWord(Pump::B), 499);
    case 499:
        return passTo(500);

    // ---- sorbent pumps: Pump D's records go with the board's first page ----
    case 500:
        return ui.Tab_PumpC->isEnabled() ? ask(kvx::pumpRecords(Pump::C).flow, 501)
                                         : passTo(kvx::kReadEnd);
    case 598:
        return ask(kvx::kPumpsCDLoggingWord, 599);
    case 599:
        return passTo(kvx::kReadEnd);
    default:
        return {};
    }
}

// Decodes the answer that `state` consumes into the form. Returns what it said
// of its sensor or pump: false for a SEN55 or a pump that reports itself not
// fitted, true otherwise.
bool consumeAnswer(KVX_Configurator& w, int state) {
    Ui_KVX_Configurator& ui = *w.ui;
    const kvx::ConfigImage& answer = w.responseImage;
    if (const PumpPart* part = pumpPartAt(state)) {
        const Pump pump = part->pump;
        switch (state - part->first) {
        case 0:
            return kvx::decodePumpFlowRecord(ui, pump, answer, w.firmwareLevel);
        case 1:
            kvx::decodePumpInstallRecord(ui, pump, answer);
            break;
        case 2:
            kvx::decodePumpRunRecord(ui, pump, answer);
            break;
        case 3:
            kvx::decodePumpVolumeRecord(ui, pump, answer);
            break;
        case 4:
            kvx::decodePumpCartridgeRecord(ui, pump, answer,
                                           w.cartridgeIds[size_t(kvx::pumpIndex(pump))]);
            break;
        case 5:
            kvx::decodePumpStartRecord(ui, pump, answer);
            break;
        default:
            kvx::decodePumpDurationRecord(ui, pump, answer);
            break;
        }
        return true;
    }
    if (state >= 204 && state <= 207) {
        const int position = state - 203;
        kvx::decodeAlphasenseRecord(ui, position, answer, w.firmwareLevel,
                                    w.alphasensePartners[size_t(position - 1)]);
        if (position == 4)
            kvx::showGasFanRow(ui, readsGasFan(w));
        return true;
    }
    switch (state) {
    case 101:
        kvx::decodeClockRecord(ui, answer);
        break;
    case 102:
        kvx::decodeUtcOffsetRecord(ui, answer);
        break;
    case 103:
        kvx::decodeSampleIdRecord(ui, answer);
        break;
    case 104:
        kvx::decodeScheduleRecord(ui, answer);
        break;
    case 105:
        return kvx::decodeSen55Record(ui, answer);
    case 106:
        kvx::decodeSen55SerialRecord(ui, answer);
        break;
    case 196:
        kvx::decodeMainLoggingRecord(ui, answer);
        break;
    case 201:
        kvx::decodeSgp41Record(ui, answer);
        break;
    case 202:
        kvx::decodeScd30Record(ui, answer);
        break;
    case 203:
        kvx::decodeSfa30Record(ui, answer);
        break;
    case 208:
        kvx::decodeGasFanRecord(ui, answer);
        break;
    case 209:
        kvx::decodeFigaroRecord(ui, answer, w.readBack);
        break;
    case 298:
        kvx::decodeGasLoggingRecord(ui, answer, w.firmwareLevel, w.readBack);
        break;
    case 299:
        kvx::decodeAlphasenseLoggingRecord(ui, answer);
        break;
    case 399:
        kvx::decodeFilterPumpLoggingRecord(ui, Pump::A, answer);
        break;
    case 499:
        kvx::decodeFilterPumpLoggingRecord(ui, Pump::B, answer);
        break;
    case 599:
        kvx::decodePumpsCDLoggingRecord(ui, answer);
        break;
    default:
        break;
    }
    return true;
}

// What the form knows now of the sensor or pump whose answer `state`
// consumes: fitted unless a read found it not fitted.
bool fittedAsShown(const KVX_Configurator& w, int state) {
    if (state == 105)
        return w.ui->sen55->isEnabled();
    if (const PumpPart* part = pumpPartAt(state); part && state == part->first)
        return kvx::pumpWidgets(*w.ui, part->pump).flowRate->isEnabled();
    return true;
}

} // namespace

namespace kvx {

int plannedReadExchanges(const KVX_Configurator& w) {
    int exchanges = 0;
    int state = kReadStates.first;
    // The bound only guards the loop; the chain has far fewer states.
    for (int step = 0; step < 200 && state != kReadEnd; ++step) {
        const ReadMove move = readMoveAt(w, state, fittedAsShown(w, state));
        if (move.next == 0)
            break;
        exchanges += move.asks ? 1 : 0;
        state = move.next;
    }
    return exchanges;
}

} // namespace kvx

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
    sessionState = kvx::kReadStates.first;
}

void KVX_Configurator::runReadState() {
    const int state = sessionState;
    if (state == kvx::kReadStates.first) {
        readBack = kvx::ReadBackState{};
        keptAsRead.clear();
    }
    if (state == kvx::kReadEnd) {
        // Skipped boards pass on without waiting; nothing is unlocked while
        // the link is busy or being taken down (a reset then ends the read).
        if (!linkIdle())
            return;
        // The form now shows what the instrument holds.
        changes->capture();
        keptAsRead = changes->keptAsOnInstrument();
        unlockButtons();
        sessionState = kvx::kStateIdle;
        return;
    }
    if (boardStart(state)) {
        const ReadMove move = readMoveAt(*this, state, true);
        if (move.next != 0 && !move.asks) {
            sessionState = move.next;
            return;
        }
    }
    if (!linkIdle())
        return;
    const ReadMove move = readMoveAt(*this, state, consumeAnswer(*this, state));
    if (move.next == 0)
        return;
    if (move.asks)
        startGet(move.word, move.next);
    else
        sessionState = move.next;
}
