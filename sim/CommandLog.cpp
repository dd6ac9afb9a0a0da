#include "sim/CommandLog.h"

#include <QJsonDocument>

namespace kvx::sim {

QString wordText(quint16 requestWord) {
    return QStringLiteral("0x") +
           QString::number(requestWord, 16).rightJustified(4, QLatin1Char('0')).toUpper();
}

bool CommandLog::openFile(const QString& path) {
    file.close();
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

void CommandLog::add(qint64 nowMs, QJsonObject event) {
    event.insert(QStringLiteral("t"), double(nowMs));
    if (file.isOpen()) {
        file.write(QJsonDocument(event).toJson(QJsonDocument::Compact));
        file.write("\n");
        file.flush(); // readers follow the file while the simulator runs
    }
    events.append(std::move(event));
}

QStringList CommandLog::commandLines() const {
    QStringList lines;
    for (const QJsonObject& e : events) {
        if (e.value(QStringLiteral("event")).toString() == QLatin1String("command"))
            lines << e.value(QStringLiteral("line")).toString();
    }
    return lines;
}

QList<QByteArray> CommandLog::stores(quint16 requestWord) const {
    QList<QByteArray> images;
    const QString word = wordText(requestWord);
    for (const QJsonObject& e : events) {
        if (e.value(QStringLiteral("event")).toString() == QLatin1String("store") &&
            e.value(QStringLiteral("word")).toString() == word)
            images << QByteArray::fromHex(e.value(QStringLiteral("image")).toString().toLatin1());
    }
    return images;
}

QList<QJsonObject> CommandLog::ofKind(const QString& kind) const {
    QList<QJsonObject> out;
    for (const QJsonObject& e : events) {
        if (e.value(QStringLiteral("event")).toString() == kind)
            out << e;
    }
    return out;
}

} // namespace kvx::sim
