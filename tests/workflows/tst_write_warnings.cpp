// The questions before a write: the confirmation, the four schedule warnings
// with their comparisons and their order, and what each answer leaves behind.
#include "WorkflowRig.h"
#include "image/boards/PumpWidgets.h"
#include "workflows/WriteWorkflow.h"

#include <QtTest>

using namespace kvx::test;
using kvx::Pump;

namespace {

const QString kConfirmTitle = QStringLiteral("Write configuration data to the KVXv2.");
const QString kInPast = QStringLiteral("Start Date and Time In Past");

QString early(char p) {
    return QStringLiteral("Pump %1 Start Date/Time Early").arg(p);
}
QString late(char p) {
    return QStringLiteral("Pump %1 Start Date/Time Late").arg(p);
}
QString delay(char p) {
    return QStringLiteral("Pump %1 Delay Longer Than Sample Duration").arg(p);
}

const QDateTime kStart(QDate(2025, 4, 1), QTime(8, 0), Qt::UTC);

} // namespace

class WriteWarningsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WorkflowRig> r;

    Ui_KVX_Configurator& ui() { return *r->w->ui; }
    kvx::PumpWidgets pump(Pump p) { return kvx::pumpWidgets(ui(), p); }

    void setNow(const QDateTime& t) { *r->rig.clock.ms = t.toMSecsSinceEpoch(); }

    void sampleAt(const QDateTime& start, int days, int hours, int minutes) {
        ui().specificTime->setChecked(true);
        ui().startDateTime->setDateTime(start);
        ui().durationDays->setValue(days);
        ui().durationHours->setValue(hours);
        ui().durationMinutes->setValue(minutes);
    }
    void pumpAt(Pump p, const QDateTime& start) {
        pump(p).specificDateTime->setChecked(true);
        pump(p).startDateTime->setDateTime(start);
    }
    void pumpDelayed(Pump p, int days, int hours, int minutes) {
        pump(p).delayedStart->setChecked(true);
        pump(p).delayDays->setValue(days);
        pump(p).delayHours->setValue(hours);
        pump(p).delayMinutes->setValue(minutes);
    }

    QStringList titlesAt(const QDateTime& now) {
        QStringList out;
        for (const kvx::WriteWarning& warning : kvx::scheduleWarnings(ui(), now))
            out << warning.title;
        return out;
    }

    // Presses Write with the given answers; returns the boxes seen.
    QStringList pressWrite(QList<QMessageBox::StandardButton> answers) {
        DialogScript script(std::move(answers));
        r->w->KVXWriteButtonPressed();
        return script.titles;
    }

