// The instrument clock: Set RTC writes the computer's UTC time at the moment
// of sending and reads the clock back; Read RTC only reads it. The clock shows
// in UTC and in the computer's own time zone (the read chain shows it the same
// way through the same decoder).
//
//   197 set   ->   198 read request   ->   199 show, unlock   ->   0
#include "app/KVX_Configurator.h"
#include "image/boards/MainBoardCodec.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Record.h"
#include "workflows/SessionStates.h"

#include <utility>

namespace {

constexpr int kShowClock = kvx::kClockStates.last;

} // namespace

void KVX_Configurator::KVXSetRTCPressed() {
    if (!canStartWorkflow())
        return;
    lockButtons();
    sessionState = kvx::kSetClock;
}

void KVX_Configurator::KVXReadRTCPressed() {
    if (!canStartWorkflow())
        return;
    lockButtons();
    sessionState = kvx::kReadClock;
}

void KVX_Configurator::runClockState() {
    if (!linkIdle())
        return;
    switch (sessionState) {
    case kvx::kSetClock:
        // The time is taken now, when the request goes out, not at the click.
        kvx::encodeClockRecord(requestImage, QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::UTC));
        startSet(kvx::kReadClock);
        notes->clockBeingSet = true;
        break;
    case kvx::kReadClock:
        startGet(kvx::kClockWord, kShowClock);
        break;
    case kShowClock:
        kvx::decodeClockRecord(*ui, responseImage);
        kvx::noteClock(*this, std::exchange(notes->clockBeingSet, false)
                                  ? kvx::ClockReading::How::Set
                                  : kvx::ClockReading::How::Read);
        unlockButtons();
        sessionState = 0;
        break;
    default:
        break;
    }
}
