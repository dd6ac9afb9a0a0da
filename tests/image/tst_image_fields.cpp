// Field forms inside a record image: integers, date-times, texts, serials and
// scaled numbers, each written and read back, with the defaults of fields that
// lie outside the received record.
#include "image/ConfigImage.h"

#include <QtTest>

using namespace kvx;

namespace {

// A response image holding exactly `hex` (length = its byte count); the bytes
// past the length are filled with 0xEE so that a reader looking past the
// length is caught.
ConfigImage response(const char* hex) {
    ConfigImage image;
    image.bytes.fill(0xEE);
    const QByteArray bytes = QByteArray::fromHex(hex);
    for (int i = 0; i < bytes.size(); ++i)
        image.bytes[i] = quint8(bytes[i]);
    image.length = quint16(bytes.size());
    return image;
}

QByteArray fieldBytes(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.bytes.data()) + 2, image.length - 2);
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

const QDateTime kDefault = utc(2000, 1, 1, 0, 0);

} // namespace

class ImageFields : public QObject {
    Q_OBJECT
private slots:

    void integersAndTheirBounds() {
        const ConfigImage image = response("0070A1B2C3D4");
        QCOMPARE(image.readU8(2), quint8(0xA1));
        QCOMPARE(image.readU16(2), quint16(0xA1B2));
        QCOMPARE(image.readU32(2), quint32(0xA1B2C3D4));
        QCOMPARE(image.readU8(5), quint8(0xD4));
        // Fields reaching past the length read 0, never the 0xEE behind it.
        QCOMPARE(image.readU8(6), quint8(0));
        QCOMPARE(image.readU16(5), quint16(0));
        QCOMPARE(image.readU32(3), quint32(0));
        QCOMPARE(image.readU16(-1), quint16(0));
        QCOMPARE(image.readU32(64), quint32(0));
        QVERIFY(image.holds(2, 4));
        QVERIFY(!image.holds(2, 5));
        QVERIFY(image.holds(6, 0));
        QVERIFY(!image.holds(-1, 1));
        QVERIFY(!image.holds(0x7FFFFFFF, 2));

        // A length past the block is read as 64 bytes.
        ConfigImage big = response("01");
        big.length = 1000;
        big.bytes[63] = 0x5A;
        QCOMPARE(big.readU8(63), quint8(0x5A));
        QCOMPARE(big.readU8(64), quint8(0));
        QCOMPARE(big.readText(63), QString());
    }

    void packedDateTime() {
        ConfigImage image;
        image.resetRequest(0x8062);
        image.appendPackedDateTime(utc(2024, 3, 25, 9, 5, 59)); // seconds are not carried
        QCOMPARE(fieldBytes(image), QByteArray::fromHex("3C980905"));
        QCOMPARE(image.readPackedDateTime(2), utc(2024, 3, 25, 9, 5));
        QCOMPARE(image.readPackedDateTime(2).timeSpec(), Qt::UTC);
        QCOMPARE(image.readInstallText(2), QStringLiteral("On 3/25/2024 @ 9:05"));

        // The date-time's own fields are written, whatever its time zone.
        image.resetRequest(0x8022);
        image.appendPackedDateTime(QDateTime(QDate(2031, 12, 1), QTime(23, 40), Qt::LocalTime));
        QCOMPARE(image.readPackedDateTime(2), utc(2031, 12, 1, 23, 40));
        QCOMPARE(image.readInstallText(2), QStringLiteral("On 12/1/2031 @ 23:40"));

        // Only the year within its century is carried.
        image.resetRequest(0x8062);
        image.appendPackedDateTime(utc(2100, 7, 4, 12, 0));
        QCOMPARE(image.readPackedDateTime(2), utc(2000, 7, 4, 12, 0));

        // Outside the record: the default date-time, an empty install text.
        const ConfigImage shortRecord = response("8032 3C9809");
        QCOMPARE(shortRecord.readPackedDateTime(2), kDefault);
        QCOMPARE(shortRecord.readInstallText(2), QString());
    }

    void packedDateTimeOddPatterns() {
        const ConfigImage none = response("8032 0000 0000");
        QVERIFY(!none.readPackedDateTime(2).isValid());
        QCOMPARE(none.readInstallText(2), QStringLiteral("None"));

        // Minute byte 0x7B keeps its low six bits: 59.
        const ConfigImage minute = response("8032 3C98 097B");
        QCOMPARE(minute.readPackedDateTime(2), utc(2024, 3, 25, 9, 59));
        QCOMPARE(minute.readInstallText(2), QStringLiteral("On 3/25/2024 @ 9:59"));

        // Hour 24 is no time, but the install text shows it.
        const ConfigImage hour = response("8032 3C98 1805");
        QVERIFY(!hour.readPackedDateTime(2).isValid());
        QCOMPARE(hour.readInstallText(2), QStringLiteral("On 3/25/2024 @ 24:05"));

        // Month 15 and 30 February are no dates; the install text shows them as they are.
        const ConfigImage month = response("8032 FC98 0000"); // 15/25/2024
        QVERIFY(!month.readPackedDateTime(2).isValid());
        QCOMPARE(month.readInstallText(2), QStringLiteral("On 15/25/2024 @ 0:00"));
        const ConfigImage feb = response("8032 2F18 0101"); // 2/30/2024
        QVERIFY(!feb.readPackedDateTime(2).isValid());
        const ConfigImage leap = response("8032 2E98 0101"); // 2/29/2024
        QCOMPARE(leap.readPackedDateTime(2), utc(2024, 2, 29, 1, 1));
        // Minutes 60..63 pass the mask but are no time.
        QVERIFY(!response("8032 3C98 093C").readPackedDateTime(2).isValid());
    }

