// Pieces of the write workflow that the pump commands and the tests share.
#pragma once

#include "image/ConfigImage.h"

#include <QDateTime>
#include <QList>
#include <QString>

class KVX_Configurator;
class Ui_KVX_Configurator;

namespace kvx {

// One question put to the operator before a write.
struct WriteWarning {
    QString title;
    QString text;
};

// The schedule warnings a write raises, in the order they are asked, for the
// form as it stands and the given current UTC time. Only scheduled pumps (page
// and start group enabled) take part; the date checks run only when the sample
// starts at a specific UTC date/time.
QList<WriteWarning> scheduleWarnings(const Ui_KVX_Configurator& ui, const QDateTime& nowUtc);

// The state a write starts in, called with the buttons locked: from firmware
// level 5 the Start buttons stay disabled after the write's end and the first
// pump whose Stop button was enabled is stopped first (1400..1403); otherwise
// the record chain (600). What the instrument holds is noted first, so that
// the configuration record can say what the write changed.
int writeEntryState(KVX_Configurator& w);

// Fills `request` with the record `word` as a write builds it from the form
// as it stands (the cartridge record, which carries the time of the write,
// excepted). False for a word the write does not send this way.
bool encodeRecord(KVX_Configurator& w, quint16 word, ConfigImage& request);

} // namespace kvx
