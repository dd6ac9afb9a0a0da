// The link tick by tick against the in-process instrument: the window's
// start and its port selector, the pages and controls the board list and the
// firmware level bring, what goes out on which tick, which answer is taken,
// the retries and the 500 ms answer timeout for every class of fault,
// waits that survive a clock set back, the farewell's quiet second and its
// cap, and the wait when the window closes.
#include "image/boards/MainBoardCodec.h"
#include "link/Status.h"
#include "tests/support/SimRig.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

sim::InstrumentConfig withFaults(const QByteArray& json) {
    auto config = SimRig::load("full");
    QString error;
    if (!config.faults.read(QJsonDocument::fromJson(json).object(), &error))
        qFatal("faults %s: %s", json.constData(), qPrintable(error));
    return config;
}

QStringList foldRepeats(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines)
        if (out.isEmpty() || out.last() != line)
            out << line;
    return out;
}

// When the instrument received its last command line.
qint64 lastCommandAt(SimRig& rig) {
    const QList<QJsonObject> commands = rig.sim().log().ofKind("command");
    return commands.isEmpty() ? -1 : qint64(commands.last().value("t").toDouble());
}

QStringList items(const QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

const QString kFull = "0,Main,M1,1,Sorbent,S7,2,Filter,F2,3,x,x,4,Filter,F4,5,x,x,6,Gas,G9";
const QString kResetLine = QStringLiteral("\x1b"
                                          "c");
const QString kLevelLine = getLine(kFirmwareLevelRecord);
constexpr int kConnects = -2;

} // namespace

class EngineTest : public QObject {
    Q_OBJECT

    QStringList cleanLines;
    QMap<QString, QString> cleanForm;

private slots:
    // A clean connection: what goes out on each tick after Connect (the reset
    // sequence once the port is open, the board list on the tick after the
    // prompt, and every request two ticks after the session state that
    // started it), the lines of the whole read and the form it fills.
    void initTestCase() {
        SimRig rig("full");
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        QStringList perTick;
        for (int i = 0, sent = 0; i < 13; ++i, sent = int(rig.device->written().size())) {
            rig.tick();
            perTick << QString::fromLatin1(rig.device->written().mid(sent));
        }
        QCOMPARE(perTick,
                 (QStringList{"", kResetLine + "\r", "", "show_boards_cal\r", "", "", "",
                              "21504 112 2 cfg_get\r", "", "", "", "", getLine(0x0010) + "\r"}));
        QVERIFY(rig.settle());
        cleanLines = rig.lines();
        cleanForm = formValues(rig.w());
        QCOMPARE(cleanLines.size(), 2 + 1 + 49); // reset, board list, level, the read
        QCOMPARE(rig.w().status->message(), "Configuration read: 49 records in 3.2 s.");
    }

    // The ports at the first tick, the operator's pick (-1: none), the ports
    // at the next tick, and what the selector then lists and shows. The first
    // tick shows the Ready page over the disconnected phase.
    void portList_data() {
        QTest::addColumn<QStringList>("fields");
        for (const char* row :
             {"no port||-1||None|None", "plugged in||-1|USB0|USB0|USB0",
              "the last selected|COM3 COM4|-1|COM3 COM4|COM3 COM4|COM4",
              "new one appended, selected|COM3 COM4|0|COM3 COM7 COM4|COM3 COM4 COM7|COM7",
              "unplugged, pick kept|COM3 COM4|0|COM3|COM3|COM3",
              "last one gone|COM3|-1||None|None"})
            packedRow(row);
    }
    void portList() {
        QFETCH(QStringList, fields);
        const QString &first = fields[0], &then = fields[2], &listed = fields[3],
                      &current = fields[4];
        const QStringList ports = then.split(' ', Qt::SkipEmptyParts);
        SimRig rig("full");
        QVERIFY(rig.device->linkSettingsApplied());
        QCOMPARE(rig.w().ticker->interval(), 20);
        rig.setPorts(first.split(' ', Qt::SkipEmptyParts));
        rig.tick();
        QCOMPARE(rig.w().sessionState, 2);
        const QString problems = fallenBackProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        if (fields[1].toInt() >= 0)
            rig.w().ui->kvxComList->setCurrentIndex(fields[1].toInt());
        rig.setPorts(ports);
        rig.tick();
        QCOMPARE(items(rig.w().ui->kvxComList).join(' '), listed);
        QCOMPARE(rig.w().ui->kvxComList->currentText(), current);
        QCOMPARE(rig.w().portCount, int(ports.size()));
        QCOMPARE(rig.w().ui->comPortOutputBox->toPlainText(), ports.join('\n'));
        QCOMPARE(rig.w().ui->kvxConnect->isEnabled(), !then.isEmpty());
        rig.w().KVXConnectButtonPressed(); // refused without a port
        QCOMPARE(rig.w().linkStep, then.isEmpty() ? int(LinkNone) : int(LinkOpen));
        QCOMPARE(rig.w().ui->kvxComList->isEnabled(), then.isEmpty());
        if (then.isEmpty())
            return;
        // While the link exists the selector stays as it is.
        rig.setPorts(ports + QStringList{"COM9"});
        rig.tick();
        QCOMPARE(items(rig.w().ui->kvxComList).join(' '), listed);
    }

