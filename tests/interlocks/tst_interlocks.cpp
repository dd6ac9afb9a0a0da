// The form interlocks, driven by the operator's clicks on a window with every
// board page fitted: each row sets the form up, makes one change and names the
// widgets that must follow; every other widget must stay as it was.
#include "tests/boards/FormTokens.h"
#include "tests/support/SimRig.h"

using namespace kvx::test;

namespace {

// Check state, enabled state (own and effective) and value of every control.
QMap<QString, QString> snapshot(const QWidget& root) {
    QMap<QString, QString> states;
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSpinBox*>(w))
            states[w->objectName()] = QStringLiteral("%1 %2 %3")
                                          .arg(w->isEnabled())
                                          .arg(w->testAttribute(Qt::WA_ForceDisabled))
                                          .arg(valueOf(w));
    }
    return states;
}

// Each name of "a;b;..." as a token, `before` + name + `after`.
QString tokens(const QString& names, const QString& before, const QString& after = {}) {
    QString out;
    for (const QString& name : names.split(';', Qt::SkipEmptyParts))
        out += before + name + after + ';';
    return out;
}

} // namespace

class InterlocksTest : public QObject {
    Q_OBJECT

private slots:
    // One row per case: name|setup|change|follows, '#' standing for the pump.
    void interlocks_data() {
        QTest::addColumn<QStringList>("fields");
        QString pump = "#";
        const auto row = [&pump](const QString& fields) {
            const QStringList f = QString(fields).replace('#', pump).split('|');
            QTest::newRow(qPrintable(f[0])) << f.mid(1);
        };
        // Sampling start against the pumps' own start times.
        const auto dates = [](const char* pumps, const QString& op) {
            return tokens(pumps, op + "pump", "SpecificDateTime") +
                   tokens(pumps, op + "pump", "StartDateTime");
        };
        const QString mixed =
            "specificTime;pumpADelayedStart;pumpADelayDays=2;pumpBSpecificDateTime;";
        const QString powerOn =
            "-startDateTime;pumpADelayedStart=1;+pumpADelayDays;pumpADelayDays=2;"
            "pumpBSampleStart=1;pumpBSpecificDateTime=0;-pumpBDelayDays;specificTime=0;" +
            dates("A;B;C;D", "-");
        row("always power-on|" + mixed + "|alwaysPowerOn|" + powerOn + "alwaysPowerOn=1");
        row("next power-on|" + mixed + "|nextPowerOn|" + powerOn + "nextPowerOn=1");
        row("selected power-on again|pumpCSpecificDateTime|nextPowerOn|-startDateTime;"
            "pumpCSampleStart=1;pumpCSpecificDateTime=0;" +
            dates("A;B;C;D", "-"));
        row("specific time|" + mixed +
            "alwaysPowerOn|specificTime|+startDateTime;specificTime=1;"
            "alwaysPowerOn=0;pumpBSampleStart=1;" +
            dates("A;B;C;D", "+"));
        row("pumps outside the schedule|specificTime;pumpBSpecificDateTime;pumpCSpecificDateTime;"
            "-Tab_PumpB;-pumpCStart|alwaysPowerOn|alwaysPowerOn=1;specificTime=0;-startDateTime;" +
            dates("A;D", "-"));
        // Each pump's start and duration choices against their fields.
        for (const QString p : {"A", "B", "C", "D"}) {
            pump = p;
            row("# delayed start|pump#DelayDays=3|pump#DelayedStart|pump#DelayedStart=1;"
                "pump#SampleStart=0;-pump#StartDateTime;pump#DelayDays=3;+pump#DelayDays;"
                "+pump#DelayHours;+pump#DelayMinutes");
            row("# sample start|pump#DelayedStart;pump#DelayDays=300|pump#SampleStart|"
                "pump#SampleStart=1;pump#DelayedStart=0;-pump#StartDateTime;pump#DelayDays=300;"
                "-pump#DelayDays;-pump#DelayHours;-pump#DelayMinutes");
            row("# specific start|specificTime;pump#DelayedStart|pump#SpecificDateTime|"
                "pump#SpecificDateTime=1;pump#DelayedStart=0;+pump#StartDateTime;-pump#DelayDays;"
                "-pump#DelayHours;-pump#DelayMinutes");
            row("# shorter than sample|pump#FullSample|pump#PartialSample|pump#PartialSample=1;"
                "pump#FullSample=0;+pump#DurationDays;+pump#DurationHours;+pump#DurationMinutes");
            row("# full sample|pump#PartialSample;pump#DurationDays=3|pump#FullSample|"
                "pump#FullSample=1;pump#PartialSample=0;pump#DurationDays=3;-pump#DurationDays;"
                "-pump#DurationHours;-pump#DurationMinutes");
        }
        // Sensor modes select and clear their logging.
        for (const QString sensor :
             {"sgp41Mode;gasLogSGP41RawVOC;gasLogSGP41RawNOX",
              "sfa30Mode;gasLogSFA30Formald;gasLogSFA30RH;gasLogSFA30T",
              "scd30Mode;gasLogSCD30CO2;gasLogSCD30T;gasLogSCD30RH",
              "figaroMode;figaroLogGain1;figaroLogOutput;figaroLogReference;figaroLogOffset",
              "as1Mode;gasLogAS1Raw", "as2Mode;gasLogAS2Raw", "as3Mode;gasLogAS3Raw",
              "as4Mode;gasLogAS4Raw"}) {
            const QString mode = sensor.section(';', 0, 0);
            row(mode + " on||" + mode + '|' + tokens(sensor, "", "=1"));
            row(mode + " off|" + mode + ';' + sensor.section(';', -1) + '|' + mode + '|' +
                tokens(sensor, "", "=0"));
        }
        // An Alphasense position's mode switches its partner along, only one fitted.
        row("Alphasense on, partner on|partner3=1;alphasenseLogAS3Algorithm2|as3Mode_3|"
            "as3Mode_3=1;alphasenseLogAS3Raw=1;alphasenseLogAS3Algorithm2=1;as1Mode_3=1");
        row("Alphasense on, partner absent|partner4=2;-as2_3|as4Mode_3|as4Mode_3=1;"
            "alphasenseLogAS4Raw=1");
        row("Alphasense on, partner 4|partner2=4|as2Mode_3|as2Mode_3=1;alphasenseLogAS2Raw=1;"
            "as4Mode_3=1");
        row("Alphasense on, partners 0 and 5|partner1=0;partner3=5|as1Mode_3;as3Mode_3|"
            "as1Mode_3=1;alphasenseLogAS1Raw=1;as3Mode_3=1;alphasenseLogAS3Raw=1");
        row("Alphasense off|partner1=2;as1Mode_3;alphasenseLogAS1Algorithm4;"
            "alphasenseLogAS1Algorithm1|as1Mode_3|as1Mode_3=0;alphasenseLogAS1Raw=0;"
            "alphasenseLogAS1Algorithm4=0;alphasenseLogAS1Algorithm1=0");
        row("Alphasense off, Gas page|as2Mode;as2Mode_3|as2Mode|as2Mode=0;gasLogAS2Raw=0");
        // The SEN55 mode also follows a change made by code.
        const QString
            pm = "mainLogSEN55_PM1_0;mainLogSEN55_PM2_5;mainLogSEN55_PM4_0;mainLogSEN55_PM10",
            gas = "mainLogVSEN55RH;mainLogSEN55T;mainLogSEN55RawVOC;mainLogSEN55RawNOx";
        row("SEN55 RH/T/Gas/PMS||sen55Mode=RH/T/Gas/PMS|" + tokens(pm + ';' + gas, "", "=1"));
        row("SEN55 RH/T/Gas|sen55Mode=RH/T/Gas/PMS|sen55Mode=RH/T/Gas|" + tokens(pm, "", "=0") +
            tokens(gas, "", "=1"));
        row("SEN55 idle|sen55Mode=RH/T/Gas|sen55Mode=Idle|" + tokens(pm + ';' + gas, "", "=0"));
        // Pumps C and D share five logging boxes and keep their own.
        const QString
            c = "pumpCLogVSUPPLY;pumpCLog3V3;pumpCLogBMP390P;pumpCLogBMP390T;pumpCLogAtmo",
            d = QString(c).replace('C', 'D');
        row("C's shared boxes on||" + c + ";pumpCLogRDAC|" +
            tokens(c + ';' + d + ";pumpCLogRDAC", "", "=1"));
        row("D's shared boxes off|" + c + '|' + d + ";pumpDLogFlowM|" +
            tokens(c + ';' + d, "", "=0") + "pumpDLogFlowM=1");
    }

    void interlocks() {
        QFETCH(QStringList, fields);
        const QString &setup = fields[0], &change = fields[1], &follows = fields[2];
        SimRig rig(QStringLiteral("minimal"));
        KVX_Configurator& w = rig.w();
        for (QWidget* page : w.findChildren<QWidget*>(QRegularExpression("^Tab_")))
            page->setEnabled(true); // every board fitted
        const Special partners = [&w](const QString& name, const QString& value) {
            if (name.startsWith("partner"))
                w.alphasensePartners[name.mid(7).toInt() - 1] = value.toInt();
            return name.startsWith("partner");
        };
        applyTokens(w, setup, partners);
        QMap<QString, QString> rest = snapshot(w);
        applyTokens(w, change);
        verifyTokens(w, follows);
        QMap<QString, QString> after = snapshot(w);
        forEachToken(change + ';' + follows, [&](const QString& name, QChar, const QString&) {
            rest.remove(name);
            after.remove(name);
        });
        QCOMPARE(after, rest);
    }
};

QTEST_MAIN(InterlocksTest)
#include "tst_interlocks.moc"
