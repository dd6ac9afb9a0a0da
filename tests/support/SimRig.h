// A configurator window wired in-process to a simulated instrument, both on
// one fake clock, so that a test can run whole connections tick by tick.
#pragma once

#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "sim/Instrument.h"
#include "sim/SimSerialDevice.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QTest>

#include <functional>
#include <memory>

namespace kvx::test {

constexpr qint64 kSimStart = 1741386600000; // 2025-03-07 22:30:00 UTC

struct SimRig {
    std::shared_ptr<qint64> ms = std::make_shared<qint64>(kSimStart);
    std::shared_ptr<sim::Instrument> instrument;
    sim::SimSerialDevice* device = nullptr; // owned by the window
    std::unique_ptr<KVX_Configurator> window;

    // Builds the instrument from a preset (or a ready configuration) and the
    // window around it; the window's ticker is stopped: tests call tick().
    explicit SimRig(const QString& preset) { build(load(preset)); }
    explicit SimRig(const sim::InstrumentConfig& config) { build(config); }
    // A further window on an existing instrument (a later session), its clock
    // starting at `startMs`.
    SimRig(std::shared_ptr<sim::Instrument> existing, qint64 startMs) {
        *ms = startMs;
        attach(std::move(existing));
    }

    ~SimRig() {
        // The window says farewell while it goes; the device still answers.
        window.reset();
    }

    SimRig(SimRig&&) = default;

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

    // The request word of every `command` the instrument received, in order.
    QList<quint16> requestedWords(const QString& command = QStringLiteral("cfg_get")) const {
        QList<quint16> words;
        for (const QString& line : instrument->log().commandLines()) {
            const QStringList items = line.split(' ', Qt::SkipEmptyParts);
            // crc, data words from last to first, length, command
            if (items.size() >= 4 && items.last() == command)
                words << quint16(items.at(items.size() - 3).toUInt());
        }
        return words;
    }

private:
    void build(const sim::InstrumentConfig& config) {
        attach(std::make_shared<sim::Instrument>(config, *ms));
    }
    void attach(std::shared_ptr<sim::Instrument> existing) {
        instrument = std::move(existing);
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
