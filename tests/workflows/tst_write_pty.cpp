// The shipped configuration of the program (system clock, QSerialPort, the
// 20 ms timer) writing to kvx-sim over a real pseudo-terminal: the same
// records go out as in-process, every one is stored, none is refused.
#include "tests/support/PtySim.h"
#include "tests/support/SimRig.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

class WritePtyTest : public QObject, PtySim {
    Q_OBJECT

    bool start(const QString& preset) { return PtySim::start({"--preset", preset}); }
    bool idle() const { return w->linkStep == LinkIdle && w->sessionState == 0; }

    static QStringList setLines(const QStringList& lines) {
        QStringList out;
        for (const QString& line : lines) {
            if (line.endsWith(QLatin1String(" cfg_set")))
                out << line;
        }
        return out;
    }

private slots:
    void cleanup() { stop(); }

    void writeOverTheTerminal() {
        // The same write in-process, for reference.
        SimRig reference(QStringLiteral("mixed"));
        QVERIFY(reference.connect());
        reference.instrument->log().clear();
        {
            DialogScript script({QMessageBox::Yes});
            reference.window->KVXWriteButtonPressed();
            QVERIFY(reference.settle());
        }
        const QStringList expected = setLines(reference.instrument->log().commandLines());
        QVERIFY(expected.size() > 10);

        QVERIFY(start(QStringLiteral("mixed")));
        QTRY_VERIFY_WITH_TIMEOUT(idle() && w->ui->kvxWrite->isEnabled(), 60000);
        DialogScript script({QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes});
        w->KVXWriteButtonPressed();
        QVERIFY(!w->ui->kvxWrite->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(idle() && w->ui->kvxWrite->isEnabled(), 60000);

        QStringList lines;
        for (const QJsonObject& e : logged(QStringLiteral("command")))
            lines << e.value("line").toString();
        QCOMPARE(setLines(lines), expected);
        QCOMPARE(logged(QStringLiteral("store")).size(), expected.size());
        QVERIFY(logged(QStringLiteral("refused")).isEmpty());
        QVERIFY(logged(QStringLiteral("bad_request")).isEmpty());
    }
};

QTEST_MAIN(WritePtyTest)
#include "tst_write_pty.moc"
