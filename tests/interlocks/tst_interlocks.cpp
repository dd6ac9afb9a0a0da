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
    // One row per case: name|setup|change|follows, '#' standing for the pump,
    // Alphasense position, start choice or sensor mode, '$' for a sensor's boxes.
    void interlocks_data() {
        QTest::addColumn<QStringList>("fields");
        QString n = "#", boxes;
        const auto row = [&](const char* fields) {
            const QStringList f =
                QString::fromUtf8(fields).replace('#', n).replace('$', boxes).split('|');
            QTest::newRow(qPrintable(f[0])) << f.mid(1);
        };
        // Sampling start against the pumps' own start times.
        for (const QString start : {"alwaysPowerOn", "nextPowerOn"}) {
            n = start;
            row("#|specificTime;pumpADelayedStart;pumpADelayDays=2;pumpBSpecificDateTime|#|#=1;"
                "specificTime=0;-startDateTime;pumpADelayedStart=1;+pumpADelayDays;"
                "pumpADelayDays=2;pumpBSampleStart=1;pumpBSpecificDateTime=0;-pumpBDelayDays;"
                "-pump{A,B,C,D}{SpecificDateTime,StartDateTime}");
        }
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
        for (const QString sensor :
             {"sgp41Mode gasLogSGP41Raw{VOC,NOX}", "as1Mode gasLogAS1Raw",
              "sfa30Mode gasLogSFA30{Formald,RH,T}", "as2Mode gasLogAS2Raw",
              "scd30Mode gasLogSCD30{CO2,T,RH}", "as3Mode gasLogAS3Raw",
              "figaroMode figaroLog{Gain1,Output,Reference,Offset}", "as4Mode gasLogAS4Raw"}) {
            n = sensor.section(' ', 0, 0);
            boxes = sensor.section(' ', 1);
            row("# on||#|#=1;$=1");
            row("# off|#|#|#=0;$=0");
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
        // The SEN55 mode also follows a change made by code.
        n = "mainLogSEN55_PM{1_0,2_5,4_0,10}";
        boxes = "mainLog{VSEN55RH,SEN55T,SEN55RawVOC,SEN55RawNOx}";
        row("SEN55 RH/T/Gas/PMS||sen55Mode=RH/T/Gas/PMS|#=1;$=1");
        row("SEN55 RH/T/Gas|sen55Mode=RH/T/Gas/PMS|sen55Mode=RH/T/Gas|#=0;$=1");
        row("SEN55 idle|sen55Mode=RH/T/Gas|sen55Mode=Idle|#=0;$=0");
        // Pumps C and D share five logging boxes and keep their own.
        boxes = "Log{VSUPPLY,3V3,BMP390P,BMP390T,Atmo}";
        row("C's shared boxes on||pumpC$;pumpCLogRDAC|pump{C,D}$=1;pumpCLogRDAC=1");
        row("D's shared boxes off|pumpC$|pumpD$;pumpDLogFlowM|pump{C,D}$=0;pumpDLogFlowM=1");
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
