// kvx-bench: measures the configurator as shipped (system clock, QSerialPort,
// the 20 ms timer) against kvx-sim on a pseudo-terminal, and prints a table:
// idle CPU disconnected and connected, the time from Connect to the end of the
// initial read and the time of a full write against the least the 20 ms tick
// allows, the time of one command-line run (KVX_Configurator --apply FILE
// --set-clock, start to exit) against the least the tick allows, the peak
// resident memory, and how resident memory grows over many in-process
// connect / write / read / disconnect cycles.
//
//   kvx-bench [--sim PATH] [--preset NAME] [--idle-seconds N] [--runs N]
//
// The tick floors come from the same window run in-process against the same
// instrument with answers that take no time at all, counted in ticks; the
// table also states the read floor as the tick count of its exchanges.
#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "tests/support/SimRig.h"
#include "ui_KVX_Configurator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sched.h>
#include <sys/resource.h>
#include <thread>

namespace {

using kvx::LinkIdle;
using kvx::LinkNone;

QString simulatorPath() {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("../sim/kvx-sim");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(KVX_SIM_EXE);
}

// CPU time (user + system) this process used so far, in milliseconds.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A field of /proc/self/status in kB ("VmHWM", "VmRSS").
long statusKb(const char* field) {
    QFile file("/proc/self/status");
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The cores this process may run on, as nproc counts them.
int usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return int(std::thread::hardware_concurrency());
    return CPU_COUNT(&set);
}

QString cpuModel() {
    QFile file("/proc/cpuinfo");
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("model name"))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    }
    return QStringLiteral("unknown");
}

// Runs the event loop until `done` holds or `timeoutMs` passed, looking every 10 ms.
bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

// Runs the event loop for `ms` milliseconds with nothing else waking it.
void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Answers every confirmation box with Yes while it lives.
class YesHand {
public:
    YesHand() {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && box->isVisible())
                box->button(QMessageBox::Yes)->click();
        });
        timer.start();
    }

private:
    QTimer timer;
};

// The command lines kvx-sim logged, in order.
QStringList loggedLines(const QString& path) {
    QFile file(path);
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QJsonObject e = QJsonDocument::fromJson(file.readLine()).object();
        if (e.value("event").toString() == QLatin1String("command"))
            lines << e.value("line").toString();
    }
    return lines;
}

int countEnding(const QStringList& lines, const char* word) {
    return int(std::count_if(lines.begin(), lines.end(), [word](const QString& line) {
        return line.endsWith(QLatin1String(word));
    }));
}

bool isWriteState(int s) {
    return (s >= 600 && s < 1100 && s != 798 && s != 799) || s == 1200 || (s >= 1400 && s <= 1403);
}

// The program as built beside the benchmark, else the one the build named.
QString configuratorPath() {
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).filePath("../KVX_Configurator");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(KVX_CONFIGURATOR_EXE);
}

