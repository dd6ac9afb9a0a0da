// The tick: receiving, answer detection, the console, the link steps with
// their timeouts and resends, and the firmware level fallback.
#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::test;

namespace {

const QByteArray kBoards = "0,Main,M1,1,Sorbent,S7,2,Filter,F2,3,x,x,4,Filter,F4,5,x,x,6,Gas,G9";

// "N,w1,...,crc" for the given record bytes.
QByteArray answerFor(const QByteArray& record) {
    QByteArray out = QByteArray::number(record.size());
    for (int i = 0; i + 1 < record.size(); i += 2)
        out += ',' + QByteArray::number((quint8(record[i]) << 8) | quint8(record[i + 1]));
    out += ',' + QByteArray::number(kvx::crc16Modbus(record));
    return out;
}

} // namespace

class EngineTest : public QObject {
    Q_OBJECT

    Rig rig;
    std::unique_ptr<KVX_Configurator> w;

    void tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            w->UpdateTicker();
    }
    // Echo of what was sent, then the answer, then the prompt.
    void reply(const QByteArray& sent, const QByteArray& answer) {
        rig.device->incoming += sent + "\n" + answer + "\r\ncli> ";
    }
    void connectToIdle() { QVERIFY(rig.connectIdle(*w, kBoards)); }
    // Starts one exchange from a session state and runs it to completion or
    // reset, answering each line sent with the next of `answers` (an empty
    // entry means no answer at all).
    void runExchange(quint16 word, const QList<QByteArray>& answers, int maxTicks = 400) {
        int next = 0;
        rig.device->onWrite = [&](const QByteArray& bytes) {
            if (next < answers.size() && !answers[next].isNull())
                reply(bytes, answers[next]);
            ++next;
        };
        w->startGet(word, 0);
        for (int i = 0; i < maxTicks && w->linkStep != 0 && w->linkStep != 1000; ++i) {
            tick();
            rig.clock.advance(20);
        }
        rig.device->onWrite = nullptr;
    }

