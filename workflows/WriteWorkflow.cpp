// Writing the configuration: the operator confirms and answers the schedule
// warnings, then the ticker stops any pump started from its page (firmware
// level 5 and above) and stores every record of every enabled page with one
// cfg_set each, board by board. The instrument answers each write with the
// record it stored; the link accepts only an exact copy of what was sent.
//
//   1400..1403  stop Pumps A..D        800..803, 898, 899   Pump A
//   600..603, 698, 699   main board    900..903, 998, 999   Pump B
//   700..705, 795..797   gas board     1000..1007, 1098, 1099   Pumps C and D
//   1200        end: unlock the buttons
//
// A step whose record is not to be written passes on in the same tick; a step
// that writes waits for the link to be idle first.
#include "workflows/WriteWorkflow.h"

#include "app/KVX_Configurator.h"
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/FilterPumpCodec.h"
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/SorbentPumpCodec.h"
#include "link/LinkConstants.h"
#include "ui_KVX_Configurator.h"
#include "workflows/ChainPlan.h"
#include "workflows/Changes.h"
#include "workflows/Record.h"
#include "workflows/SessionStates.h"

#include <QMessageBox>

#include <algorithm>

namespace kvx {

namespace {

constexpr int kMinutesPerDay = 1440;

int sampleDurationMinutes(const Ui_KVX_Configurator& ui) {
    return ui.durationDays->value() * kMinutesPerDay + ui.durationHours->value() * 60 +
           ui.durationMinutes->value();
}

int delayMinutes(const PumpWidgets& w) {
    return w.delayDays->value() * kMinutesPerDay + w.delayHours->value() * 60 +
           w.delayMinutes->value();
}

QChar pumpLetter(Pump pump) {
    return QChar('A' + pumpIndex(pump));
}

// A pump takes part in the checks when its page and its start group are enabled.
bool scheduled(const PumpWidgets& w) {
    return w.page->isEnabled() && w.start->isEnabled();
}

WriteWarning startInPast() {
    return {QObject::tr("Start Date and Time In Past"),
            QObject::tr("You are specifying that the sampling starts on a specific UTC date and "
                        "time, which is earlier than the computer clock.  Are you sure you wish "
                        "to proceed?")};
}

WriteWarning pumpStartEarly(Pump pump) {
    const QChar p = pumpLetter(pump);
    return {QObject::tr("Pump %1 Start Date/Time Early").arg(p),
            QObject::tr("You are specifying that Pump %1 starts at a specific UTC date/time that "
                        "is earlier than the sample starting UTC date/time.  Are you sure you "
                        "wish to proceed?")
                .arg(p)};
}

WriteWarning pumpStartLate(Pump pump) {
    const QChar p = pumpLetter(pump);
    return {QObject::tr("Pump %1 Start Date/Time Late").arg(p),
            QObject::tr("You are specifying that Pump %1 starts at a specific UTC date/time that "
                        "is later than when the sample will stop.  Are you sure you wish to "
                        "proceed?")
                .arg(p)};
}

WriteWarning pumpDelayTooLong(Pump pump) {
    const QChar p = pumpLetter(pump);
    return {QObject::tr("Pump %1 Delay Longer Than Sample Duration").arg(p),
            QObject::tr("You are specifying that the starting delay for Pump %1 is longer than "
                        "the total sample duration.  Are you sure you wish to proceed?")
                .arg(p)};
}

// ---- the record chain ----------------------------------------------------------

// One pump's part of the chain: its cartridge, flow, start and duration steps
// are `first` .. `first + 3`; `after` follows its last record.
struct PumpChain {
    Pump pump;
    int first;
    int after;
};

// Pump D's records follow Pump C's on the same board: its steps begin where
// Pump C's chain ends, and only Pump C's page decides whether they run.
constexpr PumpChain kPumpChains[] = {
    {Pump::A, 800, 898},
    {Pump::B, 900, 998},
    {Pump::C, 1000, 1004},
    {Pump::D, 1004, 1098},
};

enum PumpStep { CartridgeStep = 0, FlowStep = 1, StartStep = 2, DurationStep = 3 };

const PumpChain* pumpChainAt(int state) {
    for (const PumpChain& chain : kPumpChains) {
        if (state >= chain.first && state <= chain.first + DurationStep)
            return &chain;
    }
    return nullptr;
}

// The chain's outcome for one tick: go on at once, or stop for this tick.
constexpr bool kPassOn = true;
constexpr bool kHold = false;

bool passOn(KVX_Configurator& w, int next) {
    w.sessionState = next;
    return kPassOn;
}

// Waits for the link, then builds the record with `encode` and starts its
// cfg_set; the chain goes on at `next` once the exchange is over.
template <typename Encode> bool send(KVX_Configurator& w, int next, Encode encode) {
    if (!w.linkIdle())
        return kHold;
    encode(w.requestImage);
    w.startSet(next);
    return kHold;
}

// Waits for the link, then builds the record `word` from the form and starts
// its cfg_set; the chain goes on at `next` once the exchange is over.
bool sendRecord(KVX_Configurator& w, int next, quint16 word) {
    if (!w.linkIdle())
        return kHold;
    encodeRecord(w, word, w.requestImage);
    w.changes->keepUnedited(w.requestImage);
    w.startSet(next);
    return kHold;
}

bool waitThenPassOn(KVX_Configurator& w, int next) {
    if (!w.linkIdle())
        return kHold;
    return passOn(w, next);
}

QDateTime localNow(const KVX_Configurator& w) {
    return QDateTime::fromMSecsSinceEpoch(w.nowMs(), Qt::LocalTime);
}

// The step after a pump's flow record (or, for `fromStart`, after its start
// record): the schedule records exist from firmware level 2 and are written
// only while their groups are enabled.
int afterFlowOrStart(const KVX_Configurator& w, const PumpChain& chain, const PumpWidgets& p,
                     bool fromStart) {
    if (!fromStart && w.firmwareLevel < 2)
        return chain.after;
    if (!fromStart && p.start->isEnabled())
        return chain.first + StartStep;
    if (p.duration->isEnabled())
        return chain.first + DurationStep;
    return chain.after;
}

// What one state of the write does. The chain runs these moves, and its plan
// walks them without sending anything, so every skip rule of the write is in
// writeMoveAt and what it calls, and only there.
struct WriteMove {
    enum Kind {
        Stay,      // not a state of this chain
        PassOn,    // nothing to write here: on to `next` in the same tick
        WaitThen,  // on to `next` once the link is idle
        Record,    // write record `word` from the form, then `next`
        Cartridge, // stamp and write `pump`'s new cartridge, then `next`
        StopPump,  // stop `pump` before the records, then `next`
        Finish,    // the end: unlock the buttons
    };
    Kind kind = Stay;
    int next = 0;
    quint16 word = 0;
    Pump pump = Pump::A;

