#include "sim/InstrumentConfig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cmath>

namespace kvx::sim {

quint32 packStamp(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    const quint32 word =
        quint32(d.month()) * 4096 + quint32(d.day()) * 128 + quint32(d.year() % 100);
    return (word << 16) | (quint32(t.hour()) << 8) | quint32(t.minute());
}

namespace {

// Walks one JSON object: every key read is remembered so that finish() can
// report the keys nobody asked for (a misspelt key must not pass silently).
class Reader {
public:
    Reader(QJsonObject object, QString where, QString* error)
        : obj(std::move(object)), path(std::move(where)), err(error) {}

    bool ok() const { return good; }

    bool has(const QString& key) {
        seen.insert(key);
        return obj.contains(key);
    }

    void fail(const QString& key, const QString& what) {
        if (good && err)
            *err = QStringLiteral("%1%2: %3").arg(path, key, what);
        good = false;
    }

    void boolean(const QString& key, bool& out) {
        if (!has(key))
            return;
        if (!obj.value(key).isBool())
            return fail(key, QStringLiteral("expected true or false"));
        out = obj.value(key).toBool();
    }

    template <typename T> void integer(const QString& key, T& out, double lo, double hi) {
        if (!has(key))
            return;
        const QJsonValue v = obj.value(key);
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || d != std::floor(d) || d < lo || d > hi)
            return fail(key,
                        QStringLiteral("expected a whole number from %1 to %2").arg(lo).arg(hi));
        out = T(d);
    }

    void real(const QString& key, double& out) {
        if (!has(key))
            return;
        if (!obj.value(key).isDouble())
            return fail(key, QStringLiteral("expected a number"));
        out = obj.value(key).toDouble();
    }

    // Record texts travel as Latin-1 bytes. Board identifiers travel as text
    // inside the comma-separated board list, where a comma or a control
    // character would break the line.
    void text(const QString& key, QString& out, bool insideList = false) {
        if (!has(key))
            return;
        if (!obj.value(key).isString())
            return fail(key, QStringLiteral("expected a text"));
        const QString s = obj.value(key).toString();
        for (QChar c : s) {
            if (c.unicode() > 0xFF)
                return fail(key, QStringLiteral("only Latin-1 characters are allowed"));
            if (insideList && (c == QLatin1Char(',') || c.unicode() < 0x20))
                return fail(key, QStringLiteral("commas and control characters are not allowed"));
        }
        out = s;
    }

    QDateTime dateTime(const QString& key, bool* present = nullptr) {
        if (present)
            *present = false;
        if (!has(key))
            return {};
        QDateTime dt = QDateTime::fromString(obj.value(key).toString(), Qt::ISODate);
        if (!dt.isValid()) {
            fail(key, QStringLiteral("expected an ISO date-time such as 2025-03-07T22:30:00"));
            return {};
        }
        if (present)
            *present = true;
        // The fields as written are taken as UTC.
        return QDateTime(dt.date(), dt.time(), Qt::UTC);
    }

    // A packed date-time field: an ISO date-time, or null for "none".
    void stamp(const QString& key, quint32& out) {
        if (has(key) && obj.value(key).isNull()) {
            out = 0;
            return;
        }
        bool present = false;
        const QDateTime dt = dateTime(key, &present);
        if (present)
            out = packStamp(dt);
    }

    std::optional<Reader> child(const QString& key) {
        if (!has(key))
            return std::nullopt;
        if (!obj.value(key).isObject()) {
            fail(key, QStringLiteral("expected an object"));
            return std::nullopt;
        }
        return Reader(obj.value(key).toObject(), path + key + QLatin1Char('.'), err);
    }

    QJsonValue raw(const QString& key) {
        seen.insert(key);
        return obj.value(key);
    }

    // Reports unknown keys; returns ok().
    bool finish() {
        for (const QString& key : obj.keys()) {
            if (!seen.contains(key))
                fail(key, QStringLiteral("unknown key"));
        }
        return good;
    }

