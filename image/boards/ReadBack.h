// Values read from the instrument for settings that no control of the form can
// change. A write sends them back exactly as they were read, so that reading a
// configuration and writing it straight back leaves the instrument unchanged.
//
// The Figaro page is never shown: its controls are disabled for every
// connection, yet the Figaro record (0x40C6) and bits 2-5 of the gas board's
// logging word (0x4006) are written. Without this state those values would be
// replaced by whatever the hidden controls happen to hold.
#pragma once

#include <QtGlobal>

namespace kvx {

struct ReadBackState {
    // Figaro record 0x40C6 as last read: mode byte (offset 2) and range byte
    // (offset 3). Valid only when the answer held both bytes.
    bool figaroValid = false;
    quint8 figaroMode = 0;
    quint8 figaroRange = 0;
    // Gas board logging word 0x4006 as last read (0 when the answer was too
    // short to hold it, which is also how the form reads such an answer).
    quint32 gasLogging = 0;
};

} // namespace kvx
