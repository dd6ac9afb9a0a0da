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
    void interlocks_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("follows");
        const auto row = [](const QString& name, const QString& setup, const QString& change,
                            const QString& follows) {
            QTest::newRow(qPrintable(name)) << setup << change << follows;
        };
        // Sampling start against the pumps' own start times.
        const QString powerOn = "-startDateTime;pumpADelayedStart=1;+pumpADelayDays;"
                                "pumpADelayDays=2;pumpBSampleStart=1;pumpBSpecificDateTime=0;"
                                "-pumpBDelayDays;specificTime=0;";
        QString withdrawn, offered;
        for (const QString p : {"A", "B", "C", "D"}) {
            withdrawn += QString("-pump%1SpecificDateTime;-pump%1StartDateTime;").arg(p);
            offered += QString("+pump%1SpecificDateTime;+pump%1StartDateTime;").arg(p);
        }
        const QString mixed = "specificTime;pumpADelayedStart;pumpADelayDays=2;"
                              "pumpBSpecificDateTime;";
        row("always power-on", mixed, "alwaysPowerOn", powerOn + withdrawn + "alwaysPowerOn=1");
        row("next power-on", mixed, "nextPowerOn", powerOn + withdrawn + "nextPowerOn=1");
        row("selected power-on again", "pumpCSpecificDateTime", "nextPowerOn",
            "-startDateTime;pumpCSampleStart=1;pumpCSpecificDateTime=0;" + withdrawn);
        row("specific time", mixed + "alwaysPowerOn", "specificTime",
            "+startDateTime;specificTime=1;alwaysPowerOn=0;pumpBSampleStart=1;" + offered);
        row("pumps outside the schedule",
            "specificTime;pumpBSpecificDateTime;pumpCSpecificDateTime;-Tab_PumpB;-pumpCStart",
            "alwaysPowerOn",
            "alwaysPowerOn=1;specificTime=0;-startDateTime;"
            "-pumpASpecificDateTime;-pumpAStartDateTime;"
            "-pumpDSpecificDateTime;-pumpDStartDateTime");
        // Each pump's start and duration choices against their fields.
        for (const QString p : {"A", "B", "C", "D"}) {
            const auto pumpRow = [&](const char* name, QString setup, QString change,
                                     QString follows) {
                row(p + ' ' + name, setup.replace('#', p), change.replace('#', p),
                    follows.replace('#', p));
            };
            const QString delay = "pump#DelayDays;pump#DelayHours;pump#DelayMinutes;";
            const QString duration = "pump#DurationDays;pump#DurationHours;pump#DurationMinutes;";
            pumpRow("delayed start", "pump#DelayDays=3", "pump#DelayedStart",
                    "pump#DelayedStart=1;pump#SampleStart=0;-pump#StartDateTime;pump#DelayDays=3;" +
                        QString(delay).replace("pump", "+pump"));
            pumpRow("sample start", "pump#DelayedStart;pump#DelayDays=300", "pump#SampleStart",
                    "pump#SampleStart=1;pump#DelayedStart=0;-pump#StartDateTime;"
                    "pump#DelayDays=300;" +
                        QString(delay).replace("pump", "-pump"));
            pumpRow("specific start", "specificTime;pump#DelayedStart", "pump#SpecificDateTime",
                    "pump#SpecificDateTime=1;pump#DelayedStart=0;+pump#StartDateTime;" +
                        QString(delay).replace("pump", "-pump"));
            pumpRow("shorter than sample", "pump#FullSample", "pump#PartialSample",
                    "pump#PartialSample=1;pump#FullSample=0;" +
                        QString(duration).replace("pump", "+pump"));
            pumpRow("full sample", "pump#PartialSample;pump#DurationDays=3", "pump#FullSample",
                    "pump#FullSample=1;pump#PartialSample=0;pump#DurationDays=3;" +
                        QString(duration).replace("pump", "-pump"));
        }
        // Sensor modes select and clear their logging.
        const QList<std::pair<QString, QString>> sensors = {
            {"sgp41Mode", "gasLogSGP41RawVOC;gasLogSGP41RawNOX"},
            {"sfa30Mode", "gasLogSFA30Formald;gasLogSFA30RH;gasLogSFA30T"},
            {"scd30Mode", "gasLogSCD30CO2;gasLogSCD30T;gasLogSCD30RH"},
            {"figaroMode", "figaroLogGain1;figaroLogOutput;figaroLogReference;figaroLogOffset"},
            {"as1Mode", "gasLogAS1Raw"},
            {"as2Mode", "gasLogAS2Raw"},
            {"as3Mode", "gasLogAS3Raw"},
            {"as4Mode", "gasLogAS4Raw"}};
        for (const auto& [mode, logging] : sensors) {
            row(mode + " on", "", mode, mode + "=1;" + QString(logging).replace(";", "=1;") + "=1");
            row(mode + " off", mode + ';' + logging.section(';', -1), mode,
                mode + "=0;" + QString(logging).replace(";", "=0;") + "=0");
        }
        const QString alg = "alphasenseLogAS%1Algorithm%2";
        row("Alphasense on, partner on", "partner3=1;" + alg.arg(3).arg(2), "as3Mode_3",
            "as3Mode_3=1;alphasenseLogAS3Raw=1;" + alg.arg(3).arg(2) + "=1;as1Mode_3=1");
        row("Alphasense on, partner absent", "partner4=2;-as2_3", "as4Mode_3",
            "as4Mode_3=1;alphasenseLogAS4Raw=1");
        row("Alphasense on, partner 4", "partner2=4", "as2Mode_3",
            "as2Mode_3=1;alphasenseLogAS2Raw=1;as4Mode_3=1");
        row("Alphasense on, partner 5", "partner2=5", "as2Mode_3",
            "as2Mode_3=1;alphasenseLogAS2Raw=1");
        row("Alphasense on, partner -1", "partner1=-1", "as1Mode_3",
            "as1Mode_3=1;alphasenseLogAS1Raw=1");
        row("Alphasense off", "partner1=2;as1Mode_3;" + alg.arg(1).arg(4) + ';' + alg.arg(1).arg(1),
            "as1Mode_3",
            "as1Mode_3=0;alphasenseLogAS1Raw=0;" + alg.arg(1).arg(4) + "=0;" + alg.arg(1).arg(1) +
                "=0");
        row("Alphasense off, Gas page", "as2Mode;as2Mode_3", "as2Mode", "as2Mode=0;gasLogAS2Raw=0");
        // The SEN55 mode also follows a change made by code.
        const QString pm = "mainLogSEN55_PM1_0=%1;mainLogSEN55_PM2_5=%1;mainLogSEN55_PM4_0=%1;"
                           "mainLogSEN55_PM10=%1;";
        const QString gas = "mainLogVSEN55RH=%1;mainLogSEN55T=%1;mainLogSEN55RawVOC=%1;"
                            "mainLogSEN55RawNOx=%1;";
        row("SEN55 RH/T/Gas/PMS", "", "sen55Mode=RH/T/Gas/PMS", pm.arg(1) + gas.arg(1));
        row("SEN55 RH/T/Gas", "sen55Mode=RH/T/Gas/PMS", "sen55Mode=RH/T/Gas",
            pm.arg(0) + gas.arg(1));
        row("SEN55 idle", "sen55Mode=RH/T/Gas", "sen55Mode=Idle", pm.arg(0) + gas.arg(0));
        row("SEN55 emptied", "sen55Mode=RH/T/Gas/PMS", "sen55Mode=none", pm.arg(0) + gas.arg(0));
        // Pumps C and D share five logging boxes.
        for (const QString box : {"VSUPPLY", "3V3", "BMP390P", "BMP390T", "Atmo"}) {
            row("C on " + box, "", "pumpCLog" + box, QString("pumpCLog%1=1;pumpDLog%1=1").arg(box));
            row("D off " + box, "pumpCLog" + box, "pumpDLog" + box,
                QString("pumpCLog%1=0;pumpDLog%1=0").arg(box));
        }
        row("C own box", "", "pumpCLogRDAC", "pumpCLogRDAC=1");
        row("D own box", "", "pumpDLogFlowM", "pumpDLogFlowM=1");
    }

    void interlocks() {
        QFETCH(QString, setup);
        QFETCH(QString, change);
        QFETCH(QString, follows);
        SimRig rig(QStringLiteral("minimal"));
        KVX_Configurator& w = rig.w();
        for (QWidget* page : w.findChildren<QWidget*>(QRegularExpression("^Tab_")))
            page->setEnabled(true); // every board fitted
        const Special partners = [&w](const QString& name, const QString& value) {
            if (!name.startsWith("partner"))
                return false;
            w.alphasensePartners[name.mid(7).toInt() - 1] = value.toInt();
            return true;
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
