// The window's form wiring: which widget signal reaches which slot. A missing
// connection, a wrong signal (pressed for clicked, toggled for clicked(bool)),
// a wrong slot or a connection the table does not list all fail here.
//
// QObject::disconnect(sender, signal, receiver, slot) answers true only when
// exactly that connection existed, so each expected connection is checked by
// taking it away; afterwards no form widget may have any connection left to
// the window.
#include "app/KVX_Configurator.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

struct Wire {
    const char* sender;
    const char* signal;
    const char* slot;
};

// The 61 connections, in the order the constructor makes them.
const Wire kWires[] = {
    {"kvxConnect", SIGNAL(pressed()), SLOT(KVXConnectButtonPressed())},
    {"kvxDisconnect", SIGNAL(pressed()), SLOT(KVXDisconnectButtonPressed())},
    {"kvxRead", SIGNAL(pressed()), SLOT(KVXReadButtonPressed())},
    {"kvxWrite", SIGNAL(pressed()), SLOT(KVXWriteButtonPressed())},
    {"setRTC", SIGNAL(pressed()), SLOT(KVXSetRTCPressed())},
    {"readRTC", SIGNAL(pressed()), SLOT(KVXReadRTCPressed())},
    {"alwaysPowerOn", SIGNAL(clicked()), SLOT(SampleAlwaysPowerOnClicked())},
    {"nextPowerOn", SIGNAL(clicked()), SLOT(SampleNextPowerOnClicked())},
    {"specificTime", SIGNAL(clicked()), SLOT(SampleSpecificTimeClicked())},
    {"scd30CalButton", SIGNAL(pressed()), SLOT(SCD30CalButtonPressed())},
    {"as1Mode", SIGNAL(clicked(bool)), SLOT(Alphasense1GasModeChanged(bool))},
    {"as1Mode_3", SIGNAL(clicked(bool)), SLOT(Alphasense1ModeChanged(bool))},
    {"as2Mode", SIGNAL(clicked(bool)), SLOT(Alphasense2GasModeChanged(bool))},
    {"as2Mode_3", SIGNAL(clicked(bool)), SLOT(Alphasense2ModeChanged(bool))},
    {"as3Mode", SIGNAL(clicked(bool)), SLOT(Alphasense3GasModeChanged(bool))},
    {"as3Mode_3", SIGNAL(clicked(bool)), SLOT(Alphasense3ModeChanged(bool))},
    {"as4Mode", SIGNAL(clicked(bool)), SLOT(Alphasense4GasModeChanged(bool))},
    {"as4Mode_3", SIGNAL(clicked(bool)), SLOT(Alphasense4ModeChanged(bool))},
    {"scd30Mode", SIGNAL(clicked(bool)), SLOT(SCD30ModeChanged(bool))},
    {"sgp41Mode", SIGNAL(clicked(bool)), SLOT(SGP41ModeChanged(bool))},
    {"sfa30Mode", SIGNAL(clicked(bool)), SLOT(SFA30ModeChanged(bool))},
    {"figaroMode", SIGNAL(clicked(bool)), SLOT(FigaroModeChanged(bool))},
    {"sen55Mode", SIGNAL(currentIndexChanged(int)), SLOT(SEN55ModeChanged(int))},
    {"pumpASampleStart", SIGNAL(clicked()), SLOT(PumpASampleStartClicked())},
    {"pumpADelayedStart", SIGNAL(clicked()), SLOT(PumpADelayedStartClicked())},
    {"pumpASpecificDateTime", SIGNAL(clicked()), SLOT(PumpASpecificDateTimeClicked())},
    {"pumpAFullSample", SIGNAL(clicked()), SLOT(PumpAFullSampleTimeClicked())},
    {"pumpAPartialSample", SIGNAL(clicked()), SLOT(PumpAPartialSampleTimeClicked())},
    {"pumpBSampleStart", SIGNAL(clicked()), SLOT(PumpBSampleStartClicked())},
    {"pumpBDelayedStart", SIGNAL(clicked()), SLOT(PumpBDelayedStartClicked())},
    {"pumpBSpecificDateTime", SIGNAL(clicked()), SLOT(PumpBSpecificDateTimeClicked())},
    {"pumpBFullSample", SIGNAL(clicked()), SLOT(PumpBFullSampleTimeClicked())},
    {"pumpBPartialSample", SIGNAL(clicked()), SLOT(PumpBPartialSampleTimeClicked())},
    {"pumpCSampleStart", SIGNAL(clicked()), SLOT(PumpCSampleStartClicked())},
    {"pumpCDelayedStart", SIGNAL(clicked()), SLOT(PumpCDelayedStartClicked())},
    {"pumpCSpecificDateTime", SIGNAL(clicked()), SLOT(PumpCSpecificDateTimeClicked())},
    {"pumpCFullSample", SIGNAL(clicked()), SLOT(PumpCFullSampleTimeClicked())},
    {"pumpCPartialSample", SIGNAL(clicked()), SLOT(PumpCPartialSampleTimeClicked())},
    {"pumpDSampleStart", SIGNAL(clicked()), SLOT(PumpDSampleStartClicked())},
    {"pumpDDelayedStart", SIGNAL(clicked()), SLOT(PumpDDelayedStartClicked())},
    {"pumpDSpecificDateTime", SIGNAL(clicked()), SLOT(PumpDSpecificDateTimeClicked())},
    {"pumpDFullSample", SIGNAL(clicked()), SLOT(PumpDFullSampleTimeClicked())},
    {"pumpDPartialSample", SIGNAL(clicked()), SLOT(PumpDPartialSampleTimeClicked())},
    {"pumpCLogVSUPPLY", SIGNAL(clicked(bool)), SLOT(PumpCLogVSUPPLYChanged(bool))},
    {"pumpCLog3V3", SIGNAL(clicked(bool)), SLOT(PumpCLog3V3Changed(bool))},
    {"pumpCLogBMP390P", SIGNAL(clicked(bool)), SLOT(PumpCLogBMP390PChanged(bool))},
    {"pumpCLogBMP390T", SIGNAL(clicked(bool)), SLOT(PumpCLogBMP390TChanged(bool))},
    {"pumpCLogAtmo", SIGNAL(clicked(bool)), SLOT(PumpCLogAtmoChanged(bool))},
    {"pumpDLogVSUPPLY", SIGNAL(clicked(bool)), SLOT(PumpDLogVSUPPLYChanged(bool))},
    {"pumpDLog3V3", SIGNAL(clicked(bool)), SLOT(PumpDLog3V3Changed(bool))},
    {"pumpDLogBMP390P", SIGNAL(clicked(bool)), SLOT(PumpDLogBMP390PChanged(bool))},
    {"pumpDLogBMP390T", SIGNAL(clicked(bool)), SLOT(PumpDLogBMP390TChanged(bool))},
    {"pumpDLogAtmo", SIGNAL(clicked(bool)), SLOT(PumpDLogAtmoChanged(bool))},
    {"startPumpA", SIGNAL(clicked()), SLOT(PumpAStartClicked())},
    {"stopPumpA", SIGNAL(clicked()), SLOT(PumpAStopClicked())},
    {"startPumpB", SIGNAL(clicked()), SLOT(PumpBStartClicked())},
    {"stopPumpB", SIGNAL(clicked()), SLOT(PumpBStopClicked())},
    {"startPumpC", SIGNAL(clicked()), SLOT(PumpCStartClicked())},
    {"stopPumpC", SIGNAL(clicked()), SLOT(PumpCStopClicked())},
    {"startPumpD", SIGNAL(clicked()), SLOT(PumpDStartClicked())},
    {"stopPumpD", SIGNAL(clicked()), SLOT(PumpDStopClicked())},
};
static_assert(std::size(kWires) == 61);

