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

// Fills `request` with the record `word` as a write sends it from the form as
// it stands. False for a word the write does not send this way.
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

// One field of a written record and where the read record holds it. A field
// with a mask is that group of bits of the field; kEachBit makes every bit a
// field of its own (a logging word: one check box per bit).
struct Field {
    int at;    // offset in the written record
    int from;  // offset in the read record
    int width; // bytes, big-endian
    quint32 mask = 0;
    const char* name = "";
    const char* unit = "";
};
constexpr quint32 kEachBit = 0xFFFFFFFF;

// The fields of every record a write sends that a read also receives, by
// request word. Cartridge records are written only with a new install stamp
// and have none.
QList<Field> fieldsOf(quint16 word) {
    static const QHash<quint16, QList<Field>> table = [] {
        const QList<Field> logging = {{2, 2, 4, kEachBit, "logging selection bits", ""}};
        QHash<quint16, QList<Field>> t{
            {kMainLoggingWord, logging},
            {kUtcOffsetWord, {{2, 2, 2, 0, "UTC offset word", ""}}},
            {kSampleIdWord, {{2, 2, 31, 0, "sample ID bytes", ""}}},
            {kScheduleWord,
             {{2, 2, 2, 0x8000, "halt flag", ""},
              {2, 2, 2, 0x0003, "sample start mode", ""},
              {2, 2, 2, 0x7FFC, "schedule flags", ""},
              {4, 4, 4, 0, "sample start word", ""},
              {8, 8, 2, 0, "duration days", ""},
              {10, 10, 1, 0, "duration hours", ""},
              {11, 11, 1, 0, "duration minutes", ""},
              {12, 12, 1, 0, "logging interval", " s"},
              {13, 13, 1, 0, "state after the sample", ""}}},
            {kSen55Word,
             {{2, 2, 2, 0, "SEN55 mode", ""}, {4, 12, 4, 0, "SEN55 cleaning interval", " h"}}},
            {kSgp41Word, {{2, 2, 2, 0, "SGP41 mode", ""}}},
            {kSfa30Word, {{2, 2, 2, 0, "SFA30 mode", ""}}},
            {kScd30Word, {{2, 2, 2, 0, "SCD30 mode", ""}, {4, 8, 2, 0, "SCD30 compensation", ""}}},
            {kGasFanWord, {{2, 2, 2, 0, "gas fan word", ""}}},
            {kFigaroWord, {{2, 2, 1, 0, "Figaro mode", ""}, {3, 3, 1, 0, "Figaro range", ""}}},
            {kGasLoggingWord, logging},
            {kAlphasenseLoggingWord, logging},
            {kPumpsCDLoggingWord, logging},
        };
        for (Pump pump : kAllPumps) {
            const PumpRecords& r = pumpRecords(pump);
            t.insert(r.flow, {{2, 3, 2, 0, "pump flow rate word", ""}});
            t.insert(r.start, {{2, 2, 2, 0, "pump start delay days", ""},
                               {4, 4, 1, 0, "pump start delay hours", ""},
                               {5, 5, 1, 0, "pump start delay minutes", ""},
                               {6, 6, 4, 0, "pump start word", ""}});
            t.insert(r.duration, {{2, 2, 2, 0, "pump duration days", ""},
                                  {4, 4, 1, 0, "pump duration hours", ""},
                                  {5, 5, 1, 0, "pump duration minutes", ""}});
            if (pump == Pump::A || pump == Pump::B)
                t.insert(filterPumpLoggingWord(pump), logging);
        }
        return t;
    }();
    return table.value(word);
}

quint32 fieldValue(const ConfigImage& image, int offset, int width) {
    quint32 v = 0;
    for (int i = 0; i < width && i < 4; ++i)
        v = v << 8 | image.bytes[size_t(offset + i)];
    return v;
}

void setFieldValue(ConfigImage& image, int offset, int width, quint32 v) {
    for (int i = width - 1; i >= 0; --i, v >>= 8)
        image.bytes[size_t(offset + i)] = quint8(v);
}

