// The three things the configurator takes from the computer: time, the serial
// device and the list of serial ports. The shipped program uses the system's;
// tests and the demo launcher hand in their own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace kvx {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since the epoch: what the instrument is told (its clock,
    // stamps) and what schedules are checked against. May jump either way
    // when the computer's clock is set.
    virtual qint64 nowMs() const = 0;
    // Milliseconds on a clock that only moves forward, from an arbitrary
    // start: every wait and timeout is measured on it.
    virtual qint64 elapsedMs() const = 0;
    // Blocks the caller for about `ms` milliseconds (a fake clock just advances).
    virtual void sleepMs(int ms) = 0;
};

// Why the serial device last failed.
enum class DeviceFault {
    None,
    NotFound,         // no such port
    PermissionDenied, // the user may not open it (on Linux: not in the owning group)
    InUse,            // another program holds it (its lock file, or exclusive use)
    OpenFailed,       // refused for another reason
    Lost,             // went away while open (cable pulled); the port has been closed
};

// The group that owns a port's device node, and whether the user belongs to it:
// in this login session, and in the account (which a session sees only from
// the next login).
struct PortGroup {
    QString name; // empty when the node or its group is not known
    bool inSession = false;
    bool inAccount = false;
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // 115200 baud both ways, 8 data bits, no parity, 1 stop bit, no flow control.
    virtual void applyLinkSettings() = 0;
    virtual void setPortName(const QString& name) = 0;
    virtual bool open() = 0; // read/write
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Everything the device has buffered so far (may be empty).
    virtual QByteArray readAvailable() = 0;
    virtual void write(const QByteArray& bytes) = 0;
    virtual void flush() = 0;
    // The last failure (None after a successful open) and the system's words for it.
    virtual DeviceFault fault() const { return DeviceFault::None; }
    virtual QString faultText() const { return {}; }
    // Who may open the port last named (for advice after PermissionDenied).
    virtual PortGroup portGroup() const { return {}; }
};

class PortSource {
public:
    virtual ~PortSource() = default;
    // Names of the available serial ports, in enumeration order.
    virtual QStringList availablePorts() = 0;
};

struct Platform {
    std::unique_ptr<Clock> clock;
    std::unique_ptr<SerialDevice> serial;
    std::unique_ptr<PortSource> ports;

    // The system clock, a QSerialPort and the system's port enumeration.
    static Platform system();
};

} // namespace kvx
