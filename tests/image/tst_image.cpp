// The record image codec against worked vectors: CRC, request lines, answer
// verdicts, and every field form written and read, edge cases included.
#include "image/ConfigImage.h"

#include <QtTest>

#include <functional>

using namespace kvx;

namespace {

QByteArray hex(const ConfigImage& image, int from = 0) {
    return QByteArray(reinterpret_cast<const char*>(image.bytes.data()) + from,
                      qMax(0, image.length - from))
        .toHex();
}

// The fields a request carries after `fill`, in hex.
QByteArray written(const std::function<void(ConfigImage&)>& fill) {
    ConfigImage image;
    image.resetRequest(0x0102);
    fill(image);
    return hex(image, 2);
}
#define WRITTEN(...) written([](ConfigImage& i) { __VA_ARGS__; })

// A received image of exactly these bytes; the bytes behind it are 0xEE, so
// that a reader looking past the length shows.
ConfigImage received(const char* bytes) {
    ConfigImage image;
    image.bytes.fill(0xEE);
    const QByteArray data = QByteArray::fromHex(bytes);
    std::copy(data.cbegin(), data.cend(), image.bytes.begin());
    image.length = quint16(data.size());
    return image;
}

// The request line of these bytes, finished over a block that held 0xEE.
QString line(const char* bytes, const QString& command) {
    ConfigImage image = received(bytes);
    image.finishRequest();
    return requestLine(image, command);
}

// The instrument's answer carrying these bytes: count, words, CRC.
QStringList answer(const char* bytes) {
    const ConfigImage image = received(bytes);
    QStringList fields{QString::number(image.length)};
    for (int i = 0; i < image.length; i += 2)
        fields << QString::number(image.readU16(i));
    return fields << QString::number(crc16Modbus(QByteArray::fromHex(bytes)));
}

QStringList with(QStringList fields, int at, const QString& value) {
    fields[at < 0 ? fields.size() + at : at] = value;
    return fields;
}

const QDateTime kMarch25(QDate(2024, 3, 25), QTime(9, 5, 59), Qt::UTC);

} // namespace

