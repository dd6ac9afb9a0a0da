// Timing, retry and size constants of the instrument link, named once.
#pragma once

#include <QLatin1String>

namespace kvx {

constexpr int kTickMs = 20;              // UpdateTicker interval
constexpr qint64 kAnswerTimeoutMs = 499; // a wait times out when MORE than this has passed
constexpr qint64 kFarewellWaitMs = 999;  // "menu" is followed by MORE than this before closing
// ...unless the device never falls silent: then the link closes this long after "menu".
constexpr qint64 kFarewellCapMs = 5000;
constexpr int kRetries = 3;           // resends after the first attempt (4 attempts at most)
constexpr int kConsoleLimit = 262143; // kvxOutputBox is cleared when it holds more
// The receive text is dropped when it grows past this many characters without a
// prompt (a well-formed answer is far below 1 KiB).
constexpr int kRxLimit = 16384;
constexpr int kMaxBoardKinds = 10;

inline constexpr QLatin1String kPrompt{"cli> "};
inline constexpr QLatin1String kPromptStem{"cli>"};
inline constexpr QLatin1String kBoardListCommand{"show_boards_cal"};
constexpr char kResetSequence[] = "\x1b"
                                  "c\r";
constexpr char kFarewell[] = "menu\r";
constexpr int kBoardListFields = 21;
// The firmware level record: an instrument without it answers with no data.
constexpr quint16 kFirmwareLevelRecord = 0x0070;

// Link steps.
enum LinkStepCode : int {
    LinkIdle = 0,
    LinkOpen = 1,
    LinkSendReset = 2,
    LinkWaitPrompt = 3,
    LinkSendBoardList = 4,
    LinkWaitBoardList = 5,
    LinkGet = 6,
    LinkSet = 7,
    LinkSendRequest = 8,
    LinkWaitAnswer = 9,
    LinkConnected = 996,
    LinkFarewell = 997,
    LinkFarewellWait = 998,
    LinkReset = 999,
    LinkNone = 1000,
};

// Board kinds registered by discovery.
enum BoardKind : int {
    KindMain = 1,
    KindGas = 2,
    KindPumpA = 3,
    KindPumpB = 4,
    KindPumpsCD = 5,
    KindAlphasense = 7,
};

} // namespace kvx
