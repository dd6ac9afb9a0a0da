// The binary record images exchanged with the instrument's cfg_get / cfg_set
// commands, and the field encodings used inside them.
//
// Depends on Qt Core only. Nothing here throws and nothing here fails: writers
// leave out a field that does not fit, readers return a default for a field that
// does not lie inside the received record.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace kvx {

constexpr int kImageCapacity = 64;

// One record image: a length (0..64), 64 bytes and the CRC-16/MODBUS of the
// first `length` bytes. Bytes past `length` are never read as data.
struct ConfigImage {
    quint16 length = 0;
    std::array<quint8, kImageCapacity> bytes{};
    quint16 crc = 0;

    // ---- request side -------------------------------------------------
    // length := 2, bytes 0..1 := the request word (board class first).
    void resetRequest(quint16 requestWord);
    // Each appender adds its whole field at the current length only when it
    // fits within 64 bytes; otherwise nothing is added.
    void appendU8(quint32 value);
    void appendU16(quint32 value);
    void appendU32(quint32 value);
    // month*4096 + day*128 + year%100, then hour byte, minute byte. The
    // date-time's own fields are used; no time-zone conversion.
    void appendPackedDateTime(const QDateTime& dt);
    // month, day, year%100, hour, minute, second; no time-zone conversion.
    void appendClockDateTime(const QDateTime& dt);
    // Exactly `width` bytes: Latin-1 code units, 0 for characters above 255,
    // zero padding; a text of `width` characters or more carries no terminator.
    void appendFixedText(const QString& text, int width);
    // Pads an odd length with one 0x00 byte (when below 64), then computes crc.
    void finishRequest();

    // The request word held in bytes 0..1 (0 when length < 2).
    quint16 requestWord() const;

    // ---- response side ------------------------------------------------
    // True when offset >= 0 and offset + width <= length.
    bool holds(int offset, int width) const;
    quint8 readU8(int offset) const;   // 0 when outside
    quint16 readU16(int offset) const; // 0 when outside
    quint32 readU32(int offset) const; // 0 when outside
    // UTC; 2000-01-01 00:00:00 UTC when outside; invalid QDateTime for bit
    // patterns that are no calendar date or time. Minute uses its low 6 bits.
    QDateTime readPackedDateTime(int offset) const;
    // UTC; all six bytes must lie inside, else 2000-01-01 00:00:00 UTC.
    QDateTime readClockDateTime(int offset) const;
    // "" when outside, "None" for date word 0, else "On M/D/YYYY @ H:MM".
    QString readInstallText(int offset) const;
    // Zero-terminated Latin-1 text; "" when fewer than two bytes remain at the
    // offset or the byte there is 0; stops at the end of the image.
    QString readText(int offset) const;
    // Twelve upper-case hexadecimal digits; "" when the six bytes are outside.
    QString readHexSerial(int offset) const;
};

// CRC-16/MODBUS (reflected polynomial 0xA001, initial 0xFFFF, no final XOR).
quint16 crc16Modbus(const quint8* data, int length);
quint16 crc16Modbus(const QByteArray& data);

enum class Verdict { Valid, Invalid, NoData };

// The command words of an exchange.
inline const QString kCfgGet = QStringLiteral("cfg_get");
inline const QString kCfgSet = QStringLiteral("cfg_set");

// "crc wordN-1 ... word0 length command\r" for a finished request image.
QByteArray requestLine(const ConfigImage& request, const QString& commandWord);

// Cuts the echo (everything up to and including the command word and the one
// character after it) and the prompt (six characters starting one before
// "cli>") off a complete answer, and splits the rest at commas, keeping empty
// fields. The caller guarantees that rxText holds both the command word and
// the prompt; a missing one is simply not cut, so any text is safe to pass.
QStringList extractAnswer(const QString& rxText, const QString& commandWord);

// Judges one answer (fields as returned by extractAnswer) and fills `response`:
// - fewer than three fields: NoData, `response` untouched;
// - field 0 (the data byte count) must be an unsigned 32-bit decimal number,
//   even and equal to (fields - 2) * 2, else Invalid with `response` untouched;
// - every word field is stored big-endian while the image has room; a field
//   that is no unsigned 32-bit decimal number counts as 0, a value above 65535
//   is dropped; response.crc := CRC of the stored bytes;
// - the last field must equal that CRC, else Invalid;
// - for cfg_set the answer must repeat the request (same length and CRC).
Verdict parseAnswer(const QStringList& fields, const QString& commandWord,
                    const ConfigImage& request, ConfigImage& response);

// ---- scaled numbers ------------------------------------------------------
// Flow rates: Pumps A and B in thousandths (scale 1000), Pumps C and D in
// hundredths (scale 100). Write: integer part of rate * scale + 0.49.
constexpr int kFilterPumpFlowScale = 1000;
constexpr int kSorbentPumpFlowScale = 100;
quint16 encodeFlowRate(double rate, int scale);
double decodeFlowRate(quint16 raw, int scale);

// UTC offset: hours * 100 + 32768, truncated toward zero. Reading a record too
// short to hold the field gives -327.68.
quint16 encodeUtcOffset(double hours);
double decodeUtcOffset(const ConfigImage& response, int offset);

// The date a date field holds when the instrument holds none, and what a
// date edit shows for a bit pattern that is no date: 2000-01-01 00:00 UTC.
QDateTime defaultDateTime();

} // namespace kvx
