// Drives an in-process instrument the way the configurator does: sends a line,
// lets time pass in 20 ms steps, collects the bytes and cuts out the answer.
#pragma once

#include "image/ConfigImage.h"
#include "sim/Instrument.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace simtest {

constexpr qint64 kStart = 1741386600000; // 2025-03-07 22:30:00 UTC

inline kvx::sim::InstrumentConfig preset(const QString& name) {
    QString error;
    const auto config = kvx::sim::InstrumentConfig::preset(name, &error);
    if (!config)
        qFatal("preset %s: %s", qPrintable(name), qPrintable(error));
    return *config;
}

struct Session {
    explicit Session(kvx::sim::InstrumentConfig config) : sim(std::move(config), kStart) {}

    kvx::sim::Instrument sim;
    qint64 t = kStart;

    void advance(qint64 ms) {
        t += ms;
        sim.setNow(t);
    }

    // Sends `line` and a carriage return, then collects output in 20 ms
    // steps until the prompt arrives or `waitMs` have passed.
    QByteArray send(const QByteArray& line, qint64 waitMs = 1000) {
        sim.receive(line + '\r');
        QByteArray got = sim.takeOutput();
        for (qint64 waited = 0; !got.contains("cli> ") && waited < waitMs; waited += 20) {
            advance(20);
            got += sim.takeOutput();
        }
        return got;
    }

    // The configurator's view of an answer: line feeds and NUL bytes
    // dropped, echo and prompt cut off, split at commas.
    static QStringList fieldsOf(QByteArray raw, const QString& word) {
        raw.replace('\n', QByteArray()).replace('\0', QByteArray());
        return kvx::extractAnswer(QString::fromLatin1(raw), word);
    }

    static kvx::ConfigImage request(quint16 word, const QByteArray& data = {}) {
        kvx::ConfigImage image;
        image.resetRequest(word);
        for (char c : data)
            image.appendU8(quint8(c));
        image.finishRequest();
        return image;
    }

    // One cfg_get / cfg_set exchange judged by the configurator's own parser.
    kvx::Verdict exchange(const kvx::ConfigImage& req, const QString& command,
                          kvx::ConfigImage& response, QStringList* fields = nullptr) {
        QByteArray line = kvx::requestLine(req, command);
        line.chop(1); // send() adds the carriage return
        const QStringList f = fieldsOf(send(line), command);
        if (fields)
            *fields = f;
        return kvx::parseAnswer(f, command, req, response);
    }

    // The record image read with cfg_get; nullopt when the answer is not valid.
    std::optional<QByteArray> get(quint16 word, QStringList* fields = nullptr) {
        kvx::ConfigImage response;
        if (exchange(request(word), kvx::kCfgGet, response, fields) != kvx::Verdict::Valid)
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(response.bytes.data()), response.length);
    }

    kvx::Verdict set(quint16 word, const QByteArray& data, QStringList* fields = nullptr) {
        kvx::ConfigImage response;
        return exchange(request(word, data), kvx::kCfgSet, response, fields);
    }
};

} // namespace simtest
