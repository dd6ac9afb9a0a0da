// Logging selections of the sorbent pump board (record 0xC001), shared by the
// Pump C and Pump D pages. Five board-level quantities (bits 0-3 and 26) have a
// box on both pages; bits 4-14 belong to Pump D, bits 15-25 to Pump C. The
// per-pump records of Pumps C and D are in PumpCodec.h.
#pragma once

#include "image/ConfigImage.h"
#include "image/boards/ReadBack.h"

class Ui_KVX_Configurator;

namespace kvx {

constexpr quint16 kPumpsCDLoggingWord = 0xC001;

// Word to form: a shared bit sets both of its boxes (the disabled one too)
// when at least one of them is enabled; own bits set enabled boxes only.
void applyPumpsCDLogging(Ui_KVX_Configurator& ui, quint32 word);
// Form to word: a shared bit is 1 when either box is enabled and checked; an
// own bit when its box is enabled and checked.
quint32 collectPumpsCDLogging(const Ui_KVX_Configurator& ui);

// Decoder: the u32 at 2, or 0 when the answer holds fewer than 6 bytes.
void decodePumpsCDLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response);
// Encoder: 0xC001, collectPumpsCDLogging for every bit the operator can change
// (a shared bit while either of its boxes is enabled); every other bit as read.
// Written whenever Tab_PumpC is enabled.
void encodePumpsCDLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                const ReadBackState& readBack = ReadBackState());

} // namespace kvx
