// Temporary: slots whose workflows are still being built. Each moves to its own
// workflow file when that lands; this file then goes away.
#include "app/KVX_Configurator.h"

void KVX_Configurator::KVXWriteButtonPressed() {}
void KVX_Configurator::SCD30CalButtonPressed() {}
void KVX_Configurator::SampleAlwaysPowerOnClicked() {}
void KVX_Configurator::SampleNextPowerOnClicked() {}
void KVX_Configurator::SampleSpecificTimeClicked() {}
void KVX_Configurator::Alphasense1GasModeChanged(bool) {}
void KVX_Configurator::Alphasense1ModeChanged(bool) {}
void KVX_Configurator::Alphasense2GasModeChanged(bool) {}
void KVX_Configurator::Alphasense2ModeChanged(bool) {}
void KVX_Configurator::Alphasense3GasModeChanged(bool) {}
void KVX_Configurator::Alphasense3ModeChanged(bool) {}
void KVX_Configurator::Alphasense4GasModeChanged(bool) {}
void KVX_Configurator::Alphasense4ModeChanged(bool) {}
void KVX_Configurator::SCD30ModeChanged(bool) {}
void KVX_Configurator::SGP41ModeChanged(bool) {}
void KVX_Configurator::SFA30ModeChanged(bool) {}
void KVX_Configurator::FigaroModeChanged(bool) {}
void KVX_Configurator::SEN55ModeChanged(int) {}
void KVX_Configurator::PumpASampleStartClicked() {}
void KVX_Configurator::PumpADelayedStartClicked() {}
void KVX_Configurator::PumpASpecificDateTimeClicked() {}
void KVX_Configurator::PumpAFullSampleTimeClicked() {}
void KVX_Configurator::PumpAPartialSampleTimeClicked() {}
void KVX_Configurator::PumpBSampleStartClicked() {}
void KVX_Configurator::PumpBDelayedStartClicked() {}
void KVX_Configurator::PumpBSpecificDateTimeClicked() {}
void KVX_Configurator::PumpBFullSampleTimeClicked() {}
void KVX_Configurator::PumpBPartialSampleTimeClicked() {}
void KVX_Configurator::PumpCSampleStartClicked() {}
void KVX_Configurator::PumpCDelayedStartClicked() {}
void KVX_Configurator::PumpCSpecificDateTimeClicked() {}
void KVX_Configurator::PumpCFullSampleTimeClicked() {}
void KVX_Configurator::PumpCPartialSampleTimeClicked() {}
void KVX_Configurator::PumpDSampleStartClicked() {}
void KVX_Configurator::PumpDDelayedStartClicked() {}
void KVX_Configurator::PumpDSpecificDateTimeClicked() {}
void KVX_Configurator::PumpDFullSampleTimeClicked() {}
void KVX_Configurator::PumpDPartialSampleTimeClicked() {}
void KVX_Configurator::PumpCLogVSUPPLYChanged(bool) {}
void KVX_Configurator::PumpCLog3V3Changed(bool) {}
void KVX_Configurator::PumpCLogBMP390PChanged(bool) {}
void KVX_Configurator::PumpCLogBMP390TChanged(bool) {}
void KVX_Configurator::PumpCLogAtmoChanged(bool) {}
void KVX_Configurator::PumpDLogVSUPPLYChanged(bool) {}
void KVX_Configurator::PumpDLog3V3Changed(bool) {}
void KVX_Configurator::PumpDLogBMP390PChanged(bool) {}
void KVX_Configurator::PumpDLogBMP390TChanged(bool) {}
void KVX_Configurator::PumpDLogAtmoChanged(bool) {}
void KVX_Configurator::PumpAStartClicked() {}
void KVX_Configurator::PumpAStopClicked() {}
void KVX_Configurator::PumpBStartClicked() {}
void KVX_Configurator::PumpBStopClicked() {}
void KVX_Configurator::PumpCStartClicked() {}
void KVX_Configurator::PumpCStopClicked() {}
void KVX_Configurator::PumpDStartClicked() {}
void KVX_Configurator::PumpDStopClicked() {}


void KVX_Configurator::runWriteState() {}
void KVX_Configurator::runCalibrationState() {}
void KVX_Configurator::runPumpState() {}
