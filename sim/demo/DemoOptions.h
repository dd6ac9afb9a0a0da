// The demo launcher's command line: its own options, and the simulator's,
// which it hands on to kvx-sim.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kvx::demo {

struct DemoOptions {
    bool autoConnect = false;
    QString screenshot;           // empty: no picture
    int screenshotAfterMs = 8000; // after the start
    // What kvx-sim is started with: the simulator's options as given (each
    // value as a separate argument), and the full preset when neither
    // --preset nor --config is given.
    QStringList simulatorArguments;
};

// `arguments` without the program's name. nullopt with `error` set on an
// unknown option, a missing or bad value, or an argument that is no option.
std::optional<DemoOptions> parseDemoArguments(const QStringList& arguments, QString* error);

} // namespace kvx::demo