    // Folds a child's outcome into this reader.
    void take(Reader& c) {
        if (!c.finish())
            good = false;
    }

private:
    QJsonObject obj;
    QString path;
    QString* err;
    QSet<QString> seen;
    bool good = true;
};

void readBoard(Reader& r, const QString& key, Board& board) {
    auto c = r.child(key);
    if (!c)
        return;
    board.fitted = true;
    c->boolean(QStringLiteral("fitted"), board.fitted);
    c->text(QStringLiteral("id"), board.id, true);
    r.take(*c);
}

void readGasSensor(Reader& r, const QString& key, GasSensor& s, bool scd30) {
    auto c = r.child(key);
    if (!c)
        return;
    s.fitted = true;
    c->boolean(QStringLiteral("fitted"), s.fitted);
    c->boolean(QStringLiteral("on"), s.on);
    c->integer(QStringLiteral("runHours"), s.runHours, 0, 4294967295.0);
    c->text(QStringLiteral("serial"), s.serial);
    if (scd30) {
        c->integer(QStringLiteral("compensation"), s.compensation, 0, 65535);
        c->stamp(QStringLiteral("calibrated"), s.calibrationStamp);
    }
    r.take(*c);
}

void readPump(Reader& r, const QString& key, Pump& p, int scale, bool ownLogging) {
    auto c = r.child(key);
    if (!c)
        return;
    p.fitted = true;
    c->boolean(QStringLiteral("fitted"), p.fitted);
    double flow = p.flowRaw / double(scale), limit = p.limitRaw / double(scale);
    c->real(QStringLiteral("flowRate"), flow);
    c->real(QStringLiteral("flowLimit"), limit);
    if (flow < 0 || limit < 0 || flow * scale > 65535.5 || limit * scale > 65535.5)
        c->fail(QStringLiteral("flowRate"), QStringLiteral("flow out of range"));
    p.flowRaw = quint16(std::lround(flow * scale));
    p.limitRaw = quint16(std::lround(limit * scale));
    c->text(QStringLiteral("cartridgeId"), p.cartridgeId);
    c->stamp(QStringLiteral("installed"), p.installStamp);
    c->integer(QStringLiteral("runHours"), p.runHours, 0, 4294967295.0);
    c->integer(QStringLiteral("volume"), p.volume, 0, 4294967295.0);
    if (ownLogging)
        c->integer(QStringLiteral("logging"), p.logging, 0, 4294967295.0);
    if (auto s = c->child(QStringLiteral("start"))) {
        quint16 days = 0;
        quint8 hours = 0, minutes = 0;
        quint32 at = 0;
        s->integer(QStringLiteral("delayDays"), days, 0, 65535);
        s->integer(QStringLiteral("delayHours"), hours, 0, 255);
        s->integer(QStringLiteral("delayMinutes"), minutes, 0, 255);
        s->stamp(QStringLiteral("at"), at);
        p.start = {quint8(days >> 8), quint8(days),     hours,           minutes,
                   quint8(at >> 24),  quint8(at >> 16), quint8(at >> 8), quint8(at)};
        c->take(*s);
    }
    if (auto d = c->child(QStringLiteral("duration"))) {
        quint16 days = 0;
        quint8 hours = 0, minutes = 0;
        d->integer(QStringLiteral("days"), days, 0, 65535);
        d->integer(QStringLiteral("hours"), hours, 0, 255);
        d->integer(QStringLiteral("minutes"), minutes, 0, 255);
        p.duration = {quint8(days >> 8), quint8(days), hours, minutes};
        c->take(*d);
    }
    r.take(*c);
}

} // namespace

