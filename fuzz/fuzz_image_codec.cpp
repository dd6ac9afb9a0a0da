// Fuzz target for the record image codec: answer extraction, answer checking,
// every field reader and writer, and the request line.
//
// The first choice taken from the input picks one of three drivers:
//  - raw:     the input is the instrument's text; it goes through extractAnswer
//             and parseAnswer, then every reader runs over the response;
//  - built:   the input gives a record; a well-formed answer for it (count,
//             words, correct CRC) is built, mutated a little and parsed, so the
//             checks behind the CRC comparison are reached;
//  - request: the input drives the writers; the finished image's request line
//             is turned back into an answer, which must be accepted as the
//             read-back of a write.
// Besides memory and undefined-behaviour errors, broken invariants abort.
#include "image/ConfigImage.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace kvx;

namespace {

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

QString commandWord(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        return kCfgGet;
    case 1:
        return kCfgSet;
    default:
        return QStringLiteral("show_boards_cal");
    }
}

QString text(FuzzedDataProvider& in, std::size_t maxLength) {
    const std::string raw = in.ConsumeRandomLengthString(maxLength);
    const QByteArray bytes(raw.data(), int(raw.size()));
    return in.ConsumeBool() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

QDateTime dateTime(FuzzedDataProvider& in) {
    const QDate date(in.ConsumeIntegralInRange(-5000, 10000), in.ConsumeIntegralInRange(-1, 14),
                     in.ConsumeIntegralInRange(-1, 33));
    const QTime time(in.ConsumeIntegralInRange(-1, 25), in.ConsumeIntegralInRange(-1, 61),
                     in.ConsumeIntegralInRange(-1, 61));
    return QDateTime(date, time, in.ConsumeBool() ? Qt::UTC : Qt::LocalTime);
}

int heldLength(const ConfigImage& image) {
    return image.length < kImageCapacity ? image.length : kImageCapacity;
}

// Every reader at every offset around the image, with their stated defaults.
void readEverything(const ConfigImage& image) {
    const int held = heldLength(image);
    for (int offset = -2; offset <= kImageCapacity + 2; ++offset) {
        const bool has1 = image.holds(offset, 1), has2 = image.holds(offset, 2),
                   has4 = image.holds(offset, 4), has6 = image.holds(offset, 6);
        FUZZ_CHECK(has1 == (offset >= 0 && offset + 1 <= held));
        FUZZ_CHECK(has1 || image.readU8(offset) == 0);
        FUZZ_CHECK(has2 || image.readU16(offset) == 0);
        FUZZ_CHECK(has4 || image.readU32(offset) == 0);

        const QDateTime packed = image.readPackedDateTime(offset);
        FUZZ_CHECK(!packed.isValid() || packed.timeSpec() == Qt::UTC);
        FUZZ_CHECK(has4 || packed == QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
        const QDateTime clock = image.readClockDateTime(offset);
        FUZZ_CHECK(!clock.isValid() || clock.timeSpec() == Qt::UTC);
        FUZZ_CHECK(has6 || clock == QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));

        const QString install = image.readInstallText(offset);
        FUZZ_CHECK(install.isEmpty() != has4);
        const QString serial = image.readHexSerial(offset);
        FUZZ_CHECK(serial.size() == (has6 ? 12 : 0));
        const QString chars = image.readText(offset);
        FUZZ_CHECK(chars.isEmpty() || (has2 && chars.size() <= held - offset));
        FUZZ_CHECK(!chars.contains(QChar(0)));

        const double utc = decodeUtcOffset(image, offset);
        FUZZ_CHECK(utc >= -327.68 && utc <= 327.67);
        FUZZ_CHECK(decodeFlowRate(image.readU16(offset), kFilterPumpFlowScale) <= 65.535);
    }
}

// Invariants of a parse, whatever the answer.
void checkParse(const QStringList& fields, const QString& word, const ConfigImage& request,
                ConfigImage& response) {
    const ConfigImage before = response;
    const Verdict verdict = parseAnswer(fields, word, request, response);
    if (verdict == Verdict::NoData) {
        FUZZ_CHECK(fields.size() < 3);
        FUZZ_CHECK(response.length == before.length && response.bytes == before.bytes &&
                   response.crc == before.crc);
    }
    if (verdict == Verdict::Valid) {
        FUZZ_CHECK(fields.size() >= 3);
        FUZZ_CHECK(response.length <= kImageCapacity && response.length % 2 == 0);
        FUZZ_CHECK(response.length <= (fields.size() - 2) * 2);
        FUZZ_CHECK(response.crc == crc16Modbus(response.bytes.data(), response.length));
        FUZZ_CHECK(fields.last().toUInt() == response.crc);
        if (word == kCfgSet)
            FUZZ_CHECK(response.length == request.length && response.crc == request.crc);
    }
    readEverything(response);
}

ConfigImage imageOf(const QByteArray& bytes) {
    ConfigImage image;
    for (int i = 0; i < bytes.size() && i < kImageCapacity; ++i)
        image.bytes[i] = quint8(bytes[i]);
    image.length = quint16(bytes.size() < kImageCapacity ? bytes.size() : kImageCapacity);
    image.crc = crc16Modbus(image.bytes.data(), image.length);
    return image;
}

ConfigImage randomImage(FuzzedDataProvider& in) {
    ConfigImage image;
    const std::string raw = in.ConsumeBytesAsString(kImageCapacity);
    for (std::size_t i = 0; i < raw.size(); ++i)
        image.bytes[i] = quint8(raw[i]);
    image.length = in.ConsumeIntegral<quint16>();
    image.crc = in.ConsumeIntegral<quint16>();
    return image;
}

void rawAnswer(FuzzedDataProvider& in) {
    const QString word = commandWord(in);
    const ConfigImage request = randomImage(in);
    ConfigImage response = randomImage(in);
    const QString rxText = text(in, 4096);
    checkParse(extractAnswer(rxText, word), word, request, response);
    // The same text as fields directly, without the cutting.
    checkParse(rxText.split(QLatin1Char(',')), word, request, response);
}

void builtAnswer(FuzzedDataProvider& in) {
    const QString word = in.ConsumeBool() ? kCfgGet : kCfgSet;
    const int byteCount = 2 * in.ConsumeIntegralInRange(0, 36);
    QByteArray record(byteCount, '\0');
    for (int i = 0; i < byteCount; ++i)
        record[i] = char(in.ConsumeIntegral<quint8>());
    const ConfigImage request = in.ConsumeBool() ? imageOf(record) : randomImage(in);

    QStringList fields{QString::number(byteCount)};
    for (int i = 0; i < byteCount; i += 2)
        fields << QString::number(quint8(record[i]) << 8 | quint8(record[i + 1]));
    fields << QString::number(crc16Modbus(record));

    const int mutations = in.ConsumeIntegralInRange(0, 3);
    for (int m = 0; m < mutations; ++m) {
        const int at = in.ConsumeIntegralInRange(0, int(fields.size()));
        switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0:
            fields.insert(at, text(in, 24));
            break;
        case 1:
            if (at < fields.size())
                fields.removeAt(at);
            break;
        case 2:
            if (at < fields.size())
                fields[at] = text(in, 24);
            break;
        case 3:
            if (at < fields.size())
                fields[at] = QString::number(in.ConsumeIntegral<qint64>());
            break;
        default:
            if (at < fields.size())
                fields[at] = QString::number(in.ConsumeIntegralInRange<quint32>(0, 70));
            break;
        }
    }

    // Through the link's cutting: echo of the request line, answer, prompt.
    const QString prefix = in.ConsumeBool() ? text(in, 32) : QString();
    QString rxText = prefix;
    rxText += QString::fromLatin1(requestLine(request, word));
    rxText += fields.join(QLatin1Char(',')) + QStringLiteral("\rcli> ");
    const QStringList extracted = extractAnswer(rxText, word);
    if (mutations == 0 && !prefix.contains(word))
        FUZZ_CHECK(extracted == fields);

    ConfigImage response = randomImage(in);
    checkParse(extracted, word, request, response);

    if (mutations == 0) {
        ConfigImage again;
        const Verdict verdict = parseAnswer(fields, word, request, again);
        const QByteArray stored(reinterpret_cast<const char*>(again.bytes.data()), again.length);
        FUZZ_CHECK(byteCount == 0 || stored == record.left(kImageCapacity));
        const bool sameAsSent = again.length == request.length && again.crc == request.crc;
        if (byteCount == 0) // a count and a CRC only: two fields
            FUZZ_CHECK(verdict == Verdict::NoData);
        else if (byteCount <= kImageCapacity)
            FUZZ_CHECK(verdict ==
                       (word == kCfgGet || sameAsSent ? Verdict::Valid : Verdict::Invalid));
        else if (crc16Modbus(record) != crc16Modbus(record.left(kImageCapacity)))
            FUZZ_CHECK(verdict == Verdict::Invalid);
    }
}

