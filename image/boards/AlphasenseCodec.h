// Alphasense positions 1-4 and the Figaro sensor (gas board class 0x40).
//
// Firmware level 0 shows the Alphasense sensors on the Gas tab (groups
// as1..as4, one raw logging bit each in the gas logging word); level 1 and
// above on the Alphasense tab (groups as1_3..as4_3, with type, partner, NO2
// algorithm and a logging record of their own, 0x40A6). The Figaro record
// exists from level 4.
//
// Decoders take the response image of the record's cfg_get. Encoders reset the
// request image to the record's request word and append its fields; the caller
// finishes the image (startSet does).
#pragma once

#include "image/ConfigImage.h"
#include "image/boards/ReadBack.h"

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class Ui_KVX_Configurator;

namespace kvx {

constexpr quint16 kAlphasenseModesWord = 0x4086;
constexpr quint16 kAlphasenseLoggingWord = 0x40A6;
constexpr quint16 kFigaroWord = 0x40C6;

// Request word of the sensor record of position 1..4 (0x4046 .. 0x4076).
quint16 alphasenseRecordWord(int position);

// One position's widgets on both tabs.
struct AlphasenseWidgets {
    // Gas tab (firmware level 0)
    QGroupBox* gasGroup;
    QCheckBox* gasMode;
    QLineEdit* gasId;
    QLineEdit* gasRun;
    QCheckBox* gasLogRaw;
    // Alphasense tab (level 1 and above)
    QGroupBox* group;
    QCheckBox* mode;
    QLineEdit* id;
    QLineEdit* run;
    QLineEdit* type;
    QComboBox* algorithm;
    QLabel* algorithmLabel;
    std::array<QCheckBox*, 5> logging; // raw, algorithm 1 .. 4
};
AlphasenseWidgets alphasenseWidgets(const Ui_KVX_Configurator& ui, int position);

// 0 for no combo box; else its text "Algorithm #1".."Algorithm #4" -> 1..4,
// anything else 0.
int alphasenseAlgorithmCode(const QComboBox* combo);

// The Alphasense logging word: position n at bits 5(n-1) .. 5(n-1)+4.
void applyAlphasenseLogging(Ui_KVX_Configurator& ui, quint32 word);
quint32 collectAlphasenseLogging(const Ui_KVX_Configurator& ui);

// ---- decoders (read workflow) ----
// Sensor record of position 1..4. At level 1 and above `partner` (the
// position's entry of alphasensePartners) is updated when the sensor is fitted.
void decodeAlphasenseRecord(Ui_KVX_Configurator& ui, int position, const ConfigImage& response,
                            int firmwareLevel, int& partner);
// Figaro record (level 4 and above). The mode and range bytes are also kept in
// `readBack` for the write.
void decodeFigaroRecord(Ui_KVX_Configurator& ui, const ConfigImage& response,
                        ReadBackState& readBack);
// Alphasense logging record (level 1 and above).
void decodeAlphasenseLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);

// ---- encoders (write workflow) ----
// Modes and algorithms (0x4086): one byte per position, written whenever the
// gas board is. Bit 0 = on; bits 3-1 = NO2 algorithm (level 1 and above). The
// algorithm in use as read goes back when the form could not show it or the
// operator could not change it: while the NO2 list is disabled, and while it
// still shows the item the read selected (which for algorithm 2 without
// "Algorithm #2" in the list is "Algorithm #1").
void encodeAlphasenseModesRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                 int firmwareLevel,
                                 const ReadBackState& readBack = ReadBackState());
// Figaro (0x40C6, level 4 and above): mode byte and range byte. A byte whose
// control the operator cannot change (figaroMode, the figaroRange group;
// disabled for every connection) is sent back as it was read; without a read
// the mode is 1 and the range that of the checked range button.
void encodeFigaroRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                        const ReadBackState& readBack);
// Alphasense logging (0x40A6, level 1 and above): enabled boxes from the form,
// every other bit as read.
void encodeAlphasenseLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                   const ReadBackState& readBack = ReadBackState());

} // namespace kvx
