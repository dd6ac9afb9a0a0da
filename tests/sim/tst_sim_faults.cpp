// Faults the simulated instrument injects, and the in-process serial device.
// How the configurator copes with each fault is in tests/faults/.
#include "SimSession.h"
#include "sim/SimSerialDevice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace kvx::sim;
using simtest::Session;

namespace {

InstrumentConfig withFaults(const char* json, const QString& preset = QStringLiteral("full")) {
    InstrumentConfig c = simtest::preset(preset);
    QString error;
    if (!c.faults.read(QJsonDocument::fromJson(json).object(), &error))
        qFatal("faults: %s", qPrintable(error));
    return c;
}

const QByteArray kLevelGet("21504 112 2 cfg_get");
const QByteArray kReset("\x1b"
                        "c");

} // namespace

class TestSimFaults : public QObject {
    Q_OBJECT

private slots:

    void firstAttemptsOfEachLineGoUnanswered() {
        Session s(withFaults(R"({"noAnswerFirst":2,"only":"cfg_get"})"));
        QVERIFY(s.send(kReset).endsWith("cli> ")); // not a cfg_get line
        for (int attempt = 0; attempt < 2; ++attempt)
            QCOMPARE(s.send(kLevelGet, 600), kLevelGet + '\r'); // the echo alone
        QVERIFY(s.send(kLevelGet).endsWith("cli> "));
        // The count is per line: another record starts afresh.
        QCOMPARE(s.send("50561 16 2 cfg_get", 600), QByteArray("50561 16 2 cfg_get\r"));
        QCOMPARE(s.sim.log().ofKind("fault").size(), 3);
    }

    void wrongCrcAndCountInTheFirstAnswers_data() {
        QTest::addColumn<QByteArray>("faults");
        QTest::newRow("crc") << QByteArray(R"({"badCrcFirst":2})");
        QTest::newRow("count") << QByteArray(R"({"badCountFirst":2})");
    }
    void wrongCrcAndCountInTheFirstAnswers() {
        QFETCH(QByteArray, faults);
        Session s(withFaults(faults.constData()));
        QCOMPARE(s.get(0x0070), std::nullopt);
        QCOMPARE(s.set(0x0020, QByteArray::fromHex("8000")), kvx::Verdict::Invalid);
        // The write was stored all the same; only its answer was spoilt.
        QCOMPARE(s.sim.log().stores(0x0020).size(), 1);
        QCOMPARE(s.get(0x0070), QByteArray::fromHex("00700005"));
    }

    // The dirt really arrives (the configurator's tests only see that it
    // copes), and dropped as the configurator drops it, the answer is intact.
    void dirtInsideAndBeforeAnswers() {
        Session s(withFaults(R"({"nulBytes":true,"lineFeeds":true,"garbageBytes":7})"));
        const QByteArray raw = s.send(kLevelGet);
        QVERIFY(raw.count('\0') >= 2);
        QVERIFY(raw.count('\n') >= 3);
        QCOMPARE(raw.indexOf(kLevelGet), 7);
        QCOMPARE(s.get(0x0070), QByteArray::fromHex("00700005"));
    }

    void answersInChunksAfterADelay() {
        Session s(withFaults(R"({"answerDelayMs":300,"chunkSize":4,"chunkDelayMs":50})"));
        s.sim.receive(kLevelGet + '\r');
        QCOMPARE(s.sim.takeOutput(), kLevelGet + '\r'); // the echo is not delayed
        s.advance(299);
        QCOMPARE(s.sim.takeOutput(), QByteArray());
        QCOMPARE(s.sim.nextOutputAt(), s.t + 1);
        s.advance(1);
        QByteArray answer = s.sim.takeOutput();
        QCOMPARE(answer.size(), 4);
        s.advance(49);
        QCOMPARE(s.sim.takeOutput(), QByteArray());
        s.advance(1);
        QCOMPARE(s.sim.takeOutput().size(), 4);
        s.advance(10000);
        QVERIFY(s.sim.takeOutput().endsWith("\rcli> "));
        QCOMPARE(s.sim.nextOutputAt(), -1);
    }

    void cablePulledAfterCommands() {
        auto instrument =
            std::make_shared<Instrument>(withFaults(R"({"cablePulledAfter":2})"), simtest::kStart);
        SimSerialDevice port(instrument);
        qint64 t = simtest::kStart;
        port.setClockSource([&t] { return t; });
        QVERIFY(port.open());
        port.write(kReset + '\r');
        QVERIFY(port.readAvailable().endsWith("cli> "));
        port.write("show_boards_cal\r");
        QVERIFY(port.isOpen()); // the second answer is still on its way ...
        QVERIFY(port.readAvailable().endsWith("cli> "));
        QVERIFY(!port.isOpen()); // ... and then the port is gone
        QVERIFY(instrument->cablePulled());
        port.write("show_boards_cal\r");
        QCOMPARE(port.readAvailable(), QByteArray());
        port.close();
        QVERIFY(!port.open());
        QCOMPARE(instrument->log().commandLines().size(), 2);
        QCOMPARE(instrument->log().ofKind("fault").size(), 1);
    }

    void endlessStreamNeverPrompts() {
        Session s(withFaults(R"({"endlessAfter":1})"));
        QVERIFY(s.send(kReset).endsWith("cli> "));
        QByteArray raw = s.send("show_boards_cal", 2000);
        QVERIFY(!raw.contains("cli> "));
        QVERIFY(raw.size() > 5000); // keeps coming at line speed
        QVERIFY(s.sim.nextOutputAt() > 0);
        s.advance(100);
        QVERIFY(s.sim.takeOutput().size() >= 500);
        s.sim.discardOutput();
        QCOMPARE(s.sim.takeOutput(), QByteArray());
    }
};

class TestSimSerialDevice : public QObject {
    Q_OBJECT

private slots:
    void openCloseAndPortName() {
        auto instrument = std::make_shared<Instrument>(simtest::preset("full"), simtest::kStart);
        SimSerialDevice port(instrument);
        qint64 t = simtest::kStart;
        port.setClockSource([&t] { return t; });
        port.setExpectedPortName("ttySIM0");
        port.setPortName("ttyUSB0");
        QVERIFY(!port.open());
        port.setPortName("ttySIM0");
        port.setOpenFails(true);
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        port.setOpenFails(false);
        QVERIFY(port.open());
        QVERIFY(!port.open()); // already open
        QCOMPARE(port.openCount(), 1);

        // Reads and writes go through only while open; the instrument's time
        // follows the clock source.
        instrument->faults().answerDelayMs = 100;
        port.write("show_boards_cal\r");
        QCOMPARE(port.readAvailable(), QByteArray("show_boards_cal\r"));
        t += 100;
        QVERIFY(port.readAvailable().endsWith("cli> "));
        port.write("show_boards_cal\r");
        port.close();
        t += 100;
        QCOMPARE(port.readAvailable(), QByteArray());
        // What was under way when the port closed is not delivered later.
        QVERIFY(port.open());
        QCOMPARE(port.readAvailable(), QByteArray());
        port.write("x");
        QCOMPARE(port.written(), QByteArray("show_boards_cal\rshow_boards_cal\rx"));
    }
};

int main(int argc, char** argv) {
    int status = 0;
    {
        TestSimFaults t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestSimSerialDevice t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}
#include "tst_sim_faults.moc"
