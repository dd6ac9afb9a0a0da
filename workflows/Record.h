// The configuration record: one PDF per instrument that a sampling campaign
// files with its paperwork. It describes the instrument, not the form: who
// made it, when and where, the fitted boards, the firmware level, the
// instrument clock as last read or set, every setting a configuration file
// carries as the instrument holds it, the sample and cartridge IDs, what the
// last confirmed write of this session changed, and a fingerprint that
// matches the record with a configuration file.
//
// A session is one connection: what the configurator saw of the instrument
// is forgotten when the link goes (the record of the next instrument must not
// carry this one's write).
#pragma once

#include "workflows/Changes.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

class KVX_Configurator;

namespace kvx {

// The instrument clock as the configurator saw it.
struct ClockReading {
    enum class How { ReadWithConfiguration, Read, Set };
    How how = How::Read;
    QDateTime instrument; // as the instrument answered (UTC); invalid when it held no date
    QDateTime computer;   // the computer's UTC when the answer was taken
};

// A write the instrument confirmed to its end.
struct ConfirmedWrite {
    QDateTime finished;           // the computer's UTC
    QList<SettingChange> changes; // as the instrument held them before and after
};

// What this session did that a record reports; kept by the window.
struct SessionNotes {
    std::optional<ClockReading> clock;
    std::optional<ConfirmedWrite> lastWrite;
    // The running write: the instrument's values when it began.
    QList<std::pair<const Setting*, QString>> beforeWrite;
    bool clockBeingSet = false;
};

// The hooks of the workflows. noteClock takes the clock record in the
// response image.
void noteClock(KVX_Configurator& window, ClockReading::How how);
void noteWriteStarted(KVX_Configurator& window);
void noteWriteConfirmed(KVX_Configurator& window);

// The fingerprint of a settings object: the SHA-256, in lower-case hex, of
// its compact JSON (QJsonObject keeps its keys sorted, so the form is one).
QByteArray settingsFingerprint(const QJsonObject& settings);

// Writes the record of the connected instrument to `path` as an A4 PDF,
// whole or not at all. Asks nothing; false, with `why` saying why, when the
// configurator is not connected and idle or the file cannot be written.
bool saveRecord(KVX_Configurator& window, const QString& path, QString* why);

// File › Save Record…: the file dialog, then the window's saveRecordTo.
void askAndSaveRecord(KVX_Configurator& window);

} // namespace kvx
