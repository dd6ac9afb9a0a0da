// The session state codes: which workflow owns which code, named once for the
// dispatcher, the workflows and the status bar. The codes come in families by
// hundreds; each chain numbers its own steps inside its family.
//
//   1..4                     connection: ready page, firmware level, pages, connected page
//   100..196, 200..599, 1100 reading the configuration
//   197..199                 instrument clock
//   600..1099, 1200          writing the configuration (798/799 excepted)
//   798, 799                 SCD30 forced calibration
//   1300..1307               pump start/stop
//   1400..1403               pump stop before a write
#pragma once

namespace kvx {

// The codes from `first` to `last`, both included.
struct StateRange {
    int first;
    int last;
    constexpr bool holds(int state) const { return state >= first && state <= last; }
};

constexpr int kStateIdle = 0;
constexpr StateRange kConnectionStates{1, 4};

// The read chain: its board families and its end. The clock's codes lie inside.
constexpr StateRange kReadStates{100, 599};
constexpr int kReadEnd = 1100;

constexpr StateRange kClockStates{197, 199};
constexpr int kSetClock = 197;  // set, then read back
constexpr int kReadClock = 198; // read only

// The write chain: its board families, the pump stops before it, its end. The
// calibration's codes lie inside.
constexpr StateRange kWriteStates{600, 1099};
constexpr StateRange kPumpStopStates{1400, 1403}; // Pumps A..D
constexpr int kWriteEnd = 1200;

constexpr StateRange kCalibrationStates{798, 799};
constexpr int kCalibrate = 798;

// Start pump i (A..D) at first + 2i, stop it at first + 2i + 1.
constexpr StateRange kPumpCommandStates{1300, 1307};

enum class Workflow { None, Connection, Read, Clock, Write, Calibration, PumpCommand };

constexpr Workflow workflowOf(int state) {
    if (kConnectionStates.holds(state))
        return Workflow::Connection;
    if (kClockStates.holds(state))
        return Workflow::Clock;
    if (kCalibrationStates.holds(state))
        return Workflow::Calibration;
    if (kReadStates.holds(state) || state == kReadEnd)
        return Workflow::Read;
    if (kWriteStates.holds(state) || state == kWriteEnd || kPumpStopStates.holds(state))
        return Workflow::Write;
    if (kPumpCommandStates.holds(state))
        return Workflow::PumpCommand;
    return Workflow::None;
}

} // namespace kvx
