// Workflow integrity against the in-process instrument: nothing cuts into a
// running workflow, an unedited write stores what was read, the UTC date edits
// do not depend on the computer's zone, waits survive a clock set back, a
// stray prompt does not hide an answer, a lost device ends the link.
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "tests/support/SimRig.h"

#include <QtTest>

#include <ctime>

using namespace kvx;
using namespace kvx::test;

namespace {

using Slot = void (KVX_Configurator::*)();

struct Press {
    Slot slot;
    QPushButton* Ui_KVX_Configurator::*button;
};
const Press kPresses[] = {
    {&KVX_Configurator::SCD30CalButtonPressed, &Ui_KVX_Configurator::scd30CalButton},
    {&KVX_Configurator::KVXReadButtonPressed, &Ui_KVX_Configurator::kvxRead},
    {&KVX_Configurator::KVXWriteButtonPressed, &Ui_KVX_Configurator::kvxWrite},
    {&KVX_Configurator::KVXSetRTCPressed, &Ui_KVX_Configurator::setRTC},
    {&KVX_Configurator::KVXReadRTCPressed, &Ui_KVX_Configurator::readRTC},
    {&KVX_Configurator::PumpAStartClicked, &Ui_KVX_Configurator::startPumpA},
};

const QDateTime kFirst(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);

// Stores a record in the instrument as a cfg_set would, before any connection.
void storeRaw(sim::Instrument& sim, quint16 word, const QByteArray& fields) {
    ConfigImage image;
    image.resetRequest(word);
    for (const char b : fields)
        image.appendU8(quint8(b));
    image.finishRequest();
    sim.receive(requestLine(image, kCfgSet));
    sim.discardOutput();
}

bool ready(KVX_Configurator& w) {
    return w.linkStep == LinkNone &&
           w.ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect");
}

} // namespace

class IntegrityTest : public QObject {
    Q_OBJECT

private slots:
    void nothingCutsIntoTheInitialRead_data() {
        QTest::addColumn<int>("press");
        const char* names[] = {"Calibrate", "Read", "Write", "Set RTC", "Read RTC", "Start A"};
        for (int i = 0; i < int(std::size(kPresses)); ++i)
            QTest::newRow(names[i]) << i;
    }
    void nothingCutsIntoTheInitialRead() {
        QFETCH(int, press);
        SimRig rig("full");
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        QVERIFY(rig.tickUntil([&] { return rig.w().sessionState == 203; }));
        QVERIFY(!(rig.w().ui->*kPresses[press].button)->isEnabled());
        DialogScript yes({}, QMessageBox::Yes);
        (rig.w().*kPresses[press].slot)();
        QCOMPARE(yes.answered(), 0);
        QCOMPARE(rig.w().sessionState, 203);
        QVERIFY(rig.settle());
        QCOMPARE(rig.requestedWords().last(), quint16(0xC001));
        QVERIFY(rig.w().ui->kvxWrite->isEnabled() && rig.w().ui->scd30CalButton->isEnabled());
        QVERIFY(rig.w().ui->startPumpA->isEnabled());
    }