    // A port the system refuses to open: two ticks later the window is back
    // in the disconnected phase, nothing written, no question, and the status
    // bar says why and what to do; once allowed, the port connects. Joining
    // the port's group is advised only to a user outside it, and a port that
    // another program holds is said to be in use.
    void refusedPort_data() {
        QTest::addColumn<DeviceFault>("fault");
        QTest::addColumn<QString>("group"); // name, then member in the session, in the account
        QTest::addColumn<QString>("message");
        const QString refused = "Could not open /dev/ttyACM0: the port could not be opened.";
        const QString join = " Only members of the group %1, which owns the port, may open it: "
                             "add your user to it (sudo usermod -aG %1 $USER), then log out and "
                             "log in again.";
        QTest::newRow("not in the group")
            << DeviceFault::PermissionDenied << "dialout 0 0" << refused + join.arg("dialout");
        QTest::newRow("not in another group")
            << DeviceFault::PermissionDenied << "uucp 0 0" << refused + join.arg("uucp");
        QTest::newRow("group not known")
            << DeviceFault::PermissionDenied << "" << refused + join.arg("dialout");
        QTest::newRow("added, not logged in since")
            << DeviceFault::PermissionDenied << "dialout 0 1"
            << refused + " Your user was added to the group dialout, which owns the port, after "
                         "this session began: log out and log in again.";
        QTest::newRow("member, the group may not open it either")
            << DeviceFault::PermissionDenied << "dialout 1 1" << refused;
        QTest::newRow("in use by another program")
            << DeviceFault::InUse << "dialout 0 0"
            << "Could not open /dev/ttyACM0: it is in use by another program. Close that "
               "program, then connect again.";
        QTest::newRow("refused otherwise") << DeviceFault::OpenFailed << "dialout 0 0" << refused;
    }
    void refusedPort() {
        QFETCH(DeviceFault, fault);
        QFETCH(QString, group);
        QFETCH(QString, message);
        SimRig rig("full");
        rig.setPorts({"/dev/ttyACM0"});
        rig.device->setOpenFails(true, fault);
        const QStringList owner = group.split(' ');
        if (owner.size() == 3)
            rig.device->setPortGroup({owner[0], owner[1] == "1", owner[2] == "1"});
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        rig.tick(2);
        QCOMPARE(rig.w().linkStep, int(LinkNone));
        QVERIFY(rig.device->written().isEmpty() && !QApplication::activeModalWidget());
        QVERIFY(rig.w().ui->kvxConnect->isEnabled() && rig.w().ui->kvxComList->isEnabled());
        QCOMPARE(rig.w().status->message(), message);
        rig.device->setOpenFails(false);
        QVERIFY(rig.connect());
    }

