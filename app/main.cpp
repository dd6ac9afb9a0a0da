#include "app/KVX_Configurator.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

// The version text the window shows in its connection tab (set in CMakeLists.txt).
constexpr char kVersionText[] = KVX_VERSION_TEXT;

constexpr char kHelpText[] =
    "Usage: KVX_Configurator [--help | --version]\n"
    "Configure a KVXv2 air-sampling instrument over its USB serial port.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  -v, --version  Show the version and exit.\n"
    "\n"
    "Without these options the configurator window opens; it takes no other\n"
    "arguments and ignores them. The serial port is picked in the window.\n"
    "See KVX_Configurator(1).\n";

bool is(const char* arg, const char* shortName, const char* longName) {
    return std::strcmp(arg, shortName) == 0 || std::strcmp(arg, longName) == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // --help and --version are the arguments the program answers; they need no
    // display. Everything else on the command line is left alone, as before.
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-h", "--help")) {
            std::fputs(kHelpText, stdout);
            return 0;
        }
        if (is(argv[i], "-v", "--version")) {
            std::printf("KVX_Configurator %s\n", kVersionText);
            return 0;
        }
    }
    int code = 0;
    {
        QApplication app(argc, argv);
        // Who the window is to the desktop: its menu entry and its icon.
        QGuiApplication::setDesktopFileName(QStringLiteral("org.kvxv2.Configurator"));
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/kvx/org.kvxv2.Configurator.png")));
        KVX_Configurator window;
        window.show();
        code = app.exec();
    }
    return code;
}
