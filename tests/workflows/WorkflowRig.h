// A connected main window over a scripted instrument that answers every
// command line at once: the reset sequence with a prompt, the board list, the
// firmware level, cfg_get with a stored (or empty) record and cfg_set with the
// record it was sent. Every record exchange is logged, so a test can check the
// exact order of request words and the bytes of each record written.
#pragma once

#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QMap>

#include <functional>
#include <memory>

namespace kvx::test {

struct Exchange {
    QString command; // "cfg_get" or "cfg_set"
    quint16 word = 0;
    QByteArray record; // the image sent, request word first (padded to even)
};

// Boards by slot, as the instrument's board list names them.
struct BoardSet {
    bool main = true, gas = true, pumpA = true, pumpB = true, sorbent = true;

    QByteArray list() const {
        auto slot = [](int n, bool fitted, const char* type, const char* id) {
            return QByteArray::number(n) + ',' + (fitted ? QByteArray(type) : "x") + ',' +
                   (fitted ? QByteArray(id) : "x");
        };
        return slot(0, main, "Main", "M1") + ',' + slot(1, sorbent, "Sorbent", "S7") + ',' +
               slot(2, pumpA, "Filter", "F2") + ",3,x,x," + slot(4, pumpB, "Filter", "F4") +
               ",5,x,x," + slot(6, gas, "Gas", "G9");
    }
    static BoardSet none() { return {false, false, false, false, false}; }
};

inline QByteArray answerFor(const QByteArray& record) {
    QByteArray out = QByteArray::number(record.size());
    for (int i = 0; i + 1 < record.size(); i += 2)
        out += ',' + QByteArray::number((quint8(record[i]) << 8) | quint8(record[i + 1]));
    out += ',' + QByteArray::number(crc16Modbus(record));
    return out;
}

class WorkflowRig {
public:
    Rig rig;
    std::unique_ptr<KVX_Configurator> w;
    QList<Exchange> log;
    // cfg_get answers by request word (request word first); others get the
    // request word alone.
    QMap<quint16, QByteArray> records;
    // When set, the echo of a cfg_set goes through it (to spoil a read-back).
    std::function<void(quint16 word, QByteArray& echo)> tamperEcho;
    // When false, cfg_get / cfg_set lines get no answer at all (link stays busy).
    bool answering = true;

    WorkflowRig() {
        w = std::make_unique<KVX_Configurator>(rig.platform());
        w->ticker->stop();
        rig.device->onWrite = [this](const QByteArray& bytes) { respond(bytes); };
    }

    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            rig.clock.advance(kTickMs);
            w->UpdateTicker();
        }
    }

    // Ticks until `done` holds (true) or `maxTicks` have passed (false).
    bool runUntil(const std::function<bool()>& done, int maxTicks = 2000) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            tick();
        }
        return done();
    }

    // Connects with the given boards and firmware level and stops before the
    // initial read: the form keeps its freshly built values, and the buttons are
    // unlocked as at the end of a read.
    bool connect(const BoardSet& boards, int level) {
        boardList = boards.list();
        records[kFirmwareLevelRecord] =
            QByteArray::fromHex("0070") + QByteArray(1, char(level >> 8)) + char(level & 0xFF);
        *rig.ports = {"ttyUSB0"};
        tick();
        w->KVXConnectButtonPressed();
        if (!runUntil([&] { return w->sessionState == 100 && w->linkIdle(); }))
            return false;
        w->sessionState = 0;
        w->unlockButtons();
        log.clear();
        return true;
    }

    // Runs the workflow that is under way until the session is idle again.
    bool finish(int maxTicks = 4000) {
        return runUntil([&] { return w->sessionState == 0 && w->linkIdle(); }, maxTicks);
    }

    QList<quint16> words(const QString& command = kCfgSet) const {
        QList<quint16> out;
        for (const Exchange& e : log) {
            if (e.command == command)
                out.append(e.word);
        }
        return out;
    }

    // The records sent under `word`, oldest first (each attempt counts).
    QList<QByteArray> sent(quint16 word) const {
        QList<QByteArray> out;
        for (const Exchange& e : log) {
            if (e.word == word && e.command == kCfgSet)
                out.append(e.record);
        }
        return out;
    }

private:
    QByteArray boardList;

    void reply(const QByteArray& echo, const QByteArray& answer) {
        rig.device->incoming += echo + "\n" + answer + "\r\ncli> ";
    }

    void respond(const QByteArray& bytes) {
        if (bytes == QByteArray(kResetSequence)) {
            rig.device->incoming += "cli> ";
            return;
        }
        if (bytes == QByteArray(kBoardListCommand.data()) + '\r') {
            reply(bytes, boardList);
            return;
        }
        const QList<QByteArray> items = bytes.trimmed().split(' ');
        if (items.size() < 4)
            return;
        const QString command = QString::fromLatin1(items.last());
        if (command != kCfgGet && command != kCfgSet)
            return;
        // crc, word[n-1] .. word[0], length, command
        QByteArray record;
        for (int i = int(items.size()) - 3; i >= 1; --i) {
            const quint16 v = quint16(items[i].toUInt());
            record += char(v >> 8);
            record += char(v & 0xFF);
        }
        const quint16 word = quint16((quint8(record[0]) << 8) | quint8(record[1]));
        log.append({command, word, record});
        if (!answering)
            return;
        if (command == kCfgSet) {
            QByteArray echo = record;
            if (tamperEcho)
                tamperEcho(word, echo);
            reply(bytes, answerFor(echo));
        } else {
            reply(bytes, answerFor(records.value(word, record)));
        }
    }
};

} // namespace kvx::test
