#include "image/boards/PumpWidgets.h"

#include "ui_KVX_Configurator.h"

namespace kvx {

const PumpRecords& pumpRecords(Pump pump) {
    static const PumpRecords records[] = {
        {0x8012, 0x8022, 0x8032, 0x8042, 0x8052, 0x8062, 0x8072, 0x8082, 1000},
        {0x8014, 0x8024, 0x8034, 0x8044, 0x8054, 0x8064, 0x8074, 0x8084, 1000},
        {0xC201, 0xC211, 0xC221, 0xC231, 0xC241, 0xC251, 0xC261, 0xC271, 100},
        {0xC101, 0xC111, 0xC121, 0xC131, 0xC141, 0xC151, 0xC161, 0xC171, 100},
    };
    return records[pumpIndex(pump)];
}

std::vector<QWidget*> PumpWidgets::scheduleControls() const {
    return {sampleStart,
            delayedStart,
            specificDateTime,
            delayDays,
            delayDaysLabel,
            delayHours,
            delayHoursLabel,
            delayMinutes,
            delayMinutesLabel,
            startDateTime,
            start,
            fullSample,
            partialSample,
            durationDays,
            durationDaysLabel,
            durationHours,
            durationHoursLabel,
            durationMinutes,
            durationMinutesLabel,
            duration};
}

// The widgets every pump page has, by the pump's letter.
#define KVX_PUMP_COMMON(P)                                                                         \
    w.page = ui.Tab_Pump##P;                                                                       \
    w.flowRate = ui.pump##P##FlowRate;                                                             \
    w.cartId = ui.pump##P##CartID;                                                                 \
    w.install = ui.pump##P##Install;                                                               \
    w.run = ui.pump##P##Run;                                                                       \
    w.volume = ui.pump##P##Volume;                                                                 \
    w.start = ui.pump##P##Start;                                                                   \
    w.sampleStart = ui.pump##P##SampleStart;                                                       \
    w.delayedStart = ui.pump##P##DelayedStart;                                                     \
    w.specificDateTime = ui.pump##P##SpecificDateTime;                                             \
    w.delayDays = ui.pump##P##DelayDays;                                                           \
    w.delayHours = ui.pump##P##DelayHours;                                                         \
    w.delayMinutes = ui.pump##P##DelayMinutes;                                                     \
    w.delayDaysLabel = ui.pump##P##DelayDaysLabel;                                                 \
    w.delayHoursLabel = ui.pump##P##DelayHoursLabel;                                               \
    w.delayMinutesLabel = ui.pump##P##DelayMinutesLabel;                                           \
    w.startDateTime = ui.pump##P##StartDateTime;                                                   \
    w.duration = ui.pump##P##Duration;                                                             \
    w.fullSample = ui.pump##P##FullSample;                                                         \
    w.partialSample = ui.pump##P##PartialSample;                                                   \
    w.durationDays = ui.pump##P##DurationDays;                                                     \
    w.durationHours = ui.pump##P##DurationHours;                                                   \
    w.durationMinutes = ui.pump##P##DurationMinutes;                                               \
    w.durationDaysLabel = ui.pump##P##DurationDaysLabel;                                           \
    w.durationHoursLabel = ui.pump##P##DurationHoursLabel;                                         \
    w.durationMinutesLabel = ui.pump##P##DurationMinutesLabel;                                     \
    w.startButton = ui.startPump##P;                                                               \
    w.stopButton = ui.stopPump##P

// Pumps A and B: the ten quantities of the pump itself, then the page's 17.
#define KVX_FILTER_PUMP_LOGGING(P)                                                                 \
    w.ownLogging = {ui.pump##P##LogPUMPS,     ui.pump##P##LogRDAC,    ui.pump##P##LogVBOOST,       \
                    ui.pump##P##LogVOMRON,    ui.pump##P##LogVFLOW,   ui.pump##P##LogFlowM,        \
                    ui.pump##P##LogFlowV,     ui.pump##P##LogPumpVol, ui.pump##P##LogCartTotal,    \
                    ui.pump##P##LogCartSample};                                                    \
    w.allLogging = {ui.pump##P##LogVSUPPLY,    ui.pump##P##Log3V3,      ui.pump##P##LogPUMPS,      \
                    ui.pump##P##LogRDAC,       ui.pump##P##LogVBOOST,   ui.pump##P##LogVOMRON,     \
                    ui.pump##P##LogVFLOW,      ui.pump##P##LogIBMP581P, ui.pump##P##LogIBMP581T,   \
                    ui.pump##P##LogXBMP581P,   ui.pump##P##LogXBMP581T, ui.pump##P##LogFlowM,      \
                    ui.pump##P##LogFlowV,      ui.pump##P##LogPumpVol,  ui.pump##P##LogCartTotal,  \
                    ui.pump##P##LogCartSample, ui.pump##P##LogAtmo}

// Pumps C and D: eleven quantities of the pump itself; the five board-level
// boxes are shared between the two pages.
#define KVX_SORBENT_PUMP_LOGGING(P)                                                                \
    w.ownLogging = {ui.pump##P##LogRDAC,    ui.pump##P##LogVBOOST,    ui.pump##P##LogVOMRON,       \
                    ui.pump##P##LogVFLOW,   ui.pump##P##LogFlowM,     ui.pump##P##LogFlowV,        \
                    ui.pump##P##LogPumpVol, ui.pump##P##LogCartTotal, ui.pump##P##LogCartSample,   \
                    ui.pump##P##LogBMP581P, ui.pump##P##LogBMP581T};                               \
    w.allLogging = {ui.pump##P##LogVSUPPLY,   ui.pump##P##Log3V3,     ui.pump##P##LogBMP390P,      \
                    ui.pump##P##LogBMP390T,   ui.pump##P##LogAtmo,    ui.pump##P##LogRDAC,         \
                    ui.pump##P##LogVBOOST,    ui.pump##P##LogVOMRON,  ui.pump##P##LogVFLOW,        \
                    ui.pump##P##LogBMP581P,   ui.pump##P##LogBMP581T, ui.pump##P##LogFlowM,        \
                    ui.pump##P##LogFlowV,     ui.pump##P##LogPumpVol, ui.pump##P##LogCartTotal,    \
                    ui.pump##P##LogCartSample}

PumpWidgets pumpWidgets(const Ui_KVX_Configurator& ui, Pump pump) {
    PumpWidgets w{};
    switch (pump) {
    case Pump::A:
        KVX_PUMP_COMMON(A);
        KVX_FILTER_PUMP_LOGGING(A);
        break;
    case Pump::B:
        KVX_PUMP_COMMON(B);
        KVX_FILTER_PUMP_LOGGING(B);
        break;
    case Pump::C:
        KVX_PUMP_COMMON(C);
        KVX_SORBENT_PUMP_LOGGING(C);
        break;
    case Pump::D:
        KVX_PUMP_COMMON(D);
        KVX_SORBENT_PUMP_LOGGING(D);
        break;
    }
    return w;
}

#undef KVX_PUMP_COMMON
#undef KVX_FILTER_PUMP_LOGGING
#undef KVX_SORBENT_PUMP_LOGGING

} // namespace kvx
