// Gas board records (board class 0x40, slot 6): SGP41, SCD30, SFA30, the gas
// housing fan, the gas board's logging selections and the SCD30 forced
// calibration. The Alphasense and Figaro records are in AlphasenseCodec.h.
//
// A sensor's presence is kept in the enabled state of its group box: a decoder
// disables the group when the record says the sensor is not fitted, and the
// write workflow writes a sensor's record only while its group is enabled.
#pragma once

#include "image/ConfigImage.h"
#include "image/boards/ReadBack.h"

#include <QDateTime>

class Ui_KVX_Configurator;

namespace kvx {

constexpr quint16 kGasLoggingWord = 0x4006;
constexpr quint16 kSgp41Word = 0x4016;
constexpr quint16 kSfa30Word = 0x4026;
constexpr quint16 kScd30Word = 0x4036;
constexpr quint16 kScd30CalibrationWord = 0x4096;
constexpr quint16 kGasFanWord = 0x40B6;

// The gas logging table (bits 0, 1, 6-15 always; 2-5 the Figaro boxes; 16-19
// the Alphasense raw boxes of the Gas tab). Word to enabled boxes / enabled and
// checked boxes to word, over the whole table.
void applyGasLogging(Ui_KVX_Configurator& ui, quint32 word);
quint32 collectGasLogging(const Ui_KVX_Configurator& ui);

// Shows and enables (or hides and disables) the fan row: gasFanGroup and
// gasFanState. The read shows it from firmware level 3.
void showGasFanRow(Ui_KVX_Configurator& ui, bool shown);

// ---- decoders (read workflow) ----
void decodeSgp41Record(Ui_KVX_Configurator& ui, const ConfigImage& response);
void decodeScd30Record(Ui_KVX_Configurator& ui, const ConfigImage& response);
void decodeSfa30Record(Ui_KVX_Configurator& ui, const ConfigImage& response);
// Fan: checked only for an answer of at least 4 bytes whose u16 is 1.
void decodeGasFanRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);
// Logging word, by firmware level: level 0 shows the Gas tab's Alphasense raw
// boxes and sets them from bits 16-19 and disables the Figaro boxes; level 1
// and above hides and disables the raw boxes and sets the Figaro boxes from
// bits 2-5 (enabled boxes only). The word read is kept in `readBack`.
void decodeGasLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response, int firmwareLevel,
                            ReadBackState& readBack);

// ---- encoders (write workflow, calibration workflow) ----
// SGP41 / SFA30: mode 2 when the Enable box is checked, else 1. Write only
// when the sensor's group (sgp41, sfa30) is enabled.
void encodeSgp41Record(const Ui_KVX_Configurator& ui, ConfigImage& request);
void encodeSfa30Record(const Ui_KVX_Configurator& ui, ConfigImage& request);
// SCD30: mode 2 when the Enable box is checked, else 1, then the compensation
// item shown (also while the sensor is off, so that switching it off keeps its
// compensation). A compensation the list cannot show (no item) goes back as
// read. Write only when the scd30 group is enabled.
void encodeScd30Record(const Ui_KVX_Configurator& ui, ConfigImage& request,
                       const ReadBackState& readBack = ReadBackState());
// Fan: 1 when gasFanState is enabled and checked, else 0. Level 3 and above.
void encodeGasFanRecord(const Ui_KVX_Configurator& ui, ConfigImage& request);
// Logging word: the bits of enabled boxes from the form; every other bit as
// read (the Figaro boxes, disabled for every connection; the Alphasense raw
// boxes hidden from level 1; boxes of sensors found absent; bits without a
// box), so a read followed by a write changes nothing there.
void encodeGasLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                            const ReadBackState& readBack);
// SCD30 forced calibration (0x4096): scd30CalValue ppm, then the calibration
// stamp (the computer's local time now, handed in).
void encodeScd30CalibrationRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                  const QDateTime& localNow);

} // namespace kvx
