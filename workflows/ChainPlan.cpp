// The lengths of the read and write chains. Every count below is one skip
// rule of ReadWorkflow.cpp or WriteWorkflow.cpp, on the same widgets and the
// same firmware level thresholds.
#include "workflows/ChainPlan.h"

#include "app/KVX_Configurator.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/PumpWidgets.h"
#include "ui_KVX_Configurator.h"

namespace kvx {

namespace {

int count(bool b) {
    return b ? 1 : 0;
}

// One pump's records in a read: the flow record; when the pump is fitted its
// install date, run counter, volume and cartridge, and from level 2 its start
// schedule and duration.
int readPumpRecords(const KVX_Configurator& w, Pump pump) {
    if (!pumpWidgets(*w.ui, pump).flowRate->isEnabled())
        return 1;
    return 5 + (w.firmwareLevel >= 2 ? 2 : 0);
}

// One pump's records in a write: a changed cartridge, the flow rate when its
// field is enabled, and from level 2 the start and duration when their groups
// are enabled.
int writePumpRecords(const KVX_Configurator& w, Pump pump) {
    const PumpWidgets p = pumpWidgets(*w.ui, pump);
    int n =
        count(pumpCartridgeChanged(*w.ui, pump, w.cartridgeIds)) + count(p.flowRate->isEnabled());
    if (w.firmwareLevel >= 2)
        n += count(p.start->isEnabled()) + count(p.duration->isEnabled());
    return n;
}

} // namespace

int plannedReadExchanges(const KVX_Configurator& w) {
    const Ui_KVX_Configurator& ui = *w.ui;
    const int level = w.firmwareLevel;
    int n = 0;
    // Clock, UTC offset, sample ID, schedule, SEN55, its serial, logging.
    if (ui.Tab_Main->isEnabled())
        n += 5 + count(ui.sen55->isEnabled()) + 1;
    // SGP41, SCD30, SFA30, four Alphasense positions, fan (level 3), Figaro
    // (level 4), logging, Alphasense logging (level 1).
    if (ui.Tab_Gas->isEnabled())
        n += 7 + count(level > 2) + count(level >= 4) + 1 + count(level != 0);
    if (ui.Tab_PumpA->isEnabled())
        n += readPumpRecords(w, Pump::A) + 1;
    if (ui.Tab_PumpB->isEnabled())
        n += readPumpRecords(w, Pump::B) + 1;
    if (ui.Tab_PumpC->isEnabled())
        n += readPumpRecords(w, Pump::C) + readPumpRecords(w, Pump::D) + 1;
    return n;
}

int plannedWriteExchanges(const KVX_Configurator& w, int issuingState) {
    const Ui_KVX_Configurator& ui = *w.ui;
    const int level = w.firmwareLevel;
    int n = 0;
    // A stop prelude: this stop, then every later pump whose Stop button was
    // enabled when the write began (the buttons are locked while it runs).
    if (issuingState >= 1400 && issuingState <= 1403) {
        n += 1;
        for (int i = issuingState - 1400 + 1; i < 4; ++i)
            n += count(w.heldPumpButtons[size_t(i)].stop);
    }
    // UTC offset, sample ID, schedule, SEN55, logging.
    if (ui.Tab_Main->isEnabled())
        n += 3 + count(ui.sen55->isEnabled()) + 1;
    // SGP41, SFA30, SCD30, Alphasense modes, fan (level 3), Figaro (level 4),
    // logging, Alphasense logging (level 1).
    if (ui.Tab_Gas->isEnabled())
        n += count(ui.sgp41->isEnabled()) + count(ui.sfa30->isEnabled()) +
             count(ui.scd30->isEnabled()) + 1 + count(level >= 3) + count(level >= 4) + 1 +
             count(level != 0);
    if (ui.Tab_PumpA->isEnabled())
        n += writePumpRecords(w, Pump::A) + 1;
    if (ui.Tab_PumpB->isEnabled())
        n += writePumpRecords(w, Pump::B) + 1;
    if (ui.Tab_PumpC->isEnabled())
        n += writePumpRecords(w, Pump::C) + writePumpRecords(w, Pump::D) + 1;
    return n;
}

} // namespace kvx
