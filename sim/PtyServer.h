// Serves a simulated instrument on a pseudo-terminal: the configurator opens
// the terminal's slave side as its serial port.
#pragma once

#include "sim/Instrument.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace kvx::sim {

// The line settings on the configurator's side of the terminal: what a UART
// would use to talk to the instrument.
struct LineSettings {
    int baud = 0;      // output speed in bit/s, 0 when not a standard rate
    int inputBaud = 0; // input speed (the output speed when the terminal leaves it unset)
    int dataBits = 8;
    char parity = 'N'; // N, E, O, M(ark), S(pace)
    int stopBits = 1;
    QString flowControl; // none, hardware, software
    bool raw = false;    // no input, output or line processing

    // The instrument's own: 115200 baud both ways, 8N1, no flow control, raw.
    bool right() const;
    // "115200 8N1, no flow control, raw".
    QString text() const;
    QJsonObject json() const;
    bool operator==(const LineSettings& o) const;
    bool operator!=(const LineSettings& o) const { return !(*this == o); }
};

class PtyServer : public QObject {
    Q_OBJECT

public:
    explicit PtyServer(Instrument& instrument, QObject* parent = nullptr);
    ~PtyServer() override;

    // Opens the pseudo-terminal (raw mode). False with `error` filled on failure.
    bool start(QString* error);
    // The device path to open as the serial port, e.g. /dev/pts/7.
    QString portPath() const { return path; }
    // While the line settings are not the instrument's, answer every byte
    // with a junk byte and nothing else, as an instrument on another baud
    // rate would seem to.
    void setStrictLine(bool on) { strictLine = on; }

signals:
    // The configurator opened the terminal or changed its line settings.
    void lineChanged(const kvx::sim::LineSettings& settings);
    // The "cable pulled" fault struck: the terminal is closed.
    void cablePulled();

private:
    void readInput();
    void sendDue();
    void scheduleNext();
    void closePty();
    // Reads the line settings; records them when they differ from the last
    // recorded ones (at once, or when `settled`: unchanged since the last poll).
    LineSettings checkLine(bool settled);

    Instrument& sim;
    int master = -1;
    int slave = -1; // kept open so that reads never fail while no client is attached
    QString path;
    QSocketNotifier* notifier = nullptr;
    QTimer outputTimer;
    QTimer retryTimer;
    QTimer lineTimer;
    LineSettings lineRecorded; // the terminal's own settings until the configurator opens it
    LineSettings linePolled;
    bool strictLine = false;
};

} // namespace kvx::sim
