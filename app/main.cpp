#include "app/CommandLine.h"
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
    "       KVX_Configurator --port PORT [--save FILE] [--apply FILE] [--set KEY=VALUE]...\n"
    "                        [--dry-run] [--yes] [--set-clock] [--record FILE] [--quiet]\n"
    "Configure a KVXv2 air-sampling instrument over its USB serial port.\n"
    "\n"
    "Without --port the configurator window opens; the serial port is picked in\n"
    "the window, and other arguments are ignored. With --port one instrument is\n"
    "set up without a window: connect, read, --save, --apply, --set, write what\n"
    "changes, --set-clock, --record, disconnect.\n"
    "\n"
    "Options:\n"
    "  -h, --help        Show this help and exit.\n"
    "  -v, --version     Show the version and exit.\n"
    "  --port PORT       The instrument's serial port, as the window lists it\n"
    "                    (ttyACM0) or as a path (/dev/ttyACM0); auto takes the one\n"
    "                    port the window would list.\n"
    "  --save FILE       Save the configuration as read, before any change.\n"
    "  --apply FILE      Open a configuration file as File > Open does.\n"
    "  --set KEY=VALUE   Set one setting by its file key, in the file's words\n"
    "                    (--set main.sample_id=SITE-12); repeatable, after --apply.\n"
    "  --dry-run         Print what a write would change, and write nothing.\n"
    "  --yes             Go on past the schedule warnings; without it a warning\n"
    "                    stops the run.\n"
    "  --set-clock       Set the instrument clock to the computer's UTC time after\n"
    "                    the write.\n"
    "  --record FILE     Save the configuration record (PDF) of the instrument at\n"
    "                    the end, after the write and the clock.\n"
    "  --quiet           Print only errors and the last line.\n"
    "\n"
    "Progress goes to standard error; the change list and a last line saying what\n"
    "was done go to standard output. Exit status: 0 done; 1 the instrument or the\n"
    "link failed; 2 usage, a file, a key or a value refused, nothing written (or\n"
    "the record could not be saved);\n"
    "3 stopped at a schedule warning, nothing written.\n"
    "See KVX_Configurator(1).\n";

bool is(const char* arg, const char* shortName, const char* longName) {
    return std::strcmp(arg, shortName) == 0 || std::strcmp(arg, longName) == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // --help and --version are answered first; they need no display. --port
    // runs one instrument from the command line; without it the window opens
    // and leaves every other argument alone, as before.
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (kvx::cli::requested(arguments))
        return kvx::cli::run(argc, argv);
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