    // Board list and firmware level (-1: a record too short to hold one):
    // the tabs, the ID rows, and controls hidden and disabled ("-name") or
    // shown and enabled ("+name"). "full" stands for the board list
    // 0,Main,M1,1,Sorbent,S7,2,Filter,F2,3,x,x,4,Filter,F4,5,x,x,6,Gas,G9.
    void discovery_data() {
        QTest::addColumn<QStringList>("fields");
        const QString all = "|M1 G9 F2 F4 S7|",
                      plain = "|KVX,Mainboard,Gas,Pump A,Pump B,Pump C,Pump D",
                      withAs = "|KVX,Mainboard,Gas,Alphasense,Pump A,Pump B,Pump C,Pump D";
        packedRow("level 0|full|0" + plain + all +
                  "-pumpADuration -pumpDDelayDaysLabel -pumpBSpecificDateTime -startPumpC "
                  "-sampleHalt +pumpAFlowRate");
        packedRow("short level record|full|-1" + plain + all + "-pumpCStart -stopPumpB");
        packedRow("level 4|full|4" + withAs + all +
                  "-sampleHalt -startPumpA -stopPumpD +pumpAStart +pumpCDuration +pumpDDelayDays");
        packedRow("level 5|full|5" + withAs + all + "+sampleHalt +startPumpB");
        packedRow("type words case-sensitive|" + QString(kFull).replace("Main", "main") +
                  "|0|KVX,Gas,Pump A,Pump B,Pump C,Pump D| G9 F2 F4 S7|");
        packedRow("slot number must match|" + QString(kFull).replace("4,Filter", "3,Filter") +
                  "|0|KVX,Mainboard,Gas,Pump A,Pump C,Pump D|M1 G9 F2  S7|");
        packedRow("non-numeric slot reads 0|zero" + kFull.mid(1) + "|0" + plain + all);
        packedRow("nothing fits|9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b|5|KVX|    |");
    }
    void discovery() {
        QFETCH(QStringList, fields);
        const QString list = fields[0] == "full" ? kFull : fields[0], &tabs = fields[2],
                      &ids = fields[3], &controls = fields[4];
        const int level = fields[1].toInt();
        SimRig rig("full");
        KVX_Configurator& w = rig.w();
        w.show();
        w.registerBoards(list.split(','));
        w.responseImage.resetRequest(kFirmwareLevelRecord);
        if (level >= 0)
            w.responseImage.appendU16(quint32(level));
        else
            w.responseImage.appendU8(9);
        w.addBoardPages();
        QCOMPARE(w.firmwareLevel, std::max(level, 0));
        QStringList titles;
        for (int i = 0; i < w.ui->configuratorTabs->count(); ++i)
            titles << w.ui->configuratorTabs->tabText(i);
        QCOMPARE(titles.join(','), tabs);
        QStringList idTexts;
        for (QLineEdit* id : {w.ui->kvxIDBox, w.ui->gasIDBox, w.ui->pumpAIDBox, w.ui->pumpBIDBox,
                              w.ui->pumpsCDIDBox}) {
            idTexts << id->text();
            QCOMPARE(id->isVisible(), !id->text().isEmpty());
        }
        QCOMPARE(idTexts.join(' '), ids);
        for (const QString& c : controls.split(' ', Qt::SkipEmptyParts)) {
            auto* widget = w.findChild<QWidget*>(c.mid(1));
            const bool shown = c[0] == '+';
            QVERIFY2(widget && widget->isHidden() != shown && widget->isEnabled() == shown,
                     qPrintable(c));
        }
    }

