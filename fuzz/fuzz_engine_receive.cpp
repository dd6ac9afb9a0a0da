// Fuzz target for the receive path of the 20 ms engine: a window talks to the
// in-process instrument, whose faults, the operator's requests, the clock and
// bytes from nowhere come from the input, tick by tick. Checked on every tick:
// the receive text stays within its bound, everything queued goes out as whole
// command lines, and the link step is one the engine knows.
#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "sim/SimSerialDevice.h"
#include "tests/support/TestPlatform.h"
#include "workflows/WriteWorkflow.h"

#include <QApplication>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

[[noreturn]] void fail(const char* what, long long value) {
    std::fprintf(stderr, "engine invariant broken: %s (%lld)\n", what, value);
    std::abort();
}

// The instrument's device, with stray bytes mixed into what it returns.
class NoisyDevice : public kvx::sim::SimSerialDevice {
public:
    using SimSerialDevice::SimSerialDevice;
    QByteArray noise;
    QByteArray lastWrite;
    QByteArray readAvailable() override {
        QByteArray out = SimSerialDevice::readAvailable();
        if (isOpen())
            out.insert(out.size() / 2, std::exchange(noise, {}));
        return out;
    }
    void write(const QByteArray& bytes) override {
        lastWrite += bytes;
        SimSerialDevice::write(bytes);
    }
};

struct Harness {
    kvx::test::FakeClock* clock = new kvx::test::FakeClock;
    std::shared_ptr<kvx::sim::Instrument> instrument;
    NoisyDevice* device;
    std::unique_ptr<KVX_Configurator> w;

    Harness() {
        QString error;
        instrument = std::make_shared<kvx::sim::Instrument>(
            *kvx::sim::InstrumentConfig::preset("full", &error), clock->nowMs());
        auto dev = std::make_unique<NoisyDevice>(instrument);
        dev->setClockSource([ms = clock->ms] { return *ms; });
        device = dev.get();
        kvx::Platform p;
        p.clock.reset(clock);
        p.serial = std::move(dev);
        p.ports = std::make_unique<kvx::sim::SimPortSource>(QStringList{"ttySIM0"});
        w = std::make_unique<KVX_Configurator>(std::move(p));
        w->ticker->stop();
    }

    void tick() {
        device->lastWrite.clear();
        w->UpdateTicker();
        clock->advance(kvx::kTickMs);
        if (w->rxText.size() > kvx::kRxLimit)
            fail("receive text beyond its bound", w->rxText.size());
        if (!w->txBytes.isEmpty())
            fail("queued bytes left unsent", w->txBytes.size());
        if (!device->lastWrite.isEmpty() && !device->lastWrite.endsWith('\r'))
            fail("a write that is not whole command lines", device->lastWrite.size());
        const int step = w->linkStep;
        if (!((step >= 0 && step <= 9) || (step >= 996 && step <= 1000)))
            fail("unknown link step", step);
    }

    // One input: from a reset link, Connect, then the input's events; once it
    // is used up the session runs on undisturbed for a while.
    void run(FuzzedDataProvider& in) {
        if (w->linkStep != kvx::LinkNone)
            w->resetLink();
        kvx::sim::Faults& f = instrument->faults();
        f = kvx::sim::Faults{};
        tick();
        w->KVXConnectButtonPressed();
        for (int tail = 0; tail < 250; tail += in.remaining_bytes() == 0) {
            const std::function<void()> events[] = {
                [] {}, // a quiet tick
                [&] {
                    device->noise += QByteArray::fromStdString(in.ConsumeRandomLengthString(64));
                },
                [&] { clock->advance(in.ConsumeIntegralInRange(0, 1500)); },
                [&] { device->setOpenFails(in.ConsumeBool()); },
                [&] { // the instrument misbehaves from now on
                    f.noAnswerFirst = in.ConsumeIntegralInRange(0, 4);
                    f.badCrcFirst = in.ConsumeIntegralInRange(0, 4);
                    f.badCountFirst = in.ConsumeIntegralInRange(0, 4);
                    f.nulBytes = in.ConsumeBool(), f.lineFeeds = in.ConsumeBool();
                    f.chunkSize = in.ConsumeIntegralInRange(0, 16);
                    f.garbageBytes = in.ConsumeIntegralInRange(0, 8);
                },
                // What the buttons do once confirmed.
                [&] { w->KVXConnectButtonPressed(); }, [&] { w->KVXReadRTCPressed(); },
                [&] { w->lockButtons(), w->sessionState = 100; },
                [&] { w->lockButtons(), w->sessionState = kvx::writeEntryState(*w); },
                [&] { w->PumpCStartClicked(); }};
            events[in.ConsumeIntegralInRange<size_t>(0, std::size(events) - 1)]();
            tick();
        }
    }
};

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
    static Harness* harness = new Harness;
    (void)app;
    FuzzedDataProvider in(data, size);
    harness->run(in);
    return 0;
}
