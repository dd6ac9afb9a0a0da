// The command line. The program as built runs as a process, without a display,
// against kvx-sim on a pseudo-terminal, whose log shows what the instrument
// received and stored: a fleet run on every preset (a backup and its restore
// store nothing; another instrument's file with a setting of its own stores
// exactly what the window stores for the same file and edit; a dry run stores
// nothing and lists the same changes; a second identical run changes nothing;
// the clock is set), and every way a run ends early with its status and its
// message, nothing stored. In process: the choice of port, the reading of the
// arguments and the window's question hook.
#include "app/CommandLine.h"
#include "tests/support/Instruments.h"
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"

#include <QJsonArray>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

// kvx-sim on a pseudo-terminal with its log.
struct Sim {
    QProcess process;
    QString path; // the terminal
    QString log;

    bool start(const QStringList& args, const QString& logPath) {
        log = logPath;
        QFile::remove(log);
        process.start(QStringLiteral(KVX_SIM_EXE), args + QStringList{"--log", log});
        if (!process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 50 && !process.canReadLine(); ++i)
            process.waitForReadyRead(100);
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        return path.startsWith("/dev/");
    }
    void stop() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000))
                process.kill();
            process.waitForFinished(1000);
        }
    }
    ~Sim() { stop(); }

    QList<QJsonObject> events(const QString& kind) const {
        QFile file(log);
        QList<QJsonObject> out;
        if (!file.open(QIODevice::ReadOnly))
            return out;
        while (!file.atEnd()) {
            const QJsonObject e = QJsonDocument::fromJson(file.readLine()).object();
            if (e.value("event").toString() == kind)
                out << e;
        }
        return out;
    }
    // Every record stored, in order, as "word image".
    QStringList stores() const { return storesIn(events("store")); }
    static QStringList storesIn(const QList<QJsonObject>& events) {
        QStringList out;
        for (const QJsonObject& e : events)
            out << e.value("word").toString() + ' ' + e.value("image").toString();
        return out;
    }
    int lines(const char* command) const {
        int n = 0;
        for (const QJsonObject& e : events("command"))
            n += e.value("line").toString().endsWith(QLatin1String(" ") + command);
        return n;
    }
};