const Wire* wireOf(const QString& sender) {
    for (const Wire& w : kWires)
        if (sender == QLatin1String(w.sender))
            return &w;
    return nullptr;
}

} // namespace

class FormWiringTest : public QObject {
    Q_OBJECT

    kvx::test::Rig rig;
    std::unique_ptr<KVX_Configurator> w;

    QAbstractButton* button(const char* name) const {
        return w->findChild<QAbstractButton*>(QString::fromLatin1(name));
    }

    // True when `sender`'s connection is exactly the listed one. The check takes
    // the connection away, so it comes last in a test.
    bool wiredAsListed(const QObject* sender) {
        const Wire* wire = wireOf(sender->objectName());
        return wire && QObject::disconnect(sender, wire->signal, w.get(), wire->slot);
    }

private slots:
    void init() {
        w = std::make_unique<KVX_Configurator>(rig.platform());
        w->ticker->stop();
        // The constructor disables the board pages; discovery would enable them.
        for (QWidget* page :
             {w->ui->Tab_Main, w->ui->Tab_Gas, w->ui->Tab_Alphasense, w->ui->Tab_Figaro,
              w->ui->Tab_PumpA, w->ui->Tab_PumpB, w->ui->Tab_PumpC, w->ui->Tab_PumpD})
            page->setEnabled(true);
    }
    void cleanup() { w.reset(); }

    // Every listed connection exists with its exact signal and slot, and once
    // they are gone no form widget is connected to the window in any other way.
    void exactlyTheListedConnections() {
        for (const Wire& wire : kWires) {
            QObject* sender = w->findChild<QObject*>(QString::fromLatin1(wire.sender));
            QVERIFY2(sender, wire.sender);
            QVERIFY2(QObject::disconnect(sender, wire.signal, w.get(), wire.slot), wire.sender);
        }
        const auto widgets = w->findChildren<QWidget*>();
        for (const QWidget* child : widgets)
            QVERIFY2(!QObject::disconnect(child, nullptr, w.get(), nullptr),
                     qPrintable("unlisted connection from " + child->objectName()));
    }

