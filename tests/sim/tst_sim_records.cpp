// The simulated instrument's records: which are missing, and how a written record
// shows in the read layouts where the two differ. That a write is stored and
// read back as sent is shown by the configurator's round-trip test.
#include "SimSession.h"

#include <QTest>

using namespace kvx::sim;
using simtest::Session;

namespace {

quint16 u16(const QByteArray& b, int at) {
    return quint16(quint8(b.at(at)) << 8 | quint8(b.at(at + 1)));
}
quint32 u32(const QByteArray& b, int at) {
    return quint32(u16(b, at)) << 16 | u16(b, at + 2);
}

} // namespace

class TestSimRecords : public QObject {
    Q_OBJECT

private slots:
    // Records the instrument does not have. That it has every record a read
    // asks for is shown by the read chain tests, which fail on a missing one.
    void missingRecordsAnswerTwoFieldsOrFewer_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("word");
        QTest::newRow("legacy has no level") << "legacy" << 0x0070;
        QTest::newRow("minimal gas board") << "minimal" << 0x4016;
        QTest::newRow("minimal pump A") << "minimal" << 0x8012;
        QTest::newRow("minimal sorbent") << "minimal" << 0xC001;
        QTest::newRow("unknown class") << "full" << 0x2010;
        QTest::newRow("write-only modes") << "full" << 0x4086;
        QTest::newRow("alphasense logging level 0") << "minimal" << 0x40A6;
        QTest::newRow("alphasense logging no level") << "legacy" << 0x40A6;
        QTest::newRow("fan level 2") << "mixed" << 0x40B6;
        QTest::newRow("figaro level 2") << "mixed" << 0x40C6;
        QTest::newRow("pump B board absent") << "mixed" << 0x8014;
        QTest::newRow("absent pump A cartridge") << "mixed" << 0x8022;
        QTest::newRow("absent pump C install") << "mixed" << 0xC221;
    }
    void missingRecordsAnswerTwoFieldsOrFewer() {
        QFETCH(QString, preset);
        QFETCH(int, word);
        Session s(simtest::preset(preset));
        QStringList fields;
        QVERIFY(!s.get(quint16(word), &fields));
        QVERIFY(fields.size() <= 2);
    }

    void sen55WriteShowsInTheReadLayout() {
        Session s(simtest::preset("full"));
        const QByteArray before = *s.get(0x0060);
        QCOMPARE(before.size(), 16);
        QCOMPARE(s.set(0x0060, QByteArray::fromHex("000200000030")), kvx::Verdict::Valid);
        const QByteArray after = *s.get(0x0060);
        QCOMPARE(after.size(), 16);
        QCOMPARE(u16(after, 2), quint16(2));
        QCOMPARE(u32(after, 4), u32(before, 4)); // run time is the instrument's
        QCOMPARE(u32(after, 8), u32(before, 8)); // fan run time too
        QCOMPARE(u32(after, 12), quint32(48));

        // A record without the interval is refused and changes nothing.
        QStringList fields;
        QCOMPARE(s.set(0x0060, QByteArray::fromHex("0003"), &fields), kvx::Verdict::NoData);
        QVERIFY(fields.size() <= 2);
        QCOMPARE(*s.get(0x0060), after);

        // An absent SEN55 keeps reading mode 0 whatever is written.
        Session m(simtest::preset("minimal"));
        QCOMPARE(m.set(0x0060, QByteArray::fromHex("000300000018")), kvx::Verdict::Valid);
        QCOMPARE(u16(*m.get(0x0060), 2), quint16(0));
    }

    void cartridgeWriteSetsIdAndInstallDate_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("cartridge");
        QTest::addColumn<int>("install");
        QTest::newRow("pump A") << "full" << 0x8022 << 0x8032;
        QTest::newRow("pump B") << "full" << 0x8024 << 0x8034;
        QTest::newRow("pump C") << "full" << 0xC211 << 0xC221;
        QTest::newRow("pump D") << "mixed" << 0xC111 << 0xC121;
    }
    void cartridgeWriteSetsIdAndInstallDate() {
        QFETCH(QString, preset);
        QFETCH(int, cartridge);
        QFETCH(int, install);
        Session s(simtest::preset(preset));
        const QDateTime stamp(QDate(2025, 3, 7), QTime(9, 5), Qt::UTC);
        for (const QString& id :
             {QStringLiteral("NEW-CART-7"), QStringLiteral("FIFTEEN-CHARS-X")}) {
            kvx::ConfigImage req;
            req.resetRequest(quint16(cartridge));
            req.appendPackedDateTime(stamp);
            req.appendFixedText(id, 15);
            req.finishRequest();
            QCOMPARE(req.length, 22);
            kvx::ConfigImage response;
            QCOMPARE(s.exchange(req, kvx::kCfgSet, response), kvx::Verdict::Valid);

            kvx::ConfigImage read;
            QCOMPARE(s.exchange(Session::request(quint16(cartridge)), kvx::kCfgGet, read),
                     kvx::Verdict::Valid);
            QCOMPARE(read.readText(2), id); // a full 15-character ID keeps all 15
            QCOMPARE(s.exchange(Session::request(quint16(install)), kvx::kCfgGet, read),
                     kvx::Verdict::Valid);
            QCOMPARE(read.readInstallText(2), QStringLiteral("On 3/7/2025 @ 9:05"));
        }
    }

    void flowWriteKeepsFittedFlagAndLimit() {
        Session s(simtest::preset("full"));
        QCOMPARE(*s.get(0x8012), QByteArray::fromHex("80120103e807d000"));
        QCOMPARE(s.set(0x8012, QByteArray::fromHex("04d2")), kvx::Verdict::Valid);
        QCOMPARE(*s.get(0x8012), QByteArray::fromHex("801201"
                                                     "04d2"
                                                     "07d0"
                                                     "00"));
        QCOMPARE(s.set(0xC101, QByteArray::fromHex("007d")), kvx::Verdict::Valid);
        QCOMPARE(u16(*s.get(0xC101), 3), quint16(125));
        // The flow of an absent pump cannot be written; its record still says "absent".
        Session m(simtest::preset("mixed"));
        QCOMPARE(m.set(0x8012, QByteArray::fromHex("0100")), kvx::Verdict::NoData);
        QCOMPARE(quint8(m.get(0x8012)->at(2)), quint8(0));
        QCOMPARE(quint8(m.get(0xC201)->at(2)), quint8(0));
        QCOMPARE(quint8(m.get(0xC101)->at(2)), quint8(1));
    }

    void forcedCalibrationSetsTheScd30Date() {
        Session s(simtest::preset("full"));
        kvx::ConfigImage req;
        req.resetRequest(0x4096);
        req.appendU16(400);
        req.appendPackedDateTime(QDateTime(QDate(2025, 3, 7), QTime(9, 5), Qt::UTC));
        req.finishRequest();
        kvx::ConfigImage response;
        QCOMPARE(s.exchange(req, kvx::kCfgSet, response), kvx::Verdict::Valid);
        QCOMPARE(response.readInstallText(4), QStringLiteral("On 3/7/2025 @ 9:05"));
        QCOMPARE(s.exchange(Session::request(0x4036), kvx::kCfgGet, response), kvx::Verdict::Valid);
        QCOMPARE(response.readInstallText(10), QStringLiteral("On 3/7/2025 @ 9:05"));
        // No SCD30, no calibration.
        Session m(simtest::preset("minimal"));
        QCOMPARE(m.exchange(req, kvx::kCfgSet, response), kvx::Verdict::NoData);
    }

    void alphasenseModesSwitchTheSensorWords() {
        // Full preset, level 5: position 3 is an OX-B431 with partner 2.
        Session s(simtest::preset("full"));
        QCOMPARE(u16(*s.get(0x4066), 2), quint16(0x223E));
        // Position 1 off, 2 on, 3 on with algorithm 4, 4 on.
        QCOMPARE(s.set(0x4086, QByteArray::fromHex("00010901")), kvx::Verdict::Valid);
        QCOMPARE(u16(*s.get(0x4046), 2) & 3, 1);
        QCOMPARE(u16(*s.get(0x4056), 2) & 3, 2);
        const quint16 third = u16(*s.get(0x4066), 2);
        QCOMPARE(third & 3, 2);
        QCOMPARE(third >> 12, 4);
        QCOMPARE(third & 0x0FFC, 0x023C); // type, partner, bits 2 and 3 untouched
        QCOMPARE(u16(*s.get(0x4076), 2) & 3, 2);

        // Level 0 (legacy): the whole word is the mode; absent positions stay 0.
        Session l(simtest::preset("legacy"));
        QCOMPARE(u16(*l.get(0x4046), 2), quint16(2));
        QCOMPARE(l.set(0x4086, QByteArray::fromHex("00010101")), kvx::Verdict::Valid);
        QCOMPARE(u16(*l.get(0x4046), 2), quint16(1));
        QCOMPARE(u16(*l.get(0x4056), 2), quint16(2));
        QCOMPARE(u16(*l.get(0x4066), 2), quint16(2));
        QCOMPARE(u16(*l.get(0x4076), 2), quint16(0));
    }

    void pumpRunAndStop() {
        Session s(simtest::preset("full"));
        QVERIFY(!s.sim.pumpRunning(0));
        QCOMPARE(s.set(0x8082, QByteArray::fromHex("04e2")), kvx::Verdict::Valid);
        QVERIFY(s.sim.pumpRunning(0));
        QCOMPARE(s.sim.pumpSetpoint(0), quint16(1250));
        QCOMPARE(s.set(0xC171, QByteArray::fromHex("004b")), kvx::Verdict::Valid);
        QVERIFY(s.sim.pumpRunning(3));
        QVERIFY(!s.sim.pumpRunning(2)); // Pump C has its own record
        QCOMPARE(s.set(0x8082, QByteArray::fromHex("0000")), kvx::Verdict::Valid);
        QVERIFY(!s.sim.pumpRunning(0));
        // Below level 5 the run record does not exist.
        Session m(simtest::preset("mixed"));
        QCOMPARE(m.set(0xC171, QByteArray::fromHex("004b")), kvx::Verdict::NoData);
        QVERIFY(!m.sim.pumpRunning(3));
    }

    void clockRunsAndCanBeSet() {
        Session s(simtest::preset("full")); // the host's time: the session's start
        kvx::ConfigImage r;
        QCOMPARE(s.exchange(Session::request(0x0010), kvx::kCfgGet, r), kvx::Verdict::Valid);
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(simtest::kStart, Qt::UTC);
        QCOMPARE(r.readClockDateTime(2), start);

        kvx::ConfigImage req;
        req.resetRequest(0x0010);
        req.appendClockDateTime(QDateTime(QDate(2099, 12, 31), QTime(23, 59, 58), Qt::UTC));
        req.finishRequest();
        QCOMPARE(s.exchange(req, kvx::kCfgSet, r), kvx::Verdict::Valid);
        s.advance(3000);
        QCOMPARE(s.exchange(Session::request(0x0010), kvx::kCfgGet, r), kvx::Verdict::Valid);
        // 2099-12-31 23:59:58 plus about 3 s: into the next century, year byte 0.
        QCOMPARE(r.readClockDateTime(2).date(), QDate(2000, 1, 1));
        QVERIFY(s.sim.clock().toMSecsSinceEpoch() >=
                QDateTime(QDate(2100, 1, 1), QTime(0, 0, 1), Qt::UTC).toMSecsSinceEpoch());

        // An impossible date is refused and leaves the clock running.
        const QDateTime before = s.sim.clock();
        QCOMPARE(s.set(0x0010, QByteArray::fromHex("0d0119000000")), kvx::Verdict::NoData);
        QVERIFY(qAbs(s.sim.clock().secsTo(before)) < 2);
    }

    void configuredClockStartsAtItsValue() {
        auto config = simtest::preset("minimal");
        config.clock = QDateTime(QDate(2024, 2, 29), QTime(12, 0), Qt::UTC);
        Session s(config);
        s.advance(61000);
        QCOMPARE(s.sim.clock(), QDateTime(QDate(2024, 2, 29), QTime(12, 1, 1), Qt::UTC));
    }

    void longTextsAreCutToTheRecord() {
        auto config = simtest::preset("full");
        config.pumps[0].cartridgeId = QString(80, QLatin1Char('x'));
        Session s(config);
        const QByteArray record = *s.get(0x8022);
        QCOMPARE(record.size(), 64);
        QCOMPARE(record.at(63), '\0');
    }
};

QTEST_GUILESS_MAIN(TestSimRecords)
#include "tst_sim_records.moc"
