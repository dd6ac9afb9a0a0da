// The simulated instrument: its command line, board list, configuration
// records, running clock and pumps, plus the faults it can be told to show.
//
// It has no thread and no timer of its own. Time is handed in (milliseconds
// since the epoch): bytes go in with receive(), and takeOutput() returns the
// bytes due by the current time, so a test can drive it tick by tick.
#pragma once

#include "sim/CommandLog.h"
#include "sim/InstrumentConfig.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>

#include <optional>

namespace kvx::sim {

class Instrument {
public:
    explicit Instrument(InstrumentConfig config, qint64 nowMs);

    // ---- time ----------------------------------------------------------
    // Time never runs backwards: an earlier value is ignored.
    void setNow(qint64 nowMs);
    qint64 now() const { return nowMs; }

    // ---- the serial line -------------------------------------------------
    // Bytes from the computer, at the current time.
    void receive(const QByteArray& bytes);
    // The bytes due by the current time (echo, answers, prompts).
    QByteArray takeOutput();
    // When the next queued byte falls due; -1 when nothing is queued.
    qint64 nextOutputAt() const;
    // Drops everything queued (the port was closed: nobody listens).
    void discardOutput();
    // True once the "cable pulled" fault has struck: nothing more goes in or out.
    bool cablePulled() const { return pulled; }

    // ---- inspection ------------------------------------------------------
    // The record as a cfg_get would return it (request word first); nullopt
    // when the instrument lacks it.
    std::optional<QByteArray> readRecord(quint16 requestWord) const;
    // The instrument clock (UTC) at the current time.
    QDateTime clock() const;
    // Pump 0..3 = A..D: running and its setpoint (0 when stopped).
    bool pumpRunning(int pump) const { return pumpSetpoints[pump] != 0; }
    quint16 pumpSetpoint(int pump) const { return pumpSetpoints[pump]; }
    const InstrumentConfig& state() const { return cfg; }
    Faults& faults() { return cfg.faults; }
    CommandLog& log() { return events; }
    const CommandLog& log() const { return events; }
    // Command lines answered so far (the reset and empty lines included).
    int commandsAnswered() const { return answered; }
    bool inMenu() const { return menuMode; }

    // The board list line (without echo and prompt).
    QString boardList() const;

private:
    struct Pending {
        qint64 at;
        QByteArray bytes;
    };

    void queue(const QByteArray& bytes, qint64 at);
    void runLine(const QByteArray& line);
    QByteArray answerFor(const QString& line, bool* isRecord);
    QByteArray recordCommand(const QStringList& items, bool set, const QString& line);
    QByteArray formatRecord(const QByteArray& image, const QString& line);
    // Stores a written record; false when the instrument lacks it or the
    // record is malformed.
    bool writeRecord(quint16 word, const QByteArray& image);
    bool boardFitted(quint16 word) const;
    int level() const { return cfg.firmwareLevel.value_or(0); }
    bool faultApplies(const QString& line) const;
    void pullCable();

    InstrumentConfig cfg;
    qint64 nowMs = 0;
    qint64 clockOffsetMs = 0;
    // Records whose read and written layouts agree, by request word.
    QMap<quint16, QByteArray> plain;
    std::array<quint16, 4> pumpSetpoints{};

    QByteArray lineBuffer;
    QList<Pending> out;
    bool menuMode = false;
    bool pulled = false;
    bool pullPending = false;
    bool lineStarted = false;
    int answered = 0;
    QHash<QString, int> attempts;
    int recordAnswers = 0;
    bool streaming = false;
    qint64 streamFromMs = 0;
    quint32 streamCounter = 0;
    CommandLog events;
};

} // namespace kvx::sim