    // Each class of fault, aimed at one line (`only`): how often that line
    // goes out; whether the connection and its read still succeed (then
    // exactly as a clean one: ms = kConnects) or how long after the last line
    // the link falls back (-1: not timed; counted to the tick after the reset,
    // so two ticks over the waits), sending nothing after giving up, and what
    // the status bar then says.
    void faults_data() {
        QTest::addColumn<QStringList>("fields");
        auto row = [](const char* name, QByteArray faults, const QString& only, const QString& line,
                      int sends, int ms, const QString& status) {
            if (!only.isEmpty())
                faults += ",\"only\":\"" + only.toLatin1() + '"';
            QTest::newRow(name) << QStringList{"{" + faults + "}", line, QString::number(sends),
                                               QString::number(ms), status};
        };
        const QString boards = "show_boards_cal", scd30 = getLine(0x4036), none;
        const QString noPrompt = "No prompt from the instrument on ttySIM0 after 4 tries",
                      noList = "No board list from the instrument on ttySIM0 after 4 tries",
                      gaveUp = "Link given up: record 0x", read = "Configuration read: 49 records";
        row("silent", R"("silent":true)", none, kResetLine, 1, 2040, noPrompt);
        row("echo, no prompt", R"("noAnswerFirst":4)", "\\u001bc", kResetLine, 1, 2060, noPrompt);
        row("board list lost 3x", R"("noAnswerFirst":3)", boards, boards, 4, kConnects, read);
        row("board list lost 4x", R"("noAnswerFirst":4)", boards, boards, 4, 560, noList);
        row("board list of 20", R"("boardListFields":20)", none, "menu", 1, 1060,
            "Unexpected board list from the instrument on ttySIM0: 20 fields instead of 21.");
        row("board list of 22", R"("boardListFields":22)", none, "menu", 1, 1060, ": 22 fields");
        row("level lost 3x", R"("noAnswerFirst":3)", kLevelLine, kLevelLine, 4, kConnects, read);
        row("level lost 4x", R"("noAnswerFirst":4)", kLevelLine, kLevelLine, 4, 560,
            gaveUp + "0070 (cfg_get) not answered after 4 tries. Disconnected.");
        row("level bad CRC 3x", R"("badCrcFirst":3)", kLevelLine, kLevelLine, 4, kConnects, read);
        row("level bad CRC 4x", R"("badCrcFirst":4)", kLevelLine, kLevelLine, 4, 60,
            gaveUp + "0070 (cfg_get) answered wrongly (checksum, length or read-back) after 4");
        row("SCD30 bad count 3x", R"("badCountFirst":3)", scd30, scd30, 4, kConnects, read);
        row("SCD30 bad count 4x", R"("badCountFirst":4)", scd30, scd30, 4, 60,
            gaveUp + "4036 (cfg_get) answered wrongly");
        row("every record lost 3x", R"("noAnswerFirst":3)", "cfg_get", kLevelLine, 4, kConnects,
            read);
        row("endless, no prompt", R"("endlessAfter":0)", none, kResetLine, 1, -1, noPrompt);
        row("endless, no board list", R"("endlessAfter":1)", none, boards, 4, -1, noList);
        row("endless in the read", R"("endlessAfter":6)", none, getLine(0x0040), 4, -1,
            gaveUp + "0040 (cfg_get) not answered");
        row("cable pulled, board list", R"("cablePulledAfter":1)", none, boards, 0, -1, noList);
        row("cable pulled, read", R"("cablePulledAfter":20)", none, getLine(0x40A6), 0, -1,
            "Lost the instrument on ttySIM0 during record 0x40a6");
        // Dirt in and before the answers, answers in pieces or late: every
        // line goes out once.
        for (const char* dirt :
             {R"("nulBytes":true,"lineFeeds":true)", R"("garbageBytes":7)",
              R"("chunkSize":1,"chunkDelayMs":5)", R"("answerDelayMs":400)",
              R"("nulBytes":true,"garbageBytes":3,"chunkSize":3,"chunkDelayMs":30)"})
            row(dirt, dirt, none, kLevelLine, 1, kConnects, read);
    }
    void faults() {
        QFETCH(QStringList, fields);
        const QByteArray faults = fields[0].toLatin1();
        const QString &line = fields[1], &status = fields[4];
        const int sends = fields[2].toInt(), ms = fields[3].toInt();
        const bool connects = ms == kConnects;
        SimRig rig(withFaults(faults));
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        int longest = 0;
        QVERIFY(rig.tickUntil([&] {
            longest = std::max(longest, int(rig.w().rxText.size()));
            return (rig.w().linkStep == LinkIdle && rig.w().sessionState == 0) ||
                   rig.w().linkStep == LinkNone;
        }));
        QVERIFY2(longest <= kRxLimit, qPrintable(QString::number(longest)));
        QCOMPARE(rig.w().linkStep == LinkIdle, connects);
        QVERIFY2(rig.w().status->message().contains(status), qPrintable(rig.w().status->message()));
        const QStringList lines = rig.lines();
        QCOMPARE(lines.count(line), sends);
        if (connects) {
            QCOMPARE(foldRepeats(lines), cleanLines);
            const QMap<QString, QString> form = formValues(rig.w());
            QVERIFY2(form == cleanForm, qPrintable(differences(cleanForm, form)));
            QCOMPARE(rig.w().ui->kvxOutputBox->toPlainText().contains("<NUL>"),
                     faults.contains("nul"));
            return;
        }
        const qint64 waited = rig.now() - lastCommandAt(rig);
        if (ms >= 0)
            QCOMPARE(waited, ms);
        rig.tick(100);
        QCOMPARE(rig.lines(), lines);
        const QString problems = fallenBackProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // Read RTC answered one byte at a time: the 500 ms timeout runs from the
    // last byte heard, so pauses up to 500 ms keep the exchange alive, and it
    // runs on with the computer's clock set back. Bytes ahead of the answer in
    // the same read: a stray prompt is passed over and the answer taken at
    // once; an answer to an earlier request with its own echo (the UTC offset
    // record, 0x7E0C, -5 h, which would read as no date) is not taken for it.
    void readRtcAnswer_data() {
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<QByteArray>("ahead");
        QTest::addColumn<int>("setBackMs"); // once the request is out
        QTest::addColumn<bool>("arrives");
        QTest::newRow("500 ms") << 500 << QByteArray() << 0 << true;
        QTest::newRow("520 ms") << 520 << QByteArray() << 0 << false;
        QTest::newRow("silent, clock set back an hour") << -1 << QByteArray() << 3600000 << false;
        QTest::newRow("stray prompt") << 0 << QByteArray("cli> ") << 0 << true;
        QTest::newRow("late answer")
            << 0
            << (getLine(0x0020) + "\r\n4,32,32268,").toLatin1() +
                   QByteArray::number(crc16Modbus(QByteArray::fromHex("00207E0C"))) + "\r\ncli> "
            << 0 << true;
    }
    void readRtcAnswer() {
        QFETCH(int, pauseMs);
        QFETCH(QByteArray, ahead);
        QFETCH(int, setBackMs);
        QFETCH(bool, arrives);
        SimRig rig("full");
        QVERIFY(rig.connect());
        rig.sim().faults().chunkSize = pauseMs > 0 ? 1 : 0;
        rig.sim().faults().chunkDelayMs = std::max(pauseMs, 0);
        rig.sim().faults().silent = pauseMs < 0;
        rig.tick(100); // the clock moves on, so a new read shows a new time
        rig.w().KVXReadRTCPressed();
        QVERIFY(rig.tickUntil([&] { return rig.lines().size() > cleanLines.size(); }, 10));
        if (!ahead.isEmpty())
            rig.inject(ahead + rig.sim().takeOutput());
        *rig.ms -= setBackMs;
        QCOMPARE(rig.settle(), arrives);
        QCOMPARE(rig.lines().mid(cleanLines.size()), QStringList(arrives ? 1 : 4, getLine(0x0010)));
        QCOMPARE(rig.w().ui->utcText->text() == "03/07/2025 22:30:05", arrives);
    }

    // Disconnect sends the farewell and resets after a quiet second, also in
    // the middle of an exchange or with the computer's clock set back an hour
    // meanwhile; a device that never falls silent holds the link no longer
    // than 5 s.
    void farewell_data() {
        QTest::addColumn<bool>("inExchange");
        QTest::addColumn<bool>("chatter");
        QTest::addColumn<int>("ms");
        // Counted from the tick after "menu" to the tick after the reset; the
        // instrument's menu text is the last byte heard, a tick after "menu"
        // (a silent one: "menu" itself).
        QTest::newRow("idle") << false << false << 1040;
        QTest::newRow("in an exchange") << true << false << 1020;
        QTest::newRow("never silent") << false << true << 5040;
        // The tick in which the clock goes back counts for nothing.
        QTest::newRow("clock set back") << false << false << 1060 - 3600000;
    }
    void farewell() {
        QFETCH(bool, inExchange);
        QFETCH(bool, chatter);
        QFETCH(int, ms);
        SimRig rig("full");
        QVERIFY(rig.connect());
        const Ui_KVX_Configurator& ui = *rig.w().ui;
        if (inExchange) {
            rig.sim().faults().silent = true;
            rig.w().KVXReadRTCPressed();
            QVERIFY(rig.tickUntil([&] { return rig.w().linkStep == LinkWaitAnswer; }));
        }
        {
            DialogScript yes({QMessageBox::Yes});
            rig.w().KVXDisconnectButtonPressed();
        }
        // Nothing can be started, nor Disconnect pressed again, while it goes.
        for (QWidget* b :
             {ui.kvxDisconnect, ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC, ui.scd30CalButton})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        rig.tick();
        QCOMPARE(rig.lines().last(), QString("menu"));
        const qint64 sentAt = rig.now();
        int ticks = 0;
        QVERIFY(rig.tickUntil([&] {
            if (chatter)
                rig.inject("chatter");
            if (ms < 0 && ++ticks == 5) // the clock set back once all is quiet
                *rig.ms -= 3600000;
            return rig.w().linkStep == LinkNone;
        }));
        const qint64 waited = rig.now() - sentAt;
        QCOMPARE(waited, ms);
        rig.tick();
        QCOMPARE(rig.lines().last(), QString("menu"));
        const QString problems = fallenBackProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // Closing the window while connected says farewell and waits a second
    // before the port closes; while disconnected it sends nothing.
    void closing_data() {
        QTest::addColumn<bool>("connected");
        QTest::newRow("connected") << true;
        QTest::newRow("disconnected") << false;
    }
    void closing() {
        QFETCH(bool, connected);
        SimRig rig("full");
        QVERIFY(!connected || rig.connect());
        const int sent = int(rig.lines().size());
        const qint64 before = rig.now();
        rig.window.reset();
        QCOMPARE(rig.lines().size(), sent + (connected ? 1 : 0));
        QCOMPARE(rig.sim().inMenu(), connected);
        const qint64 waited = rig.now() - before;
        QCOMPARE(waited, connected ? 1000 : 0); // 10 ms sleeps until more than 999 ms passed
    }
};

QTEST_MAIN(EngineTest)
#include "tst_engine.moc"