    bool writes() const { return kind == Record || kind == Cartridge || kind == StopPump; }
};

WriteMove passTo(int next) {
    return {WriteMove::PassOn, next};
}

WriteMove record(quint16 word, int next) {
    return {WriteMove::Record, next, word};
}

WriteMove pumpMove(const KVX_Configurator& w, const PumpChain& chain, int step) {
    const Ui_KVX_Configurator& ui = *w.ui;
    const Pump pump = chain.pump;
    const PumpWidgets p = pumpWidgets(ui, pump);
    switch (step) {
    case CartridgeStep:
        if (!pumpCartridgeChanged(ui, pump, w.cartridgeIds))
            return passTo(chain.first + FlowStep);
        return {WriteMove::Cartridge, chain.first + FlowStep, 0, pump};
    case FlowStep: {
        const int next = afterFlowOrStart(w, chain, p, false);
        if (!p.flowRate->isEnabled())
            return passTo(next);
        return record(pumpRecords(pump).flow, next);
    }
    case StartStep:
        return record(pumpRecords(pump).start, afterFlowOrStart(w, chain, p, true));
    default:
        return record(pumpRecords(pump).duration, chain.after);
    }
}

// The pump-stop prelude: stop this pump, then the next later pump whose Stop
// button was enabled when the buttons were locked, then the record chain. The
// Start buttons stay disabled.
int nextPreludeState(const KVX_Configurator& w, int afterIndex) {
    for (int i = afterIndex + 1; i < 4; ++i) {
        if (w.heldPumpButtons[size_t(i)].stop)
            return kPumpStopStates.first + i;
    }
    return kWriteStates.first;
}

WriteMove writeMoveAt(const KVX_Configurator& w, int state) {
    const Ui_KVX_Configurator& ui = *w.ui;
    const int level = w.firmwareLevel;

    if (kPumpStopStates.holds(state)) {
        const int index = state - kPumpStopStates.first;
        return {WriteMove::StopPump, nextPreludeState(w, index), 0, kAllPumps[index]};
    }

    // Each board's first step looks at its page before anything else.
    switch (state) {
    case 600:
        if (!ui.Tab_Main->isEnabled())
            return passTo(700);
        break;
    case 700:
        if (!ui.Tab_Gas->isEnabled())
            return passTo(800);
        break;
    case 800:
        if (!ui.Tab_PumpA->isEnabled())
            return passTo(900);
        break;
    case 900:
        if (!ui.Tab_PumpB->isEnabled())
            return passTo(1000);
        break;
    case 1000:
        if (!ui.Tab_PumpC->isEnabled())
            return passTo(kWriteEnd);
        break;
    case kWriteEnd:
        return {WriteMove::Finish};
    default:
        break;
    }

    if (const PumpChain* chain = pumpChainAt(state))
        return pumpMove(w, *chain, state - chain->first);

    switch (state) {
    // ---- main board ----
    case 600:
        return record(kUtcOffsetWord, 601);
    case 601:
        return record(kSampleIdWord, 602);
    case 602:
        return record(kScheduleWord, 603);
    case 603:
        if (!ui.sen55->isEnabled())
            return passTo(698);
        return record(kSen55Word, 698);
    case 698:
        return record(kMainLoggingWord, 699);
    case 699:
        return {WriteMove::WaitThen, 700};

    // ---- gas board ----
    case 700:
        if (!ui.sgp41->isEnabled())
            return passTo(701);
        return record(kSgp41Word, 701);
    case 701:
        if (!ui.sfa30->isEnabled())
            return passTo(702);
        return record(kSfa30Word, 702);
    case 702:
        if (!ui.scd30->isEnabled())
            return passTo(703);
        return record(kScd30Word, 703);
    case 703:
        return record(kAlphasenseModesWord, level < 3 ? 795 : 704);
    case 704:
        return record(kGasFanWord, level < 4 ? 795 : 705);
    case 705:
        return record(kFigaroWord, 795);
    case 795:
        return record(kGasLoggingWord, 796);
    case 796:
        if (level == 0)
            return passTo(800);
        return record(kAlphasenseLoggingWord, 797);
    case 797:
        return {WriteMove::WaitThen, 800};

    // ---- pump logging ----
    case 898:
        return record(filterPumpLoggingWord(Pump::A), 899);
    case 899:
        return {WriteMove::WaitThen, 900};
    case 998:
        return record(filterPumpLoggingWord(Pump::B), 999);
    case 999:
        return {WriteMove::WaitThen, 1000};
    case 1098:
        return record(kPumpsCDLoggingWord, 1099);
    case 1099:
        return {WriteMove::WaitThen, kWriteEnd};
    default:
        return {};
    }
}

// Waits for the link, then stamps the pump's new cartridge with the
// computer's local time, once, starts its counters afresh and writes it. Once
// the instrument confirms it, that cartridge is the one it holds: a second
// write does not stamp it again.
bool sendCartridge(KVX_Configurator& w, Pump pump, int next) {
    return send(w, next, [&](ConfigImage& request) {
        const PumpWidgets p = pumpWidgets(*w.ui, pump);
        const QDateTime now = localNow(w);
        p.install->setText(QStringLiteral("On ") + now.toString(QStringLiteral("MM/dd/yyyy")) +
                           QStringLiteral(" @ ") + now.toString(QStringLiteral("hh:mm")));
        p.run->setText(QStringLiteral("0"));
        p.volume->setText(QStringLiteral("0"));
        encodePumpCartridgeRecord(*w.ui, pump, request, now);
    });
}

bool stopPump(KVX_Configurator& w, Pump pump, int next) {
    if (!w.linkIdle())
        return kHold;
    encodePumpRunRecord(*w.ui, pump, w.requestImage, false);
    w.heldPumpButtons[size_t(pumpIndex(pump))].stop = false;
    w.startSet(next);
    return kHold;
}

bool finishWrite(KVX_Configurator& w) {
    // Nothing is unlocked while the link is still busy or being taken down.
    if (!w.linkIdle())
        return kHold;
    // Every record of the write came back as sent.
    noteWriteConfirmed(w);
    w.unlockButtons();
    if (w.firmwareLevel > 4) {
        for (Pump pump : kAllPumps)
            pumpWidgets(*w.ui, pump).startButton->setEnabled(true);
    }
    w.sessionState = kStateIdle;
    return kHold;
}

// Runs the current step. Returns kPassOn when the chain moved on without
// writing, so that the next step runs in the same tick.
bool writeStep(KVX_Configurator& w) {
    const WriteMove move = writeMoveAt(w, w.sessionState);
    switch (move.kind) {
    case WriteMove::PassOn:
        return passOn(w, move.next);
    case WriteMove::WaitThen:
        return waitThenPassOn(w, move.next);
    case WriteMove::Record:
        return sendRecord(w, move.next, move.word);
    case WriteMove::Cartridge:
        return sendCartridge(w, move.pump, move.next);
    case WriteMove::StopPump:
        return stopPump(w, move.pump, move.next);
    case WriteMove::Finish:
        return finishWrite(w);
    case WriteMove::Stay:
        break;
    }
    return kHold;
}

} // namespace

bool encodeRecord(KVX_Configurator& w, quint16 word, ConfigImage& r) {
    Ui_KVX_Configurator& ui = *w.ui;
    const ReadBackState& kept = w.readBack;
    switch (word) {
    case kUtcOffsetWord:
        encodeUtcOffsetRecord(ui, r);
        return true;
    case kSampleIdWord:
        encodeSampleIdRecord(ui, r);
        return true;
    case kScheduleWord:
        encodeScheduleRecord(ui, r, kept);
        return true;
    case kSen55Word:
        encodeSen55Record(ui, r);
        return true;
    case kMainLoggingWord:
        encodeMainLoggingRecord(ui, r, kept);
        return true;
    case kSgp41Word:
        encodeSgp41Record(ui, r);
        return true;
    case kSfa30Word:
        encodeSfa30Record(ui, r);
        return true;
    case kScd30Word:
        encodeScd30Record(ui, r, kept);
        return true;
    case kAlphasenseModesWord:
        encodeAlphasenseModesRecord(ui, r, w.firmwareLevel, kept);
        return true;
    case kGasFanWord:
        encodeGasFanRecord(ui, r);
        return true;
    case kFigaroWord:
        encodeFigaroRecord(ui, r, kept);
        return true;
    case kGasLoggingWord:
        encodeGasLoggingRecord(ui, r, kept);
        return true;
    case kAlphasenseLoggingWord:
        encodeAlphasenseLoggingRecord(ui, r, kept);
        return true;
    case kPumpsCDLoggingWord:
        encodePumpsCDLoggingRecord(ui, r, kept);
        return true;
    default:
        break;
    }
    for (Pump pump : kAllPumps) {
        const PumpRecords& records = pumpRecords(pump);
        if (word == records.flow) {
            encodePumpFlowRecord(ui, pump, r);
            return true;
        }
        if (word == records.start) {
            encodePumpStartRecord(ui, pump, r);
            return true;
        }
        if (word == records.duration) {
            encodePumpDurationRecord(ui, pump, r);
            return true;
        }
        if ((pump == Pump::A || pump == Pump::B) && word == filterPumpLoggingWord(pump)) {
            encodeFilterPumpLoggingRecord(ui, pump, r, kept);
            return true;
        }
    }
    return false;
}

QList<WriteWarning> scheduleWarnings(const Ui_KVX_Configurator& ui, const QDateTime& nowUtc) {
    QList<WriteWarning> warnings;
    if (ui.specificTime->isChecked()) {
        const QDateTime sampleStart = ui.startDateTime->dateTime();
        const QDateTime sampleStop = sampleStart.addDays(ui.durationDays->value())
                                         .addSecs(qint64(ui.durationHours->value()) * 3600 +
                                                  qint64(ui.durationMinutes->value()) * 60);
        // Equal to now counts as in the past.
        if (!(nowUtc < sampleStart))
            warnings.append(startInPast());
        for (Pump pump : kAllPumps) {
            const PumpWidgets p = pumpWidgets(ui, pump);
            if (!scheduled(p) || !p.specificDateTime->isChecked())
                continue;
            const QDateTime pumpStart = p.startDateTime->dateTime();
            if (pumpStart < sampleStart)
                warnings.append(pumpStartEarly(pump));
            // Equal to the sample stop counts as late.
            if (!(pumpStart < sampleStop))
                warnings.append(pumpStartLate(pump));
        }
    }
    const int duration = sampleDurationMinutes(ui);
    for (Pump pump : kAllPumps) {
        const PumpWidgets p = pumpWidgets(ui, pump);
        if (scheduled(p) && p.delayedStart->isChecked() && delayMinutes(p) >= duration)
            warnings.append(pumpDelayTooLong(pump));
    }
    return warnings;
}

int plannedWriteExchanges(const KVX_Configurator& w, int issuingState) {
    int exchanges = 0;
    int state = issuingState;
    // The bound only guards the loop; the chain has far fewer states.
    for (int step = 0; step < 200; ++step) {
        const WriteMove move = writeMoveAt(w, state);
        if (move.kind == WriteMove::Stay || move.kind == WriteMove::Finish)
            break;
        exchanges += move.writes() ? 1 : 0;
        state = move.next;
    }
    return exchanges;
}

int writeEntryState(KVX_Configurator& w) {
    noteWriteStarted(w);
    if (w.firmwareLevel <= 4)
        return kWriteStates.first;
    for (KVX_Configurator::PumpButtonStates& held : w.heldPumpButtons)
        held.start = false;
    return nextPreludeState(w, -1);
}

} // namespace kvx

