#include "sim/PtyServer.h"

#include <QDateTime>
#include <QHash>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace kvx::sim {

namespace {

// How often the line settings are looked at while no bytes arrive.
constexpr int kLinePollMs = 20;

int bitRate(speed_t speed) {
    static const struct {
        speed_t code;
        int rate;
    } rates[] = {{B50, 50},         {B75, 75},         {B110, 110},         {B134, 134},
                 {B150, 150},       {B200, 200},       {B300, 300},         {B600, 600},
                 {B1200, 1200},     {B1800, 1800},     {B2400, 2400},       {B4800, 4800},
                 {B9600, 9600},     {B19200, 19200},   {B38400, 38400},     {B57600, 57600},
                 {B115200, 115200}, {B230400, 230400}, {B460800, 460800},   {B500000, 500000},
                 {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B2000000, 2000000}};
    for (const auto& r : rates) {
        if (r.code == speed)
            return r.rate;
    }
    return 0;
}

LineSettings lineSettingsOf(const termios& t) {
    LineSettings s;
    s.baud = bitRate(::cfgetospeed(&t));
    const speed_t in = ::cfgetispeed(&t);
    s.inputBaud = in == B0 ? s.baud : bitRate(in);
    switch (t.c_cflag & CSIZE) {
    case CS5:
        s.dataBits = 5;
        break;
    case CS6:
        s.dataBits = 6;
        break;
    case CS7:
        s.dataBits = 7;
        break;
    default:
        s.dataBits = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        s.parity = 'N';
    else if (t.c_cflag & CMSPAR)
        s.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    else
        s.parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    if (t.c_cflag & CRTSCTS)
        s.flowControl = QStringLiteral("hardware");
    else if (t.c_iflag & (IXON | IXOFF))
        s.flowControl = QStringLiteral("software");
    else
        s.flowControl = QStringLiteral("none");
    s.raw = !(t.c_iflag & (IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL)) &&
            !(t.c_oflag & OPOST) && !(t.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN));
    return s;
}

} // namespace

bool LineSettings::right() const {
    return baud == 115200 && inputBaud == 115200 && dataBits == 8 && parity == 'N' &&
           stopBits == 1 && flowControl == QLatin1String("none") && raw;
}

QString LineSettings::text() const {
    const QString speed = inputBaud == baud
                              ? QString::number(baud)
                              : QStringLiteral("%1 out, %2 in").arg(baud).arg(inputBaud);
    return QStringLiteral("%1 %2%3%4, %5, %6")
        .arg(speed)
        .arg(dataBits)
        .arg(QLatin1Char(parity))
        .arg(stopBits)
        .arg(flowControl == QLatin1String("none") ? QStringLiteral("no flow control")
                                                  : flowControl + QStringLiteral(" flow control"))
        .arg(raw ? QStringLiteral("raw") : QStringLiteral("not raw"));
}

QJsonObject LineSettings::json() const {
    static const QHash<char, QString> parities = {
        {'N', "none"}, {'E', "even"}, {'O', "odd"}, {'M', "mark"}, {'S', "space"}};
    return {{"baud", baud},         {"inputBaud", inputBaud},
            {"dataBits", dataBits}, {"parity", parities.value(parity)},
            {"stopBits", stopBits}, {"flowControl", flowControl},
            {"raw", raw},           {"right", right()},
            {"text", text()}};
}

bool LineSettings::operator==(const LineSettings& o) const {
    return baud == o.baud && inputBaud == o.inputBaud && dataBits == o.dataBits &&
           parity == o.parity && stopBits == o.stopBits && flowControl == o.flowControl &&
           raw == o.raw;
}

PtyServer::PtyServer(Instrument& instrument, QObject* parent) : QObject(parent), sim(instrument) {
    outputTimer.setSingleShot(true);
    connect(&outputTimer, &QTimer::timeout, this, &PtyServer::sendDue);
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(50);
    connect(&retryTimer, &QTimer::timeout, this, [this] {
        if (notifier)
            notifier->setEnabled(true);
    });
    lineTimer.setInterval(kLinePollMs);
    connect(&lineTimer, &QTimer::timeout, this, [this] { checkLine(true); });
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
    // instrument's own output back to it and mangle carriage returns. The
    // speed stays the terminal's default, so that the line settings seen
    // later are the ones the configurator set, not ours.
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);

    notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PtyServer::readInput);
    // The master sees the settings of the slave side: those the configurator
    // set when it opened the terminal and whatever it changed since.
    termios now{};
    ::tcgetattr(master, &now);
    lineRecorded = linePolled = lineSettingsOf(now);
    lineTimer.start();
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
            if (strictLine && !checkLine(false).right()) {
                // A UART at another speed or framing reads noise and says
                // nothing sensible back: junk for every byte, never a prompt.
                sim.log().add(sim.now(), {{"event", "fault"}, {"fault", "wrong_line"}});
                const QByteArray junk(int(n), char(0xF8));
                [[maybe_unused]] const ssize_t written =
                    ::write(master, junk.constData(), size_t(junk.size()));
                continue;
            }
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

LineSettings PtyServer::checkLine(bool settled) {
    if (master < 0)
        return lineRecorded;
    termios t{};
    if (::tcgetattr(master, &t) != 0)
        return lineRecorded;
    const LineSettings now = lineSettingsOf(t);
    // The configurator sets several things one after the other when it opens
    // the port; a poll records only settings that held since the last one.
    const bool record = now != lineRecorded && (!settled || now == linePolled);
    linePolled = now;
    if (record) {
        lineRecorded = now;
        QJsonObject event = now.json();
        event.insert("event", "line");
        sim.log().add(QDateTime::currentMSecsSinceEpoch(), event);
        emit lineChanged(now);
    }
    return now;
}

void PtyServer::closePty() {
    outputTimer.stop();
    lineTimer.stop();
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
