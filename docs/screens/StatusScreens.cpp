// Pictures of the status bar for the documentation (not a test):
//   status_screens DIR            DIR/status-read.png: kvx-sim on a terminal,
//                                 the initial read under way;
//                                 DIR/status-open-failed.png: Connect on a port
//                                 that is not there;
//                                 DIR/changes-marked.png: the form with edits
//                                 marked (the Mainboard page);
//                                 DIR/changes-write-question.png: Write's
//                                 question with its details open
//   status_screens --screen FILE  the whole screen after two seconds (the
//                                 installed program, started beside it)
// Run under a display, e.g. scripts/screenshots.sh.
#include "link/Status.h"
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTabWidget>

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

// Edits on three pages, marked; then Write's question with its details open.
int changes(const QDir& out) {
    test::PtySim rig;
    if (!rig.start({"--preset", "full"}))
        return 1;
    rig.w->show();
    if (!QTest::qWaitFor(
            [&] { return rig.w->sessionState == 0 && rig.w->ui->kvxWrite->isEnabled(); }, 30000))
        return 1;
    test::applyEdits(*rig.w,
                     "logInterval=0 durationHours=6 mainLogVBAT pumpAFlowRate=1.5 as2Mode_3");
    rig.w->ui->configuratorTabs->setCurrentWidget(rig.w->ui->Tab_Main);
    QTest::qWait(100);
    int failures = !save(*rig.w, out.filePath("changes-marked.png"));
    test::DialogScript no({QMessageBox::No});
    no.beforeAnswer = [&](int) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click(); // "Show Details..."
        QTest::qWait(100);
        failures += !save(*box, out.filePath("changes-write-question.png"));
    };
    rig.w->KVXWriteButtonPressed();
    failures += no.answered() != 1;
    rig.stop();
    return failures;
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
    failures += changes(out);
    return failures ? 1 : 0;
}
