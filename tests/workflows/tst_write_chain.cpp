// The record chain of a write: which records go out in which order at each
// firmware level and with which boards, the skip rules, the pump stops before
// writing, the cartridge stamp, and the exact read-back each write needs.
#include "WorkflowRig.h"
#include "image/boards/PumpWidgets.h"

#include <QtTest>

using namespace kvx::test;
using kvx::Pump;
using Words = QList<quint16>;

namespace {

Words mainWords() {
    return {0x0020, 0x0030, 0x0040, 0x0060, 0x0000};
}

} // namespace

class WriteChainTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WorkflowRig> r;

    Ui_KVX_Configurator& ui() { return *r->w->ui; }
    kvx::PumpWidgets pump(Pump p) { return kvx::pumpWidgets(ui(), p); }

    bool connect(const BoardSet& boards, int level) {
        r = std::make_unique<WorkflowRig>();
        return r->connect(boards, level);
    }
    // Write (Yes to the confirmation; the fresh form raises no warning).
    bool write() {
        DialogScript script({QMessageBox::Yes});
        r->w->KVXWriteButtonPressed();
        return script.answered() == 1 && r->finish();
    }

private slots:
    void cleanup() { r.reset(); }

    void recordsByFirmwareLevel_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<Words>("expected");
        QTest::newRow("0") << 0
                           << mainWords() + Words{0x4016, 0x4026, 0x4036, 0x4086, 0x4006, // gas
                                                  0x8012, 0x8002, 0x8014, 0x8004,         // A, B
                                                  0xC201, 0xC101, 0xC001};                // C, D
        QTest::newRow("1") << 1 << mainWords() + Words{0x4016, 0x4026, 0x4036, 0x4086, 0x4006,
                                                       0x40A6, 0x8012, 0x8002, 0x8014, 0x8004,
                                                       0xC201, 0xC101, 0xC001};
        QTest::newRow("2") << 2
                           << mainWords() + Words{0x4016, 0x4026, 0x4036, 0x4086, 0x4006, 0x40A6,
                                                  0x8012, 0x8062, 0x8072, 0x8002, 0x8014, 0x8064,
                                                  0x8074, 0x8004, 0xC201, 0xC251, 0xC261, 0xC101,
                                                  0xC151, 0xC161, 0xC001};
        QTest::newRow("3") << 3
                           << mainWords() + Words{0x4016, 0x4026, 0x4036, 0x4086, 0x40B6, 0x4006,
                                                  0x40A6, 0x8012, 0x8062, 0x8072, 0x8002, 0x8014,
                                                  0x8064, 0x8074, 0x8004, 0xC201, 0xC251, 0xC261,
                                                  0xC101, 0xC151, 0xC161, 0xC001};
        const Words full =
            mainWords() + Words{0x4016, 0x4026, 0x4036, 0x4086, 0x40B6, 0x40C6, 0x4006, 0x40A6,
                                0x8012, 0x8062, 0x8072, 0x8002, 0x8014, 0x8064, 0x8074, 0x8004,
                                0xC201, 0xC251, 0xC261, 0xC101, 0xC151, 0xC161, 0xC001};
        QTest::newRow("4") << 4 << full;
        QTest::newRow("5") << 5 << full;
    }
    void recordsByFirmwareLevel() {
        QFETCH(int, level);
        QFETCH(Words, expected);
        QVERIFY(connect(BoardSet(), level));
        QVERIFY(write());
        QCOMPARE(r->words(), expected);
        QVERIFY(r->words(kvx::kCfgGet).isEmpty());
        for (QPushButton* b :
             {ui().kvxWrite, ui().kvxRead, ui().setRTC, ui().readRTC, ui().scd30CalButton})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    }

    void gasBoardAloneAtLevel2() {
        QVERIFY(connect(BoardSet{false, true, false, false, false}, 2));
        QVERIFY(write());
        QCOMPARE(r->words(), (Words{0x4016, 0x4026, 0x4036, 0x4086, 0x4006, 0x40A6}));
    }

    void noBoardPassesTheChainWithoutSending() {
        QVERIFY(connect(BoardSet::none(), 5));
        DialogScript script({QMessageBox::Yes});
        r->w->KVXWriteButtonPressed();
        QCOMPARE(r->w->sessionState, 600);
        QVERIFY(!ui().kvxWrite->isEnabled());
        r->tick();
        QCOMPARE(r->w->sessionState, 0);
        QVERIFY(ui().kvxWrite->isEnabled());
        // The SCD30 button comes back only with a gas board.
        QVERIFY(!ui().scd30CalButton->isEnabled());
        r->tick(30);
        QVERIFY(r->log.isEmpty());
    }

    void absentSensorsAndPumpsAreSkipped() {
        QVERIFY(connect(BoardSet(), 2));
        ui().sen55->setEnabled(false);
        ui().sgp41->setEnabled(false);
        ui().scd30->setEnabled(false);
        // Pump A: no flow field, no start group: only its duration and logging.
        pump(Pump::A).flowRate->setEnabled(false);
        pump(Pump::A).start->setEnabled(false);
        // Pump B: no duration group.
        pump(Pump::B).duration->setEnabled(false);
        // Pump C not fitted at all: Pump D's records follow at once.
        pump(Pump::C).flowRate->setEnabled(false);
        pump(Pump::C).start->setEnabled(false);
        pump(Pump::C).duration->setEnabled(false);
        QVERIFY(write());
        QCOMPARE(r->words(),
                 (Words{0x0020, 0x0030, 0x0040, 0x0000, 0x4026, 0x4086, 0x4006, 0x40A6, 0x8072,
                        0x8002, 0x8014, 0x8064, 0x8004, 0xC101, 0xC151, 0xC161, 0xC001}));
    }

    void sorbentBoardAbsentEndsTheChain() {
        QVERIFY(connect(BoardSet{true, false, true, false, false}, 1));
        QVERIFY(write());
        QCOMPARE(r->words(), mainWords() + (Words{0x8012, 0x8002}));
    }

    void runningPumpsAreStoppedFirstAtLevel5() {
        QVERIFY(connect(BoardSet(), 5));
        // Pumps B and D were started from their pages.
        ui().startPumpB->setEnabled(false);
        ui().stopPumpB->setEnabled(true);
        ui().startPumpD->setEnabled(false);
        ui().stopPumpD->setEnabled(true);
        DialogScript script({QMessageBox::Yes});
        r->w->KVXWriteButtonPressed();
        QCOMPARE(r->w->sessionState, 1401);
        for (QPushButton* b : {ui().startPumpA, ui().startPumpB, ui().startPumpC, ui().startPumpD})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(r->runUntil([&] { return r->w->sessionState == 600; }));
        QVERIFY(!ui().startPumpB->isEnabled());
        QVERIFY(r->finish());

        const Words words = r->words();
        QCOMPARE(words.mid(0, 3), (Words{0x8084, 0xC171, 0x0020}));
        QCOMPARE(words.size(), 2 + 28);
        QCOMPARE(r->sent(0x8084), QList<QByteArray>{QByteArray::fromHex("80840000")});
        QCOMPARE(r->sent(0xC171), QList<QByteArray>{QByteArray::fromHex("C1710000")});
        for (QPushButton* b : {ui().startPumpA, ui().startPumpB, ui().startPumpC, ui().startPumpD})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        for (QPushButton* b : {ui().stopPumpA, ui().stopPumpB, ui().stopPumpC, ui().stopPumpD})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    }

    void noPumpStopsAtLevel4() {
        QVERIFY(connect(BoardSet(), 4));
        // Whatever the buttons say, level 4 sends no stop and leaves them be.
        ui().startPumpA->setEnabled(true);
        ui().stopPumpB->setEnabled(true);
        DialogScript script({QMessageBox::Yes});
        r->w->KVXWriteButtonPressed();
        QCOMPARE(r->w->sessionState, 600);
        QVERIFY(!ui().startPumpA->isEnabled()); // locked while the write runs
        QVERIFY(!ui().startPumpB->isEnabled());
        QVERIFY(r->finish());
        QVERIFY(!r->words().contains(0x8084));
        QVERIFY(ui().startPumpA->isEnabled());
        QVERIFY(!ui().startPumpC->isEnabled());
        QVERIFY(ui().stopPumpB->isEnabled());
    }

    void cartridgeStampedOnlyWhenChanged() {
        QVERIFY(connect(BoardSet(), 2));
        // 2025-03-07 06:05 UTC is 09:05 local time here (UTC+3).
        const QDateTime nowUtc(QDate(2025, 3, 7), QTime(6, 5), Qt::UTC);
        *r->rig.clock.ms = nowUtc.toMSecsSinceEpoch();
        r->w->cartridgeIds = {QStringLiteral("OLD"), QStringLiteral("SAME"), QStringLiteral("X"),
                              QStringLiteral("d-7")};
        pump(Pump::A).cartId->setText(QStringLiteral("NEW-CART"));
        pump(Pump::B).cartId->setText(QStringLiteral("SAME"));
        pump(Pump::C).cartId->setText(QStringLiteral("Y"));
        pump(Pump::C).cartId->setEnabled(false);
        pump(Pump::D).cartId->setText(QStringLiteral("D-7")); // case counts
        pump(Pump::A).run->setText(QStringLiteral("312"));
        pump(Pump::A).volume->setText(QStringLiteral("18720"));
        QVERIFY(write());

        const Words words = r->words();
        QCOMPARE(words.mid(words.indexOf(0x8022), 2), (Words{0x8022, 0x8012}));
        QVERIFY(!words.contains(0x8024));
        QVERIFY(!words.contains(0xC211));
        QCOMPARE(words.mid(words.indexOf(0xC261), 3), (Words{0xC261, 0xC111, 0xC101}));

        // Request word, packed local date-time, 15 characters, one pad byte.
        QByteArray expected = QByteArray::fromHex("8022") + QByteArray::fromHex("3399") + char(9) +
                              char(5) + QByteArray("NEW-CART") + QByteArray(7, '\0') +
                              QByteArray(1, '\0');
        QCOMPARE(r->sent(0x8022), QList<QByteArray>{expected});
        QCOMPARE(pump(Pump::A).install->text(), QStringLiteral("On 03/07/2025 @ 09:05"));
        QCOMPARE(pump(Pump::A).run->text(), QStringLiteral("0"));
        QCOMPARE(pump(Pump::A).volume->text(), QStringLiteral("0"));
        QCOMPARE(r->sent(0xC111).first().mid(6, 4), QByteArray("D-7\0", 4));
        QCOMPARE(pump(Pump::B).install->text(), QString());
        // The ID last read is kept: a second write stamps the cartridge again.
        QCOMPARE(r->w->cartridgeIds[0], QStringLiteral("OLD"));
        QVERIFY(write());
        QCOMPARE(r->sent(0x8022).size(), 2);
    }

    void everyWriteNeedsAnExactReadBack() {
        QVERIFY(connect(BoardSet(), 2));
        // The sample ID's first echo differs in one byte; the resend is echoed
        // faithfully and the chain goes on.
        int spoiled = 0;
        r->tamperEcho = [&](quint16 word, QByteArray& echo) {
            if (word == 0x0030 && spoiled++ == 0)
                echo[5] = char(echo[5] ^ 0x01);
        };
        ui().sampleID->setText(QStringLiteral("roof"));
        QVERIFY(write());
        QCOMPARE(r->sent(0x0030).size(), 2);
        QCOMPARE(r->words().size(), mainWords().size() + 1 + 6 + 8 + 7);

        // A record the instrument never stores as sent ends the session: four
        // attempts, nothing after it, the link reset.
        r->log.clear();
        r->tamperEcho = [](quint16 word, QByteArray& echo) {
            if (word == 0x0040)
                echo[echo.size() - 1] = char(echo[echo.size() - 1] ^ 0x01);
        };
        DialogScript script({QMessageBox::Yes});
        r->w->KVXWriteButtonPressed();
        QVERIFY(r->runUntil([&] { return r->w->linkStep == kvx::LinkNone; }));
        QCOMPARE(r->words(), (Words{0x0020, 0x0030, 0x0040, 0x0040, 0x0040, 0x0040}));
        // Back in the disconnected phase.
        QVERIFY(r->w->sessionState > 0 && r->w->sessionState < 100);
        r->tick(50);
        QCOMPARE(r->words().size(), 6);
    }
};

int main(int argc, char** argv) {
    // A local time apart from UTC, so that a stamp in the wrong zone shows.
    qputenv("TZ", "KVX-3");
    QApplication app(argc, argv);
    WriteChainTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_write_chain.moc"
