// The real QSerialPort against one side of a pseudo-terminal: what the
// configurator writes arrives on the other side, and what comes back is read.
#include "app/KVX_Configurator.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyTest : public QObject {
    Q_OBJECT

    int master = -1;
    QString slavePath;

    QByteArray readMaster(int wantBytes, int timeoutMs = 3000) {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < wantBytes && t.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, int(n));
            else
                QThread::msleep(5);
        }
        return got;
    }

private slots:
    void init() {
        int slave = -1;
        char name[256] = {};
        QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        ::close(slave);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        slavePath = QString::fromLatin1(name);
    }
    void cleanup() {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    void connectsAndTalksOverARealPort() {
        auto names = std::make_shared<QStringList>(QStringList{slavePath});
        kvx::Platform p;
        p.ports = std::make_unique<kvx::test::ListedPorts>(names);
        KVX_Configurator w(std::move(p));
        QTRY_VERIFY(w.ui->kvxConnect->isEnabled());
        QCOMPARE(w.ui->kvxComList->currentText(), slavePath);
        w.KVXConnectButtonPressed();
        QCOMPARE(readMaster(3), QByteArray("\x1b"
                                           "c\r"));
        QVERIFY(::write(master,
                        "\x1b"
                        "c\r\ncli> ",
                        9) == 9);
        QCOMPARE(readMaster(16), QByteArray("show_boards_cal\r"));
        const QByteArray list =
            "show_boards_cal\r\n0,Main,M1,1,x,x,2,x,x,3,x,x,4,x,x,5,x,x,6,x,x\r\ncli> ";
        QVERIFY(::write(master, list.constData(), size_t(list.size())) == list.size());
        QTRY_COMPARE(w.ui->kvxIDBox->text(), QString("M1"));
        QCOMPARE(readMaster(20), QByteArray("21504 112 2 cfg_get\r"));
    }
};

QTEST_MAIN(PtyTest)
#include "tst_pty.moc"
