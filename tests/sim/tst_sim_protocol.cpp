// The simulated instrument's command line: echo, prompt, reset, menu, board
// list, request-line checking, the command log and the JSON descriptions.
#include "SimSession.h"
#include "sim/SimOptions.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace kvx::sim;
using simtest::Session;

class TestSimProtocol : public QObject {
    Q_OBJECT

private slots:
    void echoesEachByteAtOnce() {
        Session s(simtest::preset("full"));
        for (char c : QByteArray("show")) {
            s.sim.receive(QByteArray(1, c));
            QCOMPARE(s.sim.takeOutput(), QByteArray(1, c));
        }
        // Nothing is answered before the carriage return.
        s.advance(1000);
        QCOMPARE(s.sim.takeOutput(), QByteArray());
    }

    void answerEndsWithCarriageReturnAndPrompt() {
        Session s(simtest::preset("full"));
        const QByteArray raw = s.send("show_boards_cal");
        QVERIFY(raw.startsWith("show_boards_cal\r"));
        QVERIFY(raw.endsWith("\rcli> "));
        QCOMPARE(raw.count("cli> "), 1);
        // An empty line gives a bare prompt, an unknown command a one-field line.
        QCOMPARE(s.send(""), QByteArray("\r\rcli> "));
        const QStringList unknown = Session::fieldsOf(s.send("bogus"), QStringLiteral("bogus"));
        QVERIFY(unknown.size() <= 2);
    }

    void resetDropsPartialLineAndLeavesMenu() {
        Session s(simtest::preset("full"));
        s.sim.receive("21504 112 2 cfg");
        const QByteArray raw = s.send("\x1b"
                                      "c");
        QVERIFY(raw.endsWith("\rcli> "));
        QVERIFY(!raw.contains("unknown"));
        QCOMPARE(s.sim.log().ofKind("get").size(), 0);

        // "menu" leaves the command line: no prompt, commands are ignored ...
        const QByteArray menu = s.send("menu", 600);
        QVERIFY(!menu.contains("cli> "));
        QVERIFY(s.sim.inMenu());
        QVERIFY(!s.send("show_boards_cal", 600).contains("cli> "));
        // ... until the reset sequence brings it back.
        QVERIFY(s.send("\x1b"
                       "c")
                    .endsWith("cli> "));
        QVERIFY(!s.sim.inMenu());
        QCOMPARE(Session::fieldsOf(s.send("show_boards_cal"), "show_boards_cal").size(), 21);
    }

    void boardListNamesFittedBoardsInTheirSlots() {
        Session full(simtest::preset("full"));
        const QStringList f = Session::fieldsOf(full.send("show_boards_cal"), "show_boards_cal");
        QCOMPARE(f.size(), 21);
        for (int slot = 0; slot < 7; ++slot)
            QCOMPARE(f.at(3 * slot), QString::number(slot));
        QCOMPARE(f.at(1), QStringLiteral("Main"));
        QCOMPARE(f.at(2), QStringLiteral("KVX2-M-000417"));
        QCOMPARE(f.at(4), QStringLiteral("Sorbent"));
        QCOMPARE(f.at(7), QStringLiteral("Filter"));
        QCOMPARE(f.at(13), QStringLiteral("Filter"));
        QCOMPARE(f.at(19), QStringLiteral("Gas"));
        QCOMPARE(f.at(20), QStringLiteral("KVX2-G-000309"));
        // Slots 3 and 5 are filler that matches no board type.
        for (int i : {10, 16})
            QVERIFY(!QStringList({"Main", "Gas", "Filter", "Sorbent"}).contains(f.at(i)));

        Session minimal(simtest::preset("minimal"));
        const QStringList m = Session::fieldsOf(minimal.send("show_boards_cal"), "show_boards_cal");
        QCOMPARE(m.size(), 21);
        QCOMPARE(m.at(1), QStringLiteral("Main"));
        for (int i : {4, 7, 13, 19})
            QCOMPARE(m.at(i), QStringLiteral("None"));
    }

    void badRequestLinesStoreNothing_data() {
        QTest::addColumn<QByteArray>("line");
        // 0x0020 with 32768 has CRC 11872.
        QTest::newRow("wrong crc") << QByteArray("11873 32768 32 4 cfg_set");
        QTest::newRow("length odd") << QByteArray("11872 32768 32 3 cfg_set");
        QTest::newRow("length vs words") << QByteArray("11872 32768 32 6 cfg_set");
        QTest::newRow("word too big") << QByteArray("11872 65536 32 4 cfg_set");
        QTest::newRow("not a number") << QByteArray("11872 8x00 32 4 cfg_set");
        QTest::newRow("length too big") << QByteArray("1 2 66 cfg_get");
        QTest::newRow("no arguments") << QByteArray("cfg_get");
    }
    void badRequestLinesStoreNothing() {
        QFETCH(QByteArray, line);
        Session s(simtest::preset("full"));
        const QByteArray before = *s.sim.readRecord(0x0020);
        const QString word = QString::fromLatin1(line.mid(line.lastIndexOf(' ') + 1));
        QVERIFY(Session::fieldsOf(s.send(line), word).size() <= 2);
        QCOMPARE(*s.sim.readRecord(0x0020), before);
        QCOMPARE(s.sim.log().ofKind("store").size(), 0);
        QCOMPARE(s.sim.log().ofKind("bad_request").size(), 1);
        // The well-formed line is stored.
        QVERIFY(Session::fieldsOf(s.send("11872 32768 32 4 cfg_set"), "cfg_set").size() == 4);
        QCOMPARE(s.sim.log().stores(0x0020).size(), 1);
    }