private slots:
    void init() {
        r = std::make_unique<WorkflowRig>();
        QVERIFY(r->connect(BoardSet(), 5));
        setNow(kStart.addDays(-1));
    }
    void cleanup() { r.reset(); }

    void startEqualToNowCountsAsPast() {
        sampleAt(kStart, 1, 0, 0);
        QCOMPARE(titlesAt(kStart.addSecs(-1)), QStringList());
        QCOMPARE(titlesAt(kStart), QStringList{kInPast});
        QCOMPARE(titlesAt(kStart.addSecs(3600)), QStringList{kInPast});
    }

    void pumpStartAgainstTheSampleWindow() {
        // Stop = start + 1 day 2 hours 3 minutes.
        sampleAt(kStart, 1, 2, 3);
        const QDateTime stop = kStart.addDays(1).addSecs(2 * 3600 + 3 * 60);
        const QDateTime now = kStart.addDays(-1);

        pumpAt(Pump::A, kStart);
        QCOMPARE(titlesAt(now), QStringList());
        pumpAt(Pump::A, kStart.addSecs(-60));
        QCOMPARE(titlesAt(now), QStringList{early('A')});
        pumpAt(Pump::A, stop.addSecs(-60));
        QCOMPARE(titlesAt(now), QStringList());
        pumpAt(Pump::A, stop);
        QCOMPARE(titlesAt(now), QStringList{late('A')});
        // With no duration the sample stops as it starts: a pump starting
        // then is not early, but late.
        ui().durationDays->setValue(0);
        ui().durationHours->setValue(0);
        ui().durationMinutes->setValue(0);
        pumpAt(Pump::A, kStart);
        QCOMPARE(titlesAt(now), QStringList{late('A')});
    }

    void delayAgainstTheSampleDuration() {
        sampleAt(kStart, 1, 0, 30);
        pumpDelayed(Pump::B, 1, 0, 29);
        QCOMPARE(titlesAt(kStart.addDays(-1)), QStringList());
        pumpDelayed(Pump::B, 1, 0, 30);
        QCOMPARE(titlesAt(kStart.addDays(-1)), QStringList{delay('B')});
        pumpDelayed(Pump::B, 0, 23, 59);
        ui().durationDays->setValue(0);
        ui().durationHours->setValue(23);
        ui().durationMinutes->setValue(59);
        QCOMPARE(titlesAt(kStart.addDays(-1)), QStringList{delay('B')});
    }

    void zeroDurationWarnsEveryDelayedPump() {
        sampleAt(kStart, 0, 0, 0);
        for (Pump p : kvx::kAllPumps)
            pumpDelayed(p, 0, 0, 0);
        QCOMPARE(titlesAt(kStart.addDays(-1)),
                 (QStringList{delay('A'), delay('B'), delay('C'), delay('D')}));
        // A pump that starts with the sample is not delayed.
        pump(Pump::C).sampleStart->setChecked(true);
        QCOMPARE(titlesAt(kStart.addDays(-1)), (QStringList{delay('A'), delay('B'), delay('D')}));
    }

    void powerOnStartSkipsTheDateChecks() {
        sampleAt(kStart, 0, 1, 0);
        pumpAt(Pump::A, kStart.addDays(-10));
        pumpAt(Pump::B, kStart.addDays(10));
        pumpDelayed(Pump::C, 0, 2, 0);
        const QDateTime afterStart = kStart.addDays(1);
        QCOMPARE(titlesAt(afterStart), (QStringList{kInPast, early('A'), late('B'), delay('C')}));
        ui().nextPowerOn->setChecked(true);
        QCOMPARE(titlesAt(afterStart), QStringList{delay('C')});
        ui().alwaysPowerOn->setChecked(true);
        QCOMPARE(titlesAt(afterStart), QStringList{delay('C')});
    }

    void unscheduledPumpsAreNeverChecked() {
        sampleAt(kStart, 0, 1, 0);
        for (Pump p : kvx::kAllPumps)
            pumpDelayed(p, 0, 5, 0);
        pumpAt(Pump::A, kStart.addDays(-1));
        pump(Pump::A).start->setEnabled(false); // start group disabled
        ui().Tab_PumpC->setEnabled(false);      // board page disabled
        pump(Pump::D).start->setEnabled(false);
        QCOMPARE(titlesAt(kStart.addDays(-1)), QStringList{delay('B')});
    }

    void warningsComeInOrderWithTheirTexts() {
        sampleAt(kStart, 1, 0, 0);
        pumpDelayed(Pump::A, 2, 0, 0);
        pumpAt(Pump::B, kStart.addSecs(-1));
        pumpAt(Pump::C, kStart.addDays(2));
        pumpDelayed(Pump::D, 1, 0, 0);
        const QList<kvx::WriteWarning> warnings = kvx::scheduleWarnings(ui(), kStart);
        QStringList titles;
        for (const kvx::WriteWarning& warning : warnings)
            titles << warning.title;
        QCOMPARE(titles, (QStringList{kInPast, early('B'), late('C'), delay('A'), delay('D')}));
        QCOMPARE(warnings[0].text,
                 QStringLiteral("You are specifying that the sampling starts on a specific UTC "
                                "date and time, which is earlier than the computer clock.  Are "
                                "you sure you wish to proceed?"));
        QCOMPARE(warnings[1].text,
                 QStringLiteral("You are specifying that Pump B starts at a specific UTC "
                                "date/time that is earlier than the sample starting UTC "
                                "date/time.  Are you sure you wish to proceed?"));
        QCOMPARE(warnings[2].text,
                 QStringLiteral("You are specifying that Pump C starts at a specific UTC "
                                "date/time that is later than when the sample will stop.  Are "
                                "you sure you wish to proceed?"));
        QCOMPARE(warnings[4].text,
                 QStringLiteral("You are specifying that the starting delay for Pump D is "
                                "longer than the total sample duration.  Are you sure you wish "
                                "to proceed?"));
    }

    // ---- through the Write button ----

    void confirmationNoChangesNothing() {
        const QStringList seen = pressWrite({QMessageBox::No});
        QCOMPARE(seen, QStringList{kConfirmTitle});
        QCOMPARE(r->w->sessionState, 0);
        QVERIFY(ui().kvxWrite->isEnabled());
        QVERIFY(ui().startPumpA->isEnabled());
        r->tick(20);
        QVERIFY(r->log.isEmpty());
    }

    void noAtTheThirdOfThreeLeavesTheInstrumentUntouched() {
        sampleAt(kStart, 0, 1, 0);
        pumpAt(Pump::A, kStart.addDays(-1));
        pumpDelayed(Pump::B, 0, 2, 0);
        setNow(kStart.addDays(1));
        const QStringList seen =
            pressWrite({QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes, QMessageBox::No});
        QCOMPARE(seen, (QStringList{kConfirmTitle, kInPast, early('A'), delay('B')}));
        QCOMPARE(r->w->sessionState, 0);
        for (QPushButton* b : {ui().kvxWrite, ui().kvxRead, ui().setRTC, ui().readRTC,
                               ui().scd30CalButton, ui().startPumpA, ui().startPumpD})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        r->tick(50);
        QVERIFY(r->log.isEmpty());
    }

    void yesToEveryWarningWritesAsWithoutWarnings() {
        sampleAt(kStart, 2, 0, 0);
        pumpDelayed(Pump::A, 3, 0, 0);
        ui().sampleID->setText(QStringLiteral("warned"));

        // Now after the start: the start and the delay are warned about.
        setNow(kStart.addSecs(60));
        QCOMPARE(pressWrite({QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes}),
                 (QStringList{kConfirmTitle, kInPast, delay('A')}));
        QVERIFY(r->finish());
        const QList<Exchange> warned = r->log;

        // The same form without the warnings: a clock before the start and a
        // delay within the sample.
        r->log.clear();
        setNow(kStart.addDays(-1));
        pumpDelayed(Pump::A, 1, 0, 0);
        QCOMPARE(pressWrite({QMessageBox::Yes}), QStringList{kConfirmTitle});
        QVERIFY(r->finish());
        QCOMPARE(r->log.size(), warned.size());
        for (int i = 0; i < warned.size(); ++i) {
            QCOMPARE(r->log[i].word, warned[i].word);
            // Only the delay itself differs between the two forms.
            if (warned[i].word != 0x8062)
                QCOMPARE(r->log[i].record, warned[i].record);
        }
        QVERIFY(!warned.isEmpty());
    }

    void aLinkResetDuringTheQuestionsStartsNoWrite() {
        DialogScript script({QMessageBox::Yes});
        script.beforeAnswer = [this](int) { r->w->resetLink(); };
        r->w->KVXWriteButtonPressed();
        QCOMPARE(script.answered(), 1);
        QCOMPARE(r->w->sessionState, 1);
        r->tick(10);
        QVERIFY(r->log.isEmpty());
    }
};

QTEST_MAIN(WriteWarningsTest)
#include "tst_write_warnings.moc"
