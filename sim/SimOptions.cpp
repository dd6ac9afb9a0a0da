#include "sim/SimOptions.h"

#include <QFile>

namespace kvx::sim {

namespace {

struct IntOption {
    const char* name;
    const char* help;
    int Faults::*field;
    int min;
};

const IntOption kIntOptions[] = {
    {"no-answer", "Leave the first N attempts of each command line unanswered.",
     &Faults::noAnswerFirst, 0},
    {"bad-crc", "Spoil the CRC of the first N record answers.", &Faults::badCrcFirst, 0},
    {"bad-count", "Spoil the byte count of the first N record answers.", &Faults::badCountFirst, 0},
    {"chunk", "Send answers in pieces of N bytes.", &Faults::chunkSize, 0},
    {"chunk-delay", "Milliseconds between answer pieces.", &Faults::chunkDelayMs, 0},
    {"answer-delay", "Milliseconds between the echo and the answer.", &Faults::answerDelayMs, 0},
    {"board-fields", "Number of fields in the board list (21 is correct).",
     &Faults::boardListFields, 0},
    {"cable-pull-after", "Pull the cable once K commands have been answered.",
     &Faults::cablePulledAfter, 0},
    {"garbage", "Send N junk bytes before the echo of each command line.", &Faults::garbageBytes,
     0},
    {"endless-after",
     "Once K commands are answered, answer the next with bytes that never end in a prompt.",
     &Faults::endlessAfter, 0},
};

} // namespace

QList<QCommandLineOption> instrumentOptions() {
    QList<QCommandLineOption> options{
        {"preset",
         QStringLiteral("Instrument preset: %1 (default full).")
             .arg(InstrumentConfig::presetNames().join(QStringLiteral(", "))),
         "name"},
        {"config", "Instrument description in a JSON file.", "file"},
        {"clock", "Instrument clock at start, ISO date-time in UTC.", "when"},
        {"silent", "Never send a byte back."},
        {"nul", "Put NUL bytes inside every answer."},
        {"line-feeds", "Put line feeds inside every answer."},
        {"fault-only",
         "Apply --no-answer, --bad-crc and --bad-count only to command lines containing this text.",
         "text"},
    };
    for (const IntOption& o : kIntOptions)
        options.append({QString::fromLatin1(o.name), QString::fromLatin1(o.help), "n"});
    return options;
}

void addInstrumentOptions(QCommandLineParser& parser) {
    parser.addOptions(instrumentOptions());
}

QList<QCommandLineOption> serverOptions() {
    return {
        {"log", "Write every command and stored record as JSON lines to FILE.", "file"},
        {"strict-line", "Answer only while the terminal is set to 115200 baud, 8N1, no flow "
                        "control, raw; otherwise echo junk, never a prompt."},
        {"verbose", "Print the line settings on standard error when they change."},
    };
}

void addServerOptions(QCommandLineParser& parser) {
    parser.addOptions(serverOptions());
}

std::optional<InstrumentConfig> instrumentFromOptions(const QCommandLineParser& parser,
                                                      QString* error) {
    if (parser.isSet("preset") && parser.isSet("config")) {
        *error = QStringLiteral("give --preset or --config, not both");
        return std::nullopt;
    }
    std::optional<InstrumentConfig> config;
    if (parser.isSet("config")) {
        QFile file(parser.value("config"));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
            return std::nullopt;
        }
        config = InstrumentConfig::fromJson(file.readAll(), error);
        if (!config)
            error->prepend(file.fileName() + QStringLiteral(": "));
    } else {
        config = InstrumentConfig::preset(
            parser.isSet("preset") ? parser.value("preset") : QStringLiteral("full"), error);
    }
    if (!config)
        return std::nullopt;

    if (parser.isSet("clock")) {
        const QDateTime when = QDateTime::fromString(parser.value("clock"), Qt::ISODate);
        if (!when.isValid()) {
            *error = QStringLiteral("--clock: expected an ISO date-time");
            return std::nullopt;
        }
        config->clock = QDateTime(when.date(), when.time(), Qt::UTC);
    }
    Faults& f = config->faults;
    if (parser.isSet("silent"))
        f.silent = true;
    if (parser.isSet("nul"))
        f.nulBytes = true;
    if (parser.isSet("line-feeds"))
        f.lineFeeds = true;
    if (parser.isSet("fault-only"))
        f.only = parser.value("fault-only");
    for (const IntOption& o : kIntOptions) {
        const QString name = QString::fromLatin1(o.name);
        if (!parser.isSet(name))
            continue;
        bool ok = false;
        const int value = parser.value(name).toInt(&ok);
        if (!ok || value < o.min) {
            *error =
                QStringLiteral("--%1: expected a whole number of at least %2").arg(name).arg(o.min);
            return std::nullopt;
        }
        f.*(o.field) = value;
    }
    return config;
}

} // namespace kvx::sim
