// Faults in the record exchanges of the initial read and of the clock read:
// missing answers, wrong checksums and byte counts (recovered within three
// resends, fatal on the fourth failure), NULs, line feeds and junk inside the
// answers, answers trickling in one byte at a time, an endless stream and a
// pulled cable. Recovered reads must leave the form exactly as a clean read
// does; failed ones must stop sending and leave the pages cleared.
#include "tests/faults/FaultRig.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

sim::InstrumentConfig full() {
    return SimRig::load(QStringLiteral("full"));
}

enum class Fault { NoAnswer, BadCrc, BadCount };

void apply(sim::Faults& f, Fault fault, const QString& only, int times) {
    f.only = only;
    switch (fault) {
    case Fault::NoAnswer:
        f.noAnswerFirst = times;
        break;
    case Fault::BadCrc:
        f.badCrcFirst = times;
        break;
    case Fault::BadCount:
        f.badCountFirst = times;
        break;
    }
}

QString clockText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString("MM/dd/yyyy hh:mm:ss");
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class ExchangeFaultsTest : public QObject {
    Q_OBJECT

    // What a clean connection sends and shows.
    QStringList cleanLines;
    QMap<QString, QString> cleanForm;

    void expectCleanOutcome(SimRig& rig) {
        const QMap<QString, QString> form = formValues(rig.w());
        QVERIFY2(form == cleanForm, qPrintable(differences(cleanForm, form)));
        QVERIFY(rig.w().ui->kvxWrite->isEnabled());
        QVERIFY(rig.w().ui->configurationOutputBox->toPlainText().startsWith("Connected"));
    }

    void expectFallenBack(SimRig& rig) {
        QVERIFY(runUntilFallenBack(rig) > 0);
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        const QString leftovers = leftoverProblems(rig.w());
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers));
    }

