// The sampling start choice against the pumps' specific start times, and each
// pump's start and duration choices against their fields.
#include "FormDriver.h"

using namespace kvx::test;

namespace {

// One pump's schedule widgets, looked up by object name.
struct Pump {
    Pump(const Form& form, QChar letter) : form(form), prefix(QString("pump") + letter) {}
    QRadioButton* radio(const char* name) const { return form.find<QRadioButton>(prefix + name); }
    QSpinBox* spin(const char* name) const { return form.find<QSpinBox>(prefix + name); }
    QRadioButton* sampleStart() const { return radio("SampleStart"); }
    QRadioButton* delayedStart() const { return radio("DelayedStart"); }
    QRadioButton* specific() const { return radio("SpecificDateTime"); }
    QRadioButton* fullSample() const { return radio("FullSample"); }
    QRadioButton* partialSample() const { return radio("PartialSample"); }
    QDateTimeEdit* editor() const { return form.find<QDateTimeEdit>(prefix + "StartDateTime"); }
    QList<QSpinBox*> delay() const {
        return {spin("DelayDays"), spin("DelayHours"), spin("DelayMinutes")};
    }
    QList<QSpinBox*> duration() const {
        return {spin("DurationDays"), spin("DurationHours"), spin("DurationMinutes")};
    }
    QWidget* page() const { return form.find<QWidget>(QString("Tab_P") + prefix.mid(1)); }

    const Form& form;
    QString prefix;
};

bool allEnabled(const QList<QSpinBox*>& fields, bool enabled) {
    for (const QSpinBox* field : fields)
        if (field->isEnabled() != enabled)
            return false;
    return true;
}

QList<int> values(const QList<QSpinBox*>& fields) {
    QList<int> out;
    for (const QSpinBox* field : fields)
        out << field->value();
    return out;
}

void setValues(const QList<QSpinBox*>& fields, const QList<int>& v) {
    for (int i = 0; i < fields.size(); ++i)
        fields[i]->setValue(v[i]);
}

} // namespace

class ScheduleInterlocksTest : public QObject {
    Q_OBJECT

private slots:
    // Pump A waits on a delay, Pump B on its own date; C and D start with the
    // sample. A power-on start withdraws every specific choice, B falls back
    // to the sample start, and A keeps its delay. Going back to a specific
    // sample start offers the choice again without changing any selection.
    void powerOnStartWithdrawsPumpSpecificTimes_data() {
        QTest::addColumn<QString>("powerOn");
        QTest::newRow("always") << "alwaysPowerOn";
        QTest::newRow("once") << "nextPowerOn";
    }
    void powerOnStartWithdrawsPumpSpecificTimes() {
        QFETCH(QString, powerOn);
        Form form;
        form.fit(form.ui.Tab_Main);
        const Pump a(form, 'A'), b(form, 'B'), c(form, 'C'), d(form, 'D');
        for (const Pump* p : {&a, &b, &c, &d})
            form.fit(p->page());

        form.click(form.ui.specificTime);
        QVERIFY(form.ui.startDateTime->isEnabled());

        form.click(a.delayedStart());
        setValues(a.delay(), {2, 3, 4});
        form.click(b.delayedStart());
        setValues(b.delay(), {5, 6, 7});
        form.click(b.specific());
        QVERIFY(allEnabled(b.delay(), false));
        form.click(b.partialSample());
        const QDateTime bStart(QDate(2031, 5, 6), QTime(7, 8), Qt::UTC);
        b.editor()->setDateTime(bStart);

        // Pump B falls back by code: its own "At Sample Start" slot does not run.
        QSignalSpy bFallback(b.sampleStart(), &QAbstractButton::clicked);
        form.click(form.find<QRadioButton>(powerOn));
        QCOMPARE(bFallback.count(), 0);
        QVERIFY(!form.ui.startDateTime->isEnabled());
        for (const Pump* p : {&a, &b, &c, &d}) {
            QVERIFY2(!p->specific()->isChecked(), qPrintable(p->prefix));
            QVERIFY2(!p->specific()->isEnabled(), qPrintable(p->prefix));
            QVERIFY2(!p->editor()->isEnabled(), qPrintable(p->prefix));
        }
        QVERIFY(a.delayedStart()->isChecked());
        QVERIFY(allEnabled(a.delay(), true));
        QCOMPARE(values(a.delay()), QList<int>({2, 3, 4}));
        QVERIFY(b.sampleStart()->isChecked());
        QVERIFY(allEnabled(b.delay(), false));
        QCOMPARE(values(b.delay()), QList<int>({5, 6, 7}));
        QCOMPARE(b.editor()->dateTime(), bStart);
        // The duration choice is another group.
        QVERIFY(b.partialSample()->isChecked());
        QVERIFY(allEnabled(b.duration(), true));
        QVERIFY(c.sampleStart()->isChecked());

        form.click(form.ui.specificTime);
        QVERIFY(form.ui.startDateTime->isEnabled());
        for (const Pump* p : {&a, &b, &c, &d}) {
            QVERIFY2(p->specific()->isEnabled(), qPrintable(p->prefix));
            QVERIFY2(p->editor()->isEnabled(), qPrintable(p->prefix));
            QVERIFY2(!p->specific()->isChecked(), qPrintable(p->prefix));
        }
        QVERIFY(a.delayedStart()->isChecked());
        QVERIFY(allEnabled(a.delay(), true));
        QVERIFY(b.sampleStart()->isChecked());
        QVERIFY(allEnabled(b.delay(), false));

        // The specific choice is selectable again.
        form.click(b.specific());
        QVERIFY(b.specific()->isChecked());
    }

