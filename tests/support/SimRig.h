// A configurator window wired in-process to a simulated instrument, both on
// one fake clock, so that a test can run whole connections tick by tick.
#pragma once

#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "sim/SimSerialDevice.h"
#include "tests/support/TestPlatform.h"

#include <QTest>

#include <functional>
#include <memory>

namespace kvx::test {

struct SimRig {
    std::shared_ptr<qint64> ms = std::make_shared<qint64>(1'750'000'000'000);
    std::shared_ptr<sim::Instrument> instrument;
    sim::SimSerialDevice* device = nullptr; // owned by the window
    std::unique_ptr<KVX_Configurator> window;

    // Builds the instrument from a preset (or a ready configuration) and the
    // window around it; the window's ticker is stopped: tests call tick().
    explicit SimRig(const QString& preset) { build(load(preset)); }
    explicit SimRig(const sim::InstrumentConfig& config) { build(config); }

    ~SimRig() {
        // The window says farewell while it goes; the device still answers.
        window.reset();
    }

    static sim::InstrumentConfig load(const QString& preset) {
        QString error;
        auto config = sim::InstrumentConfig::preset(preset, &error);
        if (!config)
            qFatal("preset %s: %s", qPrintable(preset), qPrintable(error));
        return *config;
    }

    KVX_Configurator& w() { return *window; }
    sim::Instrument& sim() { return *instrument; }
    qint64 now() const { return *ms; }

    // One tick of the configurator, then the clock moves on by a tick.
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            window->UpdateTicker();
            *ms += kTickMs;
        }
    }
    // Ticks until `done` holds or `maxTicks` ran out; true when it holds.
    bool tickUntil(const std::function<bool()>& done, int maxTicks = 20000) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            tick();
        }
        return done();
    }
    // Presses Connect on the simulated port and runs until the session is
    // idle again (initial read finished) or the link fell back.
    bool connect(int maxTicks = 20000) {
        tick();
        window->KVXConnectButtonPressed();
        return settle(maxTicks);
    }
    // Runs until the current workflow has finished (session idle, link idle)
    // or the link fell back.
    bool settle(int maxTicks = 20000) {
        return tickUntil(
                   [this] {
                       return (window->linkStep == LinkIdle && window->sessionState == 0) ||
                              window->linkStep == LinkNone;
                   },
                   maxTicks) &&
               window->linkStep == LinkIdle;
    }

private:
    void build(const sim::InstrumentConfig& config) {
        instrument = std::make_shared<sim::Instrument>(config, *ms);
        auto dev = std::make_unique<sim::SimSerialDevice>(instrument);
        auto clockMs = ms;
        dev->setClockSource([clockMs] { return *clockMs; });
        device = dev.get();
        Platform p;
        auto clock = std::make_unique<FakeClock>();
        clock->ms = ms;
        p.clock = std::move(clock);
        p.serial = std::move(dev);
        p.ports = std::make_unique<sim::SimPortSource>(QStringList{"ttySIM0"});
        window = std::make_unique<KVX_Configurator>(std::move(p));
        window->ticker->stop();
    }
};

} // namespace kvx::test
