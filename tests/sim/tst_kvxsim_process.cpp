// kvx-sim as a process: its pseudo-terminal opened with QSerialPort, its log
// file, its exit on SIGTERM, its refusal of bad options. The configurator over
// kvx-sim (and the "cable pulled" exit) is in tests/faults/tst_faults_pty.
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

class TestKvxSimProcess : public QObject {
    Q_OBJECT

    // Starts kvx-sim and returns the port path from its first line.
    QString start(QProcess& sim, const QStringList& args) {
        sim.start(QStringLiteral(KVX_SIM_EXE), args);
        if (!sim.waitForStarted(5000))
            return {};
        QElapsedTimer timer;
        timer.start();
        while (!sim.canReadLine() && timer.elapsed() < 5000)
            sim.waitForReadyRead(100);
        return QString::fromLocal8Bit(sim.readLine()).trimmed();
    }

    // Everything the port delivers until the prompt (or 3 s).
    QByteArray untilPrompt(QSerialPort& port) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (!got.contains("cli> ") && timer.elapsed() < 3000) {
            port.waitForReadyRead(50);
            got += port.readAll();
        }
        return got;
    }

    bool openPort(QSerialPort& port, const QString& path) {
        port.setPortName(path);
        port.setBaudRate(QSerialPort::Baud115200);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        return port.open(QIODevice::ReadWrite);
    }

private slots:
    // A full read over the terminal is in tests/faults/tst_faults_pty; here
    // the process itself: its terminal answers, and SIGTERM ends it cleanly
    // with its log written.
    void answersOnItsTerminalAndEndsOnSigterm() {
        QTemporaryDir dir;
        const QString logPath = dir.filePath("sim.jsonl");
        QProcess sim;
        const QString path = start(sim, {"--preset", "full", "--log", logPath});
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path));

        QSerialPort port;
        QVERIFY2(openPort(port, path), qPrintable(port.errorString()));
        port.write("\x1b"
                   "c\r");
        QVERIFY(untilPrompt(port).endsWith("cli> "));
        port.close();

        ::kill(pid_t(sim.processId()), SIGTERM);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QJsonObject first = QJsonDocument::fromJson(log.readLine()).object();
        QCOMPARE(first.value("event").toString(), QStringLiteral("command"));
    }

    void badOptionsAreRefused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("preset") << QStringList{"--preset", "huge"} << QByteArray("huge");
        QTest::newRow("both") << QStringList{"--preset", "full", "--config", "x.json"}
                              << QByteArray("not both");
        QTest::newRow("number") << QStringList{"--bad-crc", "two"} << QByteArray("--bad-crc");
        QTest::newRow("file") << QStringList{"--config", "/nonexistent/x.json"}
                              << QByteArray("cannot read");
    }
    void badOptionsAreRefused() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        QProcess sim;
        sim.start(QStringLiteral(KVX_SIM_EXE), args);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardOutput().isEmpty());
        QVERIFY(sim.readAllStandardError().contains(message));
    }
};

QTEST_GUILESS_MAIN(TestKvxSimProcess)
#include "tst_kvxsim_process.moc"
