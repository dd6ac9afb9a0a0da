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

#include <QMessageBox>

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

bool pumpStep(KVX_Configurator& w, const PumpChain& chain, int step) {
    Ui_KVX_Configurator& ui = *w.ui;
    const Pump pump = chain.pump;
    const PumpWidgets p = pumpWidgets(ui, pump);
    switch (step) {
    case CartridgeStep:
        if (!pumpCartridgeChanged(ui, pump, w.cartridgeIds))
            return passOn(w, chain.first + FlowStep);
        return send(w, chain.first + FlowStep, [&](ConfigImage& request) {
            // A new cartridge: stamp it with the computer's local time, once,
            // and start its counters afresh. The ID last read is kept, so a
            // second write without a read stamps it again.
            const QDateTime now = localNow(w);
            p.install->setText(QStringLiteral("On ") + now.toString(QStringLiteral("MM/dd/yyyy")) +
                               QStringLiteral(" @ ") + now.toString(QStringLiteral("hh:mm")));
            p.run->setText(QStringLiteral("0"));
            p.volume->setText(QStringLiteral("0"));
            encodePumpCartridgeRecord(ui, pump, request, now);
        });
    case FlowStep: {
        const int next = afterFlowOrStart(w, chain, p, false);
        if (!p.flowRate->isEnabled())
            return passOn(w, next);
        return send(w, next,
                    [&](ConfigImage& request) { encodePumpFlowRecord(ui, pump, request); });
    }
    case StartStep:
        return send(w, afterFlowOrStart(w, chain, p, true),
                    [&](ConfigImage& request) { encodePumpStartRecord(ui, pump, request); });
    default:
        return send(w, chain.after,
                    [&](ConfigImage& request) { encodePumpDurationRecord(ui, pump, request); });
    }
}

// The pump-stop prelude: stop this pump, then the next later pump whose Stop
// button is enabled, then the record chain. The Start buttons stay disabled.
int nextPreludeState(const Ui_KVX_Configurator& ui, int afterIndex) {
    for (int i = afterIndex + 1; i < 4; ++i) {
        if (pumpWidgets(ui, kAllPumps[i]).stopButton->isEnabled())
            return 1400 + i;
    }
    return 600;
}

bool preludeStep(KVX_Configurator& w, int index) {
    if (!w.linkIdle())
        return kHold;
    const Pump pump = kAllPumps[index];
    const PumpWidgets p = pumpWidgets(*w.ui, pump);
    encodePumpRunRecord(*w.ui, pump, w.requestImage, false);
    p.stopButton->setEnabled(false);
    w.startSet(nextPreludeState(*w.ui, index));
    return kHold;
}

void finishWrite(KVX_Configurator& w) {
    w.unlockButtons();
    if (w.firmwareLevel > 4) {
        for (Pump pump : kAllPumps)
            pumpWidgets(*w.ui, pump).startButton->setEnabled(true);
    }
    w.sessionState = 0;
}

