// The configurator's serial device, wired in-process to a simulated
// instrument, and a port list that names chosen ports. Tests hand these to
// the main window in place of QSerialPort and the system's port enumeration.
#pragma once

#include "link/Platform.h"
#include "sim/Instrument.h"

#include <functional>
#include <memory>

namespace kvx::sim {

class SimSerialDevice : public SerialDevice {
public:
    // The device and the test share the instrument; it outlives whichever
    // lets go last (the main window talks to it in its destructor).
    explicit SimSerialDevice(std::shared_ptr<Instrument> instrument);

    // Where the device takes the time it hands the instrument; the default
    // is the system clock.
    void setClockSource(std::function<qint64()> nowMs);
    // open() fails while set (a port that exists but cannot be opened);
    // fault() then gives `why`, as the system would.
    void setOpenFails(bool fails, DeviceFault why = DeviceFault::OpenFailed) {
        openFails = fails;
        openFault = why;
    }
    // The group that owns the port's node and the user's place in it, as the
    // system would report them.
    void setPortGroup(PortGroup group) { owner = std::move(group); }
    // When set, open() succeeds only for this port name.
    void setExpectedPortName(const QString& name) { expectedName = name; }

    // The system takes the open port away with a resource error, as
    // QSerialPort reports a vanished device: closed, fault() Lost until the
    // next open.
    void loseDevice() {
        lost = opened;
        opened = false;
    }

    // Another instrument on the same port, closed (the old one unplugged).
    void plug(std::shared_ptr<Instrument> instrument) {
        sim = std::move(instrument);
        opened = false;
    }
    // Bytes delivered with the instrument's next output, as if they came down
    // the line (tests feed the configurator arbitrary bytes this way).
    void inject(const QByteArray& bytes) { injected += bytes; }
    Instrument& instrument() { return *sim; }
    std::shared_ptr<Instrument> sharedInstrument() const { return sim; }
    QString portName() const { return name; }
    bool linkSettingsApplied() const { return settingsApplied; }
    int openCount() const { return opens; }
    // Every byte the configurator wrote, in order.
    const QByteArray& written() const { return sent; }

    // SerialDevice
    void applyLinkSettings() override { settingsApplied = true; }
    void setPortName(const QString& portName) override { name = portName; }
    bool open() override;
    bool isOpen() const override;
    void close() override;
    QByteArray readAvailable() override;
    void write(const QByteArray& bytes) override;
    void flush() override {}
    DeviceFault fault() const override {
        return lost ? DeviceFault::Lost : refused ? openFault : DeviceFault::None;
    }
    PortGroup portGroup() const override { return owner; }

private:
    void syncTime();

    std::shared_ptr<Instrument> sim;
    std::function<qint64()> clockSource;
    QString name;
    QString expectedName;
    QByteArray sent;
    QByteArray injected;
    bool opened = false;
    bool lost = false;
    bool openFails = false;
    bool refused = false; // the last open failed
    DeviceFault openFault = DeviceFault::OpenFailed;
    PortGroup owner;
    bool settingsApplied = false;
    int opens = 0;
};

class SimPortSource : public PortSource {
public:
    explicit SimPortSource(QStringList names = {}) : names(std::move(names)) {}
    void setPorts(const QStringList& ports) { names = ports; }
    QStringList availablePorts() override { return names; }

private:
    QStringList names;
};

} // namespace kvx::sim
