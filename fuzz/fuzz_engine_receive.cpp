// Fuzz target for the receive path of the 20 ms engine: a window talks to the
// in-process instrument, whose faults, the operator's requests, the clock and
// bytes from nowhere come from the input, tick by tick. Checked on every tick:
// the receive text stays within its bound, everything queued goes out as whole
// command lines, and the link step is one the engine knows.
#include "tests/support/SimRig.h"
#include "workflows/WriteWorkflow.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

[[noreturn]] void fail(const char* what, long long value) {
    std::fprintf(stderr, "engine invariant broken: %s (%lld)\n", what, value);
    std::abort();
}

void tick(kvx::test::SimRig& rig) {
    const QByteArray& written = rig.device->written();
    const qsizetype before = written.size();
    rig.tick();
    const KVX_Configurator& w = rig.w();
    if (w.rxText.size() > kvx::kRxLimit)
        fail("receive text beyond its bound", w.rxText.size());
    if (!w.txBytes.isEmpty())
        fail("queued bytes left unsent", w.txBytes.size());
    if (written.size() > before && !written.endsWith('\r'))
        fail("a write that is not whole command lines", written.size() - before);
    if (!((w.linkStep >= 0 && w.linkStep <= 9) || (w.linkStep >= 996 && w.linkStep <= 1000)))
        fail("unknown link step", w.linkStep);
}

// One input: from a reset link, Connect, then the input's events; once it is
// used up the session runs on undisturbed for a while.
void run(kvx::test::SimRig& rig, FuzzedDataProvider& in) {
    KVX_Configurator& w = rig.w();
    if (w.linkStep != kvx::LinkNone)
        w.resetLink();
    kvx::sim::Faults& f = rig.sim().faults();
    f = kvx::sim::Faults{};
    tick(rig);
    w.KVXConnectButtonPressed();
    const std::function<void()> events[] = {
        [] {}, // a quiet tick
        [&] { rig.inject(QByteArray::fromStdString(in.ConsumeRandomLengthString(64))); },
        [&] { *rig.ms += in.ConsumeIntegralInRange(0, 1500); },
        [&] { rig.device->setOpenFails(in.ConsumeBool()); },
        [&] { // the instrument misbehaves from now on
            f.noAnswerFirst = in.ConsumeIntegralInRange(0, 4);
            f.badCrcFirst = in.ConsumeIntegralInRange(0, 4);
            f.badCountFirst = in.ConsumeIntegralInRange(0, 4);
            f.nulBytes = in.ConsumeBool(), f.lineFeeds = in.ConsumeBool();
            f.chunkSize = in.ConsumeIntegralInRange(0, 16);
            f.garbageBytes = in.ConsumeIntegralInRange(0, 8);
        },
        // What the buttons do once confirmed.
        [&] { w.KVXConnectButtonPressed(); }, [&] { w.KVXReadRTCPressed(); },
        [&] { w.lockButtons(), w.sessionState = 100; },
        [&] { w.lockButtons(), w.sessionState = kvx::writeEntryState(w); },
        [&] { w.PumpCStartClicked(); }};
    for (int tail = 0; tail < 250; tail += in.remaining_bytes() == 0) {
        events[in.ConsumeIntegralInRange<size_t>(0, std::size(events) - 1)]();
        tick(rig);
    }
}

} // namespace

// fontconfig keeps caches for the life of the process; they are no leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_engine_receive";
    static char* argv[] = {name, nullptr};
    static QApplication* app =
        (qputenv("QT_QPA_PLATFORM", "offscreen"), new QApplication(argc, argv));
    static auto* rig = new kvx::test::SimRig(QStringLiteral("full"));
    (void)app;
    FuzzedDataProvider in(data, size);
    run(*rig, in);
    return 0;
}
