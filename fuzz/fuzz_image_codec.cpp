// Fuzz target for the record image codec. The input is either the
// instrument's text (cut, parsed and read back) or a list of writes, whose
// request line, turned back into the instrument's answer, must be accepted as
// the read-back of that very record. Broken invariants abort.
#include "image/ConfigImage.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QStringList>
#include <QtGlobal>

#include <functional>

using namespace kvx;

#define CHECK(cond) check(cond, #cond, __LINE__)

namespace {

void check(bool ok, const char* what, int line) {
    if (!ok)
        qFatal("check failed: %s (line %d)", what, line);
}

// Readers stay inside the image and give their defaults outside it.
void readEverything(const ConfigImage& image) {
    for (int at = -2; at <= kImageCapacity + 2; ++at) {
        CHECK(image.holds(at, 1) == (at >= 0 && at < qMin<int>(image.length, kImageCapacity)));
        CHECK(image.holds(at, 4) ||
              (image.readU32(at) == 0 && image.readInstallText(at).isEmpty()));
        CHECK(image.readHexSerial(at).size() == (image.holds(at, 6) ? 12 : 0));
        CHECK(!image.readText(at).contains(QChar(0)));
        image.readPackedDateTime(at);
        image.readClockDateTime(at);
    }
}

ConfigImage anyImage(FuzzedDataProvider& in) {
    ConfigImage image;
    const std::string bytes = in.ConsumeBytesAsString(kImageCapacity);
    std::copy(bytes.begin(), bytes.end(), image.bytes.begin());
    image.length = in.ConsumeIntegral<quint16>();
    image.crc = in.ConsumeIntegral<quint16>();
    return image;
}

void answerText(FuzzedDataProvider& in) {
    const QString command = in.ConsumeBool() ? kCfgGet : kCfgSet;
    const ConfigImage request = anyImage(in);
    ConfigImage response = anyImage(in);
    const ConfigImage before = response;
    const std::string text = in.ConsumeRemainingBytesAsString();
    const QStringList fields =
        extractAnswer(QString::fromLatin1(text.data(), int(text.size())), command);
    const Verdict verdict = parseAnswer(fields, command, request, response);
    CHECK((verdict == Verdict::NoData) == (fields.size() < 3));
    CHECK(verdict != Verdict::NoData ||
          (response.length == before.length && response.bytes == before.bytes));
    CHECK(verdict != Verdict::Valid ||
          (response.length <= kImageCapacity && response.length % 2 == 0 &&
           response.crc == crc16Modbus(response.bytes.data(), response.length) &&
           (command == kCfgGet || response.crc == request.crc)));
    readEverything(response);
}

void writes(FuzzedDataProvider& in) {
    ConfigImage image;
    image.resetRequest(in.ConsumeIntegral<quint16>());
    while (in.remaining_bytes() > 0) {
        const QDateTime dt = QDateTime::fromSecsSinceEpoch(in.ConsumeIntegral<qint64>(), Qt::UTC);
        const int before = image.length, width = in.ConsumeIntegralInRange(0, 40);
        const quint32 value = in.ConsumeIntegral<quint32>();
        const double offset = in.ConsumeFloatingPoint<double>();
        const QString text = QString::fromStdString(in.ConsumeRandomLengthString(50));
        const std::function<void()> appenders[] = {
            [&] { image.appendU8(value); },
            [&] { image.appendU16(value); },
            [&] { image.appendU32(value); },
            [&] { image.appendPackedDateTime(dt); },
            [&] { image.appendClockDateTime(dt); },
            [&] { image.appendU16(encodeUtcOffset(offset)); },
            [&] { image.appendFixedText(text, width); }};
        appenders[in.ConsumeIntegralInRange(0, 6)]();
        CHECK(image.length >= before && image.length <= kImageCapacity);
    }
    image.finishRequest();
    CHECK(image.length % 2 == 0 && image.crc == crc16Modbus(image.bytes.data(), image.length));
    readEverything(image);
    // "crc words-last-first length cfg_set\r" back to "length,words,crc".
    const QList<QByteArray> items = requestLine(image, kCfgSet).chopped(1).split(' ');
    CHECK(items.size() == image.length / 2 + 3 && items.last() == "cfg_set");
    QStringList fields{QString::fromLatin1(items.at(items.size() - 2))};
    for (int i = int(items.size()) - 3; i >= 1; --i)
        fields << QString::fromLatin1(items.at(i));
    fields << QString::fromLatin1(items.first());
    ConfigImage response;
    CHECK(parseAnswer(fields, kCfgSet, image, response) == Verdict::Valid);
    CHECK(response.length == image.length && response.bytes == image.bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    in.ConsumeBool() ? answerText(in) : writes(in);
    return 0;
}