class ImageTest : public QObject {
    Q_OBJECT

private slots:
    // What was written or read, and what it must be.
    void vectors_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QString& actual, const char* expected) {
            QTest::newRow(name) << actual << QString::fromUtf8(expected);
        };
        const auto n = [](double v) { return QString::number(v, 'g', 12); };
        // ---- request lines
        row("three words", line("4016000100020003", kCfgGet), "64495 3 2 1 16406 8 cfg_get\r");
        row("odd length padded", line("003041", kCfgSet), "31536 16640 48 4 cfg_set\r");
        // ---- the answer between the echo and the prompt
        const auto cut = [](const char* rx, const QString& command) {
            return extractAnswer(QString::fromLatin1(rx), command).join('|');
        };
        row("answer", cut("21504 112 2 cfg_get\r4,112,,21504\rcli> ", kCfgGet), "4|112||21504");
        row("earlier output", cut("junk\rcli> 1 cfg_set\r2,5,7\rcli> ", kCfgSet), "2|5|7");
        row("no prompt, no echo", cut("cfg_get\r1,2", kCfgGet) + ' ' + cut("cli> 3,4", kCfgGet),
            "1|2 3|4");
        // ---- writers
        row("u8, u16, u32 low bits",
            WRITTEN(i.appendU8(0x1AB), i.appendU16(0x12345), i.appendU32(0xDEADBEEF)),
            "ab2345deadbeef");
        row("fixed text: cut, beyond Latin-1",
            WRITTEN(i.appendFixedText("abcdef", 4),
                    i.appendFixedText(QString::fromUtf8("Caf\u00e9 \u20ac5"), 8)),
            "61626364436166e920003500");
        row("what does not fit is left out",
            WRITTEN(i.appendFixedText("", 59), i.appendU32(1), i.appendPackedDateTime(kMarch25),
                    i.appendClockDateTime(kMarch25), i.appendFixedText("abcd", 4),
                    i.appendU16(0xA1B2), i.appendU8(0xC3), i.appendU8(0xFF),
                    i.appendFixedText("", 1))
                .right(8),
            "00a1b2c3");
        row("what fits exactly is written",
            WRITTEN(i.appendFixedText("", 58), i.appendU32(0xA1B2C3D4)).right(8) +
                WRITTEN(i.appendFixedText("", 60), i.appendU16(0xE5F6)).right(4) +
                WRITTEN(i.appendFixedText("", 58), i.appendPackedDateTime(kMarch25)).right(8) +
                WRITTEN(i.appendFixedText("", 56), i.appendClockDateTime(kMarch25)).right(12),
            "a1b2c3d4e5f63c98090503191809053b");
        const auto flow = [&n](double v) { return n(encodeFlowRate(v, kFilterPumpFlowScale)); };
        row("flow: 0.49 added, not a number", flow(1.2345) + flow(1.2346) + flow(qQNaN()),
            "123412350");
        row("UTC offset truncated", n(encodeUtcOffset(0.009)) + n(encodeUtcOffset(-0.001)),
            "3276832767");
        row("UTC offset: hundredths written as they are",
            n(encodeUtcOffset(0.29)) + n(encodeUtcOffset(-0.29)) + n(encodeUtcOffset(5.75)) +
                n(encodeUtcOffset(-5.5)) + n(encodeUtcOffset(1.13)),
            "3279732739333433221832881");
        // ---- readers
        const ConfigImage ints = received("0070a1b2c3d4");
        row("past the end: 0",
            n(ints.readU8(6)) + n(ints.readU16(5)) + n(ints.readU32(3)) + n(ints.readU16(-1)),
            "0000");
        const auto iso = [](const QDateTime& dt) { return dt.toString(Qt::ISODate); };
        const auto packed = [&](const char* b) { return iso(received(b).readPackedDateTime(2)); };
        const auto clock = [&](const char* b) { return iso(received(b).readClockDateTime(2)); };
        const auto install = [](const char* b) { return received(b).readInstallText(2); };
        const auto text = [](const char* b, int at) { return received(b).readText(at); };
        row("packed, minute mask", packed("80323c98097b"), "2024-03-25T09:59:00Z");
        row("packed: hour 24, 30 February, date word 0",
            packed("80323c981805") + packed("80322f180101") + packed("803200000000"), "");
        row("install: month 15, none, short",
            install("8032fc98007b") + ' ' + install("803200000000") + install("80323c9809"),
            "On 15/25/2024 @ 0:59 None");
        row("clock: short, month 0", clock("00100319180905") + '|' + clock("0010001918090507"),
            "2000-01-01T00:00:00Z|");
        row("text: to the end, zero first, terminated",
            text("00304142434445", 2) + text("0030004142", 2) + '|' + text("0030410042", 2),
            "ABCDE|A");
    }

    void vectors() {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    // Verdicts; "-" where the response must keep what it held.
    void parse_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QByteArray>("stored");
        const int valid = int(Verdict::Valid), invalid = int(Verdict::Invalid),
                  none = int(Verdict::NoData);
        const QStringList record = answer("00700005");
        const auto row = [](const char* name, const QStringList& fields, const QString& command,
                            int verdict, const char* stored) {
            QTest::newRow(name) << fields << command << verdict << QByteArray(stored);
        };
        row("two fields", {"2", "112"}, kCfgGet, none, "-");
        row("odd count", {"3", "112", "5", "0"}, kCfgGet, invalid, "-");
        row("count too big", {"4", "112", "21504"}, kCfgGet, invalid, "-");
        row("count too small", {"2", "112", "1", "0"}, kCfgGet, invalid, "-");
        row("count no number", with(record, 0, "four"), kCfgGet, invalid, "-");
        row("valid", record, kCfgGet, valid, "00700005");
        row("wrong CRC", with(record, -1, "1"), kCfgGet, invalid, "00700005");
        for (const char* bad : {"-5", "abc", "", "4294967296", "0x10"})
            row(qPrintable(QStringLiteral("word '%1'").arg(bad)),
                with(answer("007000000009"), 2, bad), kCfgGet, valid, "007000000009");
        row("word above 65535", with(answer("00700005ffff"), 2, "65536"), kCfgGet, invalid,
            "0070ffff");
        row("word 65535 kept", with(answer("0070ffffffff"), 2, "65535"), kCfgGet, valid,
            "0070ffffffff");
        QStringList overlong{"66"};
        QByteArray kept; // the 32 words the image holds
        for (int i = 1; i <= 33; ++i)
            kept += QByteArray::number(i, 16).rightJustified(4, '0'),
                overlong << QString::number(i);
        row("66 bytes", overlong << "0", kCfgGet, invalid, kept.chopped(4).constData());
        // The request is 0070 0005: a write must come back as sent.
        row("write read back", record, kCfgSet, valid, "00700005");
        row("write, other record", answer("00700004"), kCfgSet, invalid, "00700004");
        row("read, other record", answer("00700004"), kCfgGet, valid, "00700004");
    }

    void parse() {
        QFETCH(QStringList, fields);
        QFETCH(QString, command);
        QFETCH(int, verdict);
        QFETCH(QByteArray, stored);
        ConfigImage request = received("00700005");
        request.crc = crc16Modbus(QByteArray::fromHex("00700005"));
        ConfigImage response = received("aabbcc");
        response.crc = 7;
        QCOMPARE(int(parseAnswer(fields, command, request, response)), verdict);
        QCOMPARE(hex(response), stored == "-" ? QByteArray("aabbcc") : stored);
        QCOMPARE(response.crc,
                 stored == "-" ? quint16(7) : crc16Modbus(QByteArray::fromHex(stored)));
    }
};

QTEST_GUILESS_MAIN(ImageTest)
#include "tst_image.moc"
