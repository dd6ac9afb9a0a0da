// Platform pieces for tests: a clock that moves only when told, a serial
// device whose traffic the test scripts, and a port list the test sets.
#pragma once

#include "app/KVX_Configurator.h"
#include "link/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

namespace kvx::test {

class FakeClock : public Clock {
public:
    explicit FakeClock(qint64 startMs = 1'700'000'000'000)
        : ms(std::make_shared<qint64>(startMs)) {}
    qint64 nowMs() const override { return *ms; }
    // Moves with every step forward of the wall time (ticks, advance, sleeps)
    // and stands still when the wall time is set back.
    qint64 elapsedMs() const override {
        if (!monotonicStarted) {
            monotonicStarted = true;
            lastWall = *ms;
        }
        if (*ms > lastWall)
            monotonic += *ms - lastWall;
        lastWall = *ms;
        return monotonic;
    }
    void sleepMs(int d) override {
        *ms += d;
        slept += d;
    }
    void advance(qint64 d) { *ms += d; }
    // Shared with the test after the clock is handed to the window.
    std::shared_ptr<qint64> ms;
    qint64 slept = 0;

private:
    mutable bool monotonicStarted = false;
    mutable qint64 lastWall = 0;
    mutable qint64 monotonic = 0;
};

// A handle on a FakeClock owned by the window.
struct ClockHandle {
    std::shared_ptr<qint64> ms;
    qint64 now() const { return *ms; }
    void advance(qint64 d) { *ms += d; }
};

struct DeviceLog {
    QString portName;
    bool settingsApplied = false;
    int opens = 0;
    int closes = 0;
    bool open = false;
    bool refuseOpen = false;
    QByteArray written;  // everything written, in order
    QByteArray incoming; // bytes the next read will return
    std::function<void(const QByteArray&)> onWrite;
};

class ScriptedDevice : public SerialDevice {
public:
    explicit ScriptedDevice(std::shared_ptr<DeviceLog> log) : log(std::move(log)) {}
    void applyLinkSettings() override { log->settingsApplied = true; }
    void setPortName(const QString& name) override { log->portName = name; }
    bool open() override {
        ++log->opens;
        log->open = !log->refuseOpen;
        return log->open;
    }
    bool isOpen() const override { return log->open; }
    void close() override {
        ++log->closes;
        log->open = false;
    }
    QByteArray readAvailable() override {
        if (!log->open)
            return {};
        QByteArray out;
        out.swap(log->incoming);
        return out;
    }
    void write(const QByteArray& bytes) override {
        if (!log->open)
            return;
        log->written += bytes;
        if (log->onWrite)
            log->onWrite(bytes);
    }
    void flush() override {}

    std::shared_ptr<DeviceLog> log;
};

class ListedPorts : public PortSource {
public:
    explicit ListedPorts(std::shared_ptr<QStringList> names) : names(std::move(names)) {}
    QStringList availablePorts() override { return *names; }
    std::shared_ptr<QStringList> names;
};

// Everything a tick-level test needs, with handles kept after the pieces are
// handed to the window.
struct Rig {
    std::shared_ptr<DeviceLog> device = std::make_shared<DeviceLog>();
    std::shared_ptr<QStringList> ports = std::make_shared<QStringList>();
    ClockHandle clock;

    Platform platform() {
        Platform p;
        auto c = std::make_unique<FakeClock>();
        clock.ms = c->ms;
        p.clock = std::move(c);
        p.serial = std::make_unique<ScriptedDevice>(device);
        p.ports = std::make_unique<ListedPorts>(ports);
        return p;
    }

    // A window on this rig, its ticker stopped: tests tick by hand.
    std::unique_ptr<KVX_Configurator> window() {
        auto w = std::make_unique<KVX_Configurator>(platform());
        w->ticker->stop();
        return w;
    }

    // Takes `w` through the reset and the board list `boards` to the idle
    // link, holding back the initial read (session state 0); true when idle.
    bool connectIdle(KVX_Configurator& w, const QByteArray& boards) {
        *ports = {"ttyUSB0"};
        w.UpdateTicker();
        w.KVXConnectButtonPressed();
        w.UpdateTicker(); // open
        w.UpdateTicker(); // reset sequence
        device->incoming = "\x1b"
                           "c\r\ncli> ";
        w.UpdateTicker(); // prompt
        w.UpdateTicker(); // board list request
        device->incoming = "show_boards_cal\r" + boards + "\rcli> ";
        w.sessionState = 0;
        w.UpdateTicker(); // registered
        w.UpdateTicker(); // idle
        device->written.clear();
        return w.linkStep == 0;
    }
};

// Answers the modal message boxes that show up, one answer each, in order, and
// keeps the title and text of each box it answered.
class DialogScript : public QObject {
public:
    explicit DialogScript(QList<QMessageBox::StandardButton> answers,
                          QMessageBox::StandardButton thereafter = QMessageBox::No)
        : answers(std::move(answers)), thereafter(thereafter) {
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, this, [this] { poll(); });
        timer.start();
    }

    QStringList titles;
    QStringList texts;
    // Runs while box number `index` (from 0) is open, just before it is answered.
    std::function<void(int index)> beforeAnswer;
    // How long each box is left open before it is answered (the event loop
    // runs meanwhile).
    int holdMs = 0;
    int answered() const { return int(titles.size()); }

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box != shown) {
            shown = box;
            openFor.start();
        }
        if (openFor.elapsed() < holdMs)
            return;
        shown = nullptr;
        // A box beyond the script gets `thereafter` (No unless told), so that
        // a test never hangs.
        const QMessageBox::StandardButton answer =
            answers.isEmpty() ? thereafter : answers.takeFirst();
        titles.append(box->windowTitle());
        texts.append(box->text());
        if (beforeAnswer)
            beforeAnswer(int(titles.size()) - 1);
        box->button(answer)->click();
    }

    QList<QMessageBox::StandardButton> answers;
    QMessageBox::StandardButton thereafter;
    QTimer timer;
    QPointer<QMessageBox> shown;
    QElapsedTimer openFor;
};

} // namespace kvx::test