    // The link resets (Disconnect, Yes) while the Read question is open; the
    // Yes that follows starts nothing, and the next connection reads fully.
    void readQuestionOutlivesTheLink() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        DialogScript script({QMessageBox::Yes});
        script.beforeAnswer = [&](int) {
            rig.w().linkStep = LinkFarewell;
            rig.tickUntil([&] { return rig.w().linkStep == LinkNone; });
            rig.tick(2);
        };
        rig.w().KVXReadButtonPressed();
        QCOMPARE(script.answered(), 1);
        QCOMPARE(rig.w().sessionState, 2);
        const int asked = int(rig.requestedWords().count(kFirmwareLevelRecord));
        QVERIFY(rig.connect());
        QCOMPARE(int(rig.requestedWords().count(kFirmwareLevelRecord)), asked + 1);
        QVERIFY(rig.w().ui->Tab_PumpD->isEnabled() && rig.w().ui->kvxRead->isEnabled());
    }

    void uneditedWriteStoresWhatWasRead_data() {
        QTest::addColumn<int>("odd");
        QTest::addColumn<bool>("noted");
        const char* rows[] = {
            "interval 10",     "stop state 2",   "SEN55 mode 5",     "fan 2",
            "NO2 code 9",      "compensation 7", "blank UTC offset", "365 d 30 h 75 min",
            "cleaning 2000 h", "flag bits 2-14"};
        for (int i = 0; i < int(std::size(rows)); ++i)
            QTest::newRow(rows[i]) << i << (i != 4 && i != 5);
    }
    void uneditedWriteStoresWhatWasRead() {
        QFETCH(int, odd);
        QFETCH(bool, noted);
        sim::InstrumentConfig config = SimRig::load("full");
        switch (odd) {
        case 0:
            config.logInterval = 10;
            break;
        case 1:
            config.stopState = 2;
            break;
        case 2:
            config.sen55.mode = 5;
            break;
        case 4:
            config.alphasense[1].algorithm = 9;
            break;
        case 5:
            config.scd30.compensation = 7;
            break;
        case 6:
            config.utcOffsetHours = -327.68;
            break;
        case 7:
            config.durationDays = 365;
            config.durationHours = 30;
            config.durationMinutes = 75;
            break;
        case 8:
            config.sen55.cleaningIntervalHours = 2000;
            break;
        case 9:
            config.scheduleFlags = 0x8000 | 0x0124 | 1;
            break;
        default:
            break;
        }
        SimRig rig(config);
        if (odd == 3)
            storeRaw(rig.sim(), kGasFanWord, QByteArray("\x00\x02", 2));
        QVERIFY(rig.connect());
        QCOMPARE(!rig.w().keptAsRead.isEmpty(), noted);
        const QHash<quint16, ConfigImage> read = rig.w().readBack.records;
        const QList<quint16> written = rig.w().readBack.unedited.keys();
        QVERIFY(written.contains(kScheduleWord) && written.contains(kGasFanWord));
        {
            DialogScript yes({}, QMessageBox::Yes);
            rig.w().KVXWriteButtonPressed();
        }
        QVERIFY(rig.settle());
        QCOMPARE(rig.sim().state().alphasense[1].algorithm, 0); // 9 has no place in 3 bits
        for (const quint16 word : written) {
            const QByteArray was(reinterpret_cast<const char*>(read[word].bytes.data()),
                                 read[word].length);
            QCOMPARE(rig.sim().readRecord(word).value().toHex(), was.toHex());
        }
    }

    // A specific start chosen without editing the time stores 2000-01-01
    // 00:00 UTC, east and west of Greenwich.
    void dateEditsIgnoreTheComputersZone_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin");
        QTest::newRow("New York") << QByteArray("America/New_York");
    }
    void dateEditsIgnoreTheComputersZone() {
        QFETCH(QByteArray, zone);
        const QByteArray before = qgetenv("TZ");
        const auto restore = qScopeGuard([&] {
            qputenv("TZ", before);
            tzset();
        });
        qputenv("TZ", zone);
        tzset();
        sim::InstrumentConfig fresh = SimRig::load("full");
        fresh.scheduleFlags = 1;
        fresh.scheduleStart = 0;
        SimRig rig(fresh);
        const auto edits = rig.w().findChildren<QDateTimeEdit*>(
            QRegularExpression("^(startDateTime|pump.StartDateTime)$"));
        QCOMPARE(edits.size(), 5);
        for (QDateTimeEdit* edit : edits) {
            QCOMPARE(edit->dateTime(), kFirst);
            QCOMPARE(edit->maximumDateTime(),
                     QDateTime(QDate(2099, 12, 31), QTime(23, 59), Qt::UTC));
        }
        QVERIFY(rig.connect());
        rig.w().ui->specificTime->click();
        {
            DialogScript yes({}, QMessageBox::Yes);
            rig.w().KVXWriteButtonPressed();
        }
        QVERIFY(rig.settle());
        // Start mode 0; 0x1080 = January 1st, (20)00; 00:00.
        QCOMPARE(rig.sim().readRecord(kScheduleWord)->mid(2, 6).toHex(),
                 QByteArray("000010800000"));
    }

    // The computer's clock set back an hour during a wait: the wait still ends on time.
    void waitsIgnoreAClockSetBack_data() {
        QTest::addColumn<bool>("farewell");
        QTest::addColumn<int>("maxTicks");
        QTest::newRow("unanswered request") << false << 4 * 27 + 5;
        QTest::newRow("farewell") << true << 55;
    }
    void waitsIgnoreAClockSetBack() {
        QFETCH(bool, farewell);
        QFETCH(int, maxTicks);
        SimRig rig("full");
        QVERIFY(rig.connect());
        rig.sim().faults().silent = true;
        if (farewell)
            rig.w().linkStep = LinkFarewell;
        else
            rig.w().startGet(kClockWord, 0);
        rig.tick(2); // the request (or the farewell) is out
        *rig.ms -= 3600 * 1000;
        QVERIFY(rig.tickUntil([&] { return rig.w().linkStep == LinkNone; }, maxTicks));
    }

    // "cli> " ahead of the echo, all in one read: the answer is taken at once.
    void strayPromptBeforeTheEcho() {
        Rig rig;
        auto w = rig.window();
        QVERIFY(rig.connectIdle(*w, "0,Main,M1,1,x,x,2,x,x,3,x,x,4,x,x,5,x,x,6,x,x"));
        rig.device->onWrite = [&](const QByteArray& sent) {
            const QByteArray record("\x00\x10\x03\x07\x19\x0c\x1e\x00", 8);
            rig.device->incoming = "cli> " + sent + "\n8,16,775,6412,7680," +
                                   QByteArray::number(crc16Modbus(record)) + "\r\ncli> ";
        };
        w->startGet(kClockWord, 0);
        for (int i = 0; i < 10; ++i)
            w->UpdateTicker();
        QCOMPARE(w->linkStep, int(LinkIdle));
        QCOMPARE(rig.device->written.count("cfg_get"), 1);
    }

    // The system takes the port away (a resource error): the link resets.
    void lostDeviceEndsTheLink_data() {
        QTest::addColumn<int>("atState");
        QTest::newRow("idle") << 0;
        QTest::newRow("reading") << 203;
    }
    void lostDeviceEndsTheLink() {
        QFETCH(int, atState);
        SimRig rig("full");
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        QVERIFY(rig.tickUntil([&] { return rig.w().sessionState == atState; }));
        rig.device->loseDevice();
        rig.tick(2);
        QVERIFY(ready(rig.w()));
        QVERIFY(!rig.w().ui->Tab_Main->isEnabled());
    }
};

QTEST_MAIN(IntegrityTest)
#include "tst_integrity.moc"
