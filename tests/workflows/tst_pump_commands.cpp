// Pump start/stop from the pump pages, a pump command waiting for the link
// while the operator presses other buttons, and the SCD30 forced calibration.
#include "WorkflowRig.h"
#include "image/boards/PumpWidgets.h"

#include <QtTest>

using namespace kvx::test;
using kvx::Pump;
using Words = QList<quint16>;

class PumpCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WorkflowRig> r;

    Ui_KVX_Configurator& ui() { return *r->w->ui; }
    kvx::PumpWidgets pump(Pump p) { return kvx::pumpWidgets(ui(), p); }

    QByteArray onlyRecord(quint16 word) {
        const QList<QByteArray> sent = r->sent(word);
        return sent.size() == 1 ? sent.first() : QByteArray("not sent exactly once");
    }

    // Starts Pump A and keeps its exchange unanswered, so that the link stays
    // busy until `r->answering` is set again (the line is then resent).
    void busyLinkWithPumpA() {
        r->answering = false;
        pump(Pump::A).flowRate->setValue(1.0);
        r->w->PumpAStartClicked();
        r->tick(3);
        QCOMPARE(r->w->linkStep, kvx::LinkWaitAnswer);
        QCOMPARE(r->w->sessionState, 0);
    }

private slots:
    void init() {
        r = std::make_unique<WorkflowRig>();
        QVERIFY(r->connect(BoardSet(), 5));
    }
    void cleanup() { r.reset(); }

    void setpointsAndRequestWords() {
        pump(Pump::A).flowRate->setValue(1.250);
        r->w->PumpAStartClicked();
        QVERIFY(r->finish());
        pump(Pump::B).flowRate->setValue(0.001);
        r->w->PumpBStartClicked();
        QVERIFY(r->finish());
        pump(Pump::C).flowRate->setValue(0.75);
        r->w->PumpCStartClicked();
        QVERIFY(r->finish());
        pump(Pump::D).flowRate->setValue(1.25);
        r->w->PumpDStartClicked();
        QVERIFY(r->finish());
        QCOMPARE(onlyRecord(0x8082), QByteArray::fromHex("808204E2")); // 1250
        QCOMPARE(onlyRecord(0x8084), QByteArray::fromHex("80840001")); // 0.001 + 0.49
        QCOMPARE(onlyRecord(0xC271), QByteArray::fromHex("C271004B")); // 75
        QCOMPARE(onlyRecord(0xC171), QByteArray::fromHex("C171007D")); // 125

        r->log.clear();
        r->w->PumpCStopClicked();
        QVERIFY(r->finish());
        r->w->PumpDStopClicked();
        QVERIFY(r->finish());
        QCOMPARE(onlyRecord(0xC271), QByteArray::fromHex("C2710000"));
        QCOMPARE(onlyRecord(0xC171), QByteArray::fromHex("C1710000"));
        QCOMPARE(r->words(), (Words{0xC271, 0xC171}));
    }

    void rateReadWhenTheRequestGoesOut() {
        pump(Pump::B).flowRate->setValue(2.0);
        r->w->PumpBStartClicked();
        pump(Pump::B).flowRate->setValue(1.5);
        QVERIFY(r->finish());
        QCOMPARE(onlyRecord(0x8084), QByteArray::fromHex("808405DC")); // 1500
    }

    void buttonsToggleWhenTheRequestIsQueued() {
        r->answering = false; // the instrument never confirms
        pump(Pump::C).flowRate->setValue(3.0);
        r->w->PumpCStartClicked();
        QCOMPARE(r->w->sessionState, 1304);
        QVERIFY(!ui().startPumpC->isEnabled());
        QVERIFY(!ui().stopPumpC->isEnabled());
        r->tick();
        QCOMPARE(r->w->sessionState, 0);
        QVERIFY(ui().stopPumpC->isEnabled());
        QVERIFY(!ui().startPumpC->isEnabled());

        // Stop while the start is still unanswered: the stop waits for the link.
        r->w->PumpCStopClicked();
        QCOMPARE(r->w->sessionState, 1305);
        QVERIFY(!ui().stopPumpC->isEnabled());
        r->tick(5);
        QCOMPARE(r->w->sessionState, 1305);
        QVERIFY(!ui().startPumpC->isEnabled());
        r->answering = true;
        QVERIFY(r->finish());
        QVERIFY(ui().startPumpC->isEnabled());
        QVERIFY(!ui().stopPumpC->isEnabled());
        QCOMPARE(r->words().last(), quint16(0xC271));
        QCOMPARE(r->sent(0xC271).last(), QByteArray::fromHex("C2710000"));
    }

    void startWithoutARateOrWhileBusyDoesNothing() {
        pump(Pump::A).flowRate->setValue(0.0);
        r->w->PumpAStartClicked();
        QCOMPARE(r->w->sessionState, 0);
        QVERIFY(ui().startPumpA->isEnabled());

        pump(Pump::A).flowRate->setValue(1.0);
        ui().stopPumpB->setEnabled(true);
        r->w->sessionState = 198; // a clock read is waiting
        r->w->PumpAStartClicked();
        r->w->PumpBStopClicked();
        QCOMPARE(r->w->sessionState, 198);
        QVERIFY(ui().startPumpA->isEnabled());
        QVERIFY(ui().stopPumpB->isEnabled());
        QVERIFY(r->finish());
        QCOMPARE(r->words(), Words());
        QCOMPARE(r->words(kvx::kCfgGet), Words{0x0010});
    }

    // ---- a pump command waiting for the link: nothing else starts meanwhile ----

    void waitingPumpCommandGoesBeforeAClockRead() {
        busyLinkWithPumpA();
        pump(Pump::B).flowRate->setValue(2.0);
        r->w->PumpBStartClicked();
        r->w->KVXReadRTCPressed(); // refused while the pump command waits
        QCOMPARE(r->w->sessionState, 1302);
        r->tick(5);
        QVERIFY(!r->sent(0x8082).isEmpty());
        QVERIFY(r->sent(0x8084).isEmpty());
        r->answering = true;
        QVERIFY(r->finish());

        QList<quint16> order;
        for (const Exchange& e : r->log)
            order << e.word;
        order.removeAll(0x8082);
        QCOMPARE(order, (Words{0x8084}));
        QCOMPARE(onlyRecord(0x8084), QByteArray::fromHex("808407D0"));
        QVERIFY(!ui().startPumpB->isEnabled());
        QVERIFY(ui().stopPumpB->isEnabled());
        QVERIFY(ui().kvxWrite->isEnabled());
    }

    void waitingPumpStartIsStoppedAgainByAWrite() {
        busyLinkWithPumpA();
        pump(Pump::B).flowRate->setValue(2.0);
        r->w->PumpBStartClicked();
        DialogScript script({}, QMessageBox::Yes);
        r->w->KVXWriteButtonPressed(); // refused while the pump command waits
        QCOMPARE(script.answered(), 0);
        r->answering = true;
        QVERIFY(r->finish());
        r->w->KVXWriteButtonPressed();
        QVERIFY(r->finish());

        QList<QByteArray> records;
        for (const Exchange& e : r->log)
            records << e.record;
        // Pump A's start (sent and resent), then Pump B's start, then both
        // stops before the chain: the write leaves no pump running.
        while (records.first().startsWith(QByteArray::fromHex("8082")))
            records.removeFirst();
        QCOMPARE(records.mid(0, 3), (QList<QByteArray>{QByteArray::fromHex("808407D0"),
                                                       QByteArray::fromHex("80820000"),
                                                       QByteArray::fromHex("80840000")}));
        QCOMPARE(r->words()[r->words().indexOf(0x0020) - 1], quint16(0x8084));
        for (QPushButton* b : {ui().startPumpA, ui().startPumpB, ui().startPumpC, ui().startPumpD})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        for (QPushButton* b : {ui().stopPumpA, ui().stopPumpB, ui().stopPumpC, ui().stopPumpD})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    }

    void waitingPumpStopGoesBeforeAWrite() {
        // Pump C runs; the operator stops it, then writes at once.
        pump(Pump::C).flowRate->setValue(3.0);
        r->w->PumpCStartClicked();
        QVERIFY(r->finish());
        r->log.clear();
        r->answering = false;
        r->w->PumpDStopClicked(); // keeps the link busy (Pump D's stop button is
        r->tick(3);               // enabled only after a start; sending is enough)
        r->w->PumpCStopClicked();
        DialogScript script({}, QMessageBox::Yes);
        r->w->KVXWriteButtonPressed(); // refused while the stop waits
        QCOMPARE(script.answered(), 0);
        r->answering = true;
        QVERIFY(r->finish());
        r->w->KVXWriteButtonPressed();
        QVERIFY(r->finish());
        Words words = r->words();
        words.removeAll(0xC171);
        QCOMPARE(words.mid(0, 2), (Words{0xC271, 0x0020}));
        QCOMPARE(onlyRecord(0xC271), QByteArray::fromHex("C2710000"));
        QVERIFY(ui().startPumpC->isEnabled());
        QVERIFY(!ui().stopPumpC->isEnabled());
    }

    void waitingPumpCommandDroppedByALinkReset() {
        busyLinkWithPumpA();
        r->w->PumpBStartClicked();
        pump(Pump::B).flowRate->setValue(2.0);
        r->w->PumpBStartClicked();
        QCOMPARE(r->w->sessionState, 1302);
        // Pump A's start is never answered: the link gives up and resets.
        QVERIFY(r->runUntil([&] { return r->w->linkStep == kvx::LinkNone; }));
        r->tick(2);
        QCOMPARE(r->w->queuedPumpState, 0);
        r->answering = true;
        r->log.clear();
        QVERIFY(r->connect(BoardSet(), 5));
        r->tick(20);
        QVERIFY(r->sent(0x8084).isEmpty());
        QVERIFY(ui().startPumpB->isEnabled());
        QVERIFY(!ui().stopPumpB->isEnabled());
    }

    // ---- SCD30 forced calibration ----

    void calibrationSendsPpmAndLocalStamp() {
        // 2025-03-07 06:05 UTC is 09:05 local time here (UTC+3).
        *r->rig.clock.ms = QDateTime(QDate(2025, 3, 7), QTime(6, 5), Qt::UTC).toMSecsSinceEpoch();
        ui().scd30CalValue->setValue(400);
        DialogScript script({QMessageBox::Yes});
        r->w->SCD30CalButtonPressed();
        QCOMPARE(script.titles, QStringList{QStringLiteral("SCD30 CO2 Forced Calibration.")});
        QCOMPARE(r->w->sessionState, 798);
        for (QPushButton* b :
             {ui().kvxWrite, ui().kvxRead, ui().setRTC, ui().readRTC, ui().scd30CalButton})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(r->finish());
        // 0x3399: March 7th, (20)25.
        QCOMPARE(onlyRecord(0x4096), QByteArray::fromHex("40960190339909"
                                                         "05"));
        QCOMPARE(ui().scd30Calibrated->text(), QStringLiteral("On 3/7/2025 @ 9:05"));
        for (QPushButton* b :
             {ui().kvxWrite, ui().kvxRead, ui().setRTC, ui().readRTC, ui().scd30CalButton})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    }

    void calibrationShowsTheStampTheInstrumentStored() {
        ui().scd30CalValue->setValue(2000);
        // The stamp is taken when the request goes out, a moment before a new
        // minute; the one shown is the one the instrument stored, not the time
        // at which its answer came in.
        *r->rig.clock.ms =
            QDateTime(QDate(2024, 12, 31), QTime(22, 30, 59, 970), Qt::UTC).toMSecsSinceEpoch();
        DialogScript script({QMessageBox::Yes});
        r->w->SCD30CalButtonPressed();
        QVERIFY(r->finish());
        QVERIFY(r->rig.clock.now() >
                QDateTime(QDate(2024, 12, 31), QTime(22, 31), Qt::UTC).toMSecsSinceEpoch());
        QCOMPARE(onlyRecord(0x4096).mid(0, 4), QByteArray::fromHex("409607D0"));
        // Local time has already moved on to the new year.
        QCOMPARE(ui().scd30Calibrated->text(), QStringLiteral("On 1/1/2025 @ 1:30"));
    }

    void calibrationNoChangesNothing() {
        ui().scd30Calibrated->setText(QStringLiteral("None"));
        DialogScript script({QMessageBox::No});
        r->w->SCD30CalButtonPressed();
        QCOMPARE(script.answered(), 1);
        QCOMPARE(r->w->sessionState, 0);
        QVERIFY(ui().scd30CalButton->isEnabled());
        r->tick(20);
        QVERIFY(r->log.isEmpty());
        QCOMPARE(ui().scd30Calibrated->text(), QStringLiteral("None"));
    }
};

int main(int argc, char** argv) {
    // A local time apart from UTC, so that a stamp in the wrong zone shows.
    qputenv("TZ", "KVX-3");
    QApplication app(argc, argv);
    PumpCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pump_commands.moc"