    // A click delivers the box's new state; a change made by program code sends
    // nothing, so no mode slot runs for it.
    void modeBoxesReactToClicksOnly_data() {
        QTest::addColumn<QString>("name");
        for (const char* n :
             {"as1Mode",         "as2Mode",         "as3Mode",         "as4Mode",
              "as1Mode_3",       "as2Mode_3",       "as3Mode_3",       "as4Mode_3",
              "scd30Mode",       "sgp41Mode",       "sfa30Mode",       "figaroMode",
              "pumpCLogVSUPPLY", "pumpCLog3V3",     "pumpCLogBMP390P", "pumpCLogBMP390T",
              "pumpCLogAtmo",    "pumpDLogVSUPPLY", "pumpDLog3V3",     "pumpDLogBMP390P",
              "pumpDLogBMP390T", "pumpDLogAtmo"})
            QTest::newRow(n) << QString::fromLatin1(n);
    }
    void modeBoxesReactToClicksOnly() {
        QFETCH(QString, name);
        auto* box = w->findChild<QCheckBox*>(name);
        QVERIFY(box);
        QSignalSpy clicked(box, &QCheckBox::clicked);

        box->setChecked(true);
        box->setCheckState(Qt::Unchecked);
        QCOMPARE(clicked.count(), 0);

        // The slot may itself change the box's neighbours; the box keeps the
        // state the click gave it.
        box->click();
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toBool(), true);
        box->click();
        QCOMPARE(clicked.count(), 2);
        QCOMPARE(clicked.at(1).at(0).toBool(), false);

        QVERIFY(wiredAsListed(box));
    }

    // The SEN55 mode is the one control whose slot also runs for program changes.
    void sen55ModeReportsProgramChanges() {
        QComboBox* mode = w->ui->sen55Mode;
        QSignalSpy changed(mode, &QComboBox::currentIndexChanged);
        mode->setCurrentIndex(2);
        mode->setCurrentIndex(2); // no change, no signal
        mode->setCurrentIndex(1);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).at(0).toInt(), 2);
        QCOMPARE(changed.at(1).at(0).toInt(), 1);
        QVERIFY(wiredAsListed(mode));
    }

    // Schedule radio buttons fire on every click, also on the one already chosen.
    void scheduleRadiosReachTheirSlots() {
        const char* names[] = {
            "alwaysPowerOn",         "nextPowerOn",           "specificTime",
            "pumpASampleStart",      "pumpADelayedStart",     "pumpASpecificDateTime",
            "pumpAFullSample",       "pumpAPartialSample",    "pumpBSampleStart",
            "pumpBDelayedStart",     "pumpBSpecificDateTime", "pumpBFullSample",
            "pumpBPartialSample",    "pumpCSampleStart",      "pumpCDelayedStart",
            "pumpCSpecificDateTime", "pumpCFullSample",       "pumpCPartialSample",
            "pumpDSampleStart",      "pumpDDelayedStart",     "pumpDSpecificDateTime",
            "pumpDFullSample",       "pumpDPartialSample"};
        for (const char* n : names) {
            QAbstractButton* radio = button(n);
            QVERIFY2(radio, n);
            QSignalSpy clicked(radio, &QAbstractButton::clicked);
            radio->click();
            radio->click();
            QVERIFY2(radio->isChecked(), n);
            QCOMPARE(clicked.count(), 2);
            QVERIFY2(wiredAsListed(radio), n);
        }
    }

    // Instrument and calibration buttons act on mouse-down, pump buttons on a
    // full click. Both are checked on the wiring alone: their slots open
    // confirmations or talk to the instrument.
    void buttonsFireOnTheirSignal() {
        for (const char* n : {"startPumpA", "stopPumpA", "startPumpB", "stopPumpB", "startPumpC",
                              "stopPumpC", "startPumpD", "stopPumpD"}) {
            QVERIFY2(!QObject::disconnect(button(n), SIGNAL(pressed()), w.get(), nullptr), n);
            QVERIFY2(wiredAsListed(button(n)), n);
        }
        for (const char* n : {"kvxConnect", "kvxDisconnect", "kvxRead", "kvxWrite", "setRTC",
                              "readRTC", "scd30CalButton"}) {
            QVERIFY2(!QObject::disconnect(button(n), SIGNAL(clicked()), w.get(), nullptr), n);
            QVERIFY2(wiredAsListed(button(n)), n);
        }
    }
};

QTEST_MAIN(FormWiringTest)
#include "FormWiringTest.moc"
