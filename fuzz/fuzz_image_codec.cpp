// Fuzz target for the record image codec. The input is either the
// instrument's text (cut, parsed and read back) or a list of writes, whose
// request line, turned back into the instrument's answer, must be accepted as
// the read-back of that very record. Broken invariants abort.
#include "image/ConfigImage.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace kvx;

#define CHECK(cond) ((cond) ? void() : qFatal("check failed: %s (line %d)", #cond, __LINE__))

namespace {

// Readers stay inside the image (the sanitizers watch) and read 0 outside it.
void readEverything(const ConfigImage& image) {
    for (int at = -2; at <= kImageCapacity + 2; ++at) {
        CHECK(image.holds(at, 4) || (image.readU32(at) == 0 && image.readHexSerial(at).isEmpty()));
        image.readText(at), image.readInstallText(at);
        image.readPackedDateTime(at), image.readClockDateTime(at);
    }
}

void answerText(FuzzedDataProvider& in) {
    const QString command = in.ConsumeBool() ? kCfgGet : kCfgSet;
    ConfigImage request, response;
    for (ConfigImage* image : {&request, &response}) {
        const std::string bytes = in.ConsumeBytesAsString(kImageCapacity);
        std::copy(bytes.begin(), bytes.end(), image->bytes.begin());
        image->length = in.ConsumeIntegral<quint16>(), image->crc = in.ConsumeIntegral<quint16>();
    }
    const ConfigImage before = response;
    const std::string text = in.ConsumeRemainingBytesAsString();
    const QStringList fields =
        extractAnswer(QString::fromLatin1(text.data(), int(text.size())), command);
    const Verdict verdict = parseAnswer(fields, command, request, response);
    CHECK((verdict == Verdict::NoData) == (fields.size() < 3));
    CHECK(verdict != Verdict::NoData || response.bytes == before.bytes);
    CHECK(verdict != Verdict::Valid ||
          (response.length <= kImageCapacity && response.length % 2 == 0 &&
           response.crc == crc16Modbus(response.bytes.data(), response.length)));
    readEverything(response);
}

void writes(FuzzedDataProvider& in) {
    ConfigImage image;
    image.resetRequest(in.ConsumeIntegral<quint16>());
    while (in.remaining_bytes() > 0) {
        const quint32 value = in.ConsumeIntegral<quint32>();
        const QDateTime dt = QDateTime::fromSecsSinceEpoch(qint32(value), Qt::UTC);
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            image.appendU8(value), image.appendU16(value), image.appendU32(value);
            image.appendU16(encodeUtcOffset(in.ConsumeFloatingPoint<double>()));
            break;
        case 1:
            image.appendPackedDateTime(dt), image.appendClockDateTime(dt);
            break;
        default:
            image.appendFixedText(QString::fromStdString(in.ConsumeRandomLengthString(50)),
                                  in.ConsumeIntegralInRange(0, 40));
        }
    }
    image.finishRequest();
    readEverything(image);
    // "crc words-last-first length cfg_set\r", read backwards: "length,words,crc".
    QStringList fields = QString::fromLatin1(requestLine(image, kCfgSet)).split(' ');
    std::reverse(fields.begin(), fields.end());
    ConfigImage response;
    CHECK(parseAnswer(fields.mid(1), kCfgSet, image, response) == Verdict::Valid);
    CHECK(response.length == image.length && response.bytes == image.bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    in.ConsumeBool() ? answerText(in) : writes(in);
    return 0;
}
