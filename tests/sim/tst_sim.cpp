// The simulated instrument against the wire protocol on its own, with the
// request lines, answers and CRC built here rather than by the configurator's
// code: echo and prompt around each answer, the board list, record answers and
// refusals, and the fault switches that spoil answers. (The configurator's
// tests show the other switches at work, the pulled cable among them: a run
// that ignored one would pass where it must fail.)
#include "sim/Instrument.h"

#include <QtTest>

using namespace kvx::sim;

namespace {

constexpr qint64 kStart = 1741386600000;

quint16 crc(const QByteArray& bytes) { // CRC-16/MODBUS
    quint16 c = 0xFFFF;
    for (char b : bytes) {
        c ^= quint8(b);
        for (int i = 0; i < 8; ++i)
            c = (c & 1) ? quint16((c >> 1) ^ 0xA001) : quint16(c >> 1);
    }
    return c;
}

// The request line ("crc wordN-1 ... word0 length command") or, with
// `command` empty, the answer ("length,word0,...,crc") for a record.
QByteArray wire(const QByteArray& hex, const char* command = "", int countOff = 0, int crcOff = 0) {
    const QByteArray image = QByteArray::fromHex(hex);
    QByteArrayList words;
    for (int i = 0; i + 1 < image.size(); i += 2)
        words << QByteArray::number(quint8(image[i]) << 8 | quint8(image[i + 1]));
    const QByteArray length = QByteArray::number(image.size() + countOff);
    const QByteArray sum = QByteArray::number(crc(image) + crcOff);
    if (!*command)
        return (QByteArrayList{length} + words + QByteArrayList{sum}).join(',');
    std::reverse(words.begin(), words.end());
    return (QByteArrayList{sum} + words + QByteArrayList{length, command}).join(' ');
}

InstrumentConfig config(const QString& preset, const QByteArray& faults = "{}") {
    QString error;
    auto c = InstrumentConfig::preset(preset, &error);
    if (!c || !c->faults.read(QJsonDocument::fromJson(faults).object(), &error))
        qFatal("%s", qPrintable(error));
    return *c;
}

// Sends `text` and a carriage return; collects 20 ms steps of output until a
// prompt or `waitMs`.
QByteArray send(Instrument& sim, const QByteArray& text, int waitMs = 1000) {
    sim.receive(text + '\r');
    QByteArray got = sim.takeOutput();
    for (int waited = 0; !got.contains("cli> ") && waited < waitMs; waited += 20) {
        sim.setNow(sim.now() + 20);
        got += sim.takeOutput();
    }
    return got;
}

const QByteArray kLevel = wire("0070", "cfg_get"), kGood = wire("00700005"), kPrompt = "\rcli> ";

} // namespace

class SimTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("answer"); // between echo and prompt
        auto row = [](const char* name, const char* preset, const QByteArray& sent,
                      const QByteArray& answer) {
            QTest::newRow(name) << QString(preset) << sent << answer;
        };
        row("level", "full", kLevel, kGood);
        row("no such record", "legacy", kLevel, "0,65535");
        row("write: the record stored", "full", wire("00208000", "cfg_set"), wire("00208000"));
        row("wrong CRC", "full", "11873 32768 32 4 cfg_set", "ERROR crc");
        for (const char* bad :
             {"11872 32768 32 3 cfg_set", "11872 32768 32 6 cfg_set", "11872 65536 32 4 cfg_set",
              "11872 8x00 32 4 cfg_set", "1 2 66 cfg_get", "cfg_get"})
            row(bad, "full", bad, "ERROR format");
        row("board list", "minimal", "show_boards_cal",
            "0,Main,KVX2-M-000012,1,None,0,2,None,0,3,None,0,4,None,0,5,None,0,6,None,0");
        row("reset", "full",
            "\x1b"
            "c",
            "");
    }
    void answers() {
        QFETCH(QString, preset);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answer);
        Instrument sim(config(preset), kStart);
        QCOMPARE(send(sim, sent), sent + '\r' + answer + kPrompt);
        QCOMPARE(int(sim.log().ofKind("store").size()),
                 int(sent.endsWith(" cfg_set") && !answer.startsWith("ERROR")));
    }

    // Faults aimed at record answers: each attempt's answer, in order.
    void spoiltAnswers_data() {
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<QByteArrayList>("answers");
        QTest::newRow("no answer twice")
            << QByteArray(R"({"noAnswerFirst":2})") << QByteArrayList{"", "", kGood};
        QTest::newRow("bad CRC once") << QByteArray(R"({"badCrcFirst":1})")
                                      << QByteArrayList{wire("00700005", "", 0, 1), kGood};
        QTest::newRow("bad count once") << QByteArray(R"({"badCountFirst":1})")
                                        << QByteArrayList{wire("00700005", "", 2), kGood};
        QTest::newRow("aimed elsewhere")
            << QByteArray(R"({"badCrcFirst":1,"only":"cfg_set"})") << QByteArrayList{kGood};
    }
    void spoiltAnswers() {
        QFETCH(QByteArray, faults);
        QFETCH(QByteArrayList, answers);
        Instrument sim(config("full", faults), kStart);
        for (const QByteArray& a : answers)
            QCOMPARE(send(sim, kLevel, 600), kLevel + '\r' + (a.isEmpty() ? a : a + kPrompt));
    }

    // NULs, line feeds and junk arrive, and without them the answer is clean.
    void dirt() {
        Instrument sim(config("full", R"({"nulBytes":true,"lineFeeds":true,"garbageBytes":7})"),
                       kStart);
        QByteArray got = send(sim, kLevel);
        QVERIFY(got.indexOf(kLevel) == 7 && got.count('\0') >= 2 && got.count('\n') >= 3);
        QCOMPARE(got.mid(7).replace('\0', "").replace('\n', ""), kLevel + '\r' + kGood + kPrompt);
    }
};

QTEST_GUILESS_MAIN(SimTest)
#include "tst_sim.moc"
