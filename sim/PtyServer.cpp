#include "sim/PtyServer.h"

#include <QDateTime>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace kvx::sim {

PtyServer::PtyServer(Instrument& instrument, QObject* parent) : QObject(parent), sim(instrument) {
    outputTimer.setSingleShot(true);
    connect(&outputTimer, &QTimer::timeout, this, &PtyServer::sendDue);
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(50);
    connect(&retryTimer, &QTimer::timeout, this, [this] {
        if (notifier)
            notifier->setEnabled(true);
    });
}

PtyServer::~PtyServer() {
    closePty();
}

bool PtyServer::start(QString* error) {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Raw on the slave side: without it the terminal would echo the
    // instrument's own output back to it and mangle carriage returns.
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B115200);
    ::cfsetospeed(&raw, B115200);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);

    notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PtyServer::readInput);
    if (sim.cablePulled()) // pulled before the first command
        QTimer::singleShot(0, this, &PtyServer::sendDue);
    return true;
}

void PtyServer::readInput() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            sim.setNow(QDateTime::currentMSecsSinceEpoch());
            sim.receive(QByteArray(buffer, int(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Not expected while the slave is held open; back off rather
            // than spin on a notifier that keeps firing.
            notifier->setEnabled(false);
            retryTimer.start();
        }
        break;
    }
    sendDue();
}

void PtyServer::sendDue() {
    if (master < 0)
        return;
    sim.setNow(QDateTime::currentMSecsSinceEpoch());
    const QByteArray bytes = sim.takeOutput();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // nobody reads and the terminal is full: the bytes are lost, as on a wire
        }
    }
    if (sim.cablePulled()) {
        // Let the last answer reach the reader before the line goes dead.
        outputTimer.stop();
        notifier->setEnabled(false);
        QTimer::singleShot(300, this, [this] {
            closePty();
            emit cablePulled();
        });
        return;
    }
    scheduleNext();
}

void PtyServer::scheduleNext() {
    const qint64 next = sim.nextOutputAt();
    if (next < 0) {
        outputTimer.stop();
        return;
    }
    const qint64 wait = next - QDateTime::currentMSecsSinceEpoch();
    outputTimer.start(int(std::clamp<qint64>(wait, 0, 60000)));
}

void PtyServer::closePty() {
    outputTimer.stop();
    retryTimer.stop();
    delete notifier;
    notifier = nullptr;
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    master = slave = -1;
}

} // namespace kvx::sim
