#include "sim/Instrument.h"

#include "image/ConfigImage.h"

#include <algorithm>

namespace kvx::sim {

namespace {

constexpr char kPromptText[] = "cli> ";
constexpr int kLineLimit = 512;
// Bytes per millisecond of the endless stream (about half the line rate).
constexpr qint64 kStreamBytesPerMs = 5;
constexpr int kStreamCap = 8192;

// A record image under construction: request word first, fields big-endian.
class Image {
public:
    explicit Image(quint16 word) { u16(word); }
    void u8(quint32 v) { b.append(char(v & 0xFF)); }
    void u16(quint32 v) {
        u8(v >> 8);
        u8(v);
    }
    void u32(quint32 v) {
        u16(v >> 16);
        u16(v);
    }
    // Latin-1 text ended by a zero byte, cut so that the record stays within 64 bytes.
    void text(const QString& s) {
        QByteArray t = s.toLatin1();
        t.truncate(std::max(0, kImageCapacity - 1 - int(b.size())));
        b.append(t);
        b.append('\0');
    }
    void fixed(const QString& s, int width) {
        QByteArray t = s.toLatin1().left(width);
        t.append(QByteArray(width - t.size(), '\0'));
        b.append(t);
    }
    void raw(const QByteArray& bytes) { b.append(bytes); }
    // Whole 16-bit words only: an odd record gets one zero byte.
    QByteArray done() {
        if (b.size() % 2)
            b.append('\0');
        return b.left(kImageCapacity);
    }

private:
    QByteArray b;
};

quint16 u16At(const QByteArray& image, int offset) {
    return quint16((quint8(image.at(offset)) << 8) | quint8(image.at(offset + 1)));
}

quint32 u32At(const QByteArray& image, int offset) {
    return (quint32(u16At(image, offset)) << 16) | u16At(image, offset + 2);
}

bool parseUInt(const QString& s, quint32 max, quint32& out) {
    bool ok = false;
    const qulonglong v = s.toULongLong(&ok, 10);
    if (!ok || v > max || s.startsWith(QLatin1Char('+')))
        return false;
    out = quint32(v);
    return true;
}

QByteArray fromArray(const quint8* data, int size) {
    return QByteArray(reinterpret_cast<const char*>(data), size);
}

// The records whose written and read layouts are the same.
bool isPlainWord(quint16 word) {
    switch (word) {
    case 0x0000:
    case 0x0020:
    case 0x0030:
    case 0x0040:
    case 0x4006:
    case 0x40A6:
    case 0x40B6:
    case 0x8002:
    case 0x8004:
    case 0xC001:
    case 0x8062:
    case 0x8064:
    case 0x8072:
    case 0x8074:
    case 0xC251:
    case 0xC151:
    case 0xC261:
    case 0xC161:
        return true;
    default:
        return false;
    }
}

// Pump 0..3 (A..D) addressed by a pump record's request word, or -1.
int pumpOf(quint16 word) {
    const int hi = word >> 8, slot = word & 0x0F;
    if (hi == 0x80 && slot == 2)
        return 0;
    if (hi == 0x80 && slot == 4)
        return 1;
    if (hi == 0xC2 && slot == 1)
        return 2;
    if (hi == 0xC1 && slot == 1)
        return 3;
    return -1;
}

// Pump record numbers differ between the filter and the sorbent boards.
enum class PumpRecord {
    Logging,
    Flow,
    Cartridge,
    Install,
    RunTime,
    Volume,
    Start,
    Duration,
    Run,
    None
};

PumpRecord pumpRecord(quint16 word) {
    const int number = (word & 0xF0) >> 4;
    static const PumpRecord filter[] = {
        PumpRecord::Logging, PumpRecord::Flow,     PumpRecord::Cartridge,
        PumpRecord::Install, PumpRecord::RunTime,  PumpRecord::Volume,
        PumpRecord::Start,   PumpRecord::Duration, PumpRecord::Run};
    static const PumpRecord sorbent[] = {
        PumpRecord::Flow,   PumpRecord::Cartridge, PumpRecord::Install,  PumpRecord::RunTime,
        PumpRecord::Volume, PumpRecord::Start,     PumpRecord::Duration, PumpRecord::Run};
    if ((word >> 8) == 0x80)
        return number < 9 ? filter[number] : PumpRecord::None;
    return number < 8 ? sorbent[number] : PumpRecord::None;
}

} // namespace

Instrument::Instrument(InstrumentConfig config, qint64 now) : cfg(std::move(config)), nowMs(now) {
    if (cfg.clock.isValid())
        clockOffsetMs = cfg.clock.toMSecsSinceEpoch() - nowMs;

    auto put = [this](quint16 word, auto fill) {
        Image image(word);
        fill(image);
        plain.insert(word, image.done());
    };
    put(0x0000, [&](Image& i) { i.u32(cfg.mainLogging); });
    put(0x0020, [&](Image& i) { i.u16(encodeUtcOffset(cfg.utcOffsetHours)); });
    put(0x0030, [&](Image& i) { i.fixed(cfg.sampleId, 31); });
    put(0x0040, [&](Image& i) {
        i.u16(cfg.scheduleFlags);
        i.u32(cfg.scheduleStart);
        i.u16(cfg.durationDays);
        i.u8(cfg.durationHours);
        i.u8(cfg.durationMinutes);
        i.u8(cfg.logInterval);
        i.u8(cfg.stopState);
    });
    put(0x4006, [&](Image& i) { i.u32(cfg.gasLogging); });
    put(0x40A6, [&](Image& i) { i.u32(cfg.alphasenseLogging); });
    put(0x40B6, [&](Image& i) { i.u16(cfg.fanOn ? 1 : 0); });
    put(0x8002, [&](Image& i) { i.u32(cfg.pumps[0].logging); });
    put(0x8004, [&](Image& i) { i.u32(cfg.pumps[1].logging); });
    put(0xC001, [&](Image& i) { i.u32(cfg.sorbentLogging); });
    const quint16 startWords[] = {0x8062, 0x8064, 0xC251, 0xC151};
    const quint16 durationWords[] = {0x8072, 0x8074, 0xC261, 0xC161};
    for (int p = 0; p < 4; ++p) {
        put(startWords[p], [&](Image& i) { i.raw(fromArray(cfg.pumps[p].start.data(), 8)); });
        put(durationWords[p], [&](Image& i) { i.raw(fromArray(cfg.pumps[p].duration.data(), 4)); });
    }
    if (cfg.faults.cablePulledAfter == 0)
        pulled = true;
}

void Instrument::setNow(qint64 ms) {
    nowMs = std::max(nowMs, ms);
}

QDateTime Instrument::clock() const {
    return QDateTime::fromMSecsSinceEpoch(nowMs + clockOffsetMs, Qt::UTC);
}

// ---- the serial line -----------------------------------------------------

void Instrument::queue(const QByteArray& bytes, qint64 at) {
    if (bytes.isEmpty() || cfg.faults.silent)
        return;
    if (!out.isEmpty())
        at = std::max(at, out.last().at); // one line: bytes leave in order
    out.append({at, bytes});
}

void Instrument::receive(const QByteArray& bytes) {
    if (pulled || pullPending)
        return;
    for (char c : bytes) {
        if (!lineStarted && cfg.faults.garbageBytes > 0) {
            static const char junk[] = "\xff\x80#~\x1b[?\x7f";
            QByteArray garbage;
            for (int i = 0; i < cfg.faults.garbageBytes; ++i)
                garbage.append(junk[i % (sizeof junk - 1)]);
            queue(garbage, nowMs);
        }
        lineStarted = true;
        queue(QByteArray(1, c), nowMs); // echo
        if (c == '\r') {
            const QByteArray line = lineBuffer;
            lineBuffer.clear();
            lineStarted = false;
            runLine(line);
            if (pullPending || pulled)
                return;
        } else if (c != '\n' && c != '\0') {
            if (lineBuffer.size() < kLineLimit)
                lineBuffer.append(c);
        }
    }
}

QByteArray Instrument::takeOutput() {
    QByteArray bytes;
    while (!out.isEmpty() && out.first().at <= nowMs)
        bytes += out.takeFirst().bytes;
    if (streaming && out.isEmpty()) {
        const qint64 count =
            std::min<qint64>((nowMs - streamFromMs) * kStreamBytesPerMs, kStreamCap);
        for (qint64 i = 0; i < count; ++i) {
            // Digits and commas, like a runaway answer; never a prompt.
            const quint32 n = streamCounter++;
            bytes.append(n % 11 == 10 ? ',' : char('0' + n % 11));
        }
        streamFromMs = nowMs;
    }
    if (pullPending && out.isEmpty())
        pullCable();
    return bytes;
}

qint64 Instrument::nextOutputAt() const {
    if (!out.isEmpty())
        return out.first().at;
    if (streaming)
        return nowMs + 20;
    if (pullPending)
        return nowMs;
    return -1;
}

void Instrument::discardOutput() {
    out.clear();
    streamFromMs = nowMs;
}

void Instrument::pullCable() {
    pullPending = false;
    pulled = true;
    out.clear();
    streaming = false;
    events.add(nowMs, {{"event", "fault"}, {"fault", "cable_pulled"}});
}

bool Instrument::faultApplies(const QString& line) const {
    return cfg.faults.only.isEmpty() || line.contains(cfg.faults.only);
}

void Instrument::runLine(const QByteArray& lineBytes) {
    const QString line = QString::fromLatin1(lineBytes);
    events.add(nowMs, {{"event", "command"}, {"line", line}});
    const Faults& f = cfg.faults;

    if (f.endlessAfter >= 0 && answered >= f.endlessAfter) {
        if (!streaming)
            events.add(nowMs, {{"event", "fault"}, {"fault", "endless_stream"}});
        streaming = true;
        streamFromMs = nowMs;
        return;
    }

    const bool reset = lineBytes.endsWith("\x1b"
                                          "c");
    int& tries = attempts[line];
    ++tries;
    if (tries <= f.noAnswerFirst && faultApplies(line)) {
        events.add(nowMs, {{"event", "fault"}, {"fault", "no_answer"}, {"line", line}});
        return;
    }

    QByteArray body;
    bool prompt = true;
    bool isRecord = false;
    if (reset) {
        menuMode = false;
    } else if (menuMode) {
        // The menu ignores everything but the reset sequence.
        return;
    } else if (line.trimmed() == QLatin1String("menu")) {
        menuMode = true;
        prompt = false;
        body = "KVXv2 menu\r\n"
               "  1) Status\r\n"
               "  2) Configuration\r\n"
               "  3) Data\r\n"
               "Select: ";
    } else {
        body = answerFor(line, &isRecord);
    }

    if (f.nulBytes && !body.isEmpty()) {
        body.insert(body.size() / 2, '\0');
        body.prepend('\0');
    }
    if (f.lineFeeds) {
        body.insert(body.size() / 3, '\n');
        body.prepend('\n');
        body.append('\n');
    }
    QByteArray answer = body;
    if (prompt) {
        answer += '\r';
        answer += kPromptText;
    }

    const qint64 at = nowMs + f.answerDelayMs;
    if (f.chunkSize > 0) {
        for (int i = 0; i * f.chunkSize < answer.size(); ++i)
            queue(answer.mid(i * f.chunkSize, f.chunkSize), at + qint64(i) * f.chunkDelayMs);
    } else {
        queue(answer, at);
    }
    ++answered;
    if (f.cablePulledAfter >= 0 && answered >= f.cablePulledAfter)
        pullPending = true;
}

QString Instrument::boardList() const {
    QStringList fields;
    auto slot = [&](int n, const Board& board, const char* type) {
        fields << QString::number(n);
        if (board.fitted)
            fields << QLatin1String(type) << board.id;
        else
            fields << QStringLiteral("None") << QStringLiteral("0");
    };
    const Board filler;
    slot(0, cfg.main, "Main");
    slot(1, cfg.sorbent, "Sorbent");
    slot(2, cfg.pumpA, "Filter");
    slot(3, filler, "");
    slot(4, cfg.pumpB, "Filter");
    slot(5, filler, "");
    slot(6, cfg.gas, "Gas");
    while (fields.size() > cfg.faults.boardListFields && !fields.isEmpty())
        fields.removeLast();
    while (fields.size() < cfg.faults.boardListFields)
        fields << QStringLiteral("0");
    return fields.join(QLatin1Char(','));
}

QByteArray Instrument::answerFor(const QString& line, bool* isRecord) {
    const QStringList items = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (items.isEmpty())
        return {};
    const QString command = items.last();
    if (command == QLatin1String("show_boards_cal") && items.size() == 1)
        return boardList().toLatin1();
    if (command == QLatin1String("cfg_get") || command == QLatin1String("cfg_set")) {
        *isRecord = true;
        return recordCommand(items, command == QLatin1String("cfg_set"), line);
    }
    if (command == QLatin1String("help") && items.size() == 1)
        return "show_boards_cal, <crc> <words> <length> cfg_get, <crc> <words> <length> "
               "cfg_set, menu";
    return "unknown command: " + line.toLatin1();
}

QByteArray Instrument::recordCommand(const QStringList& items, bool set, const QString& line) {
    // crc, word[n-1] ... word[0], length, command
    auto reject = [&](const char* reason) {
        events.add(nowMs, {{"event", "bad_request"}, {"reason", reason}, {"line", line}});
        return QByteArray("ERROR ") + reason;
    };
    quint32 length = 0, crc = 0;
    if (items.size() < 4 || !parseUInt(items.at(items.size() - 2), 64, length) || length < 2 ||
        length % 2 || quint32(items.size()) != length / 2 + 3)
        return reject("format");
    if (!parseUInt(items.at(0), 0xFFFF, crc))
        return reject("format");
    QByteArray image;
    for (int i = int(length / 2); i >= 1; --i) {
        quint32 word = 0;
        if (!parseUInt(items.at(i), 0xFFFF, word))
            return reject("format");
        image.append(char(word >> 8));
        image.append(char(word & 0xFF));
    }
    if (crc16Modbus(image) != crc)
        return reject("crc");

    const quint16 word = u16At(image, 0);
    if (!set) {
        const std::optional<QByteArray> record = readRecord(word);
        events.add(nowMs, {{"event", "get"}, {"word", wordText(word)}, {"found", bool(record)}});
        if (!record)
            return "0,65535"; // an empty record: two fields
        return formatRecord(record->left(cfg.faults.cutRecords.value(word, record->size())), line);
    }
    if (!writeRecord(word, image)) {
        events.add(nowMs, {{"event", "refused"},
                           {"word", wordText(word)},
                           {"image", QString::fromLatin1(image.toHex())}});
        return "0,65535";
    }
    events.add(nowMs, {{"event", "store"},
                       {"word", wordText(word)},
                       {"image", QString::fromLatin1(image.toHex())}});
    // The instrument answers a write with the record it stored.
    return formatRecord(image, line);
}

QByteArray Instrument::formatRecord(const QByteArray& image, const QString& line) {
    quint32 count = quint32(image.size());
    quint32 crc = crc16Modbus(image);
    if (faultApplies(line)) {
        const int n = recordAnswers++;
        if (n < cfg.faults.badCrcFirst) {
            crc = (crc + 1) & 0xFFFF;
            events.add(nowMs, {{"event", "fault"}, {"fault", "bad_crc"}, {"line", line}});
        }
        if (n < cfg.faults.badCountFirst) {
            count += 2;
            events.add(nowMs, {{"event", "fault"}, {"fault", "bad_count"}, {"line", line}});
        }
    }
    QStringList fields{QString::number(count)};
    for (int i = 0; i + 1 < image.size(); i += 2)
        fields << QString::number(u16At(image, i));
    fields << QString::number(crc);
    return fields.join(QLatin1Char(',')).toLatin1();
}

// ---- records ---------------------------------------------------------------

bool Instrument::boardFitted(quint16 word) const {
    const int hi = word >> 8, slot = word & 0x0F;
    if (hi == 0x00 && slot == 0)
        return cfg.main.fitted;
    if (hi == 0x40 && slot == 6)
        return cfg.gas.fitted;
    if (hi == 0x80 && slot == 2)
        return cfg.pumpA.fitted;
    if (hi == 0x80 && slot == 4)
        return cfg.pumpB.fitted;
    if ((hi == 0xC0 || hi == 0xC1 || hi == 0xC2) && slot == 1)
        return cfg.sorbent.fitted;
    return false;
}

namespace {

// Firmware level from which a record exists.
int levelNeeded(quint16 word) {
    switch (word) {
    case 0x40A6:
        return 1;
    case 0x40B6:
        return 3;
    case 0x40C6:
        return 4;
    default:
        break;
    }
    const int pump = pumpOf(word);
    if (pump >= 0) {
        const PumpRecord r = pumpRecord(word);
        if (r == PumpRecord::Start || r == PumpRecord::Duration)
            return 2;
        if (r == PumpRecord::Run)
            return 5;
    }
    return 0;
}

} // namespace

std::optional<QByteArray> Instrument::readRecord(quint16 word) const {
    if (!boardFitted(word) || level() < levelNeeded(word))
        return std::nullopt;
    const int pump = pumpOf(word);
    if (pump >= 0) {
        const Pump& p = cfg.pumps[pump];
        const PumpRecord r = pumpRecord(word);
        if (r != PumpRecord::Flow && r != PumpRecord::Logging && !p.fitted)
            return std::nullopt;
        Image image(word);
        switch (r) {
        case PumpRecord::Flow:
            image.u8(p.fitted ? 1 : 0);
            image.u16(p.flowRaw);
            image.u16(p.limitRaw);
            return image.done();
        case PumpRecord::Cartridge:
            image.text(p.cartridgeId);
            return image.done();
        case PumpRecord::Install:
            image.u32(p.installStamp);
            return image.done();
        case PumpRecord::RunTime:
            image.u32(p.runHours);
            return image.done();
        case PumpRecord::Volume:
            image.u32(p.volume);
            return image.done();
        case PumpRecord::Logging:
        case PumpRecord::Start:
        case PumpRecord::Duration:
            return plain.value(word);
        case PumpRecord::Run:
        case PumpRecord::None:
            return std::nullopt;
        }
    }
    if (isPlainWord(word))
        return plain.value(word);

    Image image(word);
    auto sensorMode = [](bool fitted, bool on) { return fitted ? (on ? 2 : 1) : 0; };
    switch (word) {
    case 0x0010: {
        const QDateTime t = clock();
        image.u8(t.date().month());
        image.u8(t.date().day());
        image.u8(t.date().year() % 100);
        image.u8(t.time().hour());
        image.u8(t.time().minute());
        image.u8(t.time().second());
        return image.done();
    }
    case 0x0050:
        image.text(cfg.sen55.fitted ? cfg.sen55.serial : QString());
        return image.done();
    case 0x0060:
        image.u16(cfg.sen55.fitted ? cfg.sen55.mode : 0);
        image.u32(cfg.sen55.runHours);
        image.u32(cfg.sen55.fanHours);
        image.u32(cfg.sen55.cleaningIntervalHours);
        return image.done();
    case 0x0070:
        if (!cfg.firmwareLevel)
            return std::nullopt;
        image.u16(quint16(*cfg.firmwareLevel));
        return image.done();
    case 0x4016: {
        image.u16(sensorMode(cfg.sgp41.fitted, cfg.sgp41.on));
        QByteArray serial = QByteArray::fromHex(cfg.sgp41.serial.toLatin1()).right(6);
        image.raw(QByteArray(6 - serial.size(), '\0') + serial);
        return image.done();
    }
    case 0x4026:
        image.u16(sensorMode(cfg.sfa30.fitted, cfg.sfa30.on));
        image.u32(cfg.sfa30.runHours);
        image.text(cfg.sfa30.serial);
        return image.done();
    case 0x4036:
        image.u16(sensorMode(cfg.scd30.fitted, cfg.scd30.on));
        image.u32(cfg.scd30.runHours);
        image.u16(cfg.scd30.compensation);
        image.u32(cfg.scd30.calibrationStamp);
        image.text(cfg.scd30.serial);
        return image.done();
    case 0x4046:
    case 0x4056:
    case 0x4066:
    case 0x4076: {
        const AlphasensePosition& a = cfg.alphasense[((word & 0xF0) >> 4) - 4];
        quint16 sensorWord = quint16(sensorMode(a.fitted, a.on));
        if (a.fitted && level() >= 1) {
            sensorWord |= (a.algorithm2Logging ? 0x4 : 0) | (a.algorithm2Listed ? 0x8 : 0);
            sensorWord |=
                quint16((a.type & 0xF) << 4 | (a.partner & 0xF) << 8 | (a.algorithm & 0xF) << 12);
        }
        image.u16(sensorWord);
        image.u32(a.runHours);
        image.text(a.serial);
        return image.done();
    }
    case 0x40C6:
        image.u8(sensorMode(cfg.figaro.fitted, cfg.figaro.on));
        image.u8(cfg.figaro.range);
        image.u32(cfg.figaro.runHours);
        return image.done();
    default:
        return std::nullopt;
    }
}

bool Instrument::writeRecord(quint16 word, const QByteArray& image) {
    if (!boardFitted(word) || level() < levelNeeded(word))
        return false;
    const int size = int(image.size());
    const int pump = pumpOf(word);
    if (pump >= 0) {
        Pump& p = cfg.pumps[pump];
        const PumpRecord r = pumpRecord(word);
        if (r != PumpRecord::Logging && !p.fitted)
            return false;
        switch (r) {
        case PumpRecord::Logging:
        case PumpRecord::Start:
        case PumpRecord::Duration:
            plain.insert(word, image);
            return true;
        case PumpRecord::Flow:
            if (size < 4)
                return false;
            p.flowRaw = u16At(image, 2);
            return true;
        case PumpRecord::Cartridge: {
            // Install date, then the ID in a 15-byte field.
            if (size < 6)
                return false;
            p.installStamp = u32At(image, 2);
            QByteArray id = image.mid(6, 15);
            const int end = id.indexOf('\0');
            p.cartridgeId = QString::fromLatin1(end < 0 ? id : id.left(end));
            return true;
        }
        case PumpRecord::Run:
            if (size < 4)
                return false;
            pumpSetpoints[pump] = u16At(image, 2);
            return true;
        default:
            return false; // read-only records
        }
    }
    if (isPlainWord(word)) {
        plain.insert(word, image);
        return true;
    }
    switch (word) {
    case 0x0010: {
        if (size < 8)
            return false;
        const QDate date(2000 + quint8(image.at(4)), quint8(image.at(2)), quint8(image.at(3)));
        const QTime time(quint8(image.at(5)), quint8(image.at(6)), quint8(image.at(7)));
        if (!date.isValid() || !time.isValid())
            return false;
        clockOffsetMs = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() - nowMs;
        return true;
    }
    case 0x0060:
        // Written: mode and cleaning interval; run times stay the instrument's.
        if (size < 8)
            return false;
        if (cfg.sen55.fitted)
            cfg.sen55.mode = u16At(image, 2);
        cfg.sen55.cleaningIntervalHours = u32At(image, 4);
        return true;
    case 0x4016:
    case 0x4026:
        if (size < 4)
            return false;
        (word == 0x4016 ? cfg.sgp41 : cfg.sfa30).on = u16At(image, 2) == 2;
        return true;
    case 0x4036:
        if (size < 6)
            return false;
        cfg.scd30.on = u16At(image, 2) == 2;
        cfg.scd30.compensation = u16At(image, 4);
        return true;
    case 0x4086:
        // One byte per position: bit 0 on, bits 3-1 the NO2 algorithm.
        if (size < 6)
            return false;
        for (int i = 0; i < 4; ++i) {
            const quint8 b = quint8(image.at(2 + i));
            AlphasensePosition& a = cfg.alphasense[i];
            if (!a.fitted)
                continue;
            a.on = b & 1;
            if (level() >= 1)
                a.algorithm = (b >> 1) & 7;
        }
        return true;
    case 0x4096:
        // Forced calibration: reference ppm, then the calibration stamp.
        if (size < 8 || !cfg.scd30.fitted)
            return false;
        cfg.scd30.calibrationStamp = u32At(image, 4);
        return true;
    case 0x40C6:
        if (size < 4)
            return false;
        if (cfg.figaro.fitted)
            cfg.figaro.on = quint8(image.at(2)) == 2;
        cfg.figaro.range = quint8(image.at(3));
        return true;
    default:
        return false;
    }
}

} // namespace kvx::sim