// One command-line run as an operator starts it for each instrument of a
// fleet: a file that changes one setting, then the clock. Milliseconds from
// the process's start to its exit, -1 when it did not end with status 0.
double commandLineRun(const QString& port, const QString& dir, int round) {
    const QString file = QDir(dir).filePath("fleet.kvxcfg");
    QFile out(file);
    // Another logging interval each round, so that every run writes.
    const QJsonObject settings{{"main.schedule.interval", round % 2 == 0 ? 30 : 60}};
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(
            QJsonDocument(QJsonObject{{"format", "kvxcfg"}, {"version", 1}, {"settings", settings}})
                .toJson()) < 0)
        return -1;
    out.close();
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    run.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    run.start(configuratorPath(),
              {"--port", port, "--apply", file, "--set-clock", "--yes", "--quiet"});
    if (!run.waitForFinished(60000) || run.exitStatus() != QProcess::NormalExit ||
        run.exitCode() != 0) {
        run.kill();
        run.waitForFinished(1000);
        return -1;
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

struct Floors {
    int readTicks = -1;
    int readExchanges = -1;
    int writeTicks = -1;
    int writeExchanges = -1;
};

// The same preset in-process, answers without delay: ticks from Connect to
// the end of the read and from the write's start to its end.
Floors tickFloors(const QString& preset) {
    Floors f;
    kvx::test::SimRig rig(preset);
    rig.tick();
    rig.w().KVXConnectButtonPressed();
    int ticks = 0;
    auto idle = [&] { return rig.w().linkStep == LinkIdle && rig.w().sessionState == 0; };
    while (!idle() && rig.w().linkStep != LinkNone && ticks < 100000) {
        rig.tick();
        ++ticks;
    }
    if (!idle())
        return f;
    f.readTicks = ticks;
    f.readExchanges = countEnding(rig.sim().log().commandLines(), "cfg_get");

    const int before = int(rig.sim().log().commandLines().size());
    {
        YesHand hand;
        rig.w().KVXWriteButtonPressed();
    }
    if (!isWriteState(rig.w().sessionState))
        return f;
    ticks = 0;
    while (!idle() && rig.w().linkStep != LinkNone && ticks < 100000) {
        rig.tick();
        ++ticks;
    }
    if (!idle())
        return f;
    f.writeTicks = ticks;
    f.writeExchanges = countEnding(rig.sim().log().commandLines().mid(before), "cfg_set");
    return f;
}

// Resident memory (kB) over `cycles` in-process connect / edit / write / read /
// disconnect cycles, each against a freshly plugged instrument: the median of
// the second fifth of the cycles (caches and console filled by then) and of
// the last fifth.
std::pair<long, long> residentGrowth(const QString& preset, int cycles) {
    kvx::test::SimRig rig(preset);
    kvx::test::DialogScript yes({}, QMessageBox::Yes);
    QList<long> rss;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        rig.plug(kvx::test::SimRig::load(preset));
        if (rig.connect()) {
            kvx::test::applyEdits(rig.w(), QString("sampleID=cycle-%1 mainLogVBUS").arg(cycle));
            rig.w().KVXWriteButtonPressed();
            if (rig.settle())
                rig.w().KVXReadButtonPressed(), rig.settle();
            rig.w().KVXDisconnectButtonPressed();
        }
        rig.fallBack();
        rss << statusKb("VmRSS");
    }
    auto median = [](QList<long> v) {
        std::sort(v.begin(), v.end());
        return v.value(v.size() / 2, -1);
    };
    return {median(rss.mid(cycles / 5, cycles / 5)), median(rss.mid(cycles - cycles / 5))};
}

struct Sample {
    QList<double> ms;
    QString text() const {
        if (ms.isEmpty())
            return QStringLiteral("n/a");
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        if (sorted.size() == 1)
            return QStringLiteral("%1 ms").arg(median, 0, 'f', 0);
        return QStringLiteral("%1 ms (min %2, max %3, %4 runs)")
            .arg(median, 0, 'f', 0)
            .arg(sorted.first(), 0, 'f', 0)
            .arg(sorted.last(), 0, 'f', 0)
            .arg(sorted.size());
    }
};

class Bench {
public:
    Bench(QString port, QString logPath) : logPath(std::move(logPath)) {
        kvx::Platform platform;
        platform.ports = std::make_unique<kvx::test::ListedPorts>(
            std::make_shared<QStringList>(QStringList{std::move(port)}));
        w = std::make_unique<KVX_Configurator>(std::move(platform));
        // Runs right after UpdateTicker in the same timeout: sees each tick's end.
        QObject::connect(w->ticker, &QTimer::timeout, w.get(), [this] { afterTick(); });
        w->show();
    }

    // Share of one core used over `seconds` with the event loop running.
    double idleCpuPercent(int seconds) {
        const double cpu0 = cpuMs();
        QElapsedTimer wall;
        wall.start();
        idleFor(seconds * 1000);
        return 100.0 * (cpuMs() - cpu0) / double(wall.elapsed());
    }

    // Connect to the end of the initial read, in ms; -1 on failure.
    double connectAndRead(int* ticks) {
        if (!waitFor([&] { return w->ui->kvxConnect->isEnabled(); }, 5000))
            return -1;
        startMark();
        w->KVXConnectButtonPressed();
        if (!waitFor([&] { return readDone() || w->linkStep == LinkNone; }, 60000) || !readDone())
            return -1;
        *ticks = ticksSinceMark;
        return double(endNs - markNs) / 1e6;
    }

