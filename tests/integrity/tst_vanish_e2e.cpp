// The port vanishes while linked and the Disconnect question stays open: the
// window's own timer keeps the link going underneath it, over a real terminal
// to kvx-sim, until the cable goes and the link resets on its own.
#include "tests/support/PtySim.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

class VanishTest : public QObject, PtySim {
    Q_OBJECT

    bool ready() const {
        return w->linkStep == LinkNone &&
               w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect");
    }

private slots:
    void cleanup() { stop(); }

    void questionOpenWhileTheLinkDies() {
        QVERIFY(start({"--preset", "full", "--cable-pull-after", "30"}));
        QTRY_VERIFY_WITH_TIMEOUT(w->sessionState >= 200 && w->sessionState < 600, 20000);

        // Everything below happens while the box is open, inside its event
        // loop: a probe notes when kvx-sim pulled the cable and when the Ready
        // page came back.
        QElapsedTimer clock;
        clock.start();
        qint64 pulledAt = -1, readyAt = -1, answeredAt = -1;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (pulledAt < 0 && sim->state() == QProcess::NotRunning)
                pulledAt = clock.elapsed();
            if (readyAt < 0 && ready())
                readyAt = clock.elapsed();
        });
        probe.start(5);
        DialogScript script({QMessageBox::Yes});
        script.holdMs = 6000;
        script.beforeAnswer = [&](int) { answeredAt = clock.elapsed(); };

        ports->clear(); // the port leaves the system's list
        QTRY_COMPARE_WITH_TIMEOUT(script.answered(), 1, 20000);
        QCOMPARE(script.titles.first(), QStringLiteral("Disconnect from an KVXv2."));
        QVERIFY2(pulledAt >= 0, "the link stood still while the question was open");
        QVERIFY(readyAt >= 0 && readyAt < answeredAt);
        QVERIFY2(readyAt - pulledAt <= 2500, qPrintable(QString::number(readyAt - pulledAt)));

        // Yes after the reset: the farewell goes nowhere, the reset runs again,
        // no second question.
        QTest::qWait(1500);
        QCOMPARE(script.answered(), 1);
        QVERIFY(ready());
        QVERIFY(!w->serialPort->isOpen());
        QCOMPARE(loggedLines().size(), 30);
    }
};

QTEST_MAIN(VanishTest)
#include "tst_vanish_e2e.moc"
