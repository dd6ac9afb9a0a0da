// What the status bar says while the shipped configuration (QSerialPort, the
// window's own timer) works against kvx-sim on a pseudo-terminal: failed
// connections with their reasons, and reads and writes with their progress.
#include "link/Status.h"
#include "link/SystemPlatform.h"
#include "tests/support/PtySim.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

// The system's serial device, but its first open is refused as the system
// refuses a user outside the port's group.
class RefusedOnce : public QSerialPortDevice {
public:
    bool open() override {
        refusing = opens++ == 0;
        return !refusing && QSerialPortDevice::open();
    }
    DeviceFault fault() const override {
        return refusing ? DeviceFault::PermissionDenied : QSerialPortDevice::fault();
    }
    QString faultText() const override {
        return refusing ? QStringLiteral("Permission denied") : QSerialPortDevice::faultText();
    }

private:
    int opens = 0;
    bool refusing = false;
};

} // namespace

class StatusBarTest : public QObject, PtySim {
    Q_OBJECT

    QStringList seen;    // every message, in order
    QList<int> barValue; // the progress bar's value with each (-1: hidden)
    QList<int> barMax;

    void watch() {
        QObject::disconnect(w->statusBar(), nullptr, this, nullptr);
        seen.clear();
        barValue.clear();
        barMax.clear();
        QObject::connect(w->statusBar(), &QStatusBar::messageChanged, this,
                         [this](const QString& text) {
                             const QProgressBar* bar = w->status->progressBar();
                             seen << text;
                             barValue << (bar->isHidden() ? -1 : bar->value());
                             barMax << bar->maximum();
                         });
    }
    bool idle() const { return w->linkStep == LinkIdle && w->sessionState == 0; }
    int sent(const QString& command) const {
        return int(loggedLines().filter(QRegularExpression(" " + command + "$")).size());
    }

    // The messages of one chain: records 1, 2, ... `count` in order, each
    // with the bar showing it, and a plan that ends at `count` (from the
    // first record when `exactFromStart`).
    void checkProgress(const QString& what, int count, bool exactFromStart) {
        const QRegularExpression re("^" + what + R"(: record (\d+) of (\d+) \(0x[0-9a-f]{4}\)…$)");
        int n = 0;
        int lastPlan = INT_MAX;
        for (int i = 0; i < seen.size(); ++i) {
            const auto m = re.match(seen[i]);
            if (!m.hasMatch())
                continue;
            const int record = m.captured(1).toInt();
            const int plan = m.captured(2).toInt();
            QCOMPARE(record, ++n);
            QVERIFY2(plan >= record && plan <= lastPlan, qPrintable(seen[i]));
            if (exactFromStart)
                QCOMPARE(plan, count);
            QCOMPARE(barValue[i], record);
            QCOMPARE(barMax[i], plan);
            lastPlan = plan;
        }
        QCOMPARE(n, count);
        QCOMPARE(lastPlan, count);
    }

private slots:
    void cleanup() { stop(); }

    // A connection that fails says why; the window falls back as before.
    void failedConnections_data() {
        QTest::addColumn<QStringList>("simArgs"); // empty: no instrument, no port
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QStringList>("expected"); // {port} stands for the port
        QTest::newRow("no such port")
            << QStringList{} << false
            << QStringList{"Could not open {port}: No such file or directory."};
        QTest::newRow("permission denied")
            << QStringList{"--preset", "minimal"} << true
            << QStringList{"Could not open {port}: Permission denied.", "group {group}, which owns",
                           "usermod -aG {group}", "log in again."};
        QTest::newRow("silent instrument")
            << QStringList{"--silent"} << false
            << QStringList{"No prompt from the instrument on {port} after 4 tries"};
        QTest::newRow("cable pulled during the read")
            << QStringList{"--preset", "full", "--cable-pull-after", "12"} << false
            << QStringList{"Lost the instrument on {port} during record 0x", "cable pulled"};
    }
    void failedConnections() {
        QFETCH(QStringList, simArgs);
        QFETCH(bool, refuse);
        QFETCH(QStringList, expected);
        QString port = QStringLiteral("/dev/kvx-no-such-port");
        if (simArgs.isEmpty()) {
            Platform platform;
            platform.ports =
                std::make_unique<ListedPorts>(std::make_shared<QStringList>(QStringList{port}));
            w = std::make_unique<KVX_Configurator>(std::move(platform));
            QTRY_VERIFY(w->ui->kvxConnect->isEnabled());
            w->KVXConnectButtonPressed();
        } else {
            QVERIFY(start(simArgs, refuse ? std::make_unique<RefusedOnce>() : nullptr));
            port = w->ui->kvxComList->currentText();
        }
        watch();
        QTRY_VERIFY_WITH_TIMEOUT(w->linkStep == LinkNone && !seen.isEmpty(), 20000);
        const QString text = w->status->message();
        for (QString part : expected) {
            part.replace("{port}", port).replace("{group}", QFileInfo(port).group());
            QVERIFY2(text.contains(part), qPrintable(text + " lacks " + part));
        }
        QTRY_VERIFY(w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"));
        QVERIFY(w->ui->kvxConnect->isEnabled());
        QVERIFY(w->status->progressBar()->isHidden());
        QCOMPARE(w->status->message(), text); // it stands
        if (refuse) {
            // Once allowed, the same port connects.
            w->KVXConnectButtonPressed();
            QTRY_VERIFY_WITH_TIMEOUT(w->status->message().startsWith("Configuration read"), 20000);
        }
    }

    // A read and then a write, each with its progress and its outcome.
    void readThenWrite_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<bool>("exactFromStart"); // the read learns nothing on the way
        QTest::newRow("full") << "full" << true;
        QTest::newRow("mixed, two pumps not fitted") << "mixed" << false;
        QTest::newRow("minimal, no SEN55") << "minimal" << false;
    }
    void readThenWrite() {
        QFETCH(QString, preset);
        QFETCH(bool, exactFromStart);
        QVERIFY(start({"--preset", preset}));
        watch();
        QTRY_VERIFY_WITH_TIMEOUT(idle() && w->ui->kvxRead->isEnabled(), 30000);
        QVERIFY(seen.first().startsWith("Opened " + w->ui->kvxComList->currentText()));
        const int reads = sent("cfg_get") - 1; // the firmware level belongs to connecting
        checkProgress("Reading the configuration", reads, exactFromStart);
        QVERIFY2(seen.last().startsWith(QString("Configuration read: %1 records in ").arg(reads)),
                 qPrintable(seen.last()));
        QVERIFY(w->status->progressBar()->isHidden());

        watch();
        {
            DialogScript yes({}, QMessageBox::Yes);
            w->KVXWriteButtonPressed();
            QTRY_VERIFY_WITH_TIMEOUT(idle() && w->ui->kvxWrite->isEnabled(), 30000);
        }
        const int writes = sent("cfg_set");
        QVERIFY(writes > 0);
        checkProgress("Writing the configuration", writes, true);
        QCOMPARE(seen.last(), QString("Configuration written: %1 records, each confirmed by the "
                                      "instrument's read-back.")
                                  .arg(writes));
        QVERIFY(w->status->progressBar()->isHidden());
    }
};

QTEST_MAIN(StatusBarTest)
#include "tst_status_bar.moc"
