// The make-up of a simulated instrument: which boards, sensors and pumps are
// fitted, the firmware level, the initial value of every record and the faults
// to inject. Read from JSON; the presets ship inside the library.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kvx::sim {

// Faults the simulated instrument can be told to show. Zero / false / -1 means
// the fault is off.
struct Faults {
    bool silent = false;       // no byte ever comes back, not even the echo
    int noAnswerFirst = 0;     // the first N attempts of each command line get the echo only
    int badCrcFirst = 0;       // the first N record answers carry a wrong CRC
    int badCountFirst = 0;     // the first N record answers carry a wrong byte count
    QString only;              // when set, the three faults above hit only command lines
                               // containing this text (e.g. "cfg_set" or "112 2 cfg_get")
    bool nulBytes = false;     // NUL bytes inside every answer
    bool lineFeeds = false;    // line feeds inside every answer
    int chunkSize = 0;         // answers come in pieces of this many bytes ...
    int chunkDelayMs = 0;      // ... this far apart
    int answerDelayMs = 0;     // a pause between the echo and the answer
    int boardListFields = 21;  // 20 or 22 give a malformed board list
    int cablePulledAfter = -1; // the cable is pulled once K commands have been answered
    int garbageBytes = 0;      // this many junk bytes before the echo of each command line
    int endlessAfter = -1;     // once K commands are answered, the next starts an endless
                               // stream of bytes that never ends with a prompt
    // Records answered shorter than the firmware keeps them: request word to
    // the bytes of the record answered (request word included). Set in code
    // only.
    QMap<quint16, int> cutRecords;

    // Reads the fault keys of `object` over the current values; unknown keys
    // are an error.
    bool read(const QJsonObject& object, QString* error);
};

struct Board {
    bool fitted = false;
    QString id;
};

struct Sen55 {
    bool fitted = false;
    quint16 mode = 1; // 1 idle, 2 RH/T/gas, 3 RH/T/gas/PMS
    quint32 runHours = 0;
    quint32 fanHours = 0;
    quint32 cleaningIntervalHours = 0;
    QString serial;
};

// SGP41, SFA30, SCD30: fitted, on/off, run time, serial.
struct GasSensor {
    bool fitted = false;
    bool on = false;
    quint32 runHours = 0;
    QString serial;               // SGP41: twelve hexadecimal digits
    quint16 compensation = 0;     // SCD30 only
    quint32 calibrationStamp = 0; // SCD30 only: packed date-time, 0 = never
};

struct AlphasensePosition {
    bool fitted = false;
    bool on = false;
    int type = 0;                  // 1 CO-B4, 2 NO2-B43F, 3 OX-B431, 4 NO-B4
    int partner = 0;               // 0 none, 1..4
    int algorithm = 0;             // NO2 algorithm in use, 0..4
    bool algorithm2Logging = true; // sensor word bit 2
    bool algorithm2Listed = true;  // sensor word bit 3
    quint32 runHours = 0;
    QString serial;
};

struct Figaro {
    bool fitted = false;
    bool on = false;
    quint8 range = 0; // 2 = 20 ppm, 1 = 50 ppm, 0 = 1000 ppm
    quint32 runHours = 0;
};

struct Pump {
    bool fitted = false;
    quint16 flowRaw = 0;  // rate x 1000 (A, B) or x 100 (C, D)
    quint16 limitRaw = 0; // same scale
    QString cartridgeId;
    quint32 installStamp = 0; // packed date-time, 0 = none
    quint32 runHours = 0;
    quint32 volume = 0;
    std::array<quint8, 8> start{};
    std::array<quint8, 4> duration{};
    quint32 logging = 0; // Pumps A and B only; C and D share sorbentLogging
};

struct InstrumentConfig {
    QString name;
    // Absent: the instrument has no firmware level record.
    std::optional<int> firmwareLevel = 5;
    // Instrument clock at start-up (UTC); invalid = the host's time.
    QDateTime clock;

    Board main, gas, pumpA, pumpB, sorbent;

    // Main board.
    quint32 mainLogging = 0;
    double utcOffsetHours = 0.0;
    QString sampleId;
    quint16 scheduleFlags = 1;
    quint32 scheduleStart = 0; // packed date-time
    quint16 durationDays = 0;
    quint8 durationHours = 0;
    quint8 durationMinutes = 0;
    quint8 logInterval = 60;
    quint8 stopState = 0;
    Sen55 sen55;

    // Gas board.
    quint32 gasLogging = 0;
    GasSensor sgp41, sfa30, scd30;
    std::array<AlphasensePosition, 4> alphasense;
    quint32 alphasenseLogging = 0;
    bool fanOn = false;
    Figaro figaro;

    // Pumps A, B, C, D.
    std::array<Pump, 4> pumps;
    quint32 sorbentLogging = 0;

    Faults faults;

    // Parses a whole instrument description. Missing keys keep the defaults
    // above (no board fitted); wrong types and unknown keys are errors.
    static std::optional<InstrumentConfig> fromJson(const QByteArray& json, QString* error);
    // A preset shipped with the simulator: "full", "minimal", "mixed", "legacy".
    static std::optional<InstrumentConfig> preset(const QString& name, QString* error);
    static QStringList presetNames();
};

// Packed date-time (date word, hour, minute) of the date-time's own fields.
quint32 packStamp(const QDateTime& dt);

} // namespace kvx::sim