// Runs the current step. Returns kPassOn when the chain moved on without
// writing, so that the next step runs in the same tick.
bool writeStep(KVX_Configurator& w) {
    Ui_KVX_Configurator& ui = *w.ui;
    const int state = w.sessionState;
    const int level = w.firmwareLevel;

    if (state >= 1400 && state <= 1403)
        return preludeStep(w, state - 1400);

    // Each board's first step looks at its page before anything else.
    switch (state) {
    case 600:
        if (!ui.Tab_Main->isEnabled())
            return passOn(w, 700);
        break;
    case 700:
        if (!ui.Tab_Gas->isEnabled())
            return passOn(w, 800);
        break;
    case 800:
        if (!ui.Tab_PumpA->isEnabled())
            return passOn(w, 900);
        break;
    case 900:
        if (!ui.Tab_PumpB->isEnabled())
            return passOn(w, 1000);
        break;
    case 1000:
        if (!ui.Tab_PumpC->isEnabled())
            return passOn(w, 1200);
        break;
    case 1200:
        finishWrite(w);
        return kHold;
    default:
        break;
    }

    if (const PumpChain* chain = pumpChainAt(state))
        return pumpStep(w, *chain, state - chain->first);

    switch (state) {
    // ---- main board ----
    case 600:
        return send(w, 601, [&](ConfigImage& r) { encodeUtcOffsetRecord(ui, r); });
    case 601:
        return send(w, 602, [&](ConfigImage& r) { encodeSampleIdRecord(ui, r); });
    case 602:
        return send(w, 603, [&](ConfigImage& r) { encodeScheduleRecord(ui, r, w.readBack); });
    case 603:
        if (!ui.sen55->isEnabled())
            return passOn(w, 698);
        return send(w, 698, [&](ConfigImage& r) { encodeSen55Record(ui, r); });
    case 698:
        return send(w, 699, [&](ConfigImage& r) { encodeMainLoggingRecord(ui, r, w.readBack); });
    case 699:
        return waitThenPassOn(w, 700);

    // ---- gas board ----
    case 700:
        if (!ui.sgp41->isEnabled())
            return passOn(w, 701);
        return send(w, 701, [&](ConfigImage& r) { encodeSgp41Record(ui, r); });
    case 701:
        if (!ui.sfa30->isEnabled())
            return passOn(w, 702);
        return send(w, 702, [&](ConfigImage& r) { encodeSfa30Record(ui, r); });
    case 702:
        if (!ui.scd30->isEnabled())
            return passOn(w, 703);
        return send(w, 703, [&](ConfigImage& r) { encodeScd30Record(ui, r, w.readBack); });
    case 703:
        return send(w, level < 3 ? 795 : 704,
                    [&](ConfigImage& r) { encodeAlphasenseModesRecord(ui, r, level, w.readBack); });
    case 704:
        return send(w, level < 4 ? 795 : 705, [&](ConfigImage& r) { encodeGasFanRecord(ui, r); });
    case 705:
        return send(w, 795, [&](ConfigImage& r) { encodeFigaroRecord(ui, r, w.readBack); });
    case 795:
        return send(w, 796, [&](ConfigImage& r) { encodeGasLoggingRecord(ui, r, w.readBack); });
    case 796:
        if (level == 0)
            return passOn(w, 800);
        return send(w, 797,
                    [&](ConfigImage& r) { encodeAlphasenseLoggingRecord(ui, r, w.readBack); });
    case 797:
        return waitThenPassOn(w, 800);

    // ---- pump logging ----
    case 898:
        return send(w, 899, [&](ConfigImage& r) {
            encodeFilterPumpLoggingRecord(ui, Pump::A, r, w.readBack);
        });
    case 899:
        return waitThenPassOn(w, 900);
    case 998:
        return send(w, 999, [&](ConfigImage& r) {
            encodeFilterPumpLoggingRecord(ui, Pump::B, r, w.readBack);
        });
    case 999:
        return waitThenPassOn(w, 1000);
    case 1098:
        return send(w, 1099,
                    [&](ConfigImage& r) { encodePumpsCDLoggingRecord(ui, r, w.readBack); });
    case 1099:
        return waitThenPassOn(w, 1200);
    default:
        // Not a state of this chain: leave it alone.
        return kHold;
    }
}

} // namespace

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

int writeEntryState(KVX_Configurator& w) {
    if (w.firmwareLevel <= 4)
        return 600;
    for (Pump pump : kAllPumps)
        pumpWidgets(*w.ui, pump).startButton->setEnabled(false);
    return nextPreludeState(*w.ui, -1);
}

bool linkUsable(const KVX_Configurator& w) {
    switch (w.linkStep) {
    case LinkIdle:
    case LinkGet:
    case LinkSet:
    case LinkSendRequest:
    case LinkWaitAnswer:
        return w.sessionState == 0 || w.sessionState >= 100;
    default:
        return false;
    }
}

} // namespace kvx

void KVX_Configurator::KVXWriteButtonPressed() {
    auto proceed = [this](const QString& title, const QString& text) {
        return QMessageBox::warning(this, title, text, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No);
    };
    if (proceed(tr("Write configuration data to the KVXv2."),
                tr("This operation will overwrite all existing KVXv2 configuration data.  Are "
                   "you sure you wish to proceed?")) != QMessageBox::Yes)
        return;
    if (!kvx::linkUsable(*this))
        return;

    const QDateTime nowUtc = QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::UTC);
    for (const kvx::WriteWarning& warning : kvx::scheduleWarnings(*ui, nowUtc)) {
        // Only No cancels a warning; the write goes on after any other answer.
        if (proceed(warning.title, warning.text) == QMessageBox::No)
            return;
        if (!kvx::linkUsable(*this))
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
