// Simulated instruments and configuration files as JSON, for the tests that
// start kvx-sim with --config or read the files the window saves.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace kvx::test {

inline QJsonObject readJson(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}

inline bool writeText(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Sets `path` ("a/b/c") in `o` to `value`; with `onlyIfThere`, only where
// the parent object is there (and not a board marked unfitted).
inline void put(QJsonObject& o, const QString& path, const QJsonValue& value,
                bool onlyIfThere = false) {
    const QString head = path.section('/', 0, 0), rest = path.section('/', 1);
    if (rest.isEmpty()) {
        o.insert(head, value);
        return;
    }
    if (onlyIfThere && (!o.value(head).isObject() || o.value(head)["fitted"] == false))
        return;
    QJsonObject inner = o.value(head).toObject();
    put(inner, rest, value, onlyIfThere);
    o.insert(head, inner);
}

// The JSON value of "path=json".
inline QJsonValue editValue(const QString& edit) {
    return QJsonDocument::fromJson("[" + edit.section('=', 1).toUtf8() + "]").array().at(0);
}

// A preset as kvx-sim's --config takes it, changed by "path=json" edits.
inline QJsonObject instrument(const QString& preset, const QStringList& edits = {}) {
    QJsonObject o = readJson(QStringLiteral(KVX_SOURCE_DIR "/sim/presets/%1.json").arg(preset));
    for (const QString& e : edits)
        put(o, e.section('=', 0, 0), editValue(e));
    return o;
}

// Another instrument with the same boards: other identifiers, other
// settings, other sample and cartridge IDs.
inline QJsonObject another(const QString& preset) {
    QJsonObject o = instrument(preset);
    QJsonObject boards = o["boards"].toObject();
    for (const QString& b : boards.keys())
        put(boards, b + "/id", boards[b].toObject()["id"].toString().chopped(1) + "9");
    o["boards"] = boards;
    for (const char* e :
         {"main/sampleId=\"another unit\"", "main/utcOffsetHours=3.5", "main/logging=3",
          "main/schedule/logInterval=30", "main/schedule/durationDays=9",
          "main/schedule/stopState=1", "main/sen55/cleaningIntervalHours=12", "gas/logging=3",
          "gas/scd30/compensation=3", "gas/fanOn=false", "gas/figaro/range=0",
          "pumps/sorbentLogging=1"})
        put(o, QString(e).section('=', 0, 0), editValue(QString(e)), true);
    for (const char* p : {"A", "B", "C", "D"}) {
        put(o, QString("pumps/%1/flowRate").arg(p), 0.75, true);
        put(o, QString("pumps/%1/cartridgeId").arg(p), QString("OTHER-%1").arg(p), true);
    }
    return o;
}

} // namespace kvx::test