bool Faults::read(const QJsonObject& object, QString* error) {
    Reader r(object, QStringLiteral("faults."), error);
    r.boolean(QStringLiteral("silent"), silent);
    r.integer(QStringLiteral("noAnswerFirst"), noAnswerFirst, 0, 1e6);
    r.integer(QStringLiteral("badCrcFirst"), badCrcFirst, 0, 1e6);
    r.integer(QStringLiteral("badCountFirst"), badCountFirst, 0, 1e6);
    r.text(QStringLiteral("only"), only);
    r.boolean(QStringLiteral("nulBytes"), nulBytes);
    r.boolean(QStringLiteral("lineFeeds"), lineFeeds);
    r.integer(QStringLiteral("chunkSize"), chunkSize, 0, 1e6);
    r.integer(QStringLiteral("chunkDelayMs"), chunkDelayMs, 0, 60000);
    r.integer(QStringLiteral("answerDelayMs"), answerDelayMs, 0, 60000);
    r.integer(QStringLiteral("boardListFields"), boardListFields, 0, 100);
    r.integer(QStringLiteral("cablePulledAfter"), cablePulledAfter, -1, 1e6);
    r.integer(QStringLiteral("garbageBytes"), garbageBytes, 0, 4096);
    r.integer(QStringLiteral("endlessAfter"), endlessAfter, -1, 1e6);
    return r.finish();
}

