// Temporary: slots whose workflows are still being built. Each moves to its own
// workflow file when that lands; this file then goes away.
#include "app/KVX_Configurator.h"

void KVX_Configurator::KVXWriteButtonPressed() {}
void KVX_Configurator::SCD30CalButtonPressed() {}
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