// The bits of `field` that hold what the operator left as read: those where
// the record built now equals the record built from the form as the read left
// it. A field that is one number counts as a whole.
quint32 untouchedBits(const Field& field, quint32 now, quint32 unedited) {
    const quint32 all = field.width >= 4 ? 0xFFFFFFFF : (1u << (8 * field.width)) - 1;
    if (field.mask == kEachBit)
        return ~(now ^ unedited) & all;
    const quint32 mask = field.mask ? field.mask : all;
    return (now & mask) == (unedited & mask) ? mask : 0;
}

// A field the operator left as the read put it goes out as it was read, byte
// for byte: a value the form cannot show (an unlisted interval, a mode beyond
// the list, a number beyond a spin box's range, unused bits) is not replaced
// by what the control happens to hold. A field whose control changed,
// directly or through an interlock, goes out as the form shows it.
void keepUnedited(const ReadBackState& kept, ConfigImage& request) {
    const quint16 word = request.requestWord();
    const ConfigImage* read = kept.record(word);
    const auto unedited = kept.unedited.constFind(word);
    if (!read || unedited == kept.unedited.cend())
        return;
    for (const Field& f : fieldsOf(word)) {
        if (!request.holds(f.at, f.width) || !unedited->holds(f.at, f.width) ||
            !read->holds(f.from, f.width))
            continue;
        if (f.width > 4) { // text: kept whole when unchanged
            if (std::equal(request.bytes.begin() + f.at, request.bytes.begin() + f.at + f.width,
                           unedited->bytes.begin() + f.at))
                std::copy_n(read->bytes.begin() + f.from, f.width, request.bytes.begin() + f.at);
            continue;
        }
        const quint32 now = fieldValue(request, f.at, f.width);
        const quint32 keep = untouchedBits(f, now, fieldValue(*unedited, f.at, f.width));
        const quint32 was = fieldValue(*read, f.from, f.width);
        setFieldValue(request, f.at, f.width, (now & ~keep) | (was & keep));
    }
}

// Waits for the link, then builds the record `word` from the form and starts
// its cfg_set; the chain goes on at `next` once the exchange is over.
bool sendRecord(KVX_Configurator& w, int next, quint16 word) {
    if (!w.linkIdle())
        return kHold;
    encodeRecord(w, word, w.requestImage);
    keepUnedited(w.readBack, w.requestImage);
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
// computer's local time, once, starts its counters afresh and writes it. The
// ID last read is kept, so a second write without a read stamps it again.
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

void noteUneditedRecords(KVX_Configurator& w) {
    ReadBackState& kept = w.readBack;
    kept.unedited.clear();
    w.keptAsRead.clear();
    QList<quint16> words = kept.records.keys();
    std::sort(words.begin(), words.end());
    for (const quint16 word : words) {
        const QList<Field> fields = fieldsOf(word);
        ConfigImage asShown;
        if (fields.isEmpty() || !encodeRecord(w, word, asShown))
            continue;
        kept.unedited.insert(word, asShown);
        // Name what the form shows differently from the instrument.
        const ConfigImage& read = kept.records[word];
        for (const Field& f : fields) {
            if (f.width > 4 || f.mask == kEachBit || !asShown.holds(f.at, f.width) ||
                !read.holds(f.from, f.width))
                continue;
            const quint32 mask = f.mask ? f.mask : 0xFFFFFFFF;
            const quint32 was = fieldValue(read, f.from, f.width) & mask;
            if (was != (fieldValue(asShown, f.at, f.width) & mask))
                w.keptAsRead << QStringLiteral("%1 %2%3")
                                    .arg(QLatin1String(f.name))
                                    .arg(f.mask ? QStringLiteral("0x%1").arg(was, 0, 16)
                                                : QString::number(was))
                                    .arg(QLatin1String(f.unit));
        }
    }
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
    const QMessageBox::StandardButton answer =
        askYesNo(tr("Write configuration data to the KVXv2."),
                 tr("This operation will overwrite all existing KVXv2 configuration data.  Are "
                    "you sure you wish to proceed?"));
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
