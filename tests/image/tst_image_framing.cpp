// CRC, request images and their request line, answer extraction and checking.
#include "image/ConfigImage.h"

#include <QtTest>

using namespace kvx;

namespace {

// A finished request image holding the given bytes.
ConfigImage imageOf(const QByteArray& bytes) {
    ConfigImage image;
    image.resetRequest(quint16(quint8(bytes.at(0)) << 8 | quint8(bytes.at(1))));
    for (int i = 2; i < bytes.size(); ++i)
        image.appendU8(quint8(bytes.at(i)));
    image.finishRequest();
    return image;
}

// The answer fields the instrument gives for `image`: count, words, CRC.
QStringList answerFor(const ConfigImage& image) {
    QStringList fields{QString::number(image.length)};
    for (int i = 0; i < image.length; i += 2)
        fields << QString::number(image.readU16(i));
    fields << QString::number(crc16Modbus(image.bytes.data(), image.length));
    return fields;
}

QByteArray bytesOf(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.bytes.data()), image.length);
}

} // namespace

class ImageFraming : public QObject {
    Q_OBJECT
private slots:

    void crcCheckValueAndEmpty() {
        QCOMPARE(crc16Modbus(QByteArray("123456789")), quint16(0x4B37));
        const QByteArray fw("\x00\x70", 2);
        QCOMPARE(crc16Modbus(fw), quint16(21504));
        QCOMPARE(crc16Modbus(reinterpret_cast<const quint8*>(fw.constData()), 2), quint16(21504));
        QCOMPARE(crc16Modbus(QByteArray()), quint16(0xFFFF));
        QCOMPARE(crc16Modbus(nullptr, 5), quint16(0xFFFF));

        ConfigImage empty;
        empty.finishRequest();
        QCOMPARE(empty.length, quint16(0));
        QCOMPARE(empty.crc, quint16(0xFFFF));
    }

    void requestWordAndAppendersBigEndian() {
        ConfigImage image;
        QCOMPARE(image.requestWord(), quint16(0));
        image.resetRequest(0x4016);
        QCOMPARE(image.length, quint16(2));
        QCOMPARE(image.requestWord(), quint16(0x4016));
        image.appendU8(0x1AB);    // low 8 bits
        image.appendU16(0x12345); // low 16 bits
        image.appendU32(0xDEADBEEF);
        QCOMPARE(bytesOf(image), QByteArray::fromHex("4016AB2345DEADBEEF"));

        // A new request starts over whatever the image held.
        image.resetRequest(0x8012);
        QCOMPARE(bytesOf(image), QByteArray::fromHex("8012"));
    }

    void appendersLeaveOutWhatDoesNotFit() {
        ConfigImage image;
        image.resetRequest(0x0030);
        image.appendFixedText(QStringLiteral("x"), 59); // length 61
        QCOMPARE(image.length, quint16(61));
        image.appendU32(0x01020304); // needs 4, 3 left
        image.appendPackedDateTime(QDateTime(QDate(2024, 1, 1), QTime(1, 1), Qt::UTC));
        image.appendClockDateTime(QDateTime(QDate(2024, 1, 1), QTime(1, 1), Qt::UTC));
        image.appendFixedText(QStringLiteral("abcd"), 4);
        QCOMPARE(image.length, quint16(61));
        image.appendU16(0xA1B2);
        image.appendU8(0xC3);
        QCOMPARE(image.length, quint16(64));
        QCOMPARE(image.readU32(60), quint32(0x00A1B2C3));
        image.appendU8(0xFF);
        image.appendFixedText(QString(), 1);
        QCOMPARE(image.length, quint16(64));
        image.appendFixedText(QString(), 0); // an empty field always fits
        image.appendFixedText(QStringLiteral("a"), -1);
        QCOMPARE(image.length, quint16(64));

        // Even a caller-set length past the block never lets a writer past it.
        image.length = 500;
        image.appendU8(1);
        image.finishRequest();
        QCOMPARE(image.length, quint16(64));
        QCOMPARE(image.crc, crc16Modbus(image.bytes.data(), 64));
    }

