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

} // namespace

class InterlocksTest : public QObject {
    Q_OBJECT

private slots:
    // One row per case: name|setup|change|follows, '#' standing for the pump
    // or Alphasense position.
    void interlocks_data() {
        QTest::addColumn<QStringList>("fields");
        QString n = "#";
        const auto row = [&n](const char* fields) {
            const QStringList f = QString::fromUtf8(fields).replace('#', n).split('|');
            QTest::newRow(qPrintable(f[0])) << f.mid(1);
        };
        // Sampling start against the pumps' own start times.
        row("always power-on|specificTime;pumpADelayedStart;pumpADelayDays=2;"
            "pumpBSpecificDateTime|alwaysPowerOn|alwaysPowerOn=1;specificTime=0;-startDateTime;"
            "pumpADelayedStart=1;+pumpADelayDays;pumpADelayDays=2;pumpBSampleStart=1;"
            "pumpBSpecificDateTime=0;-pumpBDelayDays;"
            "-pump{A,B,C,D}{SpecificDateTime,StartDateTime}");
        row("next power-on|specificTime;pumpADelayedStart;pumpADelayDays=2;pumpBSpecificDateTime|"
            "nextPowerOn|nextPowerOn=1;specificTime=0;-startDateTime;pumpADelayedStart=1;"
            "+pumpADelayDays;pumpADelayDays=2;pumpBSampleStart=1;pumpBSpecificDateTime=0;"
            "-pumpBDelayDays;-pump{A,B,C,D}{SpecificDateTime,StartDateTime}");
        row("selected power-on again|pumpCSpecificDateTime|nextPowerOn|-startDateTime;"
            "pumpCSampleStart=1;pumpCSpecificDateTime=0;"
            "-pump{A,B,C,D}{SpecificDateTime,StartDateTime}");
        row("specific time|specificTime;pumpADelayedStart;pumpADelayDays=2;pumpBSpecificDateTime;"
            "alwaysPowerOn|specificTime|+startDateTime;specificTime=1;alwaysPowerOn=0;"
            "pumpBSampleStart=1;+pump{A,B,C,D}{SpecificDateTime,StartDateTime}");
        row("pumps outside the schedule|specificTime;pumpBSpecificDateTime;pumpCSpecificDateTime;"
            "-Tab_PumpB;-pumpCStart|alwaysPowerOn|alwaysPowerOn=1;specificTime=0;-startDateTime;"
            "-pump{A,D}{SpecificDateTime,StartDateTime}");
        // Each pump's start and duration choices against their fields.
        for (const QString p : {"A", "B", "C", "D"}) {
            n = p;
            row("# delayed start|pump#DelayDays=3|pump#DelayedStart|pump#DelayedStart=1;"
                "pump#SampleStart=0;-pump#StartDateTime;pump#DelayDays=3;"
                "+pump#Delay{Days,Hours,Minutes}");
            row("# sample start|pump#DelayedStart;pump#DelayDays=300|pump#SampleStart|"
                "pump#SampleStart=1;pump#DelayedStart=0;-pump#StartDateTime;pump#DelayDays=300;"
                "-pump#Delay{Days,Hours,Minutes}");
            row("# specific start|specificTime;pump#DelayedStart|pump#SpecificDateTime|"
                "pump#SpecificDateTime=1;pump#DelayedStart=0;+pump#StartDateTime;"
                "-pump#Delay{Days,Hours,Minutes}");
            row("# shorter than sample|pump#FullSample|pump#PartialSample|pump#PartialSample=1;"
                "pump#FullSample=0;+pump#Duration{Days,Hours,Minutes}");
            row("# full sample|pump#PartialSample;pump#DurationDays=3|pump#FullSample|"
                "pump#FullSample=1;pump#PartialSample=0;pump#DurationDays=3;"
                "-pump#Duration{Days,Hours,Minutes}");
        }
        // Sensor modes select and clear their logging.
        row("SGP41 on||sgp41Mode|{sgp41Mode,gasLogSGP41RawVOC,gasLogSGP41RawNOX}=1");
        row("SGP41 off|sgp41Mode;gasLogSGP41RawNOX|sgp41Mode|"
            "{sgp41Mode,gasLogSGP41RawVOC,gasLogSGP41RawNOX}=0");
        row("SFA30 on||sfa30Mode|{sfa30Mode,gasLogSFA30Formald,gasLogSFA30RH,gasLogSFA30T}=1");
        row("SFA30 off|sfa30Mode;gasLogSFA30T|sfa30Mode|"
            "{sfa30Mode,gasLogSFA30Formald,gasLogSFA30RH,gasLogSFA30T}=0");
        row("SCD30 on||scd30Mode|{scd30Mode,gasLogSCD30CO2,gasLogSCD30T,gasLogSCD30RH}=1");
        row("SCD30 off|scd30Mode;gasLogSCD30RH|scd30Mode|"
            "{scd30Mode,gasLogSCD30CO2,gasLogSCD30T,gasLogSCD30RH}=0");
        row("Figaro on||figaroMode|figaroMode=1;figaroLog{Gain1,Output,Reference,Offset}=1");
        row("Figaro off|figaroMode;figaroLogOffset|figaroMode|figaroMode=0;"
            "figaroLog{Gain1,Output,Reference,Offset}=0");
        for (const QString p : {"1", "2", "3", "4"}) {
            n = p;
            row("Alphasense # on, Gas page||as#Mode|as#Mode=1;gasLogAS#Raw=1");
            row("Alphasense # off, Gas page|as#Mode;gasLogAS#Raw|as#Mode|as#Mode=0;gasLogAS#Raw=0");
        }
        // An Alphasense position's mode switches its partner along, only one fitted.
        row("Alphasense on, partner on|partner3=1;alphasenseLogAS3Algorithm2|as3Mode_3|"
            "as3Mode_3=1;alphasenseLogAS3{Raw,Algorithm2}=1;as1Mode_3=1");
        row("Alphasense on, partner absent|partner4=2;-as2_3|as4Mode_3|as4Mode_3=1;"
            "alphasenseLogAS4Raw=1");
        row("Alphasense on, partner 4|partner2=4|as2Mode_3|as2Mode_3=1;alphasenseLogAS2Raw=1;"
            "as4Mode_3=1");
        row("Alphasense on, partners 0 and 5|partner1=0;partner3=5|as1Mode_3;as3Mode_3|"
            "as{1,3}Mode_3=1;alphasenseLogAS{1,3}Raw=1");
        row("Alphasense off|partner1=2;as1Mode_3;alphasenseLogAS1Algorithm{4,1}|as1Mode_3|"
            "as1Mode_3=0;alphasenseLogAS1{Raw,Algorithm4,Algorithm1}=0");
        row("Alphasense off, Gas page|as2Mode;as2Mode_3|as2Mode|as2Mode=0;gasLogAS2Raw=0");
        // The SEN55 mode also follows a change made by code.
        row("SEN55 RH/T/Gas/PMS||sen55Mode=RH/T/Gas/PMS|mainLogSEN55_PM{1_0,2_5,4_0,10}=1;"
            "mainLog{VSEN55RH,SEN55T,SEN55RawVOC,SEN55RawNOx}=1");
        row("SEN55 RH/T/Gas|sen55Mode=RH/T/Gas/PMS|sen55Mode=RH/T/Gas|"
            "mainLogSEN55_PM{1_0,2_5,4_0,10}=0;mainLog{VSEN55RH,SEN55T,SEN55RawVOC,SEN55RawNOx}=1");
        row("SEN55 idle|sen55Mode=RH/T/Gas|sen55Mode=Idle|mainLogSEN55_PM{1_0,2_5,4_0,10}=0;"
            "mainLog{VSEN55RH,SEN55T,SEN55RawVOC,SEN55RawNOx}=0");
        // Pumps C and D share five logging boxes and keep their own.
        row("C's shared boxes on||pumpCLog{VSUPPLY,3V3,BMP390P,BMP390T,Atmo,RDAC}|"
            "pumpCLog{VSUPPLY,3V3,BMP390P,BMP390T,Atmo,RDAC}=1;"
            "pumpDLog{VSUPPLY,3V3,BMP390P,BMP390T,Atmo}=1");
        row("D's shared boxes off|pumpCLog{VSUPPLY,3V3,BMP390P,BMP390T,Atmo}|"
            "pumpDLog{VSUPPLY,3V3,BMP390P,BMP390T,Atmo,FlowM}|"
            "pump{C,D}Log{VSUPPLY,3V3,BMP390P,BMP390T,Atmo}=0;pumpDLogFlowM=1");
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
