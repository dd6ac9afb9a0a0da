// Command-line options of the simulator: the instrument description and the
// faults, which override those of the description.
#pragma once

#include "sim/InstrumentConfig.h"

#include <QCommandLineParser>

#include <optional>

namespace kvx::sim {

// --preset, --config, --clock and every fault option.
QList<QCommandLineOption> instrumentOptions();
void addInstrumentOptions(QCommandLineParser& parser);
// How kvx-sim serves on its terminal: --log, --strict-line, --verbose.
QList<QCommandLineOption> serverOptions();
void addServerOptions(QCommandLineParser& parser);
// The instrument the parsed options describe; nullopt with `error` filled
// when a preset, file or value is wrong.
std::optional<InstrumentConfig> instrumentFromOptions(const QCommandLineParser& parser,
                                                      QString* error);

} // namespace kvx::sim
