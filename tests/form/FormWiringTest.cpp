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

} // namespace

class FormWiringTest : public QObject {
    Q_OBJECT

private slots:
    // Every listed connection exists with its exact signal and slot, and once
    // they are gone no form widget is connected to the window in any other way.
    void exactlyTheListedConnections() {
        kvx::test::Rig rig;
        const auto w = rig.window();
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
};

QTEST_MAIN(FormWiringTest)
#include "FormWiringTest.moc"
