// kvx-sim: a simulated instrument on a pseudo-terminal. The first line of
// standard output is the device path to open as the serial port.
#include "sim/PtyServer.h"
#include "sim/SimOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kvx-sim");
    QCoreApplication::setApplicationVersion(KVX_VERSION_TEXT);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated KVXv2 instrument on a pseudo-terminal. Prints the terminal's path on the "
        "first line, then serves until SIGTERM or SIGINT. --preset and --config exclude each "
        "other.");
    parser.addHelpOption();
    parser.addVersionOption();
    kvx::sim::addInstrumentOptions(parser);
    kvx::sim::addServerOptions(parser);
    parser.addOption({"list-presets", "Print the preset names and exit."});
    parser.process(app);

    if (parser.isSet("list-presets")) {
        std::printf("%s\n", qPrintable(kvx::sim::InstrumentConfig::presetNames().join('\n')));
        return 0;
    }
    QString error;
    const auto config = kvx::sim::instrumentFromOptions(parser, &error);
    if (!config) {
        std::fprintf(stderr, "kvx-sim: %s\n", qPrintable(error));
        return 2;
    }
    kvx::sim::Instrument instrument(*config, QDateTime::currentMSecsSinceEpoch());
    if (parser.isSet("log") && !instrument.log().openFile(parser.value("log"))) {
        std::fprintf(stderr, "kvx-sim: cannot write %s\n", qPrintable(parser.value("log")));
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        std::perror("kvx-sim: socketpair");
        return 2;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    kvx::sim::PtyServer server(instrument);
    server.setStrictLine(parser.isSet("strict-line"));
    if (parser.isSet("verbose")) {
        QObject::connect(&server, &kvx::sim::PtyServer::lineChanged, &app,
                         [](const kvx::sim::LineSettings& line) {
                             std::fprintf(stderr, "kvx-sim: line %s%s\n", qPrintable(line.text()),
                                          line.right() ? "" : " (not the instrument's)");
                         });
    }
    if (!server.start(&error)) {
        std::fprintf(stderr, "kvx-sim: %s\n", qPrintable(error));
        return 2;
    }
    QObject::connect(&server, &kvx::sim::PtyServer::cablePulled, &app, [] {
        std::fprintf(stderr, "kvx-sim: cable pulled\n");
        QCoreApplication::exit(0);
    });

    std::printf("%s\n", qPrintable(server.portPath()));
    std::fflush(stdout);
    std::fprintf(stderr, "kvx-sim: instrument \"%s\" on %s\n", qPrintable(config->name),
                 qPrintable(server.portPath()));

    const int code = app.exec();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return code;
}