void KVX_Configurator::KVXWriteButtonPressed() {
    if (!canStartWorkflow())
        return;
    // What the write will change, setting by setting, under "Show Details...".
    const QList<kvx::SettingChange> list = changes->changes();
    QStringList lines;
    for (const kvx::SettingChange& change : list)
        lines << change.line();
    const QString summary = list.isEmpty()
                                ? tr("No setting will change; the write stores what the instrument "
                                     "already holds.")
                            : list.size() == 1 ? tr("1 setting will change.")
                                               : tr("%1 settings will change.").arg(list.size());
    const QMessageBox::StandardButton answer =
        askYesNo(tr("Write configuration data to the KVXv2."),
                 tr("This operation will overwrite all existing KVXv2 configuration data.  Are "
                    "you sure you wish to proceed?"),
                 summary, lines.join(QLatin1Char('\n')));
    if (answer != QMessageBox::Yes || !canStartWorkflow())
        return;

    const QDateTime nowUtc = QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::UTC);
    for (const kvx::WriteWarning& warning : kvx::scheduleWarnings(*ui, nowUtc)) {
        // Each warning may cancel the write; the link is looked at again
        // after every answer.
        const QMessageBox::StandardButton reply = askYesNo(warning.title, warning.text);
        if (reply != QMessageBox::Yes || !canStartWorkflow())
            return;
    }

    lockButtons();
    sessionState = kvx::writeEntryState(*this);
}

void KVX_Configurator::runWriteState() {
    // The chain has far fewer steps than this; the bound only guards the loop.
    for (int step = 0; step < 64; ++step) {
        if (!kvx::writeStep(*this))
            return;
    }
}
