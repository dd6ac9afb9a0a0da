// Faults while writing: a write broken off part way (cable pulled, a record
// never answered, a read-back that never checks out) leaves the records
// already written in the instrument, sends nothing after the failure and takes
// the window back to the Ready page; spoilt answers within the three resends
// still give the same instrument as a clean write. The same for a forced
// calibration of the SCD30.
#include "tests/faults/FaultRig.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

sim::InstrumentConfig full() {
    return SimRig::load(QStringLiteral("full"));
}

// The image carried by a cfg_set line: "crc wN-1 ... w0 length cfg_set".
QByteArray imageOf(const QString& line) {
    const QStringList items = line.split(QLatin1Char(' '));
    QByteArray image;
    for (int i = int(items.size()) - 3; i >= 1; --i) {
        const quint16 word = quint16(items.at(i).toUInt());
        image.append(char(word >> 8)).append(char(word & 0xFF));
    }
    return image;
}

quint16 wordOf(const QString& line) {
    const QByteArray image = imageOf(line);
    return quint16((quint8(image.at(0)) << 8) | quint8(image.at(1)));
}

QStringList setLines(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines) {
        if (line.endsWith(QLatin1String(" cfg_set")))
            out << line;
    }
    return out;
}

// Presses Write, answering every box with Yes.
void pressWrite(SimRig& rig) {
    DialogScript yes({}, QMessageBox::Yes);
    rig.w().KVXWriteButtonPressed();
}

} // namespace

class WriteFaultsTest : public QObject {
    Q_OBJECT

    QStringList readLines;  // a clean connection and read
    QStringList writeLines; // the clean write that follows it

private slots:
    void initTestCase() {
        SimRig rig(full());
        QVERIFY(rig.connect());
        readLines = sentLines(rig);
        pressWrite(rig);
        QVERIFY(rig.settle());
        writeLines = sentLines(rig).mid(readLines.size());
        QVERIFY(writeLines.size() >= 20);
        QCOMPARE(setLines(writeLines), writeLines);
    }

