// Writes a picture of every page of the form to <dir>/page-<name>.png. Run
// under a display (for example `xvfb-run -a form_screens docs`).
#include "ui_KVX_Configurator.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QTest>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QMainWindow window;
    Ui_KVX_Configurator ui;
    ui.setupUi(&window);
    window.show();
    bool saved = QTest::qWaitForWindowExposed(&window);
    for (int i = 0; saved && i < ui.configuratorTabs->count(); ++i) {
        ui.configuratorTabs->setCurrentIndex(i);
        const QString name = ui.configuratorTabs->widget(i)->objectName().mid(4).toLower();
        saved = window.grab().save(out.filePath("page-" + name + ".png"));
    }
    return saved ? 0 : 1;
}