    // A full write from the moment the write starts to its end, in ms.
    double write(int* ticks, int* exchanges) {
        const int before = int(loggedLines(logPath).size());
        {
            YesHand hand;
            w->KVXWriteButtonPressed();
        }
        if (!isWriteState(w->sessionState))
            return -1;
        startMark();
        if (!waitFor([&] { return readDone() || w->linkStep == LinkNone; }, 60000) || !readDone())
            return -1;
        *ticks = ticksSinceMark;
        idleFor(200); // the log file catches up
        *exchanges = countEnding(loggedLines(logPath).mid(before), "cfg_set");
        return double(endNs - markNs) / 1e6;
    }

    bool disconnect() {
        YesHand hand;
        w->KVXDisconnectButtonPressed();
        return waitFor([&] { return w->linkStep == LinkNone; }, 5000) &&
               waitFor([&] { return w->ui->kvxConnect->isEnabled(); }, 2000);
    }

private:
    bool readDone() const {
        return endNs >= 0 && w->linkStep == LinkIdle && w->sessionState == 0 &&
               w->ui->kvxWrite->isEnabled();
    }
    void startMark() {
        clock.start();
        markNs = 0;
        endNs = -1;
        ticksSinceMark = 0;
    }
    void afterTick() {
        if (endNs >= 0 || !clock.isValid())
            return;
        ++ticksSinceMark;
        if (w->linkStep == LinkIdle && w->sessionState == 0 && w->ui->kvxWrite->isEnabled())
            endNs = clock.nsecsElapsed();
    }

    QString logPath;
    std::unique_ptr<KVX_Configurator> w;
    QElapsedTimer clock;
    qint64 markNs = 0;
    qint64 endNs = -1;
    int ticksSinceMark = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Benchmarks of the configurator against kvx-sim.");
    parser.addHelpOption();
    parser.addOption({"sim", "The kvx-sim executable.", "path", simulatorPath()});
    parser.addOption({"preset", "Instrument preset.", "name", "full"});
    parser.addOption({"idle-seconds", "Seconds of each idle CPU sample.", "n", "10"});
    parser.addOption({"runs", "Connect/read/write/disconnect rounds.", "n", "3"});
    parser.process(app);
    const int idleSeconds = std::max(1, parser.value("idle-seconds").toInt());
    const int runs = std::max(1, parser.value("runs").toInt());
    const QString preset = parser.value("preset");

    const Floors floors = tickFloors(preset);
    const int cycles = 200;
    const auto [earlyKb, lateKb] = residentGrowth(preset, cycles);

    QTemporaryDir dir;
    const QString logPath = dir.filePath("sim.jsonl");
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(parser.value("sim"), {"--preset", preset, "--log", logPath});
    if (!sim.waitForStarted(5000)) {
        std::fprintf(stderr, "kvx-bench: cannot start %s\n", qPrintable(parser.value("sim")));
        return 2;
    }
    while (!sim.canReadLine() && sim.state() == QProcess::Running)
        sim.waitForReadyRead(100);
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    if (!port.startsWith(QLatin1Char('/'))) {
        std::fprintf(stderr, "kvx-bench: kvx-sim gave no port\n");
        return 2;
    }

    int status = 0;
    double idleDisconnected = -1, idleConnected = -1;
    Sample read, write;
    int readTicks = -1, writeTicks = -1, writeExchanges = -1;
    {
        Bench bench(port, logPath);
        idleFor(2000); // settle after start-up
        idleDisconnected = bench.idleCpuPercent(idleSeconds);
        for (int run = 0; run < runs; ++run) {
            const double ms = bench.connectAndRead(&readTicks);
            if (ms < 0) {
                std::fprintf(stderr, "kvx-bench: the read did not finish\n");
                status = 1;
                break;
            }
            read.ms << ms;
            if (run == 0) {
                idleFor(1000);
                idleConnected = bench.idleCpuPercent(idleSeconds);
            }
            const double wms = bench.write(&writeTicks, &writeExchanges);
            if (wms >= 0)
                write.ms << wms;
            if (!bench.disconnect()) {
                std::fprintf(stderr, "kvx-bench: the disconnect did not finish\n");
                status = 1;
                break;
            }
        }
    }
    const long peakKb = statusKb("VmHWM");