void request(FuzzedDataProvider& in) {
    ConfigImage image;
    image.resetRequest(in.ConsumeIntegral<quint16>());
    const int steps = in.ConsumeIntegralInRange(0, 40);
    for (int s = 0; s < steps && in.remaining_bytes() > 0; ++s) {
        const int before = image.length;
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
            image.appendU8(in.ConsumeIntegral<quint32>());
            break;
        case 1:
            image.appendU16(in.ConsumeIntegral<quint32>());
            break;
        case 2:
            image.appendU32(in.ConsumeIntegral<quint32>());
            break;
        case 3:
            image.appendPackedDateTime(dateTime(in));
            break;
        case 4:
            image.appendClockDateTime(dateTime(in));
            break;
        case 5: {
            const int width = in.ConsumeIntegralInRange(-2, 70);
            image.appendFixedText(text(in, 80), width);
            if (width >= 0 && before + width <= kImageCapacity)
                FUZZ_CHECK(image.length == before + width);
            break;
        }
        case 6:
            image.appendU16(
                encodeFlowRate(in.ConsumeFloatingPoint<double>(),
                               in.ConsumeBool() ? kFilterPumpFlowScale : kSorbentPumpFlowScale));
            break;
        default:
            image.appendU16(encodeUtcOffset(in.ConsumeFloatingPoint<double>()));
            break;
        }
        FUZZ_CHECK(image.length >= before && image.length <= kImageCapacity);
    }
    image.finishRequest();
    FUZZ_CHECK(image.length % 2 == 0 && image.length <= kImageCapacity);
    FUZZ_CHECK(image.crc == crc16Modbus(image.bytes.data(), image.length));
    readEverything(image);

    // The request line read back as the instrument's answer to a write.
    const QString word = in.ConsumeBool() ? kCfgGet : kCfgSet;
    const QByteArray line = requestLine(image, word);
    FUZZ_CHECK(line.endsWith('\r') && !line.contains('\n'));
    const QList<QByteArray> items = line.chopped(1).split(' ');
    FUZZ_CHECK(items.size() == image.length / 2 + 3);
    FUZZ_CHECK(items.last() == word.toLatin1());
    QStringList fields{QString::fromLatin1(items.at(items.size() - 2))};
    for (int i = int(items.size()) - 3; i >= 1; --i)
        fields << QString::fromLatin1(items.at(i));
    fields << QString::fromLatin1(items.first());
    ConfigImage response;
    FUZZ_CHECK(parseAnswer(fields, kCfgSet, image, response) == Verdict::Valid);
    FUZZ_CHECK(response.length == image.length &&
               std::equal(image.bytes.begin(), image.bytes.begin() + image.length,
                          response.bytes.begin()));

    // Whatever length a caller leaves in an image, nothing reads or writes past it.
    ConfigImage odd = randomImage(in);
    readEverything(odd);
    (void)requestLine(odd, word);
    odd.appendU32(in.ConsumeIntegral<quint32>());
    odd.finishRequest();
    FUZZ_CHECK(odd.length <= kImageCapacity);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        rawAnswer(in);
        break;
    case 1:
        builtAnswer(in);
        break;
    default:
        request(in);
        break;
    }
    return 0;
}
