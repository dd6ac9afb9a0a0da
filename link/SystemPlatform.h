// The shipped program's platform: system clock, QSerialPort, QSerialPortInfo.
#pragma once

#include "link/Platform.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QSerialPort>

namespace kvx {

class SystemClock : public Clock {
public:
    SystemClock();
    qint64 nowMs() const override;
    qint64 elapsedMs() const override;
    void sleepMs(int ms) override;

private:
    QElapsedTimer monotonic;
};

class QSerialPortDevice : public SerialDevice {
public:
    QSerialPortDevice();
    void applyLinkSettings() override;
    void setPortName(const QString& name) override;
    bool open() override;
    bool isOpen() const override;
    void close() override;
    QByteArray readAvailable() override;
    void write(const QByteArray& bytes) override;
    void flush() override;
    DeviceFault fault() const override { return lastFault; }
    QString faultText() const override { return lastFaultText; }
    PortGroup portGroup() const override;

    QSerialPort port;

private:
    QString nodePath; // the port's device node
    DeviceFault lastFault = DeviceFault::None;
    QString lastFaultText;
};

// Enumerates the system's serial ports only when /dev changed, or after a quiet
// interval as a safety net; in between it answers from the last enumeration.
class SystemPortSource : public PortSource {
public:
    // Rescan interval while /dev is watched, and when it cannot be watched.
    static constexpr qint64 kQuietRescanMs = 5000;
    static constexpr qint64 kBlindRescanMs = 400;

    explicit SystemPortSource(Clock& clock);
    QStringList availablePorts() override;

private:
    Clock& clock;
    QFileSystemWatcher watcher;
    bool watching = false;
    bool stale = true;
    qint64 lastScanMs = -1;
    QStringList cached;
};

} // namespace kvx
