#include "sim/SimSerialDevice.h"

#include <QDateTime>

#include <utility>

namespace kvx::sim {

SimSerialDevice::SimSerialDevice(std::shared_ptr<Instrument> instrument)
    : sim(std::move(instrument)), clockSource([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

void SimSerialDevice::setClockSource(std::function<qint64()> nowMs) {
    clockSource = std::move(nowMs);
}

void SimSerialDevice::syncTime() {
    sim->setNow(clockSource());
}

bool SimSerialDevice::open() {
    syncTime();
    refused = !opened && openFails;
    if (opened || openFails || sim->cablePulled() ||
        (!expectedName.isEmpty() && name != expectedName))
        return false;
    // Whatever the instrument sent while nobody listened is gone.
    sim->discardOutput();
    opened = true;
    lost = false;
    ++opens;
    return true;
}

bool SimSerialDevice::isOpen() const {
    // A pulled cable takes the port away, as a vanished USB device does.
    return opened && !sim->cablePulled();
}

void SimSerialDevice::close() {
    opened = false;
    syncTime();
    sim->discardOutput();
}

QByteArray SimSerialDevice::readAvailable() {
    if (!isOpen())
        return {};
    syncTime();
    return sim->takeOutput() + std::exchange(injected, QByteArray());
}

void SimSerialDevice::write(const QByteArray& bytes) {
    if (!isOpen())
        return;
    syncTime();
    sent += bytes;
    sim->receive(bytes);
}

} // namespace kvx::sim
