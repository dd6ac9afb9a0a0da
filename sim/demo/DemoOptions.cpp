#include "sim/demo/DemoOptions.h"

#include "sim/SimOptions.h"

#include <QCommandLineParser>

namespace kvx::demo {

std::optional<DemoOptions> parseDemoArguments(const QStringList& arguments, QString* error) {
    QCommandLineParser parser;
    // --help and --version are answered before the window; known here so
    // that they are not taken for the simulator's.
    parser.addOptions({{{"h", "help"}, "Show the help and exit."},
                       {{"v", "version"}, "Show the version and exit."},
                       {"auto-connect", "Press Connect once the window is up."},
                       {"screenshot", "Save a picture of the window, then close it.", "file"},
                       {"screenshot-after", "When to take the picture.", "ms"}});
    const QList<QCommandLineOption> simulator = sim::instrumentOptions() + sim::serverOptions();
    parser.addOptions(simulator);
    if (!parser.parse(QStringList{QStringLiteral("kvx-demo")} + arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]);
        return std::nullopt;
    }

    DemoOptions options;
    options.autoConnect = parser.isSet("auto-connect");
    options.screenshot = parser.value("screenshot");
    if (parser.isSet("screenshot-after")) {
        bool ok = false;
        options.screenshotAfterMs = parser.value("screenshot-after").toInt(&ok);
        if (!ok || options.screenshotAfterMs < 0) {
            *error = QStringLiteral("--screenshot-after: expected milliseconds, not '%1'.")
                         .arg(parser.value("screenshot-after"));
            return std::nullopt;
        }
    }
    for (const QCommandLineOption& option : simulator) {
        const QString name = option.names().constFirst();
        if (!parser.isSet(name))
            continue;
        if (option.valueName().isEmpty()) {
            options.simulatorArguments << QStringLiteral("--") + name;
            continue;
        }
        for (const QString& value : parser.values(name))
            options.simulatorArguments << QStringLiteral("--") + name << value;
    }
    if (!parser.isSet("preset") && !parser.isSet("config"))
        options.simulatorArguments << QStringLiteral("--preset") << QStringLiteral("full");
    return options;
}

} // namespace kvx::demo
