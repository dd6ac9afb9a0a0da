// Logging selections of Pumps A and B (records 0x8002 and 0x8004): one u32
// with bits 0-16 mapped to the 17 logging boxes of the pump's page. The other
// records of these pumps are in PumpCodec.h.
#pragma once

#include "image/ConfigImage.h"
#include "image/boards/PumpWidgets.h"
#include "image/boards/ReadBack.h"

class Ui_KVX_Configurator;

namespace kvx {

// Request word of the logging record of Pump A or Pump B.
quint16 filterPumpLoggingWord(Pump pump);

// Word to enabled boxes / enabled and checked boxes to word (pump A or B).
void applyFilterPumpLogging(Ui_KVX_Configurator& ui, Pump pump, quint32 word);
quint32 collectFilterPumpLogging(const Ui_KVX_Configurator& ui, Pump pump);

// Decoder: the u32 at 2, or 0 when the answer holds fewer than 6 bytes.
void decodeFilterPumpLoggingRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response);
// Encoder: request word, then the enabled boxes from the form and every other
// bit as read (mergeLoggingWord). Written whenever the page is.
void encodeFilterPumpLoggingRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request,
                                   const ReadBackState& readBack = ReadBackState());

} // namespace kvx
