// Writes a picture of every page of the form, as the window shows it with all
// ten pages present, to <dir>/page-<name>.png. Run under a display (for
// example `xvfb-run -a form_screens docs`).
#include "ui_KVX_Configurator.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QMainWindow window;
    Ui_KVX_Configurator ui;
    ui.setupUi(&window);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "window not exposed\n");
        return 1;
    }
    int failures = 0;
    for (int i = 0; i < ui.configuratorTabs->count(); ++i) {
        ui.configuratorTabs->setCurrentIndex(i);
        QApplication::processEvents();
        const QString name =
            ui.configuratorTabs->widget(i)->objectName().mid(4).toLower(); // drop "Tab_"
        const QString path = out.filePath(QStringLiteral("page-%1.png").arg(name));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
    return failures ? 1 : 0;
}
