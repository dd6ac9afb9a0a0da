// The text side of an exchange: the request line sent to the instrument and
// the checking of the comma-separated answer that comes back.
#include "image/ConfigImage.h"

#include <algorithm>

namespace kvx {
namespace {

// An unsigned decimal number that fits in 32 bits; 0 for anything else
// (negative numbers, text, empty fields, numbers past 32 bits).
quint32 unsignedField(const QString& field, bool* ok = nullptr) {
    bool valid = false;
    const uint value = field.toUInt(&valid, 10);
    if (ok != nullptr)
        *ok = valid;
    return valid ? value : 0;
}

} // namespace

QByteArray requestLine(const ConfigImage& request, const QString& commandWord) {
    const int length = std::min<int>(request.length, kImageCapacity);
    QByteArray line = QByteArray::number(request.crc);
    for (int i = length / 2 - 1; i >= 0; --i) {
        line += ' ';
        line += QByteArray::number(request.readU16(2 * i));
    }
    line += ' ';
    line += QByteArray::number(length);
    line += ' ';
    line += commandWord.toLatin1();
    line += '\r';
    return line;
}

QStringList extractAnswer(const QString& rxText, const QString& commandWord) {
    QString answer = rxText;
    const auto echoAt = answer.indexOf(commandWord);
    if (echoAt >= 0)
        answer.remove(0, echoAt + commandWord.size() + 1);
    const auto promptAt = answer.indexOf(QLatin1String("cli>"));
    if (promptAt >= 0) {
        // The carriage return that ends the answer line and the five
        // characters of the prompt.
        const auto from = std::max<decltype(promptAt)>(promptAt - 1, 0);
        answer.remove(from, promptAt + 5 - from);
    }
    return answer.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

Verdict parseAnswer(const QStringList& fields, const QString& commandWord,
                    const ConfigImage& request, ConfigImage& response) {
    if (fields.size() < 3)
        return Verdict::NoData;

    bool countOk = false;
    const quint32 count = unsignedField(fields.first(), &countOk);
    if (!countOk || count % 2 != 0 || qint64(count) != (qint64(fields.size()) - 2) * 2)
        return Verdict::Invalid;

    response.length = 0;
    for (qsizetype i = 1; i + 1 < fields.size(); ++i) {
        const quint32 word = unsignedField(fields.at(i));
        if (word > 0xFFFF || response.length > kImageCapacity - 2)
            continue;
        response.bytes[response.length] = static_cast<quint8>(word >> 8);
        response.bytes[response.length + 1u] = static_cast<quint8>(word & 0xFFu);
        response.length += 2;
    }
    response.crc = crc16Modbus(response.bytes.data(), response.length);

    if (unsignedField(fields.last()) != response.crc)
        return Verdict::Invalid;
    if (commandWord == kCfgSet &&
        (response.length != request.length || response.crc != request.crc))
        return Verdict::Invalid;
    return Verdict::Valid;
}

} // namespace kvx
