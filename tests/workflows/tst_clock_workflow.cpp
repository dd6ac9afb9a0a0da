// Setting and reading the instrument clock, shown in UTC and in the
// computer's time zone (this test runs at UTC+2).
#include "image/boards/MainBoardCodec.h"
#include "tests/support/SimRig.h"

#include <QtTest>

#include <ctime>

using namespace kvx::test;

namespace {

// The fake clock starts at 2025-03-07 22:30:00 UTC.
SimRig connected(const QString& preset, const QDateTime& instrumentClock) {
    auto config = SimRig::load(preset);
    config.clock = instrumentClock;
    return SimRig(config);
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

} // namespace

class ClockWorkflowTest : public QObject {
    Q_OBJECT

private slots:
    void readShowsUtcAndLocalTime() {
        SimRig sim = connected("minimal", utc(2025, 3, 7, 22, 30));
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        // The initial read shows the clock through the same display.
        QCOMPARE(ui.utcText->text(), QString("03/07/2025 22:30:00"));
        QCOMPARE(ui.localText->text(), QString("03/08/2025 00:30:00"));

        // The UTC offset setting plays no part in the display.
        ui.tzOffset->setValue(-5.0);
        sim.instrument->log().clear();
        sim.window->KVXReadRTCPressed();
        QCOMPARE(sim.window->sessionState, 198);
        QVERIFY(sim.settle());
        QCOMPARE(sim.requestedWords(), QList<quint16>{0x0010});
        QCOMPARE(sim.requestedWords("cfg_set"), QList<quint16>{});
        QCOMPARE(ui.utcText->text(), QString("03/07/2025 22:30:00"));
        QCOMPARE(ui.localText->text(), QString("03/08/2025 00:30:00"));
    }

    // The time sent is the computer's UTC time when the request goes out, not
    // at the click; what is shown is the instrument's read-back.
    void setSendsTimeAtSending() {
        SimRig sim = connected("minimal", utc(2021, 1, 1, 0, 0));
        QVERIFY(sim.connect());
        auto& ui = *sim.window->ui;
        sim.window->KVXSetRTCPressed();
        for (QWidget* b : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC, ui.scd30CalButton})
            QVERIFY(!b->isEnabled());
        sim.window->linkStep = 9; // an exchange still in flight: the set waits for it
        *sim.ms += 10 * 60 * 1000;
        sim.window->runSessionState();
        QCOMPARE(sim.window->sessionState, 197);
        sim.window->linkStep = 0;
        const qint64 sentAt = sim.now(); // the next tick sends it
        QVERIFY(sim.settle());
        const auto stored = sim.instrument->log().stores(0x0010);
        QCOMPARE(stored.size(), 1);
        const QDateTime expected = QDateTime::fromMSecsSinceEpoch(sentAt, Qt::UTC);
        QByteArray sent;
        for (int b : {expected.date().month(), expected.date().day(), expected.date().year() - 2000,
                      expected.time().hour(), expected.time().minute(), expected.time().second()})
            sent.append(char(b));
        QCOMPARE(stored.first().mid(2, 6), sent);
        QVERIFY(ui.utcText->text().startsWith("03/07/2025 22:40:"));
        QCOMPARE(sim.requestedWords(),
                 (QList<quint16>{0x0070, 0x0010, 0x0020, 0x0030, 0x0040, 0x0060, 0x0000, 0x0010}));
        for (QWidget* b : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC})
            QVERIFY(b->isEnabled());
        QVERIFY(!ui.scd30CalButton->isEnabled()); // no gas board
    }

    void year2099IsSentAs99() {
        SimRig sim = connected("full", utc(2025, 3, 7, 22, 30));
        QVERIFY(sim.connect());
        *sim.ms = utc(2099, 6, 1, 12, 0).toMSecsSinceEpoch();
        sim.window->KVXSetRTCPressed();
        QVERIFY(sim.settle());
        const auto stored = sim.instrument->log().stores(0x0010);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(int(quint8(stored.first().at(4))), 99);
        QCOMPARE(sim.window->ui->utcText->text(), QString("06/01/2099 12:00:00"));
        QVERIFY(sim.window->ui->scd30CalButton->isEnabled()); // gas board with its SCD30
    }

    // How the texts show a short and an impossible record (which dates are
    // impossible is the codec tests' business).
    void shortAndInvalidClockRecords() {
        SimRig sim("minimal");
        auto& ui = *sim.window->ui;
        kvx::ConfigImage record;
        record.resetRequest(0x0010);
        for (int b : {3, 7, 25, 22, 30}) // one byte short
            record.appendU8(quint32(b));
        kvx::decodeClockRecord(ui, record);
        QCOMPARE(ui.utcText->text(), QString("01/01/2000 00:00:00"));
        QCOMPARE(ui.localText->text(), QString("01/01/2000 02:00:00"));

        record.resetRequest(0x0010);
        for (int b : {0, 7, 25, 22, 30, 0}) // month 0
            record.appendU8(quint32(b));
        kvx::decodeClockRecord(ui, record);
        QCOMPARE(ui.utcText->text(), QString());
        QCOMPARE(ui.localText->text(), QString());
    }
};

int main(int argc, char** argv) {
    // The computer's clock two hours ahead of UTC, without daylight saving.
    qputenv("TZ", "EET-2");
    tzset();
    QApplication app(argc, argv);
    ClockWorkflowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clock_workflow.moc"