    // The command line on the same instrument, after the window has gone.
    Sample commandLine;
    // What the window sent, before the command line's runs.
    const int linesBefore = int(loggedLines(logPath).size());
    for (int run = 0; run < runs && status == 0; ++run) {
        const double ms = commandLineRun(port, dir.path(), run);
        if (ms < 0) {
            std::fprintf(stderr, "kvx-bench: the command-line run did not finish\n");
            status = 1;
            break;
        }
        commandLine.ms << ms;
    }
    idleFor(200); // the log catches up
    const int commandLineWrites =
        countEnding(loggedLines(logPath).mid(linesBefore), "cfg_set") / std::max(1, runs);
    sim.terminate();
    if (!sim.waitForFinished(3000))
        sim.kill();

    const int readExchanges =
        countEnding(loggedLines(logPath).mid(0, linesBefore), "cfg_get") / std::max(1, runs);
    // Least the tick design allows: a state starts an exchange, the next tick
    // names the command, the next sends it, the tick after consumes the answer.
    // The read adds the handshake (open, reset, prompt, board list, answer),
    // the connected step and three ticks of states that start no exchange (the
    // pages, the Connected page, the end); the write adds its finishing tick.
    auto ticksText = [](int ticks) {
        if (ticks < 0)
            return QStringLiteral("n/a");
        return QStringLiteral("%1 ms (%2 ticks)").arg(ticks * kvx::kTickMs).arg(ticks);
    };
    const int readFloor = floors.readExchanges > 0 ? 5 + 1 + 3 * floors.readExchanges + 3 : -1;
    const int writeFloor = floors.writeExchanges >= 0 ? 3 * floors.writeExchanges + 1 : -1;

    std::printf("KVX Configurator benchmarks against kvx-sim (--preset %s) on a pseudo-terminal\n",
                qPrintable(preset));
    std::printf("Machine: %d cores (nproc), %s; Qt %s\n\n", usableCores(), qPrintable(cpuModel()),
                qVersion());
    std::printf("| Measure | Result | Least the 20 ms tick allows | Same window, instant "
                "in-process instrument |\n|---|---|---|---|\n");
    std::printf("| Idle CPU, disconnected (window open, %d s) | %.2f %% of one core | - | - |\n",
                idleSeconds, idleDisconnected);
    std::printf("| Idle CPU, connected after the read (%d s) | %.2f %% of one core | - | - |\n",
                idleSeconds, idleConnected);
    std::printf("| Connect to end of initial read (%d cfg_get incl. the level record; %d ticks "
                "counted) | %s | %s: 5 handshake + 1 connected + 3 per exchange + 3 | %s |\n",
                readExchanges, readTicks, qPrintable(read.text()), qPrintable(ticksText(readFloor)),
                qPrintable(ticksText(floors.readTicks)));
    std::printf("| Full write (%d cfg_set; %d ticks counted) | %s | %s: 3 per exchange + 1 | %s "
                "|\n",
                writeExchanges, writeTicks, qPrintable(write.text()),
                qPrintable(ticksText(writeFloor)), qPrintable(ticksText(floors.writeTicks)));
    // A command-line run: a tick lists the port, the read, the write, the
    // clock (set and read back: 2 exchanges + 1), the farewell's tick, its
    // quiet second and the tick that closes the port.
    const int clockTicks = 3 * 2 + 1;
    const int commandLineTicks =
        readFloor >= 0 && writeFloor >= 0 ? 1 + readFloor + writeFloor + clockTicks + 1 + 1 : -1;
    std::printf(
        "| One command-line run, --apply FILE --set-clock (process start to exit: start-up, "
        "connect, read, write of %d cfg_set, clock, farewell) | %s | %s: %d ticks (1 port "
        "list + read + write + %d clock + 2 farewell) + %lld ms farewell wait | - |\n",
        commandLineWrites - 1, qPrintable(commandLine.text()),
        qPrintable(commandLineTicks < 0
                       ? QStringLiteral("n/a")
                       : QStringLiteral("%1 ms").arg(commandLineTicks * kvx::kTickMs +
                                                     kvx::kFarewellWaitMs + 1)),
        commandLineTicks, clockTicks, static_cast<long long>(kvx::kFarewellWaitMs + 1));
    std::printf("| Peak resident memory (VmHWM) | %.1f MiB | - | - |\n", peakKb / 1024.0);
    std::printf("| Resident memory growth over %d in-process connect / write / read / disconnect "
                "cycles (second fifth to last fifth) | %+ld kB | - | - |\n",
                cycles, lateKb - earlyKb);
    return status;
}
