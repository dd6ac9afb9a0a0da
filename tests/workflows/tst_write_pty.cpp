// The shipped configuration of the program (system clock, QSerialPort, the
// 20 ms timer) writing to kvx-sim over a real pseudo-terminal: the same
// records go out as in-process, every one is stored, none is refused.
#include "tests/support/SimRig.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

class WritePtyTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<QProcess> sim;
    std::unique_ptr<KVX_Configurator> w;

    QString logPath() const { return dir.filePath("sim.jsonl"); }

    bool start(const QString& preset) {
        sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(KVX_SIM_EXE), {"--preset", preset, "--log", logPath()});
        if (!sim->waitForStarted(5000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!sim->canReadLine() && timer.elapsed() < 5000)
            sim->waitForReadyRead(100);
        const QString path = QString::fromLocal8Bit(sim->readLine()).trimmed();
        if (!path.startsWith(QLatin1String("/dev/")))
            return false;
        Platform platform;
        platform.ports =
            std::make_unique<ListedPorts>(std::make_shared<QStringList>(QStringList{path}));
        w = std::make_unique<KVX_Configurator>(std::move(platform));
        if (!QTest::qWaitFor([&] { return w->ui->kvxConnect->isEnabled(); }, 2000))
            return false;
        w->KVXConnectButtonPressed();
        return true;
    }

    bool idle() const { return w->linkStep == LinkIdle && w->sessionState == 0; }

    QList<QJsonObject> logged(const QString& kind) const {
        QFile file(logPath());
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

    static QStringList setLines(const QStringList& lines) {
        QStringList out;
        for (const QString& line : lines) {
            if (line.endsWith(QLatin1String(" cfg_set")))
                out << line;
        }
        return out;
    }

private slots:
    void cleanup() {
        w.reset();
        if (sim && sim->state() != QProcess::NotRunning) {
            sim->terminate();
            if (!sim->waitForFinished(3000))
                sim->kill();
            sim->waitForFinished(1000);
        }
        sim.reset();
        QFile::remove(logPath());
    }

    void writeOverTheTerminal() {
        // The same write in-process, for reference.
        SimRig reference(QStringLiteral("mixed"));
        QVERIFY(reference.connect());
        reference.instrument->log().clear();
        {
            DialogScript script({QMessageBox::Yes});
            reference.window->KVXWriteButtonPressed();
            QVERIFY(reference.settle());
        }
        const QStringList expected = setLines(reference.instrument->log().commandLines());
        QVERIFY(expected.size() > 10);

        QVERIFY(start(QStringLiteral("mixed")));
        QTRY_VERIFY_WITH_TIMEOUT(idle() && w->ui->kvxWrite->isEnabled(), 60000);
        DialogScript script({QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes});
        w->KVXWriteButtonPressed();
        QVERIFY(!w->ui->kvxWrite->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(idle() && w->ui->kvxWrite->isEnabled(), 60000);

        QStringList lines;
        for (const QJsonObject& e : logged(QStringLiteral("command")))
            lines << e.value("line").toString();
        QCOMPARE(setLines(lines), expected);
        QCOMPARE(logged(QStringLiteral("store")).size(), expected.size());
        QVERIFY(logged(QStringLiteral("refused")).isEmpty());
        QVERIFY(logged(QStringLiteral("bad_request")).isEmpty());
    }
};

QTEST_MAIN(WritePtyTest)
#include "tst_write_pty.moc"
