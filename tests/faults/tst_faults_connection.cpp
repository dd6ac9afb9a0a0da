// Faults while the link is being made: an instrument that stays silent, one
// that echoes but never prompts, a malformed or missing board list, an endless
// stream of bytes, the cable pulled when the board list is asked for. Each
// checks what reached the instrument, when the link gave up, and that the
// window is back in the disconnected phase with nothing registered.
#include "tests/faults/FaultRig.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

sim::InstrumentConfig full() {
    return SimRig::load(QStringLiteral("full"));
}

// Presses Connect on a window that has seen its port list.
void pressConnect(SimRig& rig) {
    rig.tick();
    rig.w().KVXConnectButtonPressed();
}

} // namespace

class ConnectionFaultsTest : public QObject {
    Q_OBJECT

private slots:
    // No byte comes back: the reset sequence goes out once, each timeout only
    // restarts the wait, and the fourth gives up about two seconds later.
    void silentInstrument() {
        auto config = full();
        config.faults.silent = true;
        SimRig rig(config);
        pressConnect(rig);
        const qint64 fellBack = runUntilFallenBack(rig);
        QVERIFY(fellBack > 0);
        QCOMPARE(sentLines(rig), QStringList{kResetLine});
        QCOMPARE(rig.device->written(), QByteArray("\x1b"
                                                   "c\r"));
        const qint64 waited = fellBack - commandTime(rig, 1);
        QVERIFY2(waited >= 4 * 500 && waited <= 4 * 500 + 100, qPrintable(QString::number(waited)));
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        QVERIFY(rig.w().ui->kvxOutputBox->toPlainText().isEmpty());
    }

    // The reset sequence is echoed but no prompt follows: the echo is activity
    // (the wait runs from it), and without a prompt nothing else is sent.
    void echoWithoutPrompt() {
        auto config = full();
        config.faults.noAnswerFirst = 4;
        config.faults.only = kResetLine;
        SimRig rig(config);
        pressConnect(rig);
        const qint64 fellBack = runUntilFallenBack(rig);
        QVERIFY(fellBack > 0);
        QCOMPARE(sentLines(rig), QStringList{kResetLine});
        const qint64 waited = fellBack - commandTime(rig, 1);
        QVERIFY2(waited >= 4 * 500 + 20 && waited <= 4 * 500 + 120,
                 qPrintable(QString::number(waited)));
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        // An answer without its prompt is never complete, so never mirrored.
        QVERIFY(rig.w().ui->kvxOutputBox->toPlainText().isEmpty());
    }

    // A board list of the wrong size registers nothing: the link says its
    // farewell, waits a quiet second and resets.
    void malformedBoardList_data() {
        QTest::addColumn<int>("fields");
        QTest::newRow("20 fields") << 20;
        QTest::newRow("22 fields") << 22;
    }
    void malformedBoardList() {
        QFETCH(int, fields);
        auto config = full();
        config.faults.boardListFields = fields;
        SimRig rig(config);
        pressConnect(rig);
        int mostTabs = 0;
        bool idShown = false;
        QVERIFY(rig.tickUntil([&] {
            mostTabs = std::max(mostTabs, rig.w().ui->configuratorTabs->count());
            idShown = idShown || !rig.w().ui->kvxIDBox->isHidden();
            return rig.w().linkStep == LinkNone;
        }));
        const qint64 fellBack = rig.now();
        rig.tick();
        QCOMPARE(sentLines(rig), (QStringList{kResetLine, kBoardLine, kMenuLine}));
        QCOMPARE(rig.w().boardCount, 0);
        QCOMPARE(mostTabs, 1);
        QVERIFY(!idShown);
        QVERIFY(rig.sim().inMenu());
        const qint64 quiet = fellBack - commandTime(rig, 3);
        QVERIFY2(quiet >= 1000 && quiet <= 1100, qPrintable(QString::number(quiet)));
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // The board list goes unanswered (echo only): it is asked again after
    // each timeout; three resends are allowed, a fourth failure ends the link.
    void boardListUnanswered_data() {
        QTest::addColumn<int>("unanswered");
        QTest::addColumn<bool>("connects");
        QTest::newRow("three times") << 3 << true;
        QTest::newRow("four times") << 4 << false;
    }
    void boardListUnanswered() {
        QFETCH(int, unanswered);
        QFETCH(bool, connects);
        auto config = full();
        config.faults.noAnswerFirst = unanswered;
        config.faults.only = kBoardLine;
        SimRig rig(config);
        QCOMPARE(rig.connect(), connects);
        const QStringList lines = sentLines(rig);
        QCOMPARE(countOf(lines, kBoardLine), 4);
        QCOMPARE(lines.mid(0, 5),
                 (QStringList{kResetLine, kBoardLine, kBoardLine, kBoardLine, kBoardLine}));
        // Each resend waits out the timeout after the echo of the previous one.
        for (int n = 3; n <= 5; ++n)
            QVERIFY(commandTime(rig, n) - commandTime(rig, n - 1) >= 500);
        if (connects) {
            QCOMPARE(rig.w().firmwareLevel, 5);
            QCOMPARE(rig.w().ui->configuratorTabs->count(), 8);
            QCOMPARE(rig.w().ui->kvxIDBox->text(), rig.sim().state().main.id);
        } else {
            QCOMPARE(lines.size(), 5);
            rig.tick();
            const QString problems = disconnectedProblems(rig.w());
            QVERIFY2(problems.isEmpty(), qPrintable(problems));
        }
    }

    // Bytes that never end in a prompt: the receive text stays within its
    // bound on every tick, each overflow counts as one failed attempt, and the
    // link gives up after the fourth.
    void endlessStream_data() {
        QTest::addColumn<int>("after");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("instead of the prompt") << 0 << QStringList{kResetLine};
        QTest::newRow("instead of the board list")
            << 1 << QStringList{kResetLine, kBoardLine, kBoardLine, kBoardLine, kBoardLine};
    }
    void endlessStream() {
        QFETCH(int, after);
        QFETCH(QStringList, lines);
        auto config = full();
        config.faults.endlessAfter = after;
        SimRig rig(config);
        pressConnect(rig);
        int longest = 0;
        QVERIFY(rig.tickUntil([&] {
            longest = std::max(longest, int(rig.w().rxText.size()));
            return rig.w().linkStep == LinkNone;
        }));
        rig.tick();
        QVERIFY2(longest <= kRxLimit, qPrintable(QString::number(longest)));
        QVERIFY(longest > kRxLimit / 2); // the stream did pile up
        QCOMPARE(sentLines(rig), lines);
        QCOMPARE(rig.w().boardCount, 0);
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // The cable goes when the board list is asked for: nothing more reaches
    // the instrument, and the link falls back after its four waits.
    void cablePulledAtTheBoardList() {
        auto config = full();
        config.faults.cablePulledAfter = 1;
        SimRig rig(config);
        pressConnect(rig);
        const qint64 fellBack = runUntilFallenBack(rig);
        QVERIFY(fellBack > 0);
        QCOMPARE(sentLines(rig), QStringList{kResetLine});
        QCOMPARE(rig.sim().log().ofKind("fault").size(), 1);
        QCOMPARE(rig.w().boardCount, 0);
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        // Another Connect on the dead port fails to open and falls back at once.
        rig.w().KVXConnectButtonPressed();
        rig.tick(2);
        QCOMPARE(rig.w().linkStep, int(LinkNone));
    }
};

QTEST_MAIN(ConnectionFaultsTest)
#include "tst_faults_connection.moc"
