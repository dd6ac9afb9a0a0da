// Records every pump has (Pumps A and B on the filter pump boards, Pumps C and D
// on the sorbent board): flow, cartridge, install date, run time, volume, start
// schedule, pumping duration and the run/stop command. The logging records
// differ between the boards: FilterPumpCodec.h and SorbentPumpCodec.h.
//
// Decoders take the response image of the record's cfg_get. Encoders reset the
// request image to the record's request word and append its fields; the caller
// finishes the image (startSet does).
#pragma once

#include "image/ConfigImage.h"
#include "image/boards/PumpWidgets.h"

#include <QDateTime>
#include <QString>

#include <array>

class Ui_KVX_Configurator;

namespace kvx {

// ---- decoders (read workflow) -------------------------------------------------

// Flow record. Returns whether the pump is fitted (response byte 2 present and
// not 0). Fitted: the flow field's maximum (limit at 5), then its value (rate at
// 3). Not fitted: the pump's own logging boxes, flow field and cartridge ID are
// disabled, and from firmware level 2 every schedule control of the page too.
bool decodePumpFlowRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response,
                          int firmwareLevel);
// Install date as install text.
void decodePumpInstallRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response);
// Run time (hours) and pumped volume, u32 in decimal.
void decodePumpRunRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response);
void decodePumpVolumeRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response);
// Cartridge ID; `lastReadId` (the pump's entry of cartridgeIds) becomes the
// text the field holds afterwards (at most 15 characters).
void decodePumpCartridgeRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response,
                               QString& lastReadId);
// Start schedule (delay half, date half, or with the sample). Looks at the Main
// tab's startDateTime: a pump cannot start at a specific time when the sample
// does not.
void decodePumpStartRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response);
// Pumping duration (all zero: the whole sample).
void decodePumpDurationRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response);

// ---- encoders (write workflow) -------------------------------------------------

// True when the cartridge record is to be written: the cartridge ID field is
// enabled and its text differs (case-sensitively) from the ID last read.
bool pumpCartridgeChanged(const Ui_KVX_Configurator& ui, Pump pump,
                          const std::array<QString, 4>& cartridgeIds);
// Cartridge record: install stamp (the computer's local time now, handed in),
// then the ID as 15 fixed characters. Write only when pumpCartridgeChanged.
void encodePumpCartridgeRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request,
                               const QDateTime& localNow);
// Flow record: the rate scaled by 1000 (A, B) or 100 (C, D). Write only when
// the pump's flow field is enabled.
void encodePumpFlowRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request);
// Start record (8 bytes): specific start -> 4 zero bytes + packed date-time;
// delayed start -> days u16, hours, minutes + 4 zero bytes; else 8 zero bytes.
// Firmware level 2 and above, only when the pump's start group is enabled.
void encodePumpStartRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request);
// Duration record (4 bytes): partial -> days u16, hours, minutes; else zeros.
// Firmware level 2 and above, only when the pump's duration group is enabled.
void encodePumpDurationRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request);
// Run/stop record: run -> the flow field's rate scaled like the flow record;
// stop -> 0. Used by the pump buttons and by the pump stop before a write.
void encodePumpRunRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request, bool run);

} // namespace kvx
