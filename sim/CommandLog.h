// What the configurator did to the simulated instrument: every command line
// received and every record stored, one JSON object per event. Kept in memory
// for tests and, when a file is given, appended to it as JSON lines.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace kvx::sim {

class CommandLog {
public:
    // Starts writing JSON lines to `path` (truncating it). False when the file
    // cannot be opened.
    bool openFile(const QString& path);

    // Adds `event` with the time stamp "t" (milliseconds since the epoch).
    void add(qint64 nowMs, QJsonObject event);

    const QList<QJsonObject>& entries() const { return events; }
    // Every command line received, in order (without the carriage return).
    QStringList commandLines() const;
    // Every image stored under `requestWord`, oldest first.
    QList<QByteArray> stores(quint16 requestWord) const;
    // The events whose "event" member equals `kind`.
    QList<QJsonObject> ofKind(const QString& kind) const;
    void clear() { events.clear(); }

private:
    QList<QJsonObject> events;
    QFile file;
};

// "0x4016" style text of a request word.
QString wordText(quint16 requestWord);

} // namespace kvx::sim
