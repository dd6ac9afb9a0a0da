// The configuration record's picture (not a test):
//   record_screens FILE.pdf   the record of kvx-sim's "full" instrument (the
//                             demo's) right after Connect, as File › Save
//                             Record… saves it
// scripts/screenshots.sh renders its first page into docs/record.png with
// pdftoppm.
#include "tests/support/PtySim.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_screens FILE.pdf\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    kvx::test::PtySim rig;
    if (!rig.start({"--preset", "full"}) ||
        !QTest::qWaitFor([&] { return rig.w->canStartWorkflow(); }, 30000))
        return 1;
    if (!rig.w->saveRecordTo(path))
        return 1;
    std::printf("%s\n", qPrintable(path));
    rig.stop();
    return 0;
}
