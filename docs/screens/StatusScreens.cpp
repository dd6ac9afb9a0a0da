// Pictures of the status bar for the documentation (not a test):
//   status_screens DIR            DIR/status-read.png: kvx-sim on a terminal,
//                                 the initial read under way;
//                                 DIR/status-open-failed.png: Connect on a port
//                                 that is not there
//   status_screens --screen FILE  the whole screen after two seconds (the
//                                 installed program, started beside it)
// Run under a display, e.g. scripts/screenshots.sh.
#include "link/Status.h"
#include "tests/support/PtySim.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>

using namespace kvx;

namespace {

bool save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == QLatin1String("--screen")) {
        QTest::qWait(2000);
        return QGuiApplication::primaryScreen()->grabWindow(0).save(args[2]) ? 0 : 1;
    }
    const QDir out(args.size() > 1 ? args[1] : QStringLiteral("."));
    int failures = 0;
    {
        test::PtySim rig;
        if (!rig.start({"--preset", "full"}))
            return 1;
        rig.w->show();
        const bool midway = QTest::qWaitFor(
            [&] { return rig.w->status->message().contains(QLatin1String("record 20 of")); },
            20000);
        failures += !midway || !save(*rig.w, out.filePath("status-read.png"));
        rig.stop();
    }
    {
        Platform platform;
        platform.ports = std::make_unique<test::ListedPorts>(
            std::make_shared<QStringList>(QStringList{"ttyUSB0"}));
        KVX_Configurator w(std::move(platform));
        w.show();
        if (!QTest::qWaitFor([&] { return w.ui->kvxConnect->isEnabled(); }, 2000))
            return 1;
        w.KVXConnectButtonPressed();
        const bool failed = QTest::qWaitFor(
            [&] { return w.status->message().startsWith(QLatin1String("Could not open")); }, 5000);
        QTest::qWait(200);
        failures += !failed || !save(w, out.filePath("status-open-failed.png"));
    }
    return failures ? 1 : 0;
}
