// The configurator as shipped (system clock, QSerialPort, its own 20 ms timer)
// against kvx-sim on a real pseudo-terminal, questions answered by a script:
// connect and full read, a write read back, kvx-sim going away (as a pulled
// USB cable does) during each workflow, and the port leaving the system's
// list, also while the link dies under the open question.
// Each run also checks what the status bar says: progress and outcome. The
// line settings the window leaves on the terminal are what kvx-sim sees; one
// run shows the shipped ones, and a port opened otherwise gets no answer.
#include "link/Status.h"
#include "link/SystemPlatform.h"
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

// The shipped serial device with one line setting spoilt after the right ones.
struct MisconfiguredPort : QSerialPortDevice {
    std::function<void(QSerialPort&)> spoil;
    void applyLinkSettings() override {
        QSerialPortDevice::applyLinkSettings();
        spoil(port);
    }
};

// The line settings kvx-sim logged, in a form a test can compare.
QString lineText(const QJsonObject& e) {
    return QString("%1/%2 baud, %3 data bits, parity %4, %5 stop, flow %6, raw %7")
        .arg(e.value("baud").toInt())
        .arg(e.value("inputBaud").toInt())
        .arg(e.value("dataBits").toInt())
        .arg(e.value("parity").toString())
        .arg(e.value("stopBits").toInt())
        .arg(e.value("flowControl").toString())
        .arg(e.value("raw").toBool() ? "yes" : "no");
}

} // namespace

class EndToEndTest : public QObject, PtySim {
    Q_OBJECT

    // Every status message, in order, each with the progress bar's value and
    // maximum then ("[-1/m]": hidden).
    QStringList seen;

    bool idle() const {
        return w->linkStep == LinkIdle && w->sessionState == 0 && w->ui->kvxWrite->isEnabled();
    }
    bool ready() const {
        return w->linkStep == LinkNone &&
               w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect");
    }
    int sent(const char* command) const {
        return int(loggedLines().filter(QRegularExpression(QString(" %1$").arg(command))).size());
    }
    bool startWatched(const QStringList& args) {
        const bool started = start(args);
        watch();
        return started;
    }
    void watch() {
        QObject::disconnect(w->statusBar(), nullptr, this, nullptr);
        seen.clear();
        QObject::connect(w->statusBar(), &QStatusBar::messageChanged, this, [this](QString text) {
            const QProgressBar* bar = w->status->progressBar();
            seen << text + QString(" [%1/%2]")
                               .arg(bar->isHidden() ? -1 : bar->value())
                               .arg(bar->maximum());
        });
    }
    // The status messages of one chain: records 1, 2, ... `count` in order,
    // each with the bar showing it, and a plan that ends at `count` (from the
    // first record when `exactFromStart`); then `outcome` and the bar hidden.
    void checkProgress(const QString& what, int count, bool exactFromStart,
                       const QString& outcome) {
        const QRegularExpression re(
            "^" + what + R"(: record (\d+) of (\d+) \(0x[0-9a-f]{4}\)… \[(\d+)/(\d+)\]$)");
        int n = 0, lastPlan = INT_MAX;
        for (const QString& message : seen) {
            const auto m = re.match(message);
            if (!m.hasMatch())
                continue;
            const int record = m.captured(1).toInt(), plan = m.captured(2).toInt();
            QCOMPARE(record, ++n);
            QVERIFY2(plan >= record && plan <= lastPlan && (!exactFromStart || plan == count),
                     qPrintable(message));
            QCOMPARE(m.captured(3) + '/' + m.captured(4), m.captured(1) + '/' + m.captured(2));
            lastPlan = plan;
        }
        QCOMPARE(n, count);
        QCOMPARE(lastPlan, count);
        QVERIFY2(seen.last().startsWith(outcome.arg(count)), qPrintable(seen.last()));
        QVERIFY(w->status->progressBar()->isHidden());
        watch();
    }
    void checkRead(bool exactFromStart) {
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        QVERIFY(seen.first().startsWith("Opened " + path));
        // The firmware level belongs to connecting.
        checkProgress("Reading the configuration", sent("cfg_get") - 1, exactFromStart,
                      "Configuration read: %1 records in ");
    }

private slots:
    void cleanup() { stop(); }

