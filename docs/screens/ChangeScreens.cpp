// Pictures of unwritten changes for the documentation (not a test):
//   change_screens DIR   DIR/changes-marked.png: kvx-sim on a terminal, the
//                        form with three edits marked (the Mainboard page);
//                        DIR/changes-write-question.png: Write's question with
//                        its details open
// Run under a display, e.g. scripts/screenshots.sh.
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTabWidget>

#include <cstdio>

using namespace kvx;

namespace {

bool save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    if (!widget.grab().save(path)) {
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
    const QDir out(args.size() > 1 ? args[1] : QStringLiteral("."));
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
                button->click();
        QTest::qWait(100);
        failures += !save(*box, out.filePath("changes-write-question.png"));
    };
    rig.w->KVXWriteButtonPressed();
    failures += no.answered() != 1;
    rig.stop();
    return failures ? 1 : 0;
}
