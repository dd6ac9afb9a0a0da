// The instrument clock: Set RTC writes the computer's UTC time at the moment
// of sending and reads the clock back; Read RTC only reads it. The clock shows
// in UTC and in the computer's own time zone (the read chain shows it the same
// way through the same decoder).
//
//   197 set   ->   198 read request   ->   199 show, unlock   ->   0
#include "app/KVX_Configurator.h"
#include "image/boards/MainBoardCodec.h"
#include "ui_KVX_Configurator.h"

void KVX_Configurator::KVXSetRTCPressed() {
    if (!canStartWorkflow())
        return;
    lockButtons();
    sessionState = 197;
}

void KVX_Configurator::KVXReadRTCPressed() {
    if (!canStartWorkflow())
        return;
    lockButtons();
    sessionState = 198;
}

void KVX_Configurator::runClockState() {
    if (!linkIdle())
        return;
    switch (sessionState) {
    case 197:
        // The time is taken now, when the request goes out, not at the click.
        kvx::encodeClockRecord(requestImage, QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::UTC));
        startSet(198);
        break;
    case 198:
        startGet(kvx::kClockWord, 199);
        break;
    case 199:
        kvx::decodeClockRecord(*ui, responseImage);
        unlockButtons();
        sessionState = 0;
        break;
    default:
        break;
    }
}