std::optional<InstrumentConfig> InstrumentConfig::fromJson(const QByteArray& json, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull() || !doc.isObject()) {
        if (error)
            *error = doc.isNull() ? parseError.errorString()
                                  : QStringLiteral("the description must be a JSON object");
        return std::nullopt;
    }
    InstrumentConfig c;
    Reader r(doc.object(), QString(), error);
    r.text(QStringLiteral("name"), c.name);
    if (r.has(QStringLiteral("firmwareLevel")) && r.raw(QStringLiteral("firmwareLevel")).isNull()) {
        c.firmwareLevel.reset();
    } else {
        int level = 5;
        r.integer(QStringLiteral("firmwareLevel"), level, 0, 65535);
        c.firmwareLevel = level;
    }
    c.clock = r.dateTime(QStringLiteral("clock"));

    if (auto b = r.child(QStringLiteral("boards"))) {
        readBoard(*b, QStringLiteral("main"), c.main);
        readBoard(*b, QStringLiteral("gas"), c.gas);
        readBoard(*b, QStringLiteral("pumpA"), c.pumpA);
        readBoard(*b, QStringLiteral("pumpB"), c.pumpB);
        readBoard(*b, QStringLiteral("sorbent"), c.sorbent);
        r.take(*b);
    }

    if (auto m = r.child(QStringLiteral("main"))) {
        m->integer(QStringLiteral("logging"), c.mainLogging, 0, 4294967295.0);
        m->real(QStringLiteral("utcOffsetHours"), c.utcOffsetHours);
        if (c.utcOffsetHours < -327.68 || c.utcOffsetHours > 327.67)
            m->fail(QStringLiteral("utcOffsetHours"), QStringLiteral("out of range"));
        m->text(QStringLiteral("sampleId"), c.sampleId);
        if (auto s = m->child(QStringLiteral("schedule"))) {
            s->integer(QStringLiteral("flags"), c.scheduleFlags, 0, 65535);
            s->stamp(QStringLiteral("start"), c.scheduleStart);
            s->integer(QStringLiteral("durationDays"), c.durationDays, 0, 65535);
            s->integer(QStringLiteral("durationHours"), c.durationHours, 0, 255);
            s->integer(QStringLiteral("durationMinutes"), c.durationMinutes, 0, 255);
            s->integer(QStringLiteral("logInterval"), c.logInterval, 0, 255);
            s->integer(QStringLiteral("stopState"), c.stopState, 0, 255);
            m->take(*s);
        }
        if (auto s = m->child(QStringLiteral("sen55"))) {
            c.sen55.fitted = true;
            s->boolean(QStringLiteral("fitted"), c.sen55.fitted);
            s->integer(QStringLiteral("mode"), c.sen55.mode, 0, 65535);
            s->integer(QStringLiteral("runHours"), c.sen55.runHours, 0, 4294967295.0);
            s->integer(QStringLiteral("fanHours"), c.sen55.fanHours, 0, 4294967295.0);
            s->integer(QStringLiteral("cleaningIntervalHours"), c.sen55.cleaningIntervalHours, 0,
                       4294967295.0);
            s->text(QStringLiteral("serial"), c.sen55.serial);
            m->take(*s);
        }
        r.take(*m);
    }

    if (auto g = r.child(QStringLiteral("gas"))) {
        g->integer(QStringLiteral("logging"), c.gasLogging, 0, 4294967295.0);
        readGasSensor(*g, QStringLiteral("sgp41"), c.sgp41, false);
        readGasSensor(*g, QStringLiteral("sfa30"), c.sfa30, false);
        readGasSensor(*g, QStringLiteral("scd30"), c.scd30, true);
        if (g->has(QStringLiteral("alphasense"))) {
            const QJsonArray list = g->raw(QStringLiteral("alphasense")).toArray();
            if (list.size() > 4)
                g->fail(QStringLiteral("alphasense"), QStringLiteral("at most four positions"));
            for (int i = 0; i < list.size() && i < 4; ++i) {
                Reader p(list.at(i).toObject(), QStringLiteral("gas.alphasense[%1].").arg(i + 1),
                         error);
                AlphasensePosition& a = c.alphasense[i];
                a.fitted = true;
                p.boolean(QStringLiteral("fitted"), a.fitted);
                p.boolean(QStringLiteral("on"), a.on);
                p.integer(QStringLiteral("type"), a.type, 0, 15);
                p.integer(QStringLiteral("partner"), a.partner, 0, 15);
                p.integer(QStringLiteral("algorithm"), a.algorithm, 0, 15);
                p.boolean(QStringLiteral("algorithm2Logging"), a.algorithm2Logging);
                p.boolean(QStringLiteral("algorithm2Listed"), a.algorithm2Listed);
                p.integer(QStringLiteral("runHours"), a.runHours, 0, 4294967295.0);
                p.text(QStringLiteral("serial"), a.serial);
                g->take(p);
            }
        }
        g->integer(QStringLiteral("alphasenseLogging"), c.alphasenseLogging, 0, 4294967295.0);
        g->boolean(QStringLiteral("fanOn"), c.fanOn);
        if (auto f = g->child(QStringLiteral("figaro"))) {
            c.figaro.fitted = true;
            f->boolean(QStringLiteral("fitted"), c.figaro.fitted);
            f->boolean(QStringLiteral("on"), c.figaro.on);
            f->integer(QStringLiteral("range"), c.figaro.range, 0, 255);
            f->integer(QStringLiteral("runHours"), c.figaro.runHours, 0, 4294967295.0);
            g->take(*f);
        }
        r.take(*g);
    }

    if (auto p = r.child(QStringLiteral("pumps"))) {
        readPump(*p, QStringLiteral("A"), c.pumps[0], 1000, true);
        readPump(*p, QStringLiteral("B"), c.pumps[1], 1000, true);
        readPump(*p, QStringLiteral("C"), c.pumps[2], 100, false);
        readPump(*p, QStringLiteral("D"), c.pumps[3], 100, false);
        p->integer(QStringLiteral("sorbentLogging"), c.sorbentLogging, 0, 4294967295.0);
        r.take(*p);
    }

    if (r.has(QStringLiteral("faults"))) {
        if (!c.faults.read(r.raw(QStringLiteral("faults")).toObject(), error))
            return std::nullopt;
    }
    if (!r.finish())
        return std::nullopt;
    return c;
}

QStringList InstrumentConfig::presetNames() {
    QStringList names;
    for (const QString& file : QDir(QStringLiteral(":/kvx/sim/presets")).entryList({"*.json"}))
        names << file.chopped(5);
    return names;
}

std::optional<InstrumentConfig> InstrumentConfig::preset(const QString& name, QString* error) {
    QFile file(QStringLiteral(":/kvx/sim/presets/%1.json").arg(name));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("no preset named \"%1\" (known: %2)")
                         .arg(name, presetNames().join(QStringLiteral(", ")));
        return std::nullopt;
    }
    return fromJson(file.readAll(), error);
}

} // namespace kvx::sim
