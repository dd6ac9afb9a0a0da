// Pieces of the write workflow that the pump commands and the tests share.
#pragma once

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
// the record chain (600).
int writeEntryState(KVX_Configurator& w);

} // namespace kvx