private slots:
    void initTestCase() {
        SimRig rig(full());
        QVERIFY(rig.connect());
        cleanLines = sentLines(rig);
        cleanForm = formValues(rig.w());
        // Level record and 49 records of the read, after the reset and board list.
        QCOMPARE(cleanLines.size(), 2 + 1 + 49);
        QVERIFY2(cleanForm.size() > 200, qPrintable(QString::number(cleanForm.size())));
    }

    // One record answer spoilt (or missing) `times` times in a row: three
    // resends of the same line are allowed, so three failures are recovered
    // from and four end the link, with nothing sent after the fourth attempt.
    void spoiltAnswers_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<quint16>("word");
        QTest::addColumn<int>("times");
        QTest::addColumn<bool>("recovers");
        const quint16 level = kFirmwareLevelRecord;
        QTest::newRow("no answer x3, level") << Fault::NoAnswer << level << 3 << true;
        QTest::newRow("no answer x4, level") << Fault::NoAnswer << level << 4 << false;
        QTest::newRow("no answer x3, SCD30") << Fault::NoAnswer << quint16(0x4036) << 3 << true;
        QTest::newRow("no answer x4, SCD30") << Fault::NoAnswer << quint16(0x4036) << 4 << false;
        QTest::newRow("bad CRC x3, level") << Fault::BadCrc << level << 3 << true;
        QTest::newRow("bad CRC x4, level") << Fault::BadCrc << level << 4 << false;
        QTest::newRow("bad CRC x3, pump B cartridge")
            << Fault::BadCrc << quint16(0x8024) << 3 << true;
        QTest::newRow("bad CRC x4, pump B cartridge")
            << Fault::BadCrc << quint16(0x8024) << 4 << false;
        QTest::newRow("bad count x1, clock") << Fault::BadCount << quint16(0x0010) << 1 << true;
        QTest::newRow("bad count x3, pump D flow")
            << Fault::BadCount << quint16(0xC101) << 3 << true;
        QTest::newRow("bad count x4, pump D flow")
            << Fault::BadCount << quint16(0xC101) << 4 << false;
        QTest::newRow("bad count x4, last record")
            << Fault::BadCount << quint16(0xC001) << 4 << false;
    }
    void spoiltAnswers() {
        QFETCH(Fault, fault);
        QFETCH(quint16, word);
        QFETCH(int, times);
        QFETCH(bool, recovers);
        const QString line = getLine(word);
        const int at = int(cleanLines.indexOf(line));
        QVERIFY(at > 0);

        auto config = full();
        apply(config.faults, fault, line, times);
        SimRig rig(config);
        const bool connected = rig.connect();
        const QStringList lines = sentLines(rig);
        QCOMPARE(connected, recovers);
        QCOMPARE(countOf(lines, line), recovers ? times + 1 : 4);
        if (recovers) {
            QCOMPARE(foldRepeats(lines), cleanLines);
            expectCleanOutcome(rig);
        } else {
            // The same line four times, then nothing more.
            QCOMPARE(lines, (cleanLines.mid(0, at + 1) + QStringList{line, line, line}));
            QCOMPARE(rig.sim().log().ofKind("store").size(), 0);
            expectFallenBack(rig);
        }
    }

    // Every record answer missing three times: each line goes out four times
    // and the read still ends with the clean result.
    void everyRecordAnsweredOnlyTheFourthTime() {
        auto config = full();
        apply(config.faults, Fault::NoAnswer, kCfgGet, 3);
        SimRig rig(config);
        QVERIFY(rig.connect(60000));
        const QStringList lines = sentLines(rig);
        QCOMPARE(foldRepeats(lines), cleanLines);
        QCOMPARE(lines.size(), 2 + 4 * (cleanLines.size() - 2));
        expectCleanOutcome(rig);
    }

    // Dirt inside or in front of the answers: dropped or cut off, so every
    // line goes out once and the form matches a clean read.
    void dirtyAnswers_data() {
        QTest::addColumn<QByteArray>("faults");
        QTest::newRow("NUL bytes") << QByteArray(R"({"nulBytes":true})");
        QTest::newRow("line feeds") << QByteArray(R"({"lineFeeds":true})");
        QTest::newRow("NULs and line feeds") << QByteArray(R"({"nulBytes":true,"lineFeeds":true})");
        QTest::newRow("junk before each echo") << QByteArray(R"({"garbageBytes":7})");
        QTest::newRow("1-byte pieces, 5 ms apart")
            << QByteArray(R"({"chunkSize":1,"chunkDelayMs":5})");
        QTest::newRow("answers 400 ms late") << QByteArray(R"({"answerDelayMs":400})");
        QTest::newRow("all at once")
            << QByteArray(R"({"nulBytes":true,"lineFeeds":true,"garbageBytes":3,)"
                          R"("chunkSize":3,"chunkDelayMs":30})");
    }
    void dirtyAnswers() {
        QFETCH(QByteArray, faults);
        auto config = full();
        QString error;
        QVERIFY2(config.faults.read(QJsonDocument::fromJson(faults).object(), &error),
                 qPrintable(error));
        SimRig rig(config);
        QVERIFY(rig.connect());
        QCOMPARE(sentLines(rig), cleanLines);
        expectCleanOutcome(rig);
        const QString console = rig.w().ui->kvxOutputBox->toPlainText();
        QCOMPARE(console.contains("<NUL>"), config.faults.nulBytes);
        QVERIFY(console.contains(rig.sim().state().main.id));
    }

    // Read RTC with the answer arriving one byte at a time. The wait runs from
    // the last byte heard: pauses up to 500 ms (a byte landing in the tick
    // that would time out is received first) keep the exchange alive; 520 ms
    // times out on every attempt and ends the link, the clock text untouched.
    void tricklingClockAnswer_data() {
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<bool>("arrives");
        QTest::newRow("480 ms") << 480 << true;
        QTest::newRow("500 ms") << 500 << true;
        QTest::newRow("520 ms") << 520 << false;
    }
    void tricklingClockAnswer() {
        QFETCH(int, pauseMs);
        QFETCH(bool, arrives);
        SimRig rig(full());
        QVERIFY(rig.connect());
        const QString before = rig.w().ui->utcText->text();
        QVERIFY(!before.isEmpty());
        const int sentBefore = int(sentLines(rig).size());

        rig.sim().faults().chunkSize = 1;
        rig.sim().faults().chunkDelayMs = pauseMs;
        rig.tick(100); // the clock moves on, so a new read shows a new time
        rig.w().KVXReadRTCPressed();
        QVERIFY(!rig.w().ui->readRTC->isEnabled());
        QCOMPARE(rig.settle(), arrives);
        const QStringList after = sentLines(rig).mid(sentBefore);
        const QString line = getLine(0x0010);
        if (arrives) {
            QCOMPARE(after, QStringList{line});
            const qint64 askedAt = commandTime(rig, sentBefore + 1);
            QCOMPARE(rig.w().ui->utcText->text(), clockText(askedAt));
            QVERIFY(rig.w().ui->readRTC->isEnabled());
            // It took as long as the pieces did: about 35 bytes, one per pause.
            QVERIFY(rig.now() - askedAt > 20 * pauseMs);
            QVERIFY(rig.w().ui->utcText->text() != before);
        } else {
            QCOMPARE(after, (QStringList{line, line, line, line}));
            QVERIFY(runUntilFallenBack(rig) > 0);
            const QString problems = disconnectedProblems(rig.w());
            QVERIFY2(problems.isEmpty(), qPrintable(problems));
            QCOMPARE(rig.w().ui->utcText->text(), before);
        }
    }

    // An endless stream where a record answer should be: the receive text
    // never outgrows its bound, the line goes out four times, then nothing.
    void endlessStreamDuringTheRead() {
        auto config = full();
        config.faults.endlessAfter = 6; // the seventh line is never answered
        SimRig rig(config);
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        int longest = 0;
        QVERIFY(rig.tickUntil([&] {
            longest = std::max(longest, int(rig.w().rxText.size()));
            return rig.w().linkStep == LinkNone;
        }));
        QVERIFY2(longest <= kRxLimit, qPrintable(QString::number(longest)));
        const QString line = cleanLines.at(6);
        QCOMPARE(sentLines(rig), (cleanLines.mid(0, 7) + QStringList{line, line, line}));
        expectFallenBack(rig);
    }

    // The cable is pulled in the middle of the read: what follows never
    // reaches the instrument, the link times out on its own and the pages are
    // cleared.
    void cablePulledDuringTheRead() {
        auto config = full();
        config.faults.cablePulledAfter = 20;
        SimRig rig(config);
        QVERIFY(!rig.connect());
        QCOMPARE(sentLines(rig), cleanLines.mid(0, 20));
        QVERIFY(rig.sim().cablePulled());
        expectFallenBack(rig);
    }

    // The same, with the port vanishing from the port list as a USB port
    // does: the operator is asked once whether to disconnect. A No leaves the
    // link to time out on its own; a Yes sends the farewell into the dead port
    // and resets. Either way the window ends up disconnected.
    void portVanishesDuringTheRead_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void portVanishesDuringTheRead() {
        QFETCH(bool, yes);
        auto config = full();
        config.faults.cablePulledAfter = 20;
        SimRig rig(config);
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        QVERIFY(rig.tickUntil([&] { return rig.sim().cablePulled(); }));
        auto* ports = dynamic_cast<sim::SimPortSource*>(rig.w().portSource.get());
        QVERIFY(ports);
        ports->setPorts({});
        DialogScript hand({}, yes ? QMessageBox::Yes : QMessageBox::No);
        rig.tick();
        QCoreApplication::processEvents(); // the question is put from the event loop
        QVERIFY(runUntilFallenBack(rig) > 0);
        rig.tick(10);
        QCOMPARE(hand.answered(), 1);
        QCOMPARE(hand.titles.value(0), QStringLiteral("Disconnect from an KVXv2."));
        QCOMPARE(sentLines(rig), cleanLines.mid(0, 20));
        const QString leftovers = leftoverProblems(rig.w());
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers));
        QCOMPARE(rig.w().linkStep, int(LinkNone));
        QVERIFY(rig.w().ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"));
        // With the port gone the list shows "None" and Connect is disabled.
        QCOMPARE(rig.w().ui->kvxComList->currentText(), QStringLiteral("None"));
        QVERIFY(!rig.w().ui->kvxConnect->isEnabled());
    }

    // Set RTC with the cable pulled right after the instrument stored the new
    // time: the clock is set in the instrument, the read-back never arrives,
    // the link resets and the clock texts keep what they showed.
    void cablePulledDuringAClockSet() {
        SimRig rig(full());
        QVERIFY(rig.connect());
        const QString before = rig.w().ui->utcText->text();
        const int answered = rig.sim().commandsAnswered();
        rig.sim().faults().cablePulledAfter = answered + 1;
        rig.tick(50);
        rig.w().KVXSetRTCPressed();
        QVERIFY(!rig.settle());
        const QStringList after = sentLines(rig).mid(cleanLines.size());
        QCOMPARE(after.size(), 1);
        QVERIFY(after.first().endsWith(" 16 8 cfg_set"));
        QCOMPARE(rig.sim().log().stores(0x0010).size(), 1);
        expectFallenBack(rig);
        QCOMPARE(rig.w().ui->utcText->text(), before);
    }
};

QTEST_MAIN(ExchangeFaultsTest)
#include "tst_faults_exchange.moc"
