// The shipped configuration of the program (system clock, QSerialPort, the
// 20 ms timer) against kvx-sim on a real pseudo-terminal with faults switched
// on. A pulled cable is kvx-sim going away, as a USB serial device does.
#include "tests/faults/FaultRig.h"
#include "tests/support/PtySim.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

class PtyFaultsTest : public QObject, PtySim {
    Q_OBJECT

    bool readEnded() const { return w->linkStep == LinkIdle && w->sessionState == 0; }

private slots:
    void cleanup() { stop(); }

    // NULs, line feeds, junk and answers in small pieces over a real line:
    // the read sends what an in-process clean read sends and fills the form
    // the same way.
    void dirtyAnswersOverTheTerminal() {
        SimRig reference(SimRig::load("full"));
        QVERIFY(reference.connect());

        QVERIFY(start({"--preset", "full", "--nul", "--line-feeds", "--garbage", "5", "--chunk",
                       "7", "--chunk-delay", "3"}));
        QTRY_VERIFY_WITH_TIMEOUT(readEnded(), 60000);
        QCOMPARE(loggedLines(), sentLines(reference));
        const QMap<QString, QString> want = formValues(reference.w());
        const QMap<QString, QString> got = formValues(*w);
        QVERIFY2(got == want, qPrintable(differences(want, got)));
        QVERIFY(w->ui->kvxOutputBox->toPlainText().contains("<NUL>"));
    }

    // kvx-sim exits in the middle of the read: the port reports the lost
    // device, the exchange times out and the window falls back on its own.
    void cablePulledDuringTheRead() {
        QVERIFY(start({"--preset", "full", "--cable-pull-after", "20"}));
        // The window runs in this thread: wait with the event loop running.
        QTRY_VERIFY_WITH_TIMEOUT(sim->state() == QProcess::NotRunning, 30000);
        QCOMPARE(sim->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(w->linkStep == LinkNone, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"), 2000);
        const QString problems = disconnectedProblems(*w);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        const QString leftovers = leftoverProblems(*w);
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers));
        QCOMPARE(loggedLines().size(), 20);
    }

    // kvx-sim exits after storing the fifth record of a write: those five
    // stay stored, and the window falls back with its pages cleared.
    void cablePulledDuringTheWrite() {
        SimRig reference(SimRig::load("full"));
        QVERIFY(reference.connect());
        const int readLines = int(sentLines(reference).size());

        QVERIFY(start({"--preset", "full", "--cable-pull-after", QString::number(readLines + 5)}));
        QTRY_VERIFY_WITH_TIMEOUT(readEnded(), 30000);
        {
            DialogScript yes({}, QMessageBox::Yes);
            w->KVXWriteButtonPressed();
        }
        QVERIFY(w->sessionState != 0);
        QTRY_VERIFY_WITH_TIMEOUT(sim->state() == QProcess::NotRunning, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(w->linkStep == LinkNone, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"), 2000);
        const QStringList lines = loggedLines();
        QCOMPARE(lines.size(), readLines + 5);
        for (const QString& line : lines.mid(readLines))
            QVERIFY(line.endsWith(" cfg_set"));
        QCOMPARE(logged("store").size(), 5);
        const QString problems = disconnectedProblems(*w) + leftoverProblems(*w);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // Failures that end the link while kvx-sim stays: a silent instrument,
    // and a firmware level answer with a wrong checksum four times.
    void failedLinks_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("silent") << QStringList{"--silent"} << QStringList{kResetLine};
        const QString level = getLine(kFirmwareLevelRecord);
        QTest::newRow("bad CRC x4 on the level record")
            << QStringList{"--bad-crc", "4", "--fault-only", level}
            << QStringList{kResetLine, kBoardLine, level, level, level, level};
    }
    void failedLinks() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, lines);
        QVERIFY(start(QStringList{"--preset", "full"} + args));
        QTRY_VERIFY_WITH_TIMEOUT(w->linkStep == LinkNone, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"), 2000);
        const QString problems = disconnectedProblems(*w);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        QCOMPARE(loggedLines(), lines);
        QCOMPARE(sim->state(), QProcess::Running);
    }
};

QTEST_MAIN(PtyFaultsTest)
#include "tst_faults_pty.moc"
