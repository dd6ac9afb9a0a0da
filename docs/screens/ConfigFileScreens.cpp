// The configuration file's documentation (not a test):
//   config_file_screens DIR [SEEDS]
//                             DIR/kvxcfg.schema.json: the file's JSON Schema;
//                             DIR/example.kvxcfg: a file saved from kvx-sim's
//                             "full" instrument;
//                             DIR/file-menu.png: the File menu, open;
//                             DIR/file-opened-another.png: the message after
//                             opening that file on another instrument;
//                             SEEDS/PRESET.kvxcfg: a file saved from each of
//                             kvx-sim's presets, the seeds of the fuzzer
//                             that opens files
// Run under a display, e.g.
// `xvfb-run -a build/tests/screens/config_file_screens docs fuzz/corpus/config`.
#include "tests/support/PtySim.h"
#include "workflows/ConfigFile.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <cstdio>

using namespace kvx;

namespace {

bool idle(KVX_Configurator& w) {
    return w.linkStep == LinkIdle && w.sessionState == 0 && w.ui->kvxWrite->isEnabled();
}

// The screen where `widgets` are, cropped to them.
bool saveScreen(const QList<QWidget*>& widgets, const QString& path) {
    QApplication::processEvents();
    QRect area;
    for (QWidget* w : widgets)
        area |= w->frameGeometry();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0).copy(area);
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const QString example = out.filePath(QStringLiteral("example.kvxcfg"));
    int failures = 0;
    failures += !writeFile(out.filePath(QStringLiteral("kvxcfg.schema.json")),
                           QJsonDocument(configurationSchema()).toJson());
    {
        test::PtySim rig;
        if (!rig.start({"--preset", "full"}) ||
            !QTest::qWaitFor([&] { return idle(*rig.w); }, 30000))
            return 1;
        rig.w->show();
        failures += !rig.w->saveConfigurationTo(example);
        QMenu* menu = rig.w->findChild<QMenu*>(QStringLiteral("menuFile"));
        rig.w->menuBar()->setActiveAction(menu->menuAction());
        QTest::qWait(500);
        failures += !saveScreen({rig.w.get(), menu}, out.filePath(QStringLiteral("file-menu.png")));
        menu->close();
        rig.stop();
    }
    {
        // The same boards, other identifiers and IDs.
        QFile preset(QStringLiteral(":/kvx/sim/presets/full.json"));
        if (!preset.open(QIODevice::ReadOnly))
            return 1;
        QByteArray config = preset.readAll();
        config.replace("KVX2-M-000417", "KVX2-M-000502")
            .replace("Site 12 roof, winter campaign", "Site 14 mast")
            .replace("FC-2025-0101", "FC-2025-0177")
            .replace("\"logInterval\": 15", "\"logInterval\": 30");
        test::PtySim rig;
        const QString path = rig.dir.filePath(QStringLiteral("another.json"));
        if (!writeFile(path, config) || !rig.start({"--config", path}) ||
            !QTest::qWaitFor([&] { return idle(*rig.w); }, 30000))
            return 1;
        rig.w->show();
        QTimer::singleShot(800, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                ++failures;
                return;
            }
            failures += !saveScreen({rig.w.get(), box},
                                    out.filePath(QStringLiteral("file-opened-another.png")));
            box->accept();
        });
        failures += !rig.w->openConfigurationFrom(example);
        rig.stop();
    }
    if (argc > 2) {
        const QDir seeds(QString::fromLocal8Bit(argv[2]));
        for (const char* preset : {"full", "mixed", "minimal", "legacy"}) {
            test::PtySim rig;
            if (!rig.start({"--preset", preset}) ||
                !QTest::qWaitFor([&] { return idle(*rig.w); }, 30000))
                return 1;
            const QString path = seeds.filePath(QLatin1String(preset) + QStringLiteral(".kvxcfg"));
            failures += !rig.w->saveConfigurationTo(path);
            std::printf("%s\n", qPrintable(path));
            rig.stop();
        }
    }
    return failures ? 1 : 0;
}