    void clockDateTime() {
        ConfigImage image;
        image.resetRequest(0x0010);
        image.appendClockDateTime(utc(2024, 3, 25, 9, 5, 7));
        QCOMPARE(fieldBytes(image), QByteArray::fromHex("031918090507"));
        QCOMPARE(image.readClockDateTime(2), utc(2024, 3, 25, 9, 5, 7));
        QCOMPARE(image.readClockDateTime(2).timeSpec(), Qt::UTC);

        QCOMPARE(response("0010 0319180905").readClockDateTime(2), kDefault);   // five bytes
        QVERIFY(!response("0010 001918090507").readClockDateTime(2).isValid()); // month 0
        QVERIFY(!response("0010 031918090560").readClockDateTime(2).isValid()); // second 96
    }

    void fixedText() {
        ConfigImage image;
        image.resetRequest(0x0030);
        image.appendFixedText(QStringLiteral("ABCDEFGHIJKLMNO"), 15);
        QCOMPARE(fieldBytes(image), QByteArray("ABCDEFGHIJKLMNO"));

        image.resetRequest(0x0030);
        image.appendFixedText(QStringLiteral("abc"), 15);
        QCOMPARE(fieldBytes(image), QByteArray("abc") + QByteArray(12, '\0'));
        QCOMPARE(image.readText(2), QStringLiteral("abc"));

        // Cut to the width; no terminator.
        image.resetRequest(0x0030);
        image.appendFixedText(QStringLiteral("0123456789ABCDEFXYZ"), 15);
        image.appendU8('!');
        QCOMPARE(image.length, quint16(18));
        QCOMPARE(image.readText(2), QStringLiteral("0123456789ABCDE!"));

        // Latin-1 survives; a character outside it becomes 0 and ends the text.
        image.resetRequest(0x0030);
        image.appendFixedText(QStringLiteral("Caf\u00e9 \u20ac5"), 8);
        QCOMPARE(fieldBytes(image), QByteArray("Caf\xE9 \0"
                                               "5\0",
                                               8));
        QCOMPARE(image.readText(2), QStringLiteral("Caf\u00e9 "));
    }

    void terminatedText() {
        // No terminator: the text stops at the end of the record, not of the block.
        const ConfigImage open = response("0030 4142 4344 45");
        QCOMPARE(open.readText(2), QStringLiteral("ABCDE"));
        QCOMPARE(open.readText(5), QStringLiteral("DE"));
        // At the last byte: empty even though the byte is not 0.
        QCOMPARE(open.readText(6), QString());
        QCOMPARE(open.readText(7), QString());
        QCOMPARE(open.readText(-1), QString());
        // A zero byte at the offset, and a terminator inside.
        QCOMPARE(response("0030 0041 42").readText(2), QString());
        QCOMPARE(response("0030 4100 42").readText(2), QStringLiteral("A"));
    }

    void hexSerial() {
        const ConfigImage image = response("0050 001A2B3C4D5E");
        QCOMPARE(image.readHexSerial(2), QStringLiteral("001A2B3C4D5E"));
        QCOMPARE(response("0050 FFFFFFFFFF").readHexSerial(2), QString());
    }

    void flowRate() {
        QCOMPARE(encodeFlowRate(1.234, kFilterPumpFlowScale), quint16(1234));
        QCOMPARE(encodeFlowRate(0.001, kFilterPumpFlowScale), quint16(1));
        QCOMPARE(encodeFlowRate(0.05, kSorbentPumpFlowScale), quint16(5));
        QCOMPARE(encodeFlowRate(0.0, kSorbentPumpFlowScale), quint16(0));
        // 0.49 is added, not 0.5: a half thousandth is rounded down.
        QCOMPARE(encodeFlowRate(1.2345, kFilterPumpFlowScale), quint16(1234));
        QCOMPARE(encodeFlowRate(1.2346, kFilterPumpFlowScale), quint16(1235));
        QCOMPARE(encodeFlowRate(qQNaN(), kFilterPumpFlowScale), quint16(0));

        QCOMPARE(decodeFlowRate(1500, kFilterPumpFlowScale), 1.5);
        QCOMPARE(decodeFlowRate(1500, kSorbentPumpFlowScale), 15.0);
        QCOMPARE(decodeFlowRate(1234, kFilterPumpFlowScale), 1.234);
    }

    void utcOffset() {
        QCOMPARE(encodeUtcOffset(-5.5), quint16(32218));
        QCOMPARE(encodeUtcOffset(5.75), quint16(33343));
        QCOMPARE(encodeUtcOffset(-12), quint16(31568));
        QCOMPARE(encodeUtcOffset(14), quint16(34168));
        QCOMPARE(encodeUtcOffset(0.009), quint16(32768));  // truncated
        QCOMPARE(encodeUtcOffset(-0.001), quint16(32767)); // the raw value is truncated

        ConfigImage image;
        image.resetRequest(0x0020);
        image.appendU16(encodeUtcOffset(-5.5));
        QCOMPARE(decodeUtcOffset(image, 2), -5.5);
        image.length = 3; // one byte short
        QCOMPARE(decodeUtcOffset(image, 2), -327.68);
    }
};

QTEST_GUILESS_MAIN(ImageFields)
#include "tst_image_fields.moc"
