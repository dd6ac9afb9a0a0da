// The command line: one instrument set up from start to end without anybody at
// the window, for a fleet of instruments prepared the same way.
//
//   KVX_Configurator --port PORT [--save FILE] [--apply FILE] [--set KEY=VALUE]...
//                    [--dry-run] [--yes] [--set-clock] [--record FILE] [--quiet]
//
// It drives the window as an operator would, never shown: Connect, the
// initial read, File › Save and File › Open, edits by setting key, Write
// Configuration, Set RTC, File › Save Record, Disconnect, and answers each question the window
// puts on the way itself. Progress goes to standard error, the change list and
// the last line to standard output.
#pragma once

#include "image/Settings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace kvx::cli {

// How a run ends.
enum Status : int {
    Done = 0,
    Failed = 1,  // the instrument or the link failed
    Refused = 2, // usage, a file, a key or a value refused; nothing sent
    Stopped = 3, // a schedule warning without --yes; nothing written
};

struct Options {
    QString port;
    QString save;   // empty: no backup
    QString apply;  // empty: no file
    QString record; // empty: no record (PDF) at the end
    // --set in the order given, each checked: the setting and its value in
    // the form's words.
    QList<std::pair<const Setting*, QString>> sets;
    bool dryRun = false;
    bool yes = false;
    bool setClock = false;
    bool quiet = false;
};

// The arguments name --port: the program runs from the command line.
bool requested(const QStringList& arguments);

// Reads the arguments (the program's name first). nullopt, with `problem`
// saying why, for a usage error, an unknown key or a value the file format
// refuses.
std::optional<Options> parseArguments(const QStringList& arguments, QString* problem);

// The form's words for a --set value, read as a configuration file holds it:
// a JSON number, true or false, or "quoted text" is taken as that value, any
// other text as text; a number, true or false the setting does not take is
// tried as text. nullopt, with `problem` saying why, when the file format
// would refuse it.
std::optional<QString> settingWords(const Setting& setting, const QString& value, QString* problem);

// The port a run opens for `--port value`: the value itself, or for "auto"
// the one port of `listed` (the ports the window would list). When there is
// none or there are several, the port is empty and `status` and `problem` say
// why.
struct PortChoice {
    QString port;
    Status status = Done;
    QString problem;
};
PortChoice choosePort(const QString& value, const QStringList& listed);

// The whole run: builds the application and the window, drives them and
// returns the exit status.
int run(int argc, char* argv[]);

} // namespace kvx::cli