struct Outcome {
    int status = -1;
    QStringList out; // standard output, by line
    QStringList err; // standard error, by line
    QString last() const { return out.value(out.size() - 1); }
    // The change list: every line of standard output but the last.
    QStringList list() const { return out.mid(0, out.size() - 1); }
    QString text() const {
        return QString("status %1\n-- stdout\n%2\n-- stderr\n%3")
            .arg(status)
            .arg(out.join('\n'), err.join('\n'));
    }
};

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString file(const QString& name) const { return dir.filePath(name); }

    // The program as built, without a display and without a platform named:
    // it must pick the offscreen platform itself.
    Outcome run(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        QDir(dir.path()).mkpath("runtime");
        QFile::setPermissions(file("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", file("runtime"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KVX_CONFIGURATOR_EXE), args);
        Outcome o;
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished(1000);
            return o;
        }
        o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        o.out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        o.err = QString::fromUtf8(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        return o;
    }

    // The window's route for the same file and edit: File › Open, the
    // sample ID typed in, Write Configuration with every question answered Yes.
    QStringList windowStores(const QJsonObject& config, const QString& path,
                             const QString& sampleId) {
        PtySim window;
        if (!writeText(file("window.json"), QJsonDocument(config).toJson()) ||
            !window.start({"--config", file("window.json")}))
            return {"(kvx-sim did not start)"};
        auto idle = [&] {
            return window.w->linkStep == LinkIdle && window.w->sessionState == 0 &&
                   window.w->ui->kvxWrite->isEnabled();
        };
        if (!QTest::qWaitFor(idle, 60000))
            return {"(no read)"};
        {
            DialogScript ok({}, QMessageBox::Ok);
            if (!window.w->openConfigurationFrom(path))
                return {"(not opened)"};
        }
        window.w->ui->sampleID->setText(sampleId);
        {
            DialogScript yes({}, QMessageBox::Yes);
            window.w->KVXWriteButtonPressed();
        }
        if (!QTest::qWaitFor(idle, 60000))
            return {"(no write)"};
        QTest::qWait(200); // the log catches up
        const QStringList stores = Sim::storesIn(window.logged("store"));
        window.stop();
        return stores;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // ---- in process --------------------------------------------------------

    void choosePort_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("problem");
        QTest::newRow("named, none listed") << "ttyACM0" << QStringList{} << "ttyACM0" << 0 << "";
        QTest::newRow("a path") << "/dev/ttyUSB1" << QStringList{"ttyACM0"} << "/dev/ttyUSB1" << 0
                                << "";
        QTest::newRow("auto, one") << "auto" << QStringList{"ttyACM0"} << "ttyACM0" << 0 << "";
        QTest::newRow("auto, none") << "auto" << QStringList{} << "" << 1
                                    << "--port auto: no serial port found; is the instrument "
                                       "plugged in?";
        QTest::newRow("auto, two")
            << "auto" << QStringList{"ttyACM0", "ttyUSB0"} << "" << 2
            << "--port auto: 2 serial ports (ttyACM0, ttyUSB0); name one with --port";
    }
    void choosePort() {
        QFETCH(QString, value);
        QFETCH(QStringList, listed);
        QFETCH(QString, port);
        QFETCH(int, status);
        QFETCH(QString, problem);
        const cli::PortChoice choice = cli::choosePort(value, listed);
        QCOMPARE(choice.port, port);
        QCOMPARE(int(choice.status), status);
        QCOMPARE(choice.problem, problem);
    }

    // Values are read as a file holds them; what a file would refuse, and
    // every usage error, is refused before the run begins.
    void parseArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("sets"); // "key=words;...", or the problem when refused
        QTest::addColumn<bool>("refused");
        auto ok = [](const char* name, QStringList args, const char* sets) {
            QTest::newRow(name) << (QStringList{"KVX_Configurator", "--port", "ttyACM0"} + args)
                                << QString(sets) << false;
        };
        auto bad = [](const char* name, QStringList args, const char* problem) {
            QTest::newRow(name) << (QStringList{"KVX_Configurator", "--port", "ttyACM0"} + args)
                                << QString(problem) << true;
        };
        ok("text", {"--set", "main.sample_id=SITE-12"}, "main.sample_id=SITE-12");
        ok("text that reads as a number", {"--set", "pumpa.cartridge_id=0042"},
           "pumpa.cartridge_id=0042");
        ok("quoted text", {"--set", "main.sample_id=\"12\""}, "main.sample_id=12");
        ok("empty text", {"--set", "main.sample_id="}, "main.sample_id=");
        ok("a number", {"--set", "main.schedule.interval=60"}, "main.schedule.interval=60");
        ok("a decimal", {"--set=pumpa.flow_rate=1.25"}, "pumpa.flow_rate=1.250");
        ok("true", {"--set", "main.logging.vbat=true"}, "main.logging.vbat=on");
        ok("a choice by its words", {"--set", "gas.scd30.compensation=1 Day"},
           "gas.scd30.compensation=1 Day");
        ok("a choice by its code", {"--set", "gas.scd30.compensation=2"},
           "gas.scd30.compensation=1 Hour");
        ok("a date",
           {"--set", "main.schedule.start=At Specific UTC Date/Time 2031-04-01 08:00 UTC"},
           "main.schedule.start=At Specific UTC Date/Time 2031-04-01 08:00 UTC");
        ok("a key given twice: the last counts",
           {"--set", "main.sample_id=A", "--set", "main.schedule.interval=60", "--set",
            "main.sample_id=B"},
           "main.schedule.interval=60;main.sample_id=B");
        ok("flags", {"--dry-run", "--yes", "--set-clock", "--quiet"}, "");
        bad("unknown key", {"--set", "main.colour=1"},
            "--set main.colour: no setting has this key");
        bad("the instrument's own", {"--set", "main.sen55.run_time=5"},
            "--set main.sen55.run_time: only the instrument sets it");
        bad("out of range", {"--set", "main.schedule.interval=256"},
            "--set main.schedule.interval: expected a whole number from 0 to 255");
        bad("not a whole number", {"--set", "main.schedule.interval=1.5"},
            "--set main.schedule.interval: expected a whole number from 0 to 255");
        bad("a bit as text", {"--set", "main.logging.vbat=yes"},
            "--set main.logging.vbat: expected true or false");
        bad("no date", {"--set", "pumpb.start=At Specific UTC Date/Time 2025-02-30 06:00 UTC"},
            "--set pumpb.start: 2025-02-30 06:00 UTC is no date the instrument can hold (a "
            "calendar date from 2000-01-01 00:00 UTC to 2099-12-31 23:59 UTC)");
        bad("text too long", {"--set", "main.sample_id=" + QString(32, 'x')},
            "--set main.sample_id: expected text of at most 31 characters");
        bad("no value", {"--set", "main.sample_id"}, "--set main.sample_id: expected KEY=VALUE");
        bad("an argument", {"extra"}, "unexpected argument: extra");
        bad("an unknown option", {"--colour"}, "Unknown option 'colour'.");
        bad("--port twice", {"--port", "ttyUSB0"}, "--port given more than once");
        bad("--apply without a file", {"--apply"}, "Missing value after '--apply'.");
        QTest::newRow("no port") << QStringList{"KVX_Configurator", "--port="}
                                 << "--port: no port named" << true;
    }
    void parseArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, sets);
        QFETCH(bool, refused);
        QString problem;
        const std::optional<cli::Options> options = cli::parseArguments(args, &problem);
        QCOMPARE(!options, refused);
        if (refused) {
            QCOMPARE(problem, sets);
            return;
        }
        QStringList got;
        for (const auto& [setting, words] : options->sets)
            got << setting->key + '=' + words;
        QCOMPARE(got.join(';'), sets);
        QCOMPARE(options->port, "ttyACM0");
        QCOMPARE(options->dryRun, args.contains("--dry-run"));
        QCOMPARE(options->yes, args.contains("--yes"));
        QCOMPARE(options->setClock, args.contains("--set-clock"));
        QCOMPARE(options->quiet, args.contains("--quiet"));
        QVERIFY(cli::requested(args));
    }

    void requested() {
        QVERIFY(cli::requested({"KVX_Configurator", "--port=ttyACM0"}));
        QVERIFY(!cli::requested({"KVX_Configurator"}));
        QVERIFY(!cli::requested({"KVX_Configurator", "--portable", "--set-clock"}));
        // The program's own name is no argument.
        QVERIFY(!cli::requested({"--port"}));
    }

    // The hook gets each box the window would show, and its answer is the
    // operator's: the write's question with its change list, answered No,
    // writes nothing.
    void answererTakesTheQuestions() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        rig.w().ui->sampleID->setText("SITE-12");
        QList<QStringList> asked;
        rig.w().answerer = [&](const QMessageBox& box) {
            asked << QStringList{box.windowTitle(), box.informativeText(), box.detailedText()};
            return QMessageBox::No;
        };
        const int lines = int(rig.lines().size());
        rig.w().KVXWriteButtonPressed();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0],
                 (QStringList{"Write configuration data to the KVXv2.", "1 setting will change.",
                              "Mainboard \u203a Sample ID: Site 12 roof, winter campaign "
                              "\u2192 SITE-12"}));
        rig.tick(10);
        QCOMPARE(rig.w().sessionState, 0);
        QCOMPARE(rig.lines().size(), lines);
        QVERIFY(!rig.w().findChild<QMessageBox*>()); // none left behind

        // Yes writes.
        rig.w().answerer = [&](const QMessageBox& box) {
            asked << QStringList{box.windowTitle()};
            return QMessageBox::Yes;
        };
        rig.w().KVXWriteButtonPressed();
        QCOMPARE(asked.mid(1), QList<QStringList>{{"Write configuration data to the KVXv2."}});
        QVERIFY(rig.settle());
        QCOMPARE(rig.w().changes->changes().size(), 0);

        // A file's message goes to it too.
        QVERIFY(writeText(file("bad.kvxcfg"), "{"));
        asked.clear();
        QVERIFY(!rig.w().openConfigurationFrom(file("bad.kvxcfg")));
        QCOMPARE(asked, (QList<QStringList>{{"Open Configuration"}}));
    }

    // ---- the program against kvx-sim ---------------------------------------

    void fleet_data() {
        QTest::addColumn<QString>("preset");
        for (const char* name : {"full", "mixed", "minimal", "legacy"})
            QTest::newRow(name) << name;
    }
    void fleet() {
        QFETCH(QString, preset);
        const QString backup = file(preset + ".kvxcfg");
        const auto mainId = [](const QJsonObject& o) {
            return o.value("boards").toObject().value("main").toObject().value("id").toString();
        };
        const QString first = mainId(instrument(preset)), second = mainId(another(preset));

        // A backup, then the backup restored: nothing changes, nothing is stored.
        {
            Sim a;
            QVERIFY(a.start({"--preset", preset}, file("a.jsonl")));
            Outcome o = run({"--port", a.path, "--save", backup, "--quiet"});
            QVERIFY2(o.status == 0, qPrintable(o.text()));
            QCOMPARE(o.out, QStringList{first + ": saved to " + backup + ", no setting changed."});
            QCOMPARE(o.err, QStringList{});
            const QJsonObject saved = readJson(backup).value("instrument").toObject();
            QCOMPARE(saved.value("boards").toObject().value("main").toString(), first);
            o = run({"--port", a.path, "--apply", backup});
            QVERIFY2(o.status == 0, qPrintable(o.text()));
            QCOMPARE(o.out,
                     (QStringList{"No setting will change.", first + ": no setting changed."}));
            QVERIFY2(!o.err
                          .filter(QRegularExpression(
                              R"(^Configuration read: \d+ records in [\d.]+ s\.)"))
                          .isEmpty(),
                     qPrintable(o.text()));
            QVERIFY(o.err.contains("Opened " + preset +
                                   ".kvxcfg: 0 settings differ from the "
                                   "instrument."));
            QCOMPARE(a.lines("cfg_set"), 0);
        }

        // Another instrument takes the file and a sample ID of its own.
        QVERIFY(writeText(file("b.json"), QJsonDocument(another(preset)).toJson()));
        Sim b;
        // Its clock is years behind: setting it shows.
        QVERIFY(b.start({"--config", file("b.json"), "--clock", "2001-02-03T04:05:06"},
                        file("b.jsonl")));
        const QStringList args = {
            "--port", b.path, "--apply", backup, "--set", "main.sample_id=SITE-12", "--yes"};
        const Outcome dry = run(args + QStringList{"--dry-run"});
        QVERIFY2(dry.status == 0, qPrintable(dry.text()));
        QCOMPARE(b.lines("cfg_set"), 0);
        QVERIFY(dry.list().contains("Mainboard \u203a Sample ID: another unit \u2192 SITE-12"));
        QCOMPARE(dry.last(), QString("%1: dry run, %2 settings would change, nothing written.")
                                 .arg(second)
                                 .arg(dry.list().size()));
        QVERIFY2(
            !dry.err
                 .filter("were kept: the file was saved from another instrument (" + first + ").")
                 .isEmpty(),
            qPrintable(dry.text()));

        const QString record = file(preset + ".pdf");
        const Outcome wet = run(args + QStringList{"--record", record});
        QVERIFY2(wet.status == 0, qPrintable(wet.text()));
        QCOMPARE(wet.list(), dry.list());
        QCOMPARE(wet.last(), QString("%1: %2 settings written and confirmed, record saved to %3.")
                                 .arg(second)
                                 .arg(wet.list().size())
                                 .arg(record));
        // The record is made after the write: it names the instrument and the
        // change just written.
        if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            QProcess text;
            text.start("pdftotext", {record, "-"});
            QVERIFY(text.waitForFinished(30000));
            const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
            QVERIFY2(pdf.contains(second) && pdf.contains("SITE-12") &&
                         !pdf.contains("No write in this session"),
                     qPrintable(pdf.left(2000)));
        }
        QVERIFY2(!wet.err
                      .filter(QRegularExpression("^Configuration written: \\d+ records, each "
                                                 "confirmed by the instrument's read-back\\.$"))
                      .isEmpty(),
                 qPrintable(wet.text()));
        const QStringList stored = b.stores();
        QVERIFY(!stored.isEmpty());
        QCOMPARE(b.events("refused").size(), 0);
        // The window stores the very same records for the same file and edit.
        QCOMPARE(windowStores(another(preset), backup, "SITE-12"), stored);

        // Run again as it was: the instrument holds it all already.
        const Outcome again = run(args);
        QVERIFY2(again.status == 0, qPrintable(again.text()));
        QCOMPARE(again.out,
                 (QStringList{"No setting will change.", second + ": no setting changed."}));
        QCOMPARE(b.stores(), stored);

        // A record that cannot be saved fails the run (after the read: the
        // instrument is left as it was).
        const Outcome noRecord = run({"--port", b.path, "--record", "/proc/kvx/record.pdf"});
        QCOMPARE(noRecord.status, 2);
        QVERIFY2(noRecord.err.last().startsWith("KVX_Configurator: Could not save the record to "
                                                "/proc/kvx/record.pdf: "),
                 qPrintable(noRecord.text()));
        QCOMPARE(b.stores(), stored);

        // The clock alone.
        const Outcome clock = run({"--port", b.path, "--set-clock"});
        QVERIFY2(clock.status == 0, qPrintable(clock.text()));
        QCOMPARE(clock.last(), second + ": no setting changed, clock set.");
        const QStringList now = b.stores().mid(stored.size());
        QCOMPARE(now.size(), 1);
        QVERIFY(now[0].startsWith("0x0010 0010"));
        const QStringList set = clock.err.filter("Instrument clock set; it now reads ");
        QCOMPARE(set.size(), 1);
        const QDateTime reads =
            QDateTime::fromString(set[0].section(' ', 6, 7), "MM/dd/yyyy hh:mm:ss");
        QVERIFY2(qAbs(QDateTime(reads.date(), reads.time(), Qt::UTC)
                          .secsTo(QDateTime::currentDateTimeUtc())) < 60,
                 qPrintable(set[0]));
    }

    // Refused before anything is sent, with status 2: usage, a key, a value,
    // a file; and a setting this instrument does not have, after the read.
    void refused_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message"); // a line of standard error
        QTest::addColumn<bool>("connects");
        QTest::newRow("unknown key") << "full" << QStringList{"--set", "main.colour=red"}
                                     << "KVX_Configurator: --set main.colour: no setting has this "
                                        "key"
                                     << false;
        QTest::newRow("value out of range")
            << "full" << QStringList{"--set", "main.utc_offset=400"}
            << "KVX_Configurator: --set main.utc_offset: expected a number from -327.68 to 327.67"
            << false;
        QTest::newRow("bad file") << "full" << QStringList{"--apply", "@bad"}
                                  << "KVX_Configurator: Could not open @bad: version: format "
                                     "version 2 is newer than this program reads (1)."
                                  << false;
        QTest::newRow("no file") << "full" << QStringList{"--apply", "@missing"}
                                 << "KVX_Configurator: Could not open @missing: No such file or "
                                    "directory."
                                 << false;
        QTest::newRow("bad usage") << "full" << QStringList{"--set-clock", "now"}
                                   << "KVX_Configurator: unexpected argument: now" << false;
        QTest::newRow("board not fitted")
            << "minimal" << QStringList{"--set", "main.sample_id=X", "--set", "pumpa.flow_rate=1.5"}
            << "KVX_Configurator: --set pumpa.flow_rate: this instrument has no such setting "
               "(board not fitted or not at its firmware level); nothing was written."
            << true;
        QTest::newRow("backup not saved")
            << "minimal" << QStringList{"--save", "@missing/backup.kvxcfg"}
            << "KVX_Configurator: Could not save backup.kvxcfg: No such file or directory" << true;
        QTest::newRow("beyond the flow limit")
            << "full" << QStringList{"--set", "pumpa.flow_rate=2.5"}
            << "KVX_Configurator: --set pumpa.flow_rate: the form cannot show 2.500; it would be "
               "2.000; nothing was written."
            << true;
    }
    void refused() {
        QFETCH(QString, preset);
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(bool, connects);
        QJsonObject newer{{"format", "kvxcfg"}, {"version", 2}, {"settings", QJsonObject()}};
        QVERIFY(writeText(file("bad.kvxcfg"), QJsonDocument(newer).toJson()));
        args.replaceInStrings("@bad", file("bad.kvxcfg"));
        args.replaceInStrings("@missing", file("missing.kvxcfg"));
        message.replace("@bad", file("bad.kvxcfg")).replace("@missing", file("missing.kvxcfg"));
        Sim sim;
        QVERIFY(sim.start({"--preset", preset}, file("refused.jsonl")));
        const Outcome o = run(QStringList{"--port", sim.path} + args);
        QVERIFY2(o.status == 2, qPrintable(o.text()));
        QVERIFY2(o.err.contains(message), qPrintable(o.text()));
        QCOMPARE(o.out, QStringList{});
        QCOMPARE(sim.lines("cfg_set"), 0);
        // Refused before the port is opened, or taken leave of after the read.
        QCOMPARE(sim.events("command").isEmpty(), !connects);
        if (connects)
            QCOMPARE(sim.events("command").last().value("line").toString(), "menu");
    }

    // A schedule warning stops the run, named, unless --yes goes past it.
    void stoppedAtWarning() {
        Sim sim;
        QVERIFY(sim.start({"--preset", "full"}, file("warning.jsonl")));
        // A pump delayed beyond the sample's duration; the start in the past
        // comes first.
        const QStringList args = {"--port", sim.path, "--set",
                                  "pumpa.start=Delayed Start 30 d 0 h 0 min"};
        Outcome o = run(args);
        QVERIFY2(o.status == 3, qPrintable(o.text()));
        QCOMPARE(o.err.last(),
                 "KVX_Configurator: Stopped at the schedule warning \"Start Date and Time In "
                 "Past\": You are specifying that the sampling starts on a specific UTC date and "
                 "time, which is earlier than the computer clock.  Are you sure you wish to "
                 "proceed? Nothing was written; --yes goes on past it.");
        QCOMPARE(o.out, QStringList{"Pump A \u203a Start Pumping: Delayed Start 0 d 2 h 0 min "
                                    "\u2192 Delayed Start 30 d 0 h 0 min"});
        QCOMPARE(sim.lines("cfg_set"), 0);

        // The dry run names both and stops as the write would.
        o = run(args + QStringList{"--dry-run"});
        QVERIFY2(o.status == 3, qPrintable(o.text()));
        QCOMPARE(o.err.filter("Schedule warning ").size(), 2);
        QVERIFY(o.err.contains(
            "Schedule warning \"Pump A Delay Longer Than Sample Duration\": You are specifying "
            "that the starting delay for Pump A is longer than the total sample duration.  Are "
            "you sure you wish to proceed?"));

        o = run(args + QStringList{"--yes", "--quiet"});
        QVERIFY2(o.status == 0, qPrintable(o.text()));
        QCOMPARE(o.err, QStringList{});
        QCOMPARE(o.out, QStringList{"KVX2-M-000417: 1 setting written and confirmed."});
        QVERIFY(sim.lines("cfg_set") > 0);
    }

    // The instrument or the link fails: status 1 with the status bar's reason.
    void linkFailures_data() {
        QTest::addColumn<QStringList>("simArgs"); // empty: no simulator at all
        QTest::addColumn<QString>("reason");      // the end of the last line of standard error
        QTest::newRow("no such port") << QStringList{}
                                      << "Could not open /dev/kvx-no-such-port: No such file or "
                                         "directory.";
        QTest::newRow("silent") << QStringList{"--silent"}
                                << "after 4 tries: is it switched on and connected? Disconnected.";
        QTest::newRow("wrong answers") << QStringList{"--bad-crc", "1000"}
                                       << "answered wrongly (checksum, length or read-back) after "
                                          "4 tries. Disconnected.";
        // The cable pulled (kvx-sim ends) during the write.
        QTest::newRow("gone mid-write") << QStringList{"--cable-pull-after", "60"}
                                        << "cable pulled or instrument switched off.";
    }
    void linkFailures() {
        QFETCH(QStringList, simArgs);
        QFETCH(QString, reason);
        Sim sim;
        QString port = "/dev/kvx-no-such-port";
        if (!simArgs.isEmpty()) {
            QVERIFY(sim.start(simArgs, file("failure.jsonl")));
            port = sim.path;
        }
        const Outcome o =
            run({"--port", port, "--set", "main.sample_id=SITE-12", "--yes", "--set-clock"});
        QVERIFY2(o.status == 1, qPrintable(o.text()));
        QVERIFY2(o.err.last().startsWith("KVX_Configurator: ") && o.err.last().endsWith(reason),
                 qPrintable(o.text()));
        QCOMPARE(o.out.size(), simArgs.contains("--cable-pull-after") ? 1 : 0); // the change list
        if (simArgs.contains("--cable-pull-after")) {
            const int stored = int(sim.stores().size());
            QVERIFY2(stored > 0 && stored < 20, qPrintable(QString::number(stored)));
        }
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_cli.moc"
