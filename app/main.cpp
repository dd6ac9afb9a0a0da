#include "app/KVX_Configurator.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    int code = 0;
    {
        QApplication app(argc, argv);
        KVX_Configurator window;
        window.show();
        code = app.exec();
    }
    return code;
}
