// The system's clock, serial port and port enumeration.
#include "link/SystemPlatform.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QThread>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace kvx {

SystemClock::SystemClock() {
    monotonic.start();
}

qint64 SystemClock::nowMs() const {
    return QDateTime::currentMSecsSinceEpoch();
}

qint64 SystemClock::elapsedMs() const {
    return monotonic.elapsed();
}

void SystemClock::sleepMs(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

QSerialPortDevice::QSerialPortDevice() {
    // A device that goes away (cable pulled) reports a resource error; the
    // port is closed so that nothing keeps polling a dead descriptor. The link
    // then times out and resets on its own.
    QObject::connect(&port, &QSerialPort::errorOccurred, &port,
                     [this](QSerialPort::SerialPortError error) {
                         if (error == QSerialPort::ResourceError && port.isOpen()) {
                             lastFault = DeviceFault::Lost;
                             lastFaultText = port.errorString();
                             port.close();
                         }
                     });
}

void QSerialPortDevice::applyLinkSettings() {
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
}

void QSerialPortDevice::setPortName(const QString& name) {
    port.setPortName(name);
    nodePath = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

bool QSerialPortDevice::open() {
    if (port.open(QIODevice::ReadWrite)) {
        lastFault = DeviceFault::None;
        lastFaultText.clear();
        return true;
    }
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        lastFault = DeviceFault::NotFound;
        break;
    case QSerialPort::PermissionError: {
        // QSerialPort reports a port that another program holds (its lock
        // file, or a descriptor opened for exclusive use) as a permission
        // error too. A node the user may read and write is one of those.
        const QFileInfo node(nodePath);
        lastFault = node.exists() && node.isReadable() && node.isWritable()
                        ? DeviceFault::InUse
                        : DeviceFault::PermissionDenied;
        break;
    }
    default:
        lastFault = DeviceFault::OpenFailed;
        break;
    }
    lastFaultText = port.errorString();
    return false;
}

PortGroup QSerialPortDevice::portGroup() const {
    PortGroup result;
    const QFileInfo node(nodePath);
    if (!node.exists())
        return result;
    result.name = node.group();
    const gid_t group = node.groupId();

    // This process's groups: those of the session it was started in.
    std::vector<gid_t> session(size_t(qMax(::getgroups(0, nullptr), 0)));
    session.resize(size_t(qMax(::getgroups(int(session.size()), session.data()), 0)));
    result.inSession =
        ::getegid() == group || std::find(session.begin(), session.end(), group) != session.end();

    // The account's groups as the system's group database lists them now.
    if (const passwd* user = ::getpwuid(::getuid())) {
        int listed = 64;
        std::vector<gid_t> account(64);
        if (::getgrouplist(user->pw_name, user->pw_gid, account.data(), &listed) < 0) {
            account.resize(size_t(listed)); // how many there are
            ::getgrouplist(user->pw_name, user->pw_gid, account.data(), &listed);
        }
        account.resize(size_t(qMax(listed, 0)));
        result.inAccount = std::find(account.begin(), account.end(), group) != account.end();
    }
    return result;
}

bool QSerialPortDevice::isOpen() const {
    return port.isOpen();
}

void QSerialPortDevice::close() {
    if (port.isOpen())
        port.close();
}

QByteArray QSerialPortDevice::readAvailable() {
    if (!port.isOpen())
        return {};
    return port.readAll();
}

void QSerialPortDevice::write(const QByteArray& bytes) {
    if (port.isOpen())
        port.write(bytes);
}

void QSerialPortDevice::flush() {
    if (port.isOpen())
        port.flush();
}

SystemPortSource::SystemPortSource(Clock& clock) : clock(clock) {
    // A serial device appearing or vanishing creates or removes its node in
    // /dev; only then (or after a long quiet interval) is it worth asking the
    // system, which takes milliseconds on machines with many terminals.
    watching = watcher.addPath(QStringLiteral("/dev"));
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &watcher,
                     [this](const QString&) { stale = true; });
}

QStringList SystemPortSource::availablePorts() {
    const qint64 now = clock.elapsedMs();
    const qint64 interval = watching ? kQuietRescanMs : kBlindRescanMs;
    if (stale || lastScanMs < 0 || now - lastScanMs >= interval) {
        stale = false;
        lastScanMs = now;
        cached.clear();
        const auto infos = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo& info : infos)
            cached.append(info.portName());
    }
    return cached;
}

Platform Platform::system() {
    Platform p;
    p.clock = std::make_unique<SystemClock>();
    p.serial = std::make_unique<QSerialPortDevice>();
    // The port source keeps its own clock so that it works whatever clock the
    // window is given.
    static SystemClock portClock;
    p.ports = std::make_unique<SystemPortSource>(portClock);
    return p;
}

} // namespace kvx
