// A main window wired to an in-process simulated instrument, driven tick by
// tick on a fake clock.
#pragma once

#include "app/KVX_Configurator.h"
#include "sim/Instrument.h"
#include "sim/SimSerialDevice.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QApplication>
#include <QTimer>

#include <functional>
#include <memory>

namespace kvx::test {

constexpr qint64 kSimStart = 1741386600000; // 2025-03-07 22:30:00 UTC

inline sim::InstrumentConfig simPreset(const QString& name) {
    QString error;
    const auto config = sim::InstrumentConfig::preset(name, &error);
    if (!config)
        qFatal("preset %s: %s", qPrintable(name), qPrintable(error));
    return *config;
}

struct SimWindow {
    std::shared_ptr<sim::Instrument> instrument;
    ClockHandle clock;
    std::unique_ptr<KVX_Configurator> w;

    explicit SimWindow(sim::InstrumentConfig config) {
        auto fake = std::make_unique<FakeClock>(kSimStart);
        clock.ms = fake->ms;
        instrument = std::make_shared<sim::Instrument>(std::move(config), kSimStart);
        auto device = std::make_unique<sim::SimSerialDevice>(instrument);
        device->setClockSource([ms = clock.ms] { return *ms; });
        Platform platform;
        platform.clock = std::move(fake);
        platform.serial = std::move(device);
        platform.ports = std::make_unique<sim::SimPortSource>(QStringList{"ttySIM0"});
        w = std::make_unique<KVX_Configurator>(std::move(platform));
        w->ticker->stop();
    }

    void tick() {
        clock.advance(20);
        w->UpdateTicker();
    }

    // Ticks until `done` holds; false when it did not within `maxTicks`.
    bool runUntil(const std::function<bool()>& done, int maxTicks = 20000) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            tick();
        }
        return done();
    }

    // Connects and lets the initial read run to its end.
    bool connectAndRead() {
        tick(); // the port list
        w->KVXConnectButtonPressed();
        bool reading = false;
        return runUntil([&] {
            if (w->sessionState >= 100)
                reading = true;
            return reading && w->sessionState == 0 && w->linkStep == 0;
        });
    }

    // Runs a workflow started by a slot to its end (session state 0, link idle).
    bool finish() {
        return runUntil([&] { return w->sessionState == 0 && w->linkStep == 0; });
    }

    // The request word of every cfg_get the instrument received, in order.
    QList<quint16> requestedWords(const QString& command = QStringLiteral("cfg_get")) const {
        QList<quint16> words;
        for (const QString& line : instrument->log().commandLines()) {
            const QStringList items = line.split(' ', Qt::SkipEmptyParts);
            // crc, data words from last to first, length, command
            if (items.size() < 4 || items.last() != command)
                continue;
            words << quint16(items.at(items.size() - 3).toUInt());
        }
        return words;
    }
};

} // namespace kvx::test