    // Dirt on the line and answers in pieces: the same lines as an in-process
    // read, the same form. Then every record written is stored, none
    // refused, and a new read shows the form as written.
    void readWriteReadBack() {
        SimRig reference("full");
        QVERIFY(reference.connect());
        QVERIFY(startWatched({"--preset", "full", "--nul", "--line-feeds", "--garbage", "5",
                              "--chunk", "7", "--chunk-delay", "3", "--strict-line"}));
        checkRead(true);
        const QList<QJsonObject> line = logged("line");
        QVERIFY(!line.isEmpty());
        QCOMPARE(lineText(line.last()),
                 "115200/115200 baud, 8 data bits, parity none, 1 stop, flow none, raw yes");
        QCOMPARE(loggedLines(), reference.lines());
        const QMap<QString, QString> want = formValues(reference.w()), got = formValues(*w);
        QVERIFY2(got == want, qPrintable(differences(want, got)));
        QVERIFY(w->ui->kvxOutputBox->toPlainText().contains("<NUL>"));
        QVERIFY(w->ui->configurationOutputBox->toPlainText().startsWith("Connected to KVXv2."));
        applyEdits(*w, "sampleID=over-the-line durationHours=5 mainLogVBUS pumpDFlowRate=20.5 "
                       "scd30Mode as1Mode_3");
        {
            DialogScript yes({}, QMessageBox::Yes);
            w->KVXWriteButtonPressed();
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        const QMap<QString, QString> written = formValues(*w);
        QCOMPARE(sent("cfg_set"), 28);
        QCOMPARE(logged("store").size(), 28);
        checkProgress("Writing the configuration", 28, true,
                      "Configuration written: %1 records, each confirmed by the instrument's "
                      "read-back.");
        {
            DialogScript yes({QMessageBox::Yes});
            w->KVXReadButtonPressed();
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        const QMap<QString, QString> reread = formValues(*w);
        QVERIFY2(reread == written, qPrintable(differences(written, reread)));
    }

    // Edits on three pages, one through an interlock (Alphasense #2 off
    // unchecks its Raw box), one changed and changed back: the write's
    // question lists exactly them with what the instrument holds and what it
    // will get, the marks sit on exactly their controls and pages, the count
    // says how many; the write's read-back leaves none. Closing with an
    // unwritten edit asks: No keeps the link, Yes closes with the farewell.
    void changeListAndMarks() {
        QVERIFY(start({"--preset", "full"}));
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        applyEdits(*w, "logInterval=0 pumpAFlowRate=1.5 as2Mode_3 durationHours=5 "
                       "durationHours=12");
        const QStringList want = {
            "Mainboard › Logging Interval [seconds]: 15 → 5",
            "Alphasense › Alphasense #2 Enable: on → off",
            "Alphasense › Alphasense #2 Raw: on → off",
            "Pump A › Sampling Volumetric Flow [LPM]: 1.000 → 1.500",
        };
        QTRY_COMPARE(w->changes->countLabel()->text(), QString("4 unwritten changes"));
        QStringList marked, pages;
        for (QWidget* c : w->findChildren<QWidget*>())
            if (c->property("kvxChanged").toBool())
                marked << c->objectName();
        marked.sort();
        QCOMPARE(marked,
                 QStringList({"alphasenseLogAS2Raw", "as2Mode_3", "logInterval", "pumpAFlowRate"}));
        QTabWidget* tabs = w->ui->configuratorTabs;
        for (int i = 0; i < tabs->count(); ++i)
            if (!tabs->tabIcon(i).isNull())
                pages << tabs->tabText(i);
        QCOMPARE(pages, QStringList({"Mainboard", "Alphasense", "Pump A"}));
        {
            DialogScript yes({}, QMessageBox::Yes);
            w->KVXWriteButtonPressed();
            QVERIFY(yes.answered() >= 1); // then the schedule's warnings
            QCOMPARE(yes.informative.first(), QString("4 settings will change."));
            QCOMPARE(yes.details.first().split('\n'), want);
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        QTRY_COMPARE(w->changes->countLabel()->text(), QString());
        for (QWidget* c : w->findChildren<QWidget*>())
            QVERIFY2(!c->property("kvxChanged").toBool(), qPrintable(c->objectName()));
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY(tabs->tabIcon(i).isNull());
        {
            DialogScript yes({}, QMessageBox::Yes);
            w->KVXWriteButtonPressed();
            QVERIFY(yes.answered() >= 1); // then the schedule's warnings
            QCOMPARE(yes.informative.first(), QString("No setting will change; the write stores "
                                                      "what the instrument already holds."));
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);

        w->show();
        applyEdits(*w, "sampleID=next-site");
        DialogScript answers({QMessageBox::No, QMessageBox::Yes});
        QVERIFY(!w->close());
        QCOMPARE(answers.texts, QStringList{"Close without writing 1 change to the KVXv2?"});
        QVERIFY(w->isVisible() && w->serialPort->isOpen() && idle());
        const int lines = int(loggedLines().size());
        QVERIFY(w->close());
        QCOMPARE(answers.answered(), 2);
        w.reset();
        QTRY_COMPARE(loggedLines().size(), lines + 1);
        QCOMPARE(loggedLines().last(), QString("menu"));
    }

    // kvx-sim exits once it has answered `more` lines past the initial read
    // (-1: its 5th line, in the read). What it stored stays stored; the
    // window falls back on its own with its pages cleared, and says why.
    void cablePulled_data() {
        QTest::addColumn<QStringList>("fields"); // preset|slot that starts it|more|stores
        for (const char* row : {"read|minimal||-1|0", "write|minimal|KVXWriteButtonPressed|2|2",
                                "set clock|minimal|KVXSetRTCPressed|1|1",
                                "calibration|mixed|SCD30CalButtonPressed|0|0"})
            packedRow(row);
    }
    void cablePulled() {
        QFETCH(QStringList, fields);
        const QString &preset = fields[0], &workflow = fields[1];
        const int more = fields[2].toInt(), stores = fields[3].toInt();
        SimRig reference(preset);
        QVERIFY(reference.connect());
        const int lines = more < 0 ? 5 : int(reference.lines().size()) + more;
        QVERIFY(startWatched({"--preset", preset, "--cable-pull-after", QString::number(lines)}));
        if (more >= 0) {
            QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
            DialogScript yes({}, QMessageBox::Yes);
            QVERIFY(QMetaObject::invokeMethod(w.get(), qPrintable(workflow)));
            QVERIFY(w->sessionState != 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(sim->state() == QProcess::NotRunning, 30000);
        QCOMPARE(sim->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(ready(), 15000);
        const QString problems = fallenBackProblems(*w);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        QCOMPARE(loggedLines().size(), lines);
        QCOMPARE(logged("store").size(), stores);
        const QString text = w->status->message();
        QVERIFY2(text.contains("cable pulled or instrument switched off. Disconnected."),
                 qPrintable(text));
        if (more < 0)
            QVERIFY(text.startsWith("Lost the instrument on " + path + " during record 0x"));
    }

    // The connected port leaves the system's list: the operator is asked
    // once. No keeps the link, which still works once the port is back, and
    // Disconnect asks again; Yes says farewell and falls back, and the port
    // can be used again when it returns.
    void hotPlug_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void hotPlug() {
        QFETCH(bool, yes);
        QVERIFY(startWatched({"--preset", "mixed"}));
        checkRead(false); // two pumps not fitted: learnt on the way
        const int readLines = int(loggedLines().size());
        DialogScript script({}, yes ? QMessageBox::Yes : QMessageBox::No);
        ports->clear();
        QTRY_COMPARE_WITH_TIMEOUT(script.answered(), 1, 5000);
        QCOMPARE(script.titles.value(0), "Disconnect from an KVXv2.");
        QCOMPARE(script.texts.value(0), "This operation will not update the KVXv2 with any "
                                        "configuration changes you may have made.  Are you sure "
                                        "you wish to proceed?");
        if (yes) {
            QTRY_VERIFY_WITH_TIMEOUT(ready(), 15000);
            QCOMPARE(loggedLines().value(readLines), "menu");
            QCOMPARE(w->ui->kvxComList->currentText(), "None");
            QVERIFY(!w->ui->kvxConnect->isEnabled());
        } else {
            QTest::qWait(300);
            QCOMPARE(w->linkStep, int(LinkIdle));
        }
        *ports = QStringList{path};
        if (yes) {
            QTRY_VERIFY_WITH_TIMEOUT(w->ui->kvxConnect->isEnabled(), 2000);
            QCOMPARE(w->ui->kvxComList->currentText(), path);
            w->KVXConnectButtonPressed();
        } else {
            QTest::qWait(100);
            w->KVXReadRTCPressed();
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        QCOMPARE(script.answered(), 1);
        QCOMPARE(loggedLines().size(), yes ? 2 * readLines + 1 : readLines + 1);
        QCOMPARE(loggedLines().last(), yes ? loggedLines().value(readLines - 1) : getLine(0x0010));
        if (!yes) {
            w->KVXDisconnectButtonPressed();
            QCOMPARE(script.answered(), 2);
        }
    }

    // A port opened at another speed or framing: the strict kvx-sim answers
    // junk, no prompt comes, the window gives the link up after its tries and
    // says why. kvx-sim saw what the window set. (A Linux pseudo-terminal
    // always reads 8 data bits and no parity, whatever the port asked for.)
    void wrongLineSettings_data() {
        QTest::addColumn<QStringList>("fields"); // what is spoilt (the row)|as kvx-sim logs it
        for (const char* row :
             {"9600 baud|9600/9600 baud, 8 data bits, parity none, 1 stop, flow none, raw yes",
              "2 stop bits|115200/115200 baud, 8 data bits, parity none, 2 stop, flow none, raw "
              "yes",
              "hardware flow control|115200/115200 baud, 8 data bits, parity none, 1 stop, flow "
              "hardware, raw yes"})
            packedRow(row);
    }
    void wrongLineSettings() {
        QFETCH(QStringList, fields);
        auto device = std::make_unique<MisconfiguredPort>();
        device->spoil = [what = QString(QTest::currentDataTag())](QSerialPort& port) {
            if (what == "9600 baud")
                port.setBaudRate(QSerialPort::Baud9600);
            else if (what == "2 stop bits")
                port.setStopBits(QSerialPort::TwoStop);
            else
                port.setFlowControl(QSerialPort::HardwareControl);
        };
        QVERIFY(start({"--preset", "minimal", "--strict-line"}, std::move(device)));
        QTRY_VERIFY_WITH_TIMEOUT(ready(), 15000);
        QCOMPARE(w->status->message(), QString("No prompt from the instrument on %1 after 4 tries: "
                                               "is it switched on and connected? Disconnected.")
                                           .arg(path));
        QVERIFY(!w->ui->kvxOutputBox->toPlainText().contains("cli>"));
        QVERIFY(loggedLines().isEmpty());
        const QList<QJsonObject> faults = logged("fault"), line = logged("line");
        QVERIFY(!faults.isEmpty());
        for (const QJsonObject& fault : faults)
            QCOMPARE(fault.value("fault").toString(), "wrong_line");
        QVERIFY(!line.isEmpty());
        QCOMPARE(lineText(line.first()), fields[0]);
        QVERIFY(!line.first().value("right").toBool());
    }

    // The port leaves the list during the read and the question stays open
    // 6 s: underneath it the window's timer keeps the link going until the
    // cable goes and the link resets on its own, and the list selects another
    // port. Yes afterwards starts no farewell, brings no second question and
    // leaves the status bar's word on the lost link as it was.
    void questionOpenWhileTheLinkDies() {
        QVERIFY(start({"--preset", "full", "--cable-pull-after", "30"}));
        QTRY_VERIFY_WITH_TIMEOUT(w->sessionState >= 200 && w->sessionState < 600, 20000);
        QElapsedTimer clock;
        clock.start();
        qint64 pulledAt = -1, readyAt = -1, answeredAt = -1;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (pulledAt < 0 && sim->state() == QProcess::NotRunning)
                pulledAt = clock.elapsed();
            if (readyAt < 0 && ready())
                readyAt = clock.elapsed();
        });
        probe.start(5);
        DialogScript script({QMessageBox::Yes});
        script.holdMs = 6000;
        QString lostMessage;
        script.beforeAnswer = [&](int) {
            answeredAt = clock.elapsed();
            lostMessage = w->status->message();
        };
        *ports = QStringList{"ttyOTHER"};
        QTRY_COMPARE_WITH_TIMEOUT(script.answered(), 1, 20000);
        QCOMPARE(script.titles.first(), QStringLiteral("Disconnect from an KVXv2."));
        QVERIFY2(pulledAt >= 0, "the link stood still while the question was open");
        QVERIFY(readyAt >= 0 && readyAt < answeredAt);
        QVERIFY2(readyAt - pulledAt <= 2500, qPrintable(QString::number(readyAt - pulledAt)));
        QTest::qWait(1500);
        QCOMPARE(script.answered(), 1);
        QVERIFY(ready() && !w->serialPort->isOpen());
        QCOMPARE(w->linkStep, LinkNone);
        QVERIFY2(lostMessage.contains(path), qPrintable(lostMessage));
        QCOMPARE(w->status->message(), lostMessage);
        QCOMPARE(loggedLines().size(), 30);
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e.moc"
