#include "app/CommandLine.h"

#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "link/Status.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"
#include "workflows/Record.h"
#include "workflows/WriteWorkflow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace kvx::cli {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("CommandLine", text);
}

// "1 setting" or "N settings".
QString settingsCount(qsizetype n) {
    return n == 1 ? tr("1 setting") : tr("%1 settings").arg(n);
}

void printTo(std::FILE* stream, const QString& line) {
    std::fputs(line.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Progress and errors.
void say(const QString& line) {
    printTo(stderr, line);
}

// The change list and the last line.
void print(const QString& line) {
    printTo(stdout, line);
}

// A setting takes a value from a file: it is written and some control shows it.
bool takesValues(const Setting& s) {
    return s.written() && s.kind != SettingKind::Reserved && !s.controls.isEmpty();
}

// The window's port list during a run: the one port named on the command line,
// listed from the start (so that a port that is not there fails to open, as
// Connect does in the window) until its device node, once seen, is gone (the
// cable pulled, the instrument switched off).
class NamedPort : public PortSource {
public:
    explicit NamedPort(QString name)
        : name(name),
          path(name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name) {}
    QStringList availablePorts() override {
        const bool there = QFileInfo::exists(path);
        seen = seen || there;
        if (seen && !there)
            return {};
        return {name};
    }

private:
    QString name;
    QString path;
    bool seen = false;
};

// Drives one window from Connect to the farewell, a step after each of its
// ticks, and answers every question the window puts on the way.
class Run : public QObject {
public:
    Run(KVX_Configurator& window, const Options& options, const CheckedConfiguration& file)
        : w(window), o(options), file(file) {
        w.answerer = [this](const QMessageBox& box) { return answer(box); };
        // Runs right after the window's own tick in the same timeout.
        connect(w.ticker, &QTimer::timeout, this, [this] { afterTick(); });
        connect(w.statusBar(), &QStatusBar::messageChanged, this,
                [this](const QString& text) { statusChanged(text); });
    }
    ~Run() override { w.answerer = nullptr; }

private:
    enum class Stage { Connect, Read, Write, Clock, Farewell, Over };

    // The link is idle, no workflow runs and the buttons are usable again.
    bool idle() const {
        return w.linkStep == LinkIdle && w.sessionState == 0 && w.ui->kvxWrite->isEnabled();
    }
    // The link failed, or is being taken down, without this run asking.
    bool linkDown() const {
        return w.linkStep == LinkFarewell || w.linkStep == LinkFarewellWait ||
               w.linkStep == LinkReset || w.linkStep == LinkNone;
    }

    // Each stage message of the status bar is a line of progress; the
    // messages of single records, shown with the progress bar, are not.
    void statusChanged(const QString& text) {
        if (o.quiet || text.isEmpty() || !w.status->progressBar()->isHidden())
            return;
        say(text);
    }

    void afterTick() {
        switch (stage) {
        case Stage::Connect:
            if (w.ui->kvxConnect->isEnabled()) {
                w.KVXConnectButtonPressed();
                stage = Stage::Read;
            }
            return;
        case Stage::Farewell:
            if (w.linkStep == LinkNone)
                finish();
            else if (w.linkStep == LinkIdle && !disconnectPressed) {
                disconnectPressed = true;
                w.KVXDisconnectButtonPressed();
            }
            return;
        case Stage::Over:
            return;
        default:
            break;
        }
        if (linkDown()) {
            // The status bar says why, in the tick it happened.
            fail(Failed, w.status->message());
            return;
        }
        if (!idle())
            return;
        switch (stage) {
        case Stage::Read:
            takeEdits();
            break;
        case Stage::Write:
            written = true;
            setClockOrEnd();
            break;
        case Stage::Clock:
            clockSet = true;
            endRun();
            break;
        default:
            break;
        }
    }

    // After the initial read: the backup, the file, the settings of the
    // command line and the change list; then the write, if anything changes.
    void takeEdits() {
        mainBoard = w.ui->kvxIDBox->text();
        if (!o.save.isEmpty()) {
            if (!w.saveConfigurationTo(o.save)) {
                fail(Refused, w.status->message());
                return;
            }
            saved = true;
        }
        if (!o.apply.isEmpty())
            reportOpened(takeConfiguration(w, o.apply, file));
        if (!takeSettings())
            return;

        const QList<SettingChange> list = w.changes->changes();
        changed = int(list.size());
        if (!o.quiet) {
            if (list.isEmpty())
                print(tr("No setting will change."));
            for (const SettingChange& change : list)
                print(change.line());
        }
        if (list.isEmpty()) {
            setClockOrEnd();
        } else if (o.dryRun) {
            // The warnings the write would raise, named; nothing is sent.
            const QList<WriteWarning> warnings =
                scheduleWarnings(*w.ui, QDateTime::fromMSecsSinceEpoch(w.nowMs(), Qt::UTC));
            for (const WriteWarning& warning : warnings) {
                if (!o.quiet)
                    say(tr("Schedule warning \"%1\": %2").arg(warning.title, warning.text));
            }
            if (!warnings.isEmpty() && !o.yes)
                fail(Stopped, tr("A write would stop at the schedule warning \"%1\"; --yes goes "
                                 "on past it.")
                                  .arg(warnings.first().title));
            else
                endRun();
        } else {
            startWrite();
        }
    }

    // What File › Open would tell in its message: what was skipped, kept or
    // set to the nearest value the form can show.
    void reportOpened(const OpenMessage& message) {
        if (o.quiet)
            return;
        for (const OpenMessage::Part& part : message.parts) {
            say(QStringLiteral("  ") + part.summary);
            for (const QString& setting : part.settings)
                say(QStringLiteral("    ") + setting);
        }
    }

    // Each --set as a file of one setting, taken the way Open takes a file;
    // a setting this instrument cannot take as given stops the run.
    bool takeSettings() {
        if (o.sets.isEmpty())
            return true;
        // In the catalogue's order, as a file's settings are taken: a sensor's
        // mode before its logging boxes, the sample's start before the pumps'.
        QList<std::pair<const Setting*, QString>> sets = o.sets;
        std::stable_sort(sets.begin(), sets.end(), [](const auto& a, const auto& b) {
            return a.first < b.first; // the catalogue is one list
        });
        QStringList keys;
        for (const auto& set : sets) {
            const Setting& s = *set.first;
            CheckedConfiguration one;
            one.mainBoard = mainBoard;
            one.values = {set};
            const OpenReport report = applyConfiguration(w, one);
            QString why;
            if (!report.adjusted.isEmpty())
                why = tr("the form cannot show %1; it would be %2")
                          .arg(set.second, w.changes->formText(s));
            else if (!report.notFitted.isEmpty())
                why = tr("this instrument has no such setting (board not fitted or not at its "
                         "firmware level)");
            else if (!report.sensorOff.isEmpty())
                why = tr("not usable on this instrument (sensor or pump not fitted, or "
                         "switched off)");
            else if (!report.keptOwn.isEmpty())
                why = tr("the instrument names no main board to take it for");
            if (report.taken != 1 || !why.isEmpty()) {
                fail(Refused, tr("--set %1: %2; nothing was written.")
                                  .arg(s.key, why.isEmpty() ? tr("not taken") : why));
                return false;
            }
            keys << s.key;
        }
        if (!o.quiet)
            say(tr("Taken from the command line: %1.").arg(keys.join(QStringLiteral(", "))));
        return true;
    }

    // Write Configuration, its question answered Yes and each schedule
    // warning as --yes says.
    void startWrite() {
        pressingWrite = true;
        questions = 0;
        w.KVXWriteButtonPressed();
        pressingWrite = false;
        if (w.sessionState != 0)
            stage = Stage::Write;
        else if (!stopWarning.isEmpty())
            fail(Stopped, stopWarning);
        else
            fail(Failed, tr("The write did not start."));
    }

    void setClockOrEnd() {
        if (!o.setClock || o.dryRun) {
            endRun();
            return;
        }
        w.KVXSetRTCPressed();
        if (w.sessionState == 0) {
            fail(Failed, tr("Setting the instrument clock did not start."));
            return;
        }
        stage = Stage::Clock;
    }

    // The run's work is done: the record of what the instrument now holds,
    // then the farewell.
    void endRun() {
        if (!o.record.isEmpty()) {
            QString why;
            if (!saveRecord(w, o.record, &why)) {
                fail(Refused, tr("Could not save the record to %1: %2.")
                                  .arg(QDir::toNativeSeparators(o.record), why));
                return;
            }
            recorded = true;
        }
        stage = Stage::Farewell;
    }

    // The first failure decides the status; the link is then taken down.
    void fail(Status status, const QString& why) {
        if (code == Done) {
            code = status;
            reason = why;
        }
        if (stage != Stage::Over)
            stage = Stage::Farewell;
    }

    void finish() {
        stage = Stage::Over;
        if (code != Done) {
            say(QStringLiteral("KVX_Configurator: ") + reason);
        } else {
            QStringList done;
            if (saved)
                done << tr("saved to %1").arg(QDir::toNativeSeparators(o.save));
            if (o.dryRun && changed > 0)
                done << tr("dry run, %1 would change, nothing written").arg(settingsCount(changed));
            else if (written)
                done << tr("%1 written and confirmed").arg(settingsCount(changed));
            else
                done << tr("no setting changed");
            if (clockSet)
                done << tr("clock set");
            if (recorded)
                done << tr("record saved to %1").arg(QDir::toNativeSeparators(o.record));
            const QString name = mainBoard.isEmpty() ? tr("KVXv2 on %1").arg(o.port) : mainBoard;
            print(name + QStringLiteral(": ") + done.join(QStringLiteral(", ")) + QLatin1Char('.'));
        }
        QCoreApplication::exit(code);
    }

    // Every question of the window has its stated answer here: the write's
    // question Yes, a schedule warning as --yes says, the run's own
    // Disconnect Yes. A question the window asks by itself can only be
    // whether to disconnect from a port that went away: Yes, and the run
    // fails. Messages (a file that could not be saved) stand in the status
    // bar too, from which the run takes them.
    QMessageBox::StandardButton answer(const QMessageBox& box) {
        if (!(box.standardButtons() & QMessageBox::Yes))
            return QMessageBox::Ok;
        if (pressingWrite) {
            if (questions++ == 0)
                return QMessageBox::Yes;
            if (o.yes) {
                if (!o.quiet)
                    say(tr("Schedule warning \"%1\" passed (--yes).").arg(box.windowTitle()));
                return QMessageBox::Yes;
            }
            stopWarning = tr("Stopped at the schedule warning \"%1\": %2 Nothing was written; "
                             "--yes goes on past it.")
                              .arg(box.windowTitle(), box.text());
            return QMessageBox::No;
        }
        if (stage == Stage::Farewell || stage == Stage::Over)
            return QMessageBox::Yes;
        fail(Failed, w.status->message());
        return QMessageBox::Yes;
    }

    KVX_Configurator& w;
    const Options& o;
    const CheckedConfiguration& file;
    Stage stage = Stage::Connect;
    Status code = Done;
    QString reason;
    QString mainBoard;
    bool pressingWrite = false;
    int questions = 0;
    QString stopWarning;
    bool disconnectPressed = false;
    bool saved = false;
    bool written = false;
    bool clockSet = false;
    bool recorded = false;
    int changed = 0;
};

} // namespace

bool requested(const QStringList& arguments) {
    return std::any_of(arguments.begin() + std::min<qsizetype>(1, arguments.size()),
                       arguments.end(), [](const QString& a) {
                           return a == QLatin1String("--port") ||
                                  a.startsWith(QLatin1String("--port="));
                       });
}

std::optional<QString> settingWords(const Setting& setting, const QString& value,
                                    QString* problem) {
    QJsonValue json(value);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson("[" + value.toUtf8() + "]", &error);
    if (error.error == QJsonParseError::NoError && doc.array().size() == 1) {
        const QJsonValue parsed = doc.array().first();
        if (parsed.isDouble() || parsed.isBool() || parsed.isString())
            json = parsed;
    }
    QString why;
    if (const std::optional<QString> words = wordsOf(setting, json, &why))
        return words;
    // "0042" for a cartridge ID, true for a sample ID: the text as typed.
    if (!json.isString()) {
        if (const std::optional<QString> words = wordsOf(setting, QJsonValue(value), nullptr))
            return words;
    }
    if (problem)
        *problem = why;
    return std::nullopt;
}

std::optional<Options> parseArguments(const QStringList& arguments, QString* problem) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("port"));
    const QCommandLineOption save(QStringLiteral("save"), QString(), QStringLiteral("file"));
    const QCommandLineOption apply(QStringLiteral("apply"), QString(), QStringLiteral("file"));
    const QCommandLineOption set(QStringLiteral("set"), QString(), QStringLiteral("key=value"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption yes(QStringLiteral("yes"));
    const QCommandLineOption setClock(QStringLiteral("set-clock"));
    const QCommandLineOption record(QStringLiteral("record"), QString(), QStringLiteral("file"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    parser.addOptions({port, save, apply, set, dryRun, yes, setClock, record, quiet});

    auto refuse = [problem](const QString& why) -> std::optional<Options> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(tr("unexpected argument: %1").arg(parser.positionalArguments().first()));
    for (const QCommandLineOption* once : {&port, &save, &apply, &record}) {
        if (parser.values(*once).size() > 1)
            return refuse(tr("--%1 given more than once").arg(once->names().first()));
    }
    Options options;
    options.port = parser.value(port);
    if (options.port.isEmpty())
        return refuse(tr("--port: no port named"));
    options.save = parser.value(save);
    options.apply = parser.value(apply);
    if (parser.isSet(save) && options.save.isEmpty())
        return refuse(tr("--save: no file named"));
    if (parser.isSet(apply) && options.apply.isEmpty())
        return refuse(tr("--apply: no file named"));
    options.record = parser.value(record);
    if (parser.isSet(record) && options.record.isEmpty())
        return refuse(tr("--record: no file named"));
    for (const QString& item : parser.values(set)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return refuse(tr("--set %1: expected KEY=VALUE").arg(item));
        const QString key = item.left(equals);
        const Setting* setting = findSetting(key);
        if (!setting)
            return refuse(tr("--set %1: no setting has this key").arg(key));
        if (!takesValues(*setting))
            return refuse(tr("--set %1: only the instrument sets it").arg(key));
        QString why;
        const std::optional<QString> words = settingWords(*setting, item.mid(equals + 1), &why);
        if (!words)
            return refuse(tr("--set %1: %2").arg(key, why));
        // A key given twice: the last value counts.
        options.sets.removeIf([setting](const auto& s) { return s.first == setting; });
        options.sets.append({setting, *words});
    }
    options.dryRun = parser.isSet(dryRun);
    options.yes = parser.isSet(yes);
    options.setClock = parser.isSet(setClock);
    options.quiet = parser.isSet(quiet);
    return options;
}

PortChoice choosePort(const QString& value, const QStringList& listed) {
    if (value != QLatin1String("auto"))
        return {value, Done, QString()};
    if (listed.size() == 1)
        return {listed.first(), Done, QString()};
    if (listed.isEmpty())
        return {QString(), Failed,
                tr("--port auto: no serial port found; is the instrument plugged in?")};
    return {QString(), Refused,
            tr("--port auto: %1 serial ports (%2); name one with --port")
                .arg(listed.size())
                .arg(listed.join(QStringLiteral(", ")))};
}

int run(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString problem;
    std::optional<Options> options = parseArguments(arguments, &problem);
    if (!options) {
        say(QStringLiteral("KVX_Configurator: ") + problem);
        say(tr("See KVX_Configurator --help."));
        return Refused;
    }
    CheckedConfiguration file;
    if (!options->apply.isEmpty()) {
        file = readConfiguration(options->apply);
        if (!file.problem.isEmpty()) {
            say(tr("KVX_Configurator: Could not open %1: %2.")
                    .arg(QDir::toNativeSeparators(options->apply), file.problem));
            return Refused;
        }
    }

    // Nothing is shown: without a display the offscreen platform serves.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const PortChoice port =
        choosePort(options->port, options->port == QLatin1String("auto")
                                      ? Platform::system().ports->availablePorts()
                                      : QStringList());
    if (port.port.isEmpty()) {
        say(QStringLiteral("KVX_Configurator: ") + port.problem);
        return port.status;
    }
    options->port = port.port;

    Platform platform;
    platform.ports = std::make_unique<NamedPort>(port.port);
    KVX_Configurator window(std::move(platform));
    Run driver(window, *options, file);
    return app.exec();
}

} // namespace kvx::cli
