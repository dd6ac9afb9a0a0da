// Values read from the instrument for settings that no control of the form can
// change. A write sends them back exactly as they were read, so that reading a
// configuration and writing it straight back leaves the instrument unchanged.
//
// The Figaro page is never shown: its controls are disabled for every
// connection, yet the Figaro record (0x40C6) and bits 2-5 of the gas board's
// logging word (0x4006) are written. Without this state those values would be
// replaced by whatever the hidden controls happen to hold.
#pragma once

#include "image/ConfigImage.h"

#include <QHash>
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

    // Every record the last configuration read received, by request word,
    // brought up to date by each write the instrument confirmed: the
    // instrument's values as it holds them now. The encoders take from here
    // what the operator could not change: logging bits of disabled boxes and
    // bits without a box, the halt flag while it is hidden, a compensation or
    // NO2 algorithm the form could not show.
    QHash<quint16, ConfigImage> records;

    // The record read under `word`; null when none was.
    const ConfigImage* record(quint16 word) const {
        const auto it = records.constFind(word);
        return it == records.cend() ? nullptr : &it.value();
    }
    // The u32 at offset 2 of a logging record as read; 0 when none was read or
    // it was too short, which is also how the form reads such a record.
    quint32 loggingWord(quint16 word) const {
        const ConfigImage* read = record(word);
        return read ? read->readU32(2) : 0;
    }
};

} // namespace kvx
