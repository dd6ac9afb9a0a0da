#include "image/boards/FilterPumpCodec.h"

#include "image/LoggingWord.h"
#include "ui_KVX_Configurator.h"

#include <array>

namespace kvx {

namespace {

using FilterLogTable = std::array<LoggingBit<QCheckBox>, 17>;

#define KVX_FILTER_LOG_TABLE(P)                                                                    \
    FilterLogTable {                                                                               \
        {                                                                                          \
            {0, ui.pump##P##LogVSUPPLY}, {1, ui.pump##P##Log3V3}, {2, ui.pump##P##LogPUMPS},       \
                {3, ui.pump##P##LogRDAC}, {4, ui.pump##P##LogVBOOST}, {5, ui.pump##P##LogVOMRON},  \
                {6, ui.pump##P##LogVFLOW}, {7, ui.pump##P##LogIBMP581P},                           \
                {8, ui.pump##P##LogIBMP581T}, {9, ui.pump##P##LogXBMP581P},                        \
                {10, ui.pump##P##LogXBMP581T}, {11, ui.pump##P##LogFlowM},                         \
                {12, ui.pump##P##LogFlowV}, {13, ui.pump##P##LogPumpVol},                          \
                {14, ui.pump##P##LogCartTotal}, {15, ui.pump##P##LogCartSample}, {                 \
                16, ui.pump##P##LogAtmo                                                            \
            }                                                                                      \
        }                                                                                          \
    }

FilterLogTable filterLogTable(const Ui_KVX_Configurator& ui, Pump pump) {
    return pump == Pump::B ? KVX_FILTER_LOG_TABLE(B) : KVX_FILTER_LOG_TABLE(A);
}

#undef KVX_FILTER_LOG_TABLE

} // namespace

quint16 filterPumpLoggingWord(Pump pump) {
    return pump == Pump::B ? 0x8004 : 0x8002;
}

void applyFilterPumpLogging(Ui_KVX_Configurator& ui, Pump pump, quint32 word) {
    applyLoggingWord(word, filterLogTable(ui, pump));
}

quint32 collectFilterPumpLogging(const Ui_KVX_Configurator& ui, Pump pump) {
    return collectLoggingWord(filterLogTable(ui, pump));
}

void decodeFilterPumpLoggingRecord(Ui_KVX_Configurator& ui, Pump pump,
                                   const ConfigImage& response) {
    applyFilterPumpLogging(ui, pump, response.readU32(2));
}

void encodeFilterPumpLoggingRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request,
                                   const ReadBackState& readBack) {
    const quint16 word = filterPumpLoggingWord(pump);
    request.resetRequest(word);
    request.appendU32(mergeLoggingWord(readBack.loggingWord(word), filterLogTable(ui, pump)));
}

} // namespace kvx