    void finishPadsOddLength() {
        // The sample ID record: request word and 31 bytes of text.
        ConfigImage image;
        image.resetRequest(0x0030);
        image.bytes.fill(0xEE);
        image.resetRequest(0x0030);
        image.appendFixedText(QStringLiteral("Sample 17"), 31);
        QCOMPARE(image.length, quint16(33));
        image.finishRequest();
        QCOMPARE(image.length, quint16(34));
        QCOMPARE(image.bytes[33], quint8(0));
        QCOMPARE(image.crc, crc16Modbus(bytesOf(image)));

        const QList<QByteArray> items = requestLine(image, kCfgSet).chopped(1).split(' ');
        QCOMPARE(items.size(), 1 + 17 + 2);
        QCOMPARE(items.at(18), QByteArray("34"));
        QCOMPARE(items.at(17), QByteArray::number(0x0030)); // request word last
        QCOMPARE(items.at(1), QByteArray::number(0));       // the padded last word first

        // An even length is left as it is.
        ConfigImage even;
        even.resetRequest(0x0020);
        even.appendU16(1);
        even.finishRequest();
        QCOMPARE(even.length, quint16(4));
    }

    void requestLineLayout() {
        ConfigImage firmware;
        firmware.resetRequest(0x0070);
        firmware.finishRequest();
        QCOMPARE(requestLine(firmware, kCfgGet), QByteArray("21504 112 2 cfg_get\r"));

        ConfigImage utc;
        utc.resetRequest(0x0020);
        utc.appendU16(encodeUtcOffset(0));
        utc.finishRequest();
        QCOMPARE(requestLine(utc, kCfgSet), QByteArray("11872 32768 32 4 cfg_set\r"));

        const ConfigImage three = imageOf(QByteArray::fromHex("4016000100020003"));
        QCOMPARE(requestLine(three, kCfgSet),
                 QByteArray::number(three.crc) + " 3 2 1 16406 8 cfg_set\r");
    }

    void extractCutsEchoAndPrompt() {
        QCOMPARE(extractAnswer(QStringLiteral("21504 112 2 cfg_get\r4,112,,21504\rcli> "), kCfgGet),
                 QStringList({"4", "112", "", "21504"}));
        // Anything before the echo (earlier output) goes with it.
        QCOMPARE(extractAnswer(QStringLiteral("junk\rcli> 1 cfg_set\r2,5,7\rcli> "), kCfgSet),
                 QStringList({"2", "5", "7"}));
        QCOMPARE(extractAnswer(QStringLiteral("show_boards_cal\r1,0,2,,\rcli> "),
                               QStringLiteral("show_boards_cal")),
                 QStringList({"1", "0", "2", "", ""}));
        // Nothing between echo and prompt: one empty field.
        QCOMPARE(extractAnswer(QStringLiteral("x cfg_get\r\rcli> "), kCfgGet), QStringList({""}));
        // Text missing the prompt or the command word is not cut where it is absent.
        QCOMPARE(extractAnswer(QStringLiteral("cfg_get\r1,2"), kCfgGet), QStringList({"1", "2"}));
        QCOMPARE(extractAnswer(QStringLiteral("cli> 3,4"), kCfgGet), QStringList({"3", "4"}));
    }