    // "Once Next Power-On" is selected at start-up; clicking it again still
    // applies the power-on rule to a pump set to its own date.
    void clickingTheSelectedPowerOnButtonRepeatsItsEffect() {
        Form form;
        form.fit(form.ui.Tab_Main);
        const Pump c(form, 'C');
        form.fit(c.page());
        QVERIFY(form.ui.nextPowerOn->isChecked());
        form.click(c.specific());
        QVERIFY(c.editor()->isEnabled());

        form.click(form.ui.nextPowerOn);
        QVERIFY(form.ui.nextPowerOn->isChecked());
        QVERIFY(!form.ui.startDateTime->isEnabled());
        QVERIFY(c.sampleStart()->isChecked());
        QVERIFY(!c.specific()->isEnabled());
        QVERIFY(!c.editor()->isEnabled());
    }

    // Pump B's board is absent, Pump D's too; Pump C's board is fitted but
    // its firmware offers no schedule (start group disabled). Only Pump A
    // follows the sampling start; the others keep every state as it was.
    void pumpsOutsideTheScheduleAreLeftAlone() {
        Form form;
        form.fit(form.ui.Tab_Main);
        const Pump a(form, 'A'), b(form, 'B'), c(form, 'C'), d(form, 'D');
        form.fit(a.page());
        form.fit(c.page());
        form.ui.pumpCStart->setEnabled(false);
        b.specific()->setChecked(true);
        c.specific()->setChecked(true);
        d.editor()->setEnabled(false);
        d.specific()->setEnabled(false);

        const QList<const Pump*> unscheduled = {&b, &c, &d};
        QMap<QString, QMap<QString, QString>> before;
        for (const Pump* p : unscheduled)
            before[p->prefix] = Form::snapshot(p->page());

        form.click(form.ui.alwaysPowerOn);
        QVERIFY(!a.specific()->isEnabled());
        for (const Pump* p : unscheduled)
            QCOMPARE(Form::snapshot(p->page()), before[p->prefix]);

        form.click(form.ui.specificTime);
        QVERIFY(a.specific()->isEnabled());
        for (const Pump* p : unscheduled)
            QCOMPARE(Form::snapshot(p->page()), before[p->prefix]);
    }

    // Each start option enables exactly its own fields and each duration
    // option its own; the values stay, the captions and the other pumps'
    // pages do not change.
    void pumpStartAndDurationChoices_data() {
        QTest::addColumn<QChar>("letter");
        QTest::newRow("A") << QChar('A');
        QTest::newRow("B") << QChar('B');
        QTest::newRow("C") << QChar('C');
        QTest::newRow("D") << QChar('D');
    }
    void pumpStartAndDurationChoices() {
        QFETCH(QChar, letter);
        Form form;
        const Pump pump(form, letter);
        QList<QWidget*> others;
        for (QChar l : {'A', 'B', 'C', 'D'}) {
            form.fit(Pump(form, l).page());
            if (l != letter)
                others << Pump(form, l).page();
        }
        QMap<QString, QString> othersBefore;
        for (QWidget* page : others)
            othersBefore.insert(Form::snapshot(page));
        const auto labels = pump.page()->findChildren<QLabel*>();

        form.click(pump.delayedStart());
        QVERIFY(pump.delayedStart()->isChecked());
        QVERIFY(allEnabled(pump.delay(), true));
        QVERIFY(!pump.editor()->isEnabled());
        setValues(pump.delay(), {300, 23, 59});
        QVERIFY(pump.fullSample()->isChecked());
        QVERIFY(allEnabled(pump.duration(), true)); // untouched start-up state

        form.click(pump.sampleStart());
        QVERIFY(pump.sampleStart()->isChecked());
        QVERIFY(allEnabled(pump.delay(), false));
        QVERIFY(!pump.editor()->isEnabled());
        QCOMPARE(values(pump.delay()), QList<int>({300, 23, 59}));

        form.click(pump.specific());
        QVERIFY(pump.specific()->isChecked());
        QVERIFY(allEnabled(pump.delay(), false));
        QVERIFY(pump.editor()->isEnabled());

        form.click(pump.fullSample());
        QVERIFY(allEnabled(pump.duration(), false));
        form.click(pump.partialSample());
        QVERIFY(pump.partialSample()->isChecked());
        QVERIFY(allEnabled(pump.duration(), true));
        setValues(pump.duration(), {1, 2, 3});
        QVERIFY(pump.specific()->isChecked()); // the start group is another choice
        QVERIFY(pump.editor()->isEnabled());
        form.click(pump.fullSample());
        QVERIFY(pump.fullSample()->isChecked());
        QVERIFY(allEnabled(pump.duration(), false));
        QCOMPARE(values(pump.duration()), QList<int>({1, 2, 3}));

        for (const QLabel* label : labels)
            QVERIFY2(label->isEnabled(), qPrintable(label->objectName()));
        QMap<QString, QString> othersAfter;
        for (QWidget* page : others)
            othersAfter.insert(Form::snapshot(page));
        QCOMPARE(othersAfter, othersBefore);
    }
};

QTEST_MAIN(ScheduleInterlocksTest)
#include "tst_schedule_interlocks.moc"
