// Sensor modes against their logging boxes, the Alphasense partner rule, the
// SEN55 mode table and the logging boxes Pumps C and D share.
#include "FormDriver.h"

using namespace kvx::test;

namespace {

QStringList checkedNames(const QList<QCheckBox*>& boxes) {
    QStringList out;
    for (const QCheckBox* box : boxes)
        if (box->isChecked())
            out << box->objectName();
    return out;
}

// Every widget state of the window except the named ones.
QMap<QString, QString> everythingBut(const Form& form, const QStringList& names) {
    QMap<QString, QString> states = Form::snapshot(&form.w);
    for (const QString& name : names)
        states.remove(name);
    return states;
}

const QStringList kSharedLogging = {"VSUPPLY", "3V3", "BMP390P", "BMP390T", "Atmo"};
const QStringList kOwnLogging = {"RDAC",  "VBOOST", "VOMRON",  "VFLOW",     "BMP581P",   "BMP581T",
                                 "FlowM", "FlowV",  "PumpVol", "CartTotal", "CartSample"};

} // namespace

class LoggingInterlocksTest : public QObject {
    Q_OBJECT

    QList<QCheckBox*> boxes(const Form& form, const QStringList& names) {
        QList<QCheckBox*> out;
        for (const QString& name : names)
            out << form.find<QCheckBox>(name);
        return out;
    }

private slots:
    // Switching a sensor on selects all its logging boxes, whatever the
    // operator had cleared; switching it off clears them. Nothing else on the
    // form changes (for an Alphasense sensor on the Gas page that includes its
    // boxes on the Alphasense page).
    void sensorModeSelectsItsLogging_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("logging");
        QTest::newRow("SGP41") << "Tab_Gas"
                               << "sgp41Mode"
                               << QStringList{"gasLogSGP41RawVOC", "gasLogSGP41RawNOX"};
        QTest::newRow("SFA30") << "Tab_Gas"
                               << "sfa30Mode"
                               << QStringList{"gasLogSFA30Formald", "gasLogSFA30RH",
                                              "gasLogSFA30T"};
        QTest::newRow("SCD30") << "Tab_Gas"
                               << "scd30Mode"
                               << QStringList{"gasLogSCD30CO2", "gasLogSCD30T", "gasLogSCD30RH"};
        for (int n = 1; n <= 4; ++n)
            QTest::addRow("AS%d gas page", n) << "Tab_Gas" << QString("as%1Mode").arg(n)
                                              << QStringList{QString("gasLogAS%1Raw").arg(n)};
        QTest::newRow("Figaro") << "Tab_Figaro"
                                << "figaroMode"
                                << QStringList{"figaroLogGain1", "figaroLogOutput",
                                               "figaroLogReference", "figaroLogOffset"};
    }
    void sensorModeSelectsItsLogging() {
        QFETCH(QString, page);
        QFETCH(QString, mode);
        QFETCH(QStringList, logging);
        Form form;
        form.fit(form.find<QWidget>(page));
        // Some unrelated boxes are on, so that a slot clearing too much shows.
        for (QCheckBox* other : {form.ui.gasLog5V0, form.ui.gasLogAS4Raw, form.ui.figaroLogOffset,
                                 form.ui.alphasenseLogAS1Raw, form.ui.alphasenseLogAS2Algorithm3})
            if (!logging.contains(other->objectName()))
                other->setChecked(true);
        QCheckBox* modeBox = form.find<QCheckBox>(mode);
        const QList<QCheckBox*> own = boxes(form, logging);
        const auto rest = everythingBut(form, QStringList(logging) << mode);

        form.click(modeBox);
        QVERIFY(modeBox->isChecked());
        QCOMPARE(checkedNames(own), logging);
        form.click(own.last()); // the operator drops one channel
        QVERIFY(!own.last()->isChecked());
        QVERIFY(modeBox->isChecked());

        form.click(modeBox);
        QCOMPARE(checkedNames(own), QStringList());
        form.click(modeBox);
        QCOMPARE(checkedNames(own), logging);
        QCOMPARE(everythingBut(form, QStringList(logging) << mode), rest);
    }

    // Switching sensor n on (Alphasense page) logs its Raw value and switches
    // its partner's mode on when the partner position is fitted; the
    // partner's logging and n's algorithm choices stay. Switching n off clears
    // all five of its boxes and leaves the partner on.
    void alphasensePartnerRule_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("partner");
        QTest::addColumn<bool>("partnerFitted");
        QTest::addColumn<bool>("partnerSwitchedOn");
        QTest::newRow("3 with partner 1") << 3 << 1 << true << true;
        QTest::newRow("1 with partner 2") << 1 << 2 << true << true;
        QTest::newRow("2 with partner 4") << 2 << 4 << true << true;
        QTest::newRow("4 with partner 3") << 4 << 3 << true << true;
        QTest::newRow("3 with partner 1 absent") << 3 << 1 << false << false;
        QTest::newRow("4 with partner 2 absent") << 4 << 2 << false << false;
        QTest::newRow("2 without partner (0)") << 2 << 0 << true << false;
        QTest::newRow("1 with partner number 5") << 1 << 5 << true << false;
        QTest::newRow("4 with partner number -1") << 4 << -1 << true << false;
    }
    void alphasensePartnerRule() {
        QFETCH(int, position);
        QFETCH(int, partner);
        QFETCH(bool, partnerFitted);
        QFETCH(bool, partnerSwitchedOn);
        Form form;
        form.fit(form.ui.Tab_Alphasense);
        form.w.alphasensePartners[position - 1] = partner;
        if (partner >= 1 && partner <= 4 && !partnerFitted)
            form.find<QWidget>(QString("as%1_3").arg(partner))->setEnabled(false);

        const QString n = QString::number(position);
        QCheckBox* mode = form.find<QCheckBox>("as" + n + "Mode_3");
        const QStringList ownNames = {
            "alphasenseLogAS" + n + "Raw", "alphasenseLogAS" + n + "Algorithm1",
            "alphasenseLogAS" + n + "Algorithm2", "alphasenseLogAS" + n + "Algorithm3",
            "alphasenseLogAS" + n + "Algorithm4"};
        const QList<QCheckBox*> own = boxes(form, ownNames);
        own[2]->setChecked(true); // the operator logs algorithm 2
        QStringList changing = QStringList(ownNames) << mode->objectName();
        if (partnerSwitchedOn)
            changing << QString("as%1Mode_3").arg(partner);
        const auto rest = everythingBut(form, changing);

        form.click(mode);
        QCOMPARE(checkedNames(own), QStringList({ownNames[0], ownNames[2]}));
        if (partnerSwitchedOn)
            QVERIFY(form.find<QCheckBox>(QString("as%1Mode_3").arg(partner))->isChecked());
        QCOMPARE(everythingBut(form, changing), rest);

        form.click(mode);
        QCOMPARE(checkedNames(own), QStringList());
        if (partnerSwitchedOn)
            QVERIFY(form.find<QCheckBox>(QString("as%1Mode_3").arg(partner))->isChecked());
        QCOMPARE(everythingBut(form, changing), rest);
    }

    // A position shows on both pages; each page's mode clears only that
    // page's boxes.
    void alphasenseOffOnGasPageVersusAlphasensePage_data() {
        QTest::addColumn<int>("position");
        for (int n = 1; n <= 4; ++n)
            QTest::addRow("AS%d", n) << n;
    }
    void alphasenseOffOnGasPageVersusAlphasensePage() {
        QFETCH(int, position);
        Form form;
        form.fit(form.ui.Tab_Gas);
        form.fit(form.ui.Tab_Alphasense);
        const QString n = QString::number(position);
        QCheckBox* gasMode = form.find<QCheckBox>("as" + n + "Mode");
        QCheckBox* mode = form.find<QCheckBox>("as" + n + "Mode_3");
        QCheckBox* gasRaw = form.find<QCheckBox>("gasLogAS" + n + "Raw");
        const QStringList pageNames = {
            "alphasenseLogAS" + n + "Raw", "alphasenseLogAS" + n + "Algorithm1",
            "alphasenseLogAS" + n + "Algorithm2", "alphasenseLogAS" + n + "Algorithm3",
            "alphasenseLogAS" + n + "Algorithm4"};
        const QList<QCheckBox*> pageBoxes = boxes(form, pageNames);
        const QList<QCheckBox*> allOn = pageBoxes + QList<QCheckBox*>{gasMode, mode, gasRaw};
        for (QCheckBox* box : allOn)
            box->setChecked(true);

        form.click(gasMode);
        QVERIFY(!gasRaw->isChecked());
        QCOMPARE(checkedNames(pageBoxes), pageNames);
        QVERIFY(mode->isChecked());

        gasRaw->setChecked(true);
        form.click(mode);
        QCOMPARE(checkedNames(pageBoxes), QStringList());
        QVERIFY(gasRaw->isChecked());
    }

    // The SEN55 mode picks its eight logging boxes by index, also when the
    // index is set by code; the emptied combo (-1) and any index beyond the
    // three items count as idle.
    void sen55ModeTable_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("particles");
        QTest::addColumn<bool>("gas");
        QTest::newRow("idle to RH/T/Gas") << 0 << 1 << false << true;
        QTest::newRow("RH/T/Gas to RH/T/Gas/PMS") << 1 << 2 << true << true;
        QTest::newRow("RH/T/Gas/PMS to RH/T/Gas") << 2 << 1 << false << true;
        QTest::newRow("RH/T/Gas/PMS to idle") << 2 << 0 << false << false;
        QTest::newRow("idle to RH/T/Gas/PMS") << 0 << 2 << true << true;
        QTest::newRow("RH/T/Gas/PMS to none (-1)") << 2 << -1 << false << false;
        QTest::newRow("RH/T/Gas to none (-1)") << 1 << -1 << false << false;
    }
    void sen55ModeTable() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, particles);
        QFETCH(bool, gas);
        Form form;
        form.fit(form.ui.Tab_Main);
        const QStringList particleNames = {"mainLogSEN55_PM1_0", "mainLogSEN55_PM2_5",
                                           "mainLogSEN55_PM4_0", "mainLogSEN55_PM10"};
        const QStringList gasNames = {"mainLogVSEN55RH", "mainLogSEN55T", "mainLogSEN55RawVOC",
                                      "mainLogSEN55RawNOx"};
        const QList<QCheckBox*> particleBoxes = boxes(form, particleNames);
        const QList<QCheckBox*> gasBoxes = boxes(form, gasNames);
        form.ui.sen55Mode->setCurrentIndex(from);
        // Start from the opposite of what the new index selects.
        for (QCheckBox* box : particleBoxes)
            box->setChecked(!particles);
        for (QCheckBox* box : gasBoxes)
            box->setChecked(!gas);
        const auto rest = everythingBut(form, QStringList(particleNames) + gasNames);

        form.ui.sen55Mode->setCurrentIndex(to);
        QCOMPARE(form.ui.sen55Mode->currentIndex(), to);
        QCOMPARE(checkedNames(particleBoxes), particles ? particleNames : QStringList());
        QCOMPARE(checkedNames(gasBoxes), gas ? gasNames : QStringList());
        QCOMPARE(everythingBut(form, QStringList(particleNames) + gasNames), rest);
    }

    void sen55EmptiedOrUnknownIndexClearsAll() {
        Form form;
        QList<QCheckBox*> all =
            form.ui.mainLogging->findChildren<QCheckBox*>(QRegularExpression("^mainLog.*SEN55"));
        QCOMPARE(all.size(), 8);
        form.ui.sen55Mode->setCurrentIndex(2);
        QCOMPARE(checkedNames(all).size(), 8);
        form.ui.sen55Mode->clear();
        QCOMPARE(form.ui.sen55Mode->currentIndex(), -1);
        QCOMPARE(checkedNames(all), QStringList());

        for (int index : {3, 255}) {
            for (QCheckBox* box : all)
                box->setChecked(true);
            form.w.SEN55ModeChanged(index);
            QCOMPARE(checkedNames(all), QStringList());
        }
    }

    // A shared channel follows a click on either page: on from Pump D, off
    // from Pump C. The twin is set by code (its own slot does not run) and
    // the other channels stay.
    void sharedLoggingIsMirrored_data() {
        QTest::addColumn<QString>("channel");
        for (const QString& channel : kSharedLogging)
            QTest::newRow(qPrintable(channel)) << channel;
    }
    void sharedLoggingIsMirrored() {
        QFETCH(QString, channel);
        Form form;
        form.fit(form.ui.Tab_PumpC);
        form.fit(form.ui.Tab_PumpD);
        QCheckBox* c = form.find<QCheckBox>("pumpCLog" + channel);
        QCheckBox* d = form.find<QCheckBox>("pumpDLog" + channel);
        form.ui.pumpCLogFlowM->setChecked(true);
        const auto rest = everythingBut(form, {c->objectName(), d->objectName()});
        QSignalSpy cClicked(c, &QAbstractButton::clicked);
        QSignalSpy dClicked(d, &QAbstractButton::clicked);

        form.click(d);
        QVERIFY(d->isChecked());
        QVERIFY(c->isChecked());
        QCOMPARE(cClicked.count(), 0);

        form.click(c);
        QVERIFY(!c->isChecked());
        QVERIFY(!d->isChecked());
        QCOMPARE(dClicked.count(), 1); // the operator's click above only

        form.click(c);
        QVERIFY(c->isChecked());
        QVERIFY(d->isChecked());
        form.click(d);
        QVERIFY(!d->isChecked());
        QVERIFY(!c->isChecked());
        QCOMPARE(everythingBut(form, {c->objectName(), d->objectName()}), rest);
    }

    void ownLoggingIsNotMirrored() {
        Form form;
        form.fit(form.ui.Tab_PumpC);
        form.fit(form.ui.Tab_PumpD);
        for (const QString& channel : kOwnLogging) {
            QCheckBox* c = form.find<QCheckBox>("pumpCLog" + channel);
            QCheckBox* d = form.find<QCheckBox>("pumpDLog" + channel);
            form.click(c);
            QVERIFY2(c->isChecked() && !d->isChecked(), qPrintable(channel));
            form.click(d);
            QVERIFY2(c->isChecked() && d->isChecked(), qPrintable(channel));
            form.click(c);
            QVERIFY2(!c->isChecked() && d->isChecked(), qPrintable(channel));
        }
        QCOMPARE(form.ui.pumpCLogging->findChildren<QCheckBox*>().size(),
                 kSharedLogging.size() + kOwnLogging.size());
    }
};

QTEST_MAIN(LoggingInterlocksTest)
#include "tst_logging_interlocks.moc"
