// kvx-demo: starts kvx-sim (the full preset unless told otherwise), and opens
// the configurator window with the simulator's port in its port list, so that
// Connect works at once. kvx-sim is stopped when the window closes.
//
//   kvx-demo [--auto-connect] [--screenshot FILE [--screenshot-after MS]] [kvx-sim options]
//
// The simulator's options are handed to kvx-sim (for example --preset mixed,
// --log FILE, --answer-delay 200), in either form: --preset mixed or
// --preset=mixed.
#include "app/KVX_Configurator.h"
#include "sim/demo/DemoOptions.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kHelpText[] =
    "Usage: kvx-demo [options] [kvx-sim options]\n"
    "Start the instrument simulator kvx-sim on a pseudo-terminal and open KVX\n"
    "Configurator with the simulator's port selected, so that Connect works at\n"
    "once. Closing the window stops the simulator.\n"
    "\n"
    "Options:\n"
    "  -h, --help               Show this help and exit.\n"
    "  -v, --version            Show the version and exit.\n"
    "  --auto-connect           Press Connect once the window is up.\n"
    "  --screenshot FILE        Save a picture of the window to FILE, then close it.\n"
    "  --screenshot-after MS    When to take the picture (default 8000 ms).\n"
    "\n"
    "The simulator's options go to kvx-sim (default --preset full); kvx-sim --help\n"
    "lists them. See kvx-demo(1).\n";

// The one port the demo offers: the simulator's pseudo-terminal.
class DemoPorts : public kvx::PortSource {
public:
    explicit DemoPorts(QString path) : port(std::move(path)) {}
    QStringList availablePorts() override { return {port}; }

private:
    QString port;
};

// kvx-sim beside the demo (the build folder, /usr/bin), else the one on the PATH.
QString simulatorPath() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("kvx-sim");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral("kvx-sim");
}

} // namespace

int main(int argc, char* argv[]) {
    // Answered before the window, so that they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "-v") == 0 || std::strcmp(argv[i], "--version") == 0) {
            std::printf("kvx-demo %s\n", KVX_VERSION_TEXT);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kvx/org.kvxv2.Configurator.png")));

    QString error;
    const auto options = kvx::demo::parseDemoArguments(app.arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "kvx-demo: %s\n", qPrintable(error));
        return 1;
    }
    const QStringList& simArgs = options->simulatorArguments;

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(simulatorPath(), simArgs);
    if (!sim.waitForStarted(5000)) {
        std::fprintf(stderr, "kvx-demo: cannot start %s: %s\n", qPrintable(simulatorPath()),
                     qPrintable(sim.errorString()));
        return 2;
    }
    while (!sim.canReadLine() && sim.state() == QProcess::Running)
        sim.waitForReadyRead(100);
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    if (!port.startsWith(QLatin1Char('/'))) {
        std::fprintf(stderr, "kvx-demo: kvx-sim gave no port\n");
        sim.waitForFinished(2000);
        return 2;
    }
    std::fprintf(stderr, "kvx-demo: simulated instrument on %s\n", qPrintable(port));

    int code = 0;
    {
        kvx::Platform platform;
        platform.ports = std::make_unique<DemoPorts>(port);
        KVX_Configurator window(std::move(platform));
        window.show();
        // The simulator going away (the cable-pull fault) does not close the
        // window: the configurator finds out for itself, as with real cable.
        if (options->autoConnect) {
            // The port list is filled on the first tick; press Connect after it.
            QTimer::singleShot(300, &window, [&window] { window.KVXConnectButtonPressed(); });
        }
        if (!options->screenshot.isEmpty()) {
            QTimer::singleShot(options->screenshotAfterMs, &window,
                               [&window, screenshot = options->screenshot] {
                                   window.grab().save(screenshot);
                                   window.close();
                               });
        }
        code = app.exec();
    } // the window says farewell to the instrument here

    sim.terminate();
    if (!sim.waitForFinished(3000)) {
        sim.kill();
        sim.waitForFinished(1000);
    }
    return code;
}