    // The write breaks off at its sixth record. The five before it are stored
    // as sent, nothing is sent once the link has given up, and the window is
    // back on the Ready page with its pages cleared.
    void writeBrokenOff_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("storesOfTheSixth");
        QTest::newRow("cable pulled") << "cable" << 0;
        QTest::newRow("sixth record never answered") << "no answer" << 0;
        // The instrument stores it each time; only its read-back is spoilt.
        QTest::newRow("sixth read-back with a bad CRC") << "bad crc" << 4;
    }
    void writeBrokenOff() {
        QFETCH(QString, how);
        QFETCH(int, storesOfTheSixth);
        const QString sixth = writeLines.at(5);
        auto config = full();
        if (how == QLatin1String("cable"))
            config.faults.cablePulledAfter = int(readLines.size()) + 5;
        else if (how == QLatin1String("no answer"))
            config.faults.noAnswerFirst = 4;
        else
            config.faults.badCrcFirst = 4;
        if (how != QLatin1String("cable"))
            config.faults.only = sixth;
        SimRig rig(config);
        QVERIFY(rig.connect());
        pressWrite(rig);
        QVERIFY(!rig.settle());

        const QStringList sent = sentLines(rig).mid(readLines.size());
        if (how == QLatin1String("cable"))
            QCOMPARE(sent, writeLines.mid(0, 5));
        else
            QCOMPARE(sent, (writeLines.mid(0, 6) + QStringList{sixth, sixth, sixth}));

        // What was written stays written, exactly as sent.
        const sim::CommandLog& log = rig.sim().log();
        QCOMPARE(log.ofKind("store").size(), 5 + storesOfTheSixth);
        for (int i = 0; i < 5; ++i) {
            const quint16 word = wordOf(writeLines.at(i));
            QCOMPARE(log.stores(word).size(), 1);
            QCOMPARE(log.stores(word).first(), imageOf(writeLines.at(i)));
        }
        for (const QByteArray& stored : log.stores(wordOf(sixth)))
            QCOMPARE(stored, imageOf(sixth));

        QVERIFY(runUntilFallenBack(rig) > 0);
        rig.tick(100);
        QCOMPARE(sentLines(rig).size(), readLines.size() + sent.size()); // nothing later
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        const QString leftovers = leftoverProblems(rig.w());
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers));
    }

    // Spoilt or missing answers to the writes, within the three resends: each
    // affected line goes out again and the instrument ends up holding exactly
    // what a clean write leaves.
    void writeRecovers_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("first read-back bad three times") << "bad crc";
        QTest::newRow("first read-back with a bad count") << "bad count";
        QTest::newRow("every record answered only the fourth time") << "no answer";
    }
    void writeRecovers() {
        QFETCH(QString, how);
        SimRig reference(full());
        QVERIFY(reference.connect());
        pressWrite(reference);
        QVERIFY(reference.settle());

        auto config = full();
        config.faults.only = kCfgSet;
        if (how == QLatin1String("bad crc"))
            config.faults.badCrcFirst = 3;
        else if (how == QLatin1String("bad count"))
            config.faults.badCountFirst = 1;
        else
            config.faults.noAnswerFirst = 3;
        SimRig rig(config);
        QVERIFY(rig.connect());
        pressWrite(rig);
        QVERIFY(rig.settle(60000));
        QVERIFY(rig.w().ui->kvxWrite->isEnabled());

        const QStringList sent = sentLines(rig).mid(readLines.size());
        QCOMPARE(foldRepeats(sent), writeLines);
        if (how == QLatin1String("no answer"))
            QCOMPARE(sent.size(), 4 * writeLines.size());
        else
            QCOMPARE(countOf(sent, writeLines.first()), how == QLatin1String("bad crc") ? 4 : 2);
        for (const QString& line : writeLines) {
            const quint16 word = wordOf(line);
            QCOMPARE(rig.sim().readRecord(word), reference.sim().readRecord(word));
        }
    }

    // A forced calibration whose answer never comes back: when the cable is
    // already gone nothing is stored; when only the answers are lost the
    // instrument took the calibration (four times, the same record). Either
    // way the link gives up after four attempts and the window falls back.
    void calibrationCutOff_data() {
        QTest::addColumn<bool>("cablePulled");
        QTest::newRow("cable pulled") << true;
        QTest::newRow("answers lost") << false;
    }
    void calibrationCutOff() {
        QFETCH(bool, cablePulled);
        auto config = full();
        if (cablePulled)
            config.faults.cablePulledAfter = int(readLines.size());
        SimRig rig(config);
        QVERIFY(rig.connect());
        QVERIFY(rig.w().ui->scd30CalButton->isEnabled());
        if (!cablePulled)
            rig.sim().faults().silent = true;
        {
            DialogScript yes({}, QMessageBox::Yes);
            rig.w().SCD30CalButtonPressed();
        }
        QCOMPARE(rig.w().sessionState, 798);
        QVERIFY(!rig.settle());

        const QStringList sent = sentLines(rig).mid(readLines.size());
        const QList<QByteArray> stores = rig.sim().log().stores(0x4096);
        if (cablePulled) {
            QVERIFY(sent.isEmpty());
            QVERIFY(stores.isEmpty());
        } else {
            QCOMPARE(sent.size(), 4);
            QCOMPARE(foldRepeats(sent).size(), 1);
            QCOMPARE(wordOf(sent.first()), quint16(0x4096));
            QCOMPARE(stores.size(), 4);
            QCOMPARE(stores.first(), imageOf(sent.first()));
            QCOMPARE(rig.sim().state().scd30.calibrationStamp,
                     quint32(quint8(stores.first().at(4)) << 24 |
                             quint8(stores.first().at(5)) << 16 |
                             quint8(stores.first().at(6)) << 8 | quint8(stores.first().at(7))));
        }
        QVERIFY(runUntilFallenBack(rig) > 0);
        const QString problems = disconnectedProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        QVERIFY(rig.w().ui->scd30Calibrated->text().isEmpty());
        QVERIFY(!rig.w().ui->scd30CalButton->isEnabled());
    }
};

QTEST_MAIN(WriteFaultsTest)
#include "tst_faults_write.moc"
