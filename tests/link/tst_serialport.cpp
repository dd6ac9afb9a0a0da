// The shipped program's serial device on real pseudo-terminals: why an open
// failed (a port another program holds is not a matter of permissions), and
// the group that owns a port's node with the user's place in it, checked
// against what id(1) says.
#include "link/SystemPlatform.h"

#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace kvx;

namespace {

// A pseudo-terminal whose slave side stands in for a USB serial port.
class Pty {
public:
    Pty() {
        char name[256] = {};
        int slave = -1;
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            path = QString::fromLocal8Bit(name);
        }
    }
    ~Pty() {
        if (master >= 0)
            ::close(master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int master = -1;
    QString path;
};

QList<uint> groupIds(const QStringList& idArguments) {
    QProcess id;
    id.start("id", QStringList{"-G"} + idArguments);
    QList<uint> ids;
    if (!id.waitForFinished(10000) || id.exitCode() != 0)
        return ids;
    const QStringList words = QString::fromLatin1(id.readAllStandardOutput()).split(' ');
    for (const QString& word : words)
        ids << word.trimmed().toUInt();
    return ids;
}

} // namespace

class SerialPortTest : public QObject {
    Q_OBJECT

private slots:
    // A second open of a port that is already open, through its lock file or
    // a descriptor set for exclusive use, is "in use", not "permission denied";
    // once the other side lets go, the port opens.
    void heldByAnotherProgram_data() {
        QTest::addColumn<QString>("holder");
        QTest::newRow("a serial port program (lock file)") << "lock";
        QTest::newRow("a descriptor for exclusive use") << "exclusive";
    }
    void heldByAnotherProgram() {
        QFETCH(QString, holder);
        if (holder == "exclusive" && ::geteuid() == 0)
            QSKIP("exclusive use does not keep root out");
        Pty pty;
        QVERIFY(!pty.path.isEmpty());
        QSerialPortDevice first;
        int exclusive = -1;
        if (holder == "lock") {
            first.setPortName(pty.path);
            QVERIFY(first.open());
        } else {
            exclusive = ::open(pty.path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
            QVERIFY(exclusive >= 0);
            QCOMPARE(::ioctl(exclusive, TIOCEXCL), 0);
        }
        QSerialPortDevice second;
        second.setPortName(pty.path);
        QVERIFY(!second.open());
        QCOMPARE(second.fault(), DeviceFault::InUse);
        QVERIFY(!second.faultText().isEmpty());

        first.close();
        if (exclusive >= 0) {
            // The terminal stays exclusive while its master side is open.
            QCOMPARE(::ioctl(exclusive, TIOCNXCL), 0);
            ::close(exclusive);
        }
        QVERIFY(second.open());
        QCOMPARE(second.fault(), DeviceFault::None);
        QVERIFY(second.faultText().isEmpty());
    }

    // A node the user may not open, and a port that is not there.
    void refused() {
        QSerialPortDevice missing;
        missing.setPortName("/dev/kvx-no-such-port");
        QVERIFY(!missing.open());
        QCOMPARE(missing.fault(), DeviceFault::NotFound);

        if (::geteuid() == 0)
            QSKIP("root may open any node");
        Pty pty;
        QVERIFY(!pty.path.isEmpty());
        QVERIFY(QFile::setPermissions(pty.path, {}));
        QSerialPortDevice closed;
        closed.setPortName(pty.path);
        QVERIFY(!closed.open());
        QCOMPARE(closed.fault(), DeviceFault::PermissionDenied);
        QCOMPARE(closed.faultText(), QString("Permission denied"));
    }

    // The group of the port's node, and whether this session and the account
    // are in it, as id -G (this process) and id -G USER (the group database)
    // list them: for a node of the user's own group, and (as root, who may
    // hand a file to any group) for one of a group the user is not in.
    void portGroup_data() {
        QTest::addColumn<int>("group"); // -1: the group a new file gets
        QTest::newRow("own group") << -1;
        QTest::newRow("another group") << 65534;
    }
    void portGroup() {
        QFETCH(int, group);
        QTemporaryFile node;
        QVERIFY(node.open());
        if (group >= 0) {
            if (::geteuid() != 0)
                QSKIP("only root may hand a file to a group it is not in");
            QVERIFY(::chown(node.fileName().toLocal8Bit().constData(), uid_t(-1), gid_t(group)) ==
                    0);
        }
        const QFileInfo info(node.fileName());
        const QList<uint> session = groupIds({});
        QProcess whoami;
        whoami.start("id", {"-un"});
        QVERIFY(whoami.waitForFinished(10000));
        const QList<uint> account =
            groupIds({QString::fromLocal8Bit(whoami.readAllStandardOutput()).trimmed()});
        QVERIFY(!session.isEmpty() && !account.isEmpty());

        QSerialPortDevice device;
        device.setPortName(node.fileName());
        const PortGroup owner = device.portGroup();
        QCOMPARE(owner.name, info.group());
        QCOMPARE(owner.inSession, session.contains(info.groupId()));
        QCOMPARE(owner.inAccount, account.contains(info.groupId()));
        QCOMPARE(owner.inSession, group < 0);

        QSerialPortDevice gone;
        gone.setPortName("/dev/kvx-no-such-port");
        QVERIFY(gone.portGroup().name.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SerialPortTest)
#include "tst_serialport.moc"
