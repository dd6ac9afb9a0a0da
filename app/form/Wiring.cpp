// The form's signal-slot wiring: 61 connections from form widgets to the main
// window, made once by the constructor right after setupUi.
//
// Push buttons that talk to the instrument fire on pressed() (mouse down);
// radio and pump buttons on clicked(); check boxes deliver their new state with
// clicked(bool), so a state set by program code never reaches a slot. The SEN55
// mode combo box is the one control whose slot also runs on program changes.
#include "app/KVX_Configurator.h"
#include "ui_KVX_Configurator.h"

#include <iterator>

namespace {

struct FormConnection {
    QObject* sender;
    const char* signal;
    const char* slot;
};

} // namespace

void KVX_Configurator::connectForm() {
    Ui_KVX_Configurator& f = *ui;
    const FormConnection connections[] = {
        {f.kvxConnect, SIGNAL(pressed()), SLOT(KVXConnectButtonPressed())},
        {f.kvxDisconnect, SIGNAL(pressed()), SLOT(KVXDisconnectButtonPressed())},
        {f.kvxRead, SIGNAL(pressed()), SLOT(KVXReadButtonPressed())},
        {f.kvxWrite, SIGNAL(pressed()), SLOT(KVXWriteButtonPressed())},
        {f.setRTC, SIGNAL(pressed()), SLOT(KVXSetRTCPressed())},
        {f.readRTC, SIGNAL(pressed()), SLOT(KVXReadRTCPressed())},
        {f.alwaysPowerOn, SIGNAL(clicked()), SLOT(SampleAlwaysPowerOnClicked())},
        {f.nextPowerOn, SIGNAL(clicked()), SLOT(SampleNextPowerOnClicked())},
        {f.specificTime, SIGNAL(clicked()), SLOT(SampleSpecificTimeClicked())},
        {f.scd30CalButton, SIGNAL(pressed()), SLOT(SCD30CalButtonPressed())},
        {f.as1Mode, SIGNAL(clicked(bool)), SLOT(Alphasense1GasModeChanged(bool))},
        {f.as1Mode_3, SIGNAL(clicked(bool)), SLOT(Alphasense1ModeChanged(bool))},
        {f.as2Mode, SIGNAL(clicked(bool)), SLOT(Alphasense2GasModeChanged(bool))},
        {f.as2Mode_3, SIGNAL(clicked(bool)), SLOT(Alphasense2ModeChanged(bool))},
        {f.as3Mode, SIGNAL(clicked(bool)), SLOT(Alphasense3GasModeChanged(bool))},
        {f.as3Mode_3, SIGNAL(clicked(bool)), SLOT(Alphasense3ModeChanged(bool))},
        {f.as4Mode, SIGNAL(clicked(bool)), SLOT(Alphasense4GasModeChanged(bool))},
        {f.as4Mode_3, SIGNAL(clicked(bool)), SLOT(Alphasense4ModeChanged(bool))},
        {f.scd30Mode, SIGNAL(clicked(bool)), SLOT(SCD30ModeChanged(bool))},
        {f.sgp41Mode, SIGNAL(clicked(bool)), SLOT(SGP41ModeChanged(bool))},
        {f.sfa30Mode, SIGNAL(clicked(bool)), SLOT(SFA30ModeChanged(bool))},
        {f.figaroMode, SIGNAL(clicked(bool)), SLOT(FigaroModeChanged(bool))},
        {f.sen55Mode, SIGNAL(currentIndexChanged(int)), SLOT(SEN55ModeChanged(int))},
        {f.pumpASampleStart, SIGNAL(clicked()), SLOT(PumpASampleStartClicked())},
        {f.pumpADelayedStart, SIGNAL(clicked()), SLOT(PumpADelayedStartClicked())},
        {f.pumpASpecificDateTime, SIGNAL(clicked()), SLOT(PumpASpecificDateTimeClicked())},
        {f.pumpAFullSample, SIGNAL(clicked()), SLOT(PumpAFullSampleTimeClicked())},
        {f.pumpAPartialSample, SIGNAL(clicked()), SLOT(PumpAPartialSampleTimeClicked())},
        {f.pumpBSampleStart, SIGNAL(clicked()), SLOT(PumpBSampleStartClicked())},
        {f.pumpBDelayedStart, SIGNAL(clicked()), SLOT(PumpBDelayedStartClicked())},
        {f.pumpBSpecificDateTime, SIGNAL(clicked()), SLOT(PumpBSpecificDateTimeClicked())},
        {f.pumpBFullSample, SIGNAL(clicked()), SLOT(PumpBFullSampleTimeClicked())},
        {f.pumpBPartialSample, SIGNAL(clicked()), SLOT(PumpBPartialSampleTimeClicked())},
        {f.pumpCSampleStart, SIGNAL(clicked()), SLOT(PumpCSampleStartClicked())},
        {f.pumpCDelayedStart, SIGNAL(clicked()), SLOT(PumpCDelayedStartClicked())},
        {f.pumpCSpecificDateTime, SIGNAL(clicked()), SLOT(PumpCSpecificDateTimeClicked())},
        {f.pumpCFullSample, SIGNAL(clicked()), SLOT(PumpCFullSampleTimeClicked())},
        {f.pumpCPartialSample, SIGNAL(clicked()), SLOT(PumpCPartialSampleTimeClicked())},
        {f.pumpDSampleStart, SIGNAL(clicked()), SLOT(PumpDSampleStartClicked())},
        {f.pumpDDelayedStart, SIGNAL(clicked()), SLOT(PumpDDelayedStartClicked())},
        {f.pumpDSpecificDateTime, SIGNAL(clicked()), SLOT(PumpDSpecificDateTimeClicked())},
        {f.pumpDFullSample, SIGNAL(clicked()), SLOT(PumpDFullSampleTimeClicked())},
        {f.pumpDPartialSample, SIGNAL(clicked()), SLOT(PumpDPartialSampleTimeClicked())},
        {f.pumpCLogVSUPPLY, SIGNAL(clicked(bool)), SLOT(PumpCLogVSUPPLYChanged(bool))},
        {f.pumpCLog3V3, SIGNAL(clicked(bool)), SLOT(PumpCLog3V3Changed(bool))},
        {f.pumpCLogBMP390P, SIGNAL(clicked(bool)), SLOT(PumpCLogBMP390PChanged(bool))},
        {f.pumpCLogBMP390T, SIGNAL(clicked(bool)), SLOT(PumpCLogBMP390TChanged(bool))},
        {f.pumpCLogAtmo, SIGNAL(clicked(bool)), SLOT(PumpCLogAtmoChanged(bool))},
        {f.pumpDLogVSUPPLY, SIGNAL(clicked(bool)), SLOT(PumpDLogVSUPPLYChanged(bool))},
        {f.pumpDLog3V3, SIGNAL(clicked(bool)), SLOT(PumpDLog3V3Changed(bool))},
        {f.pumpDLogBMP390P, SIGNAL(clicked(bool)), SLOT(PumpDLogBMP390PChanged(bool))},
        {f.pumpDLogBMP390T, SIGNAL(clicked(bool)), SLOT(PumpDLogBMP390TChanged(bool))},
        {f.pumpDLogAtmo, SIGNAL(clicked(bool)), SLOT(PumpDLogAtmoChanged(bool))},
        {f.startPumpA, SIGNAL(clicked()), SLOT(PumpAStartClicked())},
        {f.stopPumpA, SIGNAL(clicked()), SLOT(PumpAStopClicked())},
        {f.startPumpB, SIGNAL(clicked()), SLOT(PumpBStartClicked())},
        {f.stopPumpB, SIGNAL(clicked()), SLOT(PumpBStopClicked())},
        {f.startPumpC, SIGNAL(clicked()), SLOT(PumpCStartClicked())},
        {f.stopPumpC, SIGNAL(clicked()), SLOT(PumpCStopClicked())},
        {f.startPumpD, SIGNAL(clicked()), SLOT(PumpDStartClicked())},
        {f.stopPumpD, SIGNAL(clicked()), SLOT(PumpDStopClicked())},
    };
    static_assert(std::size(connections) == 61, "the form has 61 connections");
    for (const FormConnection& c : connections)
        QObject::connect(c.sender, c.signal, this, c.slot);
}
