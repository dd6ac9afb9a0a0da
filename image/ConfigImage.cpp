// Building request images and reading fields out of response images.
#include "image/ConfigImage.h"

#include <QDate>
#include <QTime>

#include <algorithm>

namespace kvx {
namespace {

// The number of meaningful bytes, never more than the block holds, even when
// a caller stored a larger length.
int heldLength(const ConfigImage& image) {
    return std::min<int>(image.length, kImageCapacity);
}

// True when `width` more bytes fit behind the current length.
bool fits(const ConfigImage& image, int width) {
    return width >= 0 && width <= kImageCapacity - heldLength(image);
}

void put(ConfigImage& image, quint8 byte) {
    const int at = heldLength(image);
    image.bytes[static_cast<std::size_t>(at)] = byte;
    image.length = static_cast<quint16>(at + 1);
}

// Date and time fields as the writers take them; an invalid part counts as 0.
struct Fields {
    int year, month, day, hour, minute, second;
};

Fields fieldsOf(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    Fields f{0, 0, 0, 0, 0, 0};
    if (d.isValid()) {
        f.year = ((d.year() % 100) + 100) % 100;
        f.month = d.month();
        f.day = d.day();
    }
    if (t.isValid()) {
        f.hour = t.hour();
        f.minute = t.minute();
        f.second = t.second();
    }
    return f;
}

QDateTime utcDateTime(int year, int month, int day, int hour, int minute, int second) {
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

QDateTime defaultDateTime() {
    return QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
}

// ---- request side ---------------------------------------------------------

void ConfigImage::resetRequest(quint16 requestWord) {
    bytes[0] = static_cast<quint8>(requestWord >> 8);
    bytes[1] = static_cast<quint8>(requestWord & 0xFFu);
    length = 2;
}

void ConfigImage::appendU8(quint32 value) {
    if (!fits(*this, 1))
        return;
    put(*this, static_cast<quint8>(value & 0xFFu));
}

void ConfigImage::appendU16(quint32 value) {
    if (!fits(*this, 2))
        return;
    put(*this, static_cast<quint8>((value >> 8) & 0xFFu));
    put(*this, static_cast<quint8>(value & 0xFFu));
}

void ConfigImage::appendU32(quint32 value) {
    if (!fits(*this, 4))
        return;
    for (int shift = 24; shift >= 0; shift -= 8)
        put(*this, static_cast<quint8>((value >> shift) & 0xFFu));
}

void ConfigImage::appendPackedDateTime(const QDateTime& dt) {
    if (!fits(*this, 4))
        return;
    const Fields f = fieldsOf(dt);
    appendU16(quint32(f.month) * 4096u + quint32(f.day) * 128u + quint32(f.year));
    appendU8(quint32(f.hour));
    appendU8(quint32(f.minute));
}

void ConfigImage::appendClockDateTime(const QDateTime& dt) {
    if (!fits(*this, 6))
        return;
    const Fields f = fieldsOf(dt);
    for (int v : {f.month, f.day, f.year, f.hour, f.minute, f.second})
        put(*this, static_cast<quint8>(v));
}

void ConfigImage::appendFixedText(const QString& text, int width) {
    if (!fits(*this, width))
        return;
    for (int i = 0; i < width; ++i) {
        quint8 byte = 0;
        if (i < text.size()) {
            const char16_t unit = text.at(i).unicode();
            byte = unit < 256 ? static_cast<quint8>(unit) : 0;
        }
        put(*this, byte);
    }
}

void ConfigImage::finishRequest() {
    if (length > kImageCapacity)
        length = kImageCapacity;
    if (length % 2 != 0)
        put(*this, 0);
    crc = crc16Modbus(bytes.data(), length);
}

quint16 ConfigImage::requestWord() const {
    if (heldLength(*this) < 2)
        return 0;
    return static_cast<quint16>(bytes[0] << 8 | bytes[1]);
}

// ---- response side --------------------------------------------------------

bool ConfigImage::holds(int offset, int width) const {
    return offset >= 0 && width >= 0 && offset <= heldLength(*this) &&
           width <= heldLength(*this) - offset;
}

quint8 ConfigImage::readU8(int offset) const {
    return holds(offset, 1) ? bytes[static_cast<std::size_t>(offset)] : 0;
}

quint16 ConfigImage::readU16(int offset) const {
    if (!holds(offset, 2))
        return 0;
    return static_cast<quint16>(readU8(offset) << 8 | readU8(offset + 1));
}

quint32 ConfigImage::readU32(int offset) const {
    if (!holds(offset, 4))
        return 0;
    return quint32(readU16(offset)) << 16 | readU16(offset + 2);
}

QDateTime ConfigImage::readPackedDateTime(int offset) const {
    if (!holds(offset, 4))
        return defaultDateTime();
    const quint16 date = readU16(offset);
    return utcDateTime((date & 0x7F) + 2000, date >> 12, (date >> 7) & 0x1F, readU8(offset + 2),
                       readU8(offset + 3) & 0x3F, 0);
}

QDateTime ConfigImage::readClockDateTime(int offset) const {
    if (!holds(offset, 6))
        return defaultDateTime();
    return utcDateTime(readU8(offset + 2) + 2000, readU8(offset), readU8(offset + 1),
                       readU8(offset + 3), readU8(offset + 4), readU8(offset + 5));
}

QString ConfigImage::readInstallText(int offset) const {
    if (!holds(offset, 4))
        return QString();
    const quint16 date = readU16(offset);
    if (date == 0)
        return QStringLiteral("None");
    return QStringLiteral("On %1/%2/%3 @ %4:%5")
        .arg(date >> 12)
        .arg((date >> 7) & 0x1F)
        .arg((date & 0x7F) + 2000)
        .arg(readU8(offset + 2) & 0x3F)
        .arg(readU8(offset + 3) & 0x3F, 2, 10, QLatin1Char('0'));
}

QString ConfigImage::readText(int offset) const {
    if (!holds(offset, 2) || bytes[static_cast<std::size_t>(offset)] == 0)
        return QString();
    const int end = heldLength(*this);
    int stop = offset;
    while (stop < end && bytes[static_cast<std::size_t>(stop)] != 0)
        ++stop;
    return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()) + offset, stop - offset);
}

QString ConfigImage::readHexSerial(int offset) const {
    if (!holds(offset, 6))
        return QString();
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()) + offset, 6);
    return QString::fromLatin1(raw.toHex().toUpper());
}

// ---- scaled numbers -------------------------------------------------------

namespace {

// The low 16 bits of the integer part of `value` (truncated toward zero); 0
// for values that have no integer part worth keeping (NaN, infinities, out of
// the 64-bit range).
quint16 low16OfIntegerPart(double value) {
    if (!(value > -9.0e18 && value < 9.0e18))
        return 0;
    return static_cast<quint16>(static_cast<qint64>(value) & 0xFFFF);
}

} // namespace

quint16 encodeFlowRate(double rate, int scale) {
    return low16OfIntegerPart(rate * scale + 0.49);
}

double decodeFlowRate(quint16 raw, int scale) {
    return scale > 0 ? raw / double(scale) : 0.0;
}

quint16 encodeUtcOffset(double hours) {
    // Truncated, past the rounding error of the product: 0.29 h is 29
    // hundredths, not the 28.999... that 0.29 * 100 gives in binary.
    return low16OfIntegerPart(hours * 100.0 + 32768.0 + 1e-6);
}

double decodeUtcOffset(const ConfigImage& response, int offset) {
    return (int(response.readU16(offset)) - 32768) / 100.0;
}

} // namespace kvx