    void parseRejectsShortAndMiscountedAnswers_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("verdict");
        QTest::newRow("one field") << QStringList{"2"} << int(Verdict::NoData);
        QTest::newRow("two fields") << QStringList{"2", "112"} << int(Verdict::NoData);
        QTest::newRow("no fields") << QStringList{} << int(Verdict::NoData);
        QTest::newRow("odd count") << QStringList{"3", "112", "5", "0"} << int(Verdict::Invalid);
        QTest::newRow("count too big") << QStringList{"4", "112", "21504"} << int(Verdict::Invalid);
        QTest::newRow("count too small")
            << QStringList{"2", "112", "1", "0"} << int(Verdict::Invalid);
        QTest::newRow("count not a number")
            << QStringList{"two", "112", "0"} << int(Verdict::Invalid);
        QTest::newRow("count negative") << QStringList{"-2", "112", "0"} << int(Verdict::Invalid);
        QTest::newRow("count past 32 bits")
            << QStringList{"4294967298", "112", "21504"} << int(Verdict::Invalid);
    }

    void parseRejectsShortAndMiscountedAnswers() {
        QFETCH(QStringList, fields);
        QFETCH(int, verdict);
        ConfigImage request = imageOf(QByteArray::fromHex("0070"));
        ConfigImage response = imageOf(QByteArray::fromHex("AABBCC"));
        const ConfigImage before = response;
        QCOMPARE(int(parseAnswer(fields, kCfgGet, request, response)), verdict);
        // Rejected before any word is stored: the response keeps what it held.
        QCOMPARE(response.length, before.length);
        QCOMPARE(response.bytes, before.bytes);
        QCOMPARE(response.crc, before.crc);
    }

    void parseStoresWordsAndChecksCrc() {
        const ConfigImage request = imageOf(QByteArray::fromHex("0070"));
        const ConfigImage record = imageOf(QByteArray::fromHex("00700005"));
        ConfigImage response;
        response.length = 40; // an earlier, longer record
        QCOMPARE(parseAnswer(answerFor(record), kCfgGet, request, response), Verdict::Valid);
        QCOMPARE(bytesOf(response), QByteArray::fromHex("00700005"));
        QCOMPARE(response.crc, record.crc);

        QStringList wrongCrc = answerFor(record);
        wrongCrc.last() = QString::number(record.crc ^ 1);
        QCOMPARE(parseAnswer(wrongCrc, kCfgGet, request, response), Verdict::Invalid);
        wrongCrc.last() = QStringLiteral("crc");
        QCOMPARE(parseAnswer(wrongCrc, kCfgGet, request, response), Verdict::Invalid);
    }

    void parseBadWordFields() {
        const ConfigImage request = imageOf(QByteArray::fromHex("0070"));
        const ConfigImage zeroWord = imageOf(QByteArray::fromHex("007000000009"));
        ConfigImage response;
        // Negative, non-numeric, empty and over-32-bit words all store 0: the CRC decides.
        for (const QString& bad : QStringList{"-5", "abc", "", "4294967296", "0x10"}) {
            QStringList fields = answerFor(zeroWord);
            fields[2] = bad;
            QCOMPARE(parseAnswer(fields, kCfgGet, request, response), Verdict::Valid);
            QCOMPARE(bytesOf(response), bytesOf(zeroWord));
        }
        QStringList fields = answerFor(imageOf(QByteArray::fromHex("007000050009")));
        fields[2] = QStringLiteral("-5");
        QCOMPARE(parseAnswer(fields, kCfgGet, request, response), Verdict::Invalid);

        // A word above 65535 is dropped, so the instrument's CRC no longer matches.
        fields = answerFor(imageOf(QByteArray::fromHex("00700005FFFF")));
        fields[2] = QStringLiteral("65536");
        QCOMPARE(parseAnswer(fields, kCfgGet, request, response), Verdict::Invalid);
        QCOMPARE(bytesOf(response), QByteArray::fromHex("0070FFFF"));
        fields[2] = QStringLiteral("65535");
        fields.last() = QString::number(crc16Modbus(QByteArray::fromHex("0070FFFFFFFF")));
        QCOMPARE(parseAnswer(fields, kCfgGet, request, response), Verdict::Valid);
    }

    void parseOverlongAnswer() {
        // 66 data bytes: the count matches, only 64 can be held, the CRC fails.
        QByteArray data(66, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i + 1);
        QStringList fields{QStringLiteral("66")};
        for (int i = 0; i < data.size(); i += 2)
            fields << QString::number(quint8(data[i]) << 8 | quint8(data[i + 1]));
        fields << QString::number(crc16Modbus(data));
        QCOMPARE(fields.size(), 35);

        ConfigImage response;
        QCOMPARE(parseAnswer(fields, kCfgGet, imageOf(data.left(2)), response), Verdict::Invalid);
        QCOMPARE(response.length, quint16(64));
        QCOMPARE(bytesOf(response), data.left(64));
        QCOMPARE(response.crc, crc16Modbus(data.left(64)));
    }

    void parseSetNeedsExactReadBack() {
        ConfigImage request;
        request.resetRequest(0x0040);
        request.appendPackedDateTime(QDateTime(QDate(2024, 3, 25), QTime(9, 5), Qt::UTC));
        request.appendU16(7);
        request.finishRequest();

        ConfigImage response;
        QCOMPARE(parseAnswer(answerFor(request), kCfgSet, request, response), Verdict::Valid);
        QCOMPARE(bytesOf(response), bytesOf(request));

        // A record that differs in one byte, with its own correct CRC.
        QByteArray changed = bytesOf(request);
        changed[5] = char(changed[5] ^ 0x01);
        const QStringList differs = answerFor(imageOf(changed));
        QCOMPARE(parseAnswer(differs, kCfgSet, request, response), Verdict::Invalid);
        // The same answer to a read is fine: only a write needs the read-back.
        QCOMPARE(parseAnswer(differs, kCfgGet, request, response), Verdict::Valid);

        // A shorter record with a correct CRC.
        const QStringList shorter = answerFor(imageOf(bytesOf(request).left(4)));
        QCOMPARE(parseAnswer(shorter, kCfgSet, request, response), Verdict::Invalid);
    }
};

QTEST_GUILESS_MAIN(ImageFraming)
#include "tst_image_framing.moc"
