#include "app/KVX_Configurator.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// The version text the window shows in its connection tab.
constexpr char kVersionText[] = "V1.5R2";

} // namespace

int main(int argc, char* argv[]) {
    // --version is the one argument the program answers; it needs no display.
    // Everything else on the command line is left alone, as before.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("KVX_Configurator %s\n", kVersionText);
            return 0;
        }
    }
    int code = 0;
    {
        QApplication app(argc, argv);
        KVX_Configurator window;
        window.show();
        code = app.exec();
    }
    return code;
}
