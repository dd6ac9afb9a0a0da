// Serves a simulated instrument on a pseudo-terminal: the configurator opens
// the terminal's slave side as its serial port.
#pragma once

#include "sim/Instrument.h"

#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace kvx::sim {

class PtyServer : public QObject {
    Q_OBJECT

public:
    explicit PtyServer(Instrument& instrument, QObject* parent = nullptr);
    ~PtyServer() override;

    // Opens the pseudo-terminal (raw mode). False with `error` filled on failure.
    bool start(QString* error);
    // The device path to open as the serial port, e.g. /dev/pts/7.
    QString portPath() const { return path; }

signals:
    // The "cable pulled" fault struck: the terminal is closed.
    void cablePulled();

private:
    void readInput();
    void sendDue();
    void scheduleNext();
    void closePty();

    Instrument& sim;
    int master = -1;
    int slave = -1; // kept open so that reads never fail while no client is attached
    QString path;
    QSocketNotifier* notifier = nullptr;
    QTimer outputTimer;
    QTimer retryTimer;
};

} // namespace kvx::sim