private slots:
    void init() {
        rig = Rig();
        w = rig.window();
    }
    void cleanup() {
        rig.device->onWrite = nullptr;
        w.reset();
    }

    void lineFeedDroppedAndAnswerMirrored() {
        connectToIdle();
        w->ui->kvxOutputBox->clear();
        rig.device->incoming = "ab\ncli> ";
        tick();
        QCOMPARE(w->ui->kvxOutputBox->toPlainText(), QString("abcli> "));
        QVERIFY(w->rxText.isEmpty());
        QCOMPARE(w->promptSeen, 0);
    }

    void nulMarkedOnTheAnswerItArrivedIn() {
        connectToIdle();
        w->ui->kvxOutputBox->clear();
        rig.device->incoming = QByteArray("x\0y\rcli> ", 9);
        tick();
        QCOMPARE(w->ui->kvxOutputBox->toPlainText(), QString("xy\ncli> <NUL>\n"));
        rig.device->incoming = "z\rcli> ";
        tick();
        QCOMPARE(w->ui->kvxOutputBox->toPlainText(), QString("xy\ncli> <NUL>\nz\ncli> "));
    }

    void splitAnswerExaminedWhenThePromptArrives() {
        connectToIdle();
        w->ui->kvxOutputBox->clear();
        rig.device->incoming = "par";
        tick();
        QCOMPARE(w->rxText, QString("par"));
        QVERIFY(w->ui->kvxOutputBox->toPlainText().isEmpty());
        rig.device->incoming = "tial\rcli";
        tick();
        rig.device->incoming = "> ";
        tick();
        QCOMPARE(w->ui->kvxOutputBox->toPlainText(), QString("partial\ncli> "));
        QVERIFY(w->rxText.isEmpty());
    }

    void consoleIsBounded() {
        connectToIdle();
        const QByteArray chunk(70000, 'a');
        for (int i = 0; i < 5; ++i) {
            rig.device->incoming = chunk + "cli> ";
            tick();
        }
        // After four answers of 70005 characters the console holds more than
        // the limit, so the fifth starts it afresh.
        QCOMPARE(w->ui->kvxOutputBox->document()->characterCount() - 1, 70005);
    }

    void boardListRequestedTheTickAfterThePrompt() {
        *rig.ports = {"ttyUSB0"};
        tick();
        w->KVXConnectButtonPressed();
        tick(2);
        rig.device->written.clear();
        rig.device->incoming = "\x1b"
                               "c\r\ncli> ";
        tick();
        QVERIFY(rig.device->written.isEmpty());
        tick();
        QCOMPARE(rig.device->written, QByteArray("show_boards_cal\r"));
    }

    void firmwareLevelRequestLine() {
        connectToIdle();
        w->sessionState = 2;
        tick(); // session state 2 starts the exchange
        QVERIFY(rig.device->written.isEmpty());
        tick(); // link 6 -> 8
        QVERIFY(rig.device->written.isEmpty());
        tick(); // link 8 sends
        QCOMPARE(rig.device->written, QByteArray("21504 112 2 cfg_get\r"));
    }

    void noFirmwareLevelRecordMeansLevelZero() {
        connectToIdle();
        w->responseImage.resetRequest(0x1234);
        runExchange(0x0070, {"0", "0", "0", "0"});
        QCOMPARE(w->linkStep, 0);
        QCOMPARE(w->responseImage.length, quint16(0));
    }

    void noDataForAnyOtherRecordResets() {
        connectToIdle();
        runExchange(0x0020, {"0", "0", "0", "0"});
        QCOMPARE(w->linkStep, 1000);
        QCOMPARE(rig.device->written.count("cfg_get\r"), 4);
    }

    void sessionStateWaitsForTheLink() {
        connectToIdle();
        const QByteArray level("\x00\x70\x00\x05", 4);
        rig.device->onWrite = [this, level](const QByteArray& bytes) {
            reply(bytes, answerFor(level));
        };
        w->sessionState = 2;
        tick(3); // request sent; the answer is queued at once
        QCOMPARE(w->sessionState, 3);
        QCOMPARE(w->linkStep, 9);
        tick(); // answer parsed in the link step; state 3 runs in the same tick
        QCOMPARE(w->linkStep, 0);
        QCOMPARE(w->firmwareLevel, 5);
        QCOMPARE(w->sessionState, 4);
    }

    void lateAnswerToAnEarlierRecordIsNotTaken() {
        connectToIdle();
        const QByteArray first("\x00\x20\x80\x00", 4);
        runExchange(0x0020, {answerFor(first)});
        QCOMPARE(w->linkStep, 0);
        // The next record's line goes out; a late second answer to the first
        // record (its own echo in front) arrives before the real answer.
        const QByteArray second("\x00\x30\x41\x42", 4);
        w->requestImage.resetRequest(0x0020);
        w->requestImage.finishRequest();
        const QByteArray firstLine = kvx::requestLine(w->requestImage, kvx::kCfgGet);
        w->startGet(0x0030, 0);
        tick(3); // the line for 0x0030 is sent
        QCOMPARE(w->linkStep, 9);
        reply(firstLine, answerFor(first));
        tick();
        QCOMPARE(w->linkStep, 9); // not taken
        rig.device->incoming += kvx::requestLine(w->requestImage, kvx::kCfgGet) + "\n" +
                                answerFor(second) + "\r\ncli> ";
        tick();
        QCOMPARE(w->linkStep, 0);
        QCOMPARE(w->responseImage.readU16(2), quint16(0x4142));
    }

    void disconnectDuringAnExchange() {
        connectToIdle();
        w->startGet(0x0020, 0);
        tick(2);
        QCOMPARE(w->linkStep, 9);
        DialogScript yes({QMessageBox::Yes});
        w->KVXDisconnectButtonPressed();
        rig.device->written.clear();
        tick();
        QCOMPARE(rig.device->written, QByteArray("menu\r"));
        rig.clock.advance(1000);
        tick(2);
        QCOMPARE(w->linkStep, 1000);
        // The reset handed the session back to the Ready page.
        QCOMPARE(w->sessionState, 2);
        QVERIFY(w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"));
    }

    void farewellEndsEvenIfTheDeviceNeverFallsSilent() {
        connectToIdle();
        w->linkStep = 997;
        for (int i = 0; i < 400 && w->linkStep != 1000; ++i) {
            rig.device->incoming += "chatter";
            tick();
            rig.clock.advance(20);
        }
        QCOMPARE(w->linkStep, 1000);
    }
};

QTEST_MAIN(EngineTest)
#include "tst_engine.moc"
