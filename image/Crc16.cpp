// CRC-16/MODBUS over the bytes of a record image.
#include "image/ConfigImage.h"

#include <QByteArray>

namespace kvx {
namespace {

struct CrcTable {
    quint16 entry[256];
};

// The 256-entry table of the reflected polynomial 0xA001, built at compile time.
constexpr CrcTable makeCrcTable() {
    CrcTable table{};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = static_cast<quint16>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<quint16>((crc >> 1) ^ 0xA001u)
                             : static_cast<quint16>(crc >> 1);
        table.entry[i] = crc;
    }
    return table;
}

constexpr CrcTable kCrcTable = makeCrcTable();
static_assert(kCrcTable.entry[1] == 0xC0C1, "CRC-16/MODBUS table");
static_assert(kCrcTable.entry[255] == 0x4040, "CRC-16/MODBUS table");

} // namespace

quint16 crc16Modbus(const quint8* data, int length) {
    quint16 crc = 0xFFFF;
    if (data == nullptr)
        return crc;
    for (int i = 0; i < length; ++i)
        crc = static_cast<quint16>((crc >> 8) ^ kCrcTable.entry[(crc ^ data[i]) & 0xFFu]);
    return crc;
}

quint16 crc16Modbus(const QByteArray& data) {
    return crc16Modbus(reinterpret_cast<const quint8*>(data.constData()), int(data.size()));
}

} // namespace kvx
