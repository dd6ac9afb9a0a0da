// Main board records (board class 0x00, slot 0): clock, UTC offset, sample ID,
// sampling schedule, SEN55 settings and serial number, logging selections.
//
// Decoders take the response image of the record's cfg_get and fill the Main
// tab. Encoders reset the request image to the record's request word and append
// its fields; the caller finishes the image (startSet does).
#pragma once

#include "image/ConfigImage.h"
#include "image/boards/ReadBack.h"

#include <QDateTime>
#include <QString>

class Ui_KVX_Configurator;

namespace kvx {

constexpr quint16 kMainLoggingWord = 0x0000;
constexpr quint16 kClockWord = 0x0010;
constexpr quint16 kUtcOffsetWord = 0x0020;
constexpr quint16 kSampleIdWord = 0x0030;
constexpr quint16 kScheduleWord = 0x0040;
constexpr quint16 kSen55SerialWord = 0x0050;
constexpr quint16 kSen55Word = 0x0060;

// The clock as the RTC fields show it: "MM/dd/yyyy hh:mm:ss"; empty for an
// invalid date-time.
QString clockText(const QDateTime& dateTime);

// Word to enabled boxes / enabled and checked boxes to word (bits 0-16).
void applyMainLogging(Ui_KVX_Configurator& ui, quint32 word);
quint32 collectMainLogging(const Ui_KVX_Configurator& ui);

// ---- decoders (read workflow; the clock decoder also ends the clock read) ----

// Clock (0x0010): utcText in UTC and localText in the computer's time zone,
// both empty when the bytes make no valid date-time.
void decodeClockRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);
// UTC offset (0x0020): tzOffset; a short answer gives -327.68 (the minimum).
void decodeUtcOffsetRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);
// Sample ID (0x0030).
void decodeSampleIdRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);
// Sampling schedule (0x0040): halt flag (only when sampleHalt is enabled),
// start mode and date-time, duration, logging interval, state after the sample.
void decodeScheduleRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);
// SEN55 settings (0x0060). Returns whether a SEN55 is fitted (at least 4 bytes
// and mode word not 0). Not fitted: the sen55 group and the eight SEN55 logging
// boxes are disabled and the boxes unchecked; the serial is then not read.
bool decodeSen55Record(Ui_KVX_Configurator& ui, const ConfigImage& response);
// SEN55 serial number (0x0050).
void decodeSen55SerialRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);
// Logging selections (0x0000): the u32 at 2, or 0 for an answer under 6 bytes.
void decodeMainLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);

// ---- encoders (write workflow; the clock encoder for the clock workflow) ----

// Clock (0x0010): the given UTC date-time, year modulo 100.
void encodeClockRecord(ConfigImage& request, const QDateTime& utcNow);
// UTC offset (0x0020): tzOffset hours * 100 + 32768.
void encodeUtcOffsetRecord(const Ui_KVX_Configurator& ui, ConfigImage& request);
// Sample ID (0x0030): 31 fixed characters.
void encodeSampleIdRecord(const Ui_KVX_Configurator& ui, ConfigImage& request);
// Sampling schedule (0x0040), 14 bytes. While sampleHalt is disabled (below
// firmware level 5) the halt flag goes back as read.
void encodeScheduleRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                          const ReadBackState& readBack = ReadBackState());
// SEN55 settings (0x0060): mode 1-3 and cleaning interval. Write only when the
// sen55 group is enabled.
void encodeSen55Record(const Ui_KVX_Configurator& ui, ConfigImage& request);
// Logging selections (0x0000): enabled boxes from the form, every other bit
// as read (mergeLoggingWord).
void encodeMainLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                             const ReadBackState& readBack = ReadBackState());

} // namespace kvx
