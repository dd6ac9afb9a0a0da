// The configurator as shipped (system clock, QSerialPort, its own 20 ms timer)
// against kvx-sim on a real pseudo-terminal, questions answered by a script:
// connect and full read, a write read back, kvx-sim going away (as a pulled
// USB cable does) during each workflow, and the port leaving the system's
// list and coming back.
#include "tests/support/PtySim.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

class EndToEndTest : public QObject, PtySim {
    Q_OBJECT

    bool idle() const {
        return w->linkStep == LinkIdle && w->sessionState == 0 && w->ui->kvxWrite->isEnabled();
    }
    bool fellBack() {
        return QTest::qWaitFor(
            [&] {
                return w->linkStep == LinkNone &&
                       w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect");
            },
            15000);
    }
    int setLines() const {
        return int(loggedLines().filter(QRegularExpression(" cfg_set$")).size());
    }

private slots:
    void cleanup() { stop(); }

    // Dirt on the line and answers in pieces: the same lines as an in-process
    // read, the same form.
    void connectAndRead() {
        SimRig reference("full");
        QVERIFY(reference.connect());
        QVERIFY(start({"--preset", "full", "--nul", "--line-feeds", "--garbage", "5", "--chunk",
                       "7", "--chunk-delay", "3"}));
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        QCOMPARE(loggedLines(), reference.lines());
        const QMap<QString, QString> want = formValues(reference.w()), got = formValues(*w);
        QVERIFY2(got == want, qPrintable(differences(want, got)));
        QVERIFY(w->ui->kvxOutputBox->toPlainText().contains("<NUL>"));
        QVERIFY(w->ui->configurationOutputBox->toPlainText().startsWith("Connected to KVXv2."));
    }

    // Every record written is stored, none refused, and a new read shows
    // the form as written.
    void writeWithReadBack() {
        QVERIFY(start({"--preset", "mixed"}));
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        applyEdits(*w, "sampleID=over-the-line durationHours=5 mainLogVBUS pumpDFlowRate=20.5 "
                       "scd30Mode as1Mode_3");
        {
            DialogScript yes({}, QMessageBox::Yes);
            w->KVXWriteButtonPressed();
        }
        QVERIFY(!w->ui->kvxWrite->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        const QMap<QString, QString> written = formValues(*w);
        QCOMPARE(setLines(), 15);
        QCOMPARE(logged("store").size(), 15);
        QVERIFY(logged("refused").isEmpty() && logged("bad_request").isEmpty());
        {
            DialogScript yes({QMessageBox::Yes});
            w->KVXReadButtonPressed();
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        const QMap<QString, QString> reread = formValues(*w);
        QVERIFY2(reread == written, qPrintable(differences(written, reread)));
    }

    // kvx-sim exits once it has answered `more` lines past the initial read
    // (-1: its 5th line, in the read). What it stored stays stored; the
    // window falls back on its own with its pages cleared.
    void cablePulled_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QString>("workflow"); // the slot that starts it
        QTest::addColumn<int>("more");
        QTest::addColumn<int>("stores");
        QTest::newRow("read") << "minimal"
                              << "" << -1 << 0;
        QTest::newRow("write") << "minimal"
                               << "KVXWriteButtonPressed" << 2 << 2;
        QTest::newRow("set clock") << "minimal"
                                   << "KVXSetRTCPressed" << 1 << 1;
        QTest::newRow("calibration") << "mixed"
                                     << "SCD30CalButtonPressed" << 0 << 0;
    }
    void cablePulled() {
        QFETCH(QString, preset);
        QFETCH(QString, workflow);
        QFETCH(int, more);
        QFETCH(int, stores);
        SimRig reference(preset);
        QVERIFY(reference.connect());
        const int lines = more < 0 ? 5 : int(reference.lines().size()) + more;
        QVERIFY(start({"--preset", preset, "--cable-pull-after", QString::number(lines)}));
        if (more >= 0) {
            QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
            DialogScript yes({}, QMessageBox::Yes);
            QVERIFY(QMetaObject::invokeMethod(w.get(), qPrintable(workflow)));
            QVERIFY(w->sessionState != 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(sim->state() == QProcess::NotRunning, 30000);
        QCOMPARE(sim->exitCode(), 0);
        QVERIFY(fellBack());
        const QString problems = fallenBackProblems(*w);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        QCOMPARE(loggedLines().size(), lines);
        QCOMPARE(logged("store").size(), stores);
    }

    // The connected port leaves the system's list: the operator is asked
    // once. No keeps the link, which still works once the port is back; Yes
    // says farewell and falls back, and the port can be used again when it
    // returns.
    void hotPlug_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void hotPlug() {
        QFETCH(bool, yes);
        QVERIFY(start({"--preset", "minimal"}));
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        const int readLines = int(loggedLines().size());
        DialogScript script({}, yes ? QMessageBox::Yes : QMessageBox::No);
        ports->clear();
        QTRY_COMPARE_WITH_TIMEOUT(script.answered(), 1, 5000);
        QCOMPARE(script.titles.value(0), "Disconnect from an KVXv2.");
        QCOMPARE(script.texts.value(0), "This operation will not update the KVXv2 with any "
                                        "configuration changes you may have made.  Are you sure "
                                        "you wish to proceed?");
        if (yes) {
            QVERIFY(fellBack());
            QCOMPARE(loggedLines().value(readLines), "menu");
            QCOMPARE(w->ui->kvxComList->currentText(), "None");
            QVERIFY(!w->ui->kvxConnect->isEnabled());
        } else {
            QTest::qWait(300);
            QCOMPARE(w->linkStep, int(LinkIdle));
        }
        *ports = QStringList{path};
        if (yes) {
            QTRY_VERIFY_WITH_TIMEOUT(w->ui->kvxConnect->isEnabled(), 2000);
            QCOMPARE(w->ui->kvxComList->currentText(), path);
            w->KVXConnectButtonPressed();
        } else {
            QTest::qWait(100);
            w->KVXReadRTCPressed();
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        QCOMPARE(script.answered(), 1);
        QCOMPARE(loggedLines().size(), yes ? 2 * readLines + 1 : readLines + 1);
        QCOMPARE(loggedLines().last(), yes ? loggedLines().value(readLines - 1) : getLine(0x0010));
        if (!yes) { // once answered, Disconnect asks again
            w->KVXDisconnectButtonPressed();
            QCOMPARE(script.answered(), 2);
        }
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