    void logRecordsCommandsAndStoresAsJsonLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.jsonl");
        Session s(simtest::preset("full"));
        QVERIFY(s.sim.log().openFile(path));
        s.send("show_boards_cal");
        QCOMPARE(s.set(0x0020, QByteArray::fromHex("8000")), kvx::Verdict::Valid);
        QCOMPARE(s.sim.log().commandLines(),
                 QStringList({"show_boards_cal", "11872 32768 32 4 cfg_set"}));
        QCOMPARE(s.sim.log().stores(0x0020), QList<QByteArray>{QByteArray::fromHex("00208000")});

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), s.sim.log().entries().size() + 1); // ends with a newline
        const QJsonObject last = QJsonDocument::fromJson(lines.at(lines.size() - 2)).object();
        QCOMPARE(last.value("event").toString(), QStringLiteral("store"));
        QCOMPARE(last.value("word").toString(), QStringLiteral("0x0020"));
        QCOMPARE(last.value("t").toDouble(), double(s.t));
    }

    void descriptionErrorsNameTheKey_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("key");
        QTest::newRow("unknown key") << QByteArray(R"({"boards":{"mian":{}}})") << "boards.mian";
        QTest::newRow("wrong type")
            << QByteArray(R"({"main":{"logging":"all"}})") << "main.logging";
        QTest::newRow("fraction") << QByteArray(R"({"firmwareLevel":2.5})") << "firmwareLevel";
        QTest::newRow("comma in id")
            << QByteArray(R"({"boards":{"gas":{"id":"G,1"}}})") << "boards.gas.id";
        QTest::newRow("bad date") << QByteArray(R"({"clock":"yesterday"})") << "clock";
        QTest::newRow("fault key")
            << QByteArray(R"({"faults":{"slient":true}})") << "faults.slient";
        QTest::newRow("position key")
            << QByteArray(R"({"gas":{"alphasense":[{},{"tpye":1}]}})") << "alphasense[2].tpye";
        QTest::newRow("not json") << QByteArray("{") << "";
    }
    void descriptionErrorsNameTheKey() {
        QFETCH(QByteArray, json);
        QFETCH(QString, key);
        QString error;
        QVERIFY(!InstrumentConfig::fromJson(json, &error));
        QVERIFY2(error.contains(key), qPrintable(error));
        QVERIFY(!error.isEmpty());
    }

    void optionsOverrideTheDescriptionsFaults() {
        QTemporaryDir dir;
        QFile file(dir.filePath("unit.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"name":"unit","boards":{"main":{"id":"M"}},
                       "faults":{"badCrcFirst":1,"answerDelayMs":40}})");
        file.close();

        QCommandLineParser parser;
        addInstrumentOptions(parser);
        QVERIFY(
            parser.parse({"kvx-sim", "--config", file.fileName(), "--bad-crc", "3", "--fault-only",
                          "cfg_set", "--nul", "--clock", "2025-03-07T22:30:00"}));
        QString error;
        const auto config = instrumentFromOptions(parser, &error);
        QVERIFY2(config, qPrintable(error));
        QCOMPARE(config->name, QStringLiteral("unit"));
        QCOMPARE(config->faults.badCrcFirst, 3);    // the option wins
        QCOMPARE(config->faults.answerDelayMs, 40); // the file's value stays
        QCOMPARE(config->faults.only, QStringLiteral("cfg_set"));
        QVERIFY(config->faults.nulBytes);
        QCOMPARE(config->clock, QDateTime(QDate(2025, 3, 7), QTime(22, 30), Qt::UTC));

        QCommandLineParser defaults;
        addInstrumentOptions(defaults);
        QVERIFY(defaults.parse({"kvx-sim"}));
        QCOMPARE(instrumentFromOptions(defaults, &error)->name, QStringLiteral("full"));

        QCommandLineParser negative;
        addInstrumentOptions(negative);
        QVERIFY(negative.parse({"kvx-sim", "--garbage", "-1"}));
        QVERIFY(!instrumentFromOptions(negative, &error));
        QVERIFY(error.contains("--garbage"));
    }

    void descriptionDefaultsAndLevelAbsence() {
        QString error;
        auto c =
            InstrumentConfig::fromJson(R"({"firmwareLevel":null,"boards":{"main":{}}})", &error);
        QVERIFY2(c, qPrintable(error));
        QVERIFY(!c->firmwareLevel);
        QVERIFY(c->main.fitted);
        QVERIFY(!c->gas.fitted);
        c = InstrumentConfig::fromJson("{}", &error);
        QCOMPARE(c->firmwareLevel.value_or(-1), 5);
    }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_sim_protocol.moc"
