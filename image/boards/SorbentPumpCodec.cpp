#include "image/boards/SorbentPumpCodec.h"

#include "image/LoggingWord.h"
#include "ui_KVX_Configurator.h"

#include <array>

namespace kvx {

namespace {

struct SharedLogBit {
    int bit;
    QCheckBox* pumpC;
    QCheckBox* pumpD;
};

std::array<SharedLogBit, 5> sharedBits(const Ui_KVX_Configurator& ui) {
    return {{{0, ui.pumpCLogVSUPPLY, ui.pumpDLogVSUPPLY},
             {1, ui.pumpCLog3V3, ui.pumpDLog3V3},
             {2, ui.pumpCLogBMP390P, ui.pumpDLogBMP390P},
             {3, ui.pumpCLogBMP390T, ui.pumpDLogBMP390T},
             {26, ui.pumpCLogAtmo, ui.pumpDLogAtmo}}};
}

std::array<LoggingBit<QCheckBox>, 22> ownBits(const Ui_KVX_Configurator& ui) {
    return {{// Pump D's own quantities come first in the word.
             {4, ui.pumpDLogRDAC},       {5, ui.pumpDLogVBOOST},      {6, ui.pumpDLogVOMRON},
             {7, ui.pumpDLogVFLOW},      {8, ui.pumpDLogBMP581P},     {9, ui.pumpDLogBMP581T},
             {10, ui.pumpDLogFlowM},     {11, ui.pumpDLogFlowV},      {12, ui.pumpDLogPumpVol},
             {13, ui.pumpDLogCartTotal}, {14, ui.pumpDLogCartSample}, {15, ui.pumpCLogRDAC},
             {16, ui.pumpCLogVBOOST},    {17, ui.pumpCLogVOMRON},     {18, ui.pumpCLogVFLOW},
             {19, ui.pumpCLogBMP581P},   {20, ui.pumpCLogBMP581T},    {21, ui.pumpCLogFlowM},
             {22, ui.pumpCLogFlowV},     {23, ui.pumpCLogPumpVol},    {24, ui.pumpCLogCartTotal},
             {25, ui.pumpCLogCartSample}}};
}

} // namespace

void applyPumpsCDLogging(Ui_KVX_Configurator& ui, quint32 word) {
    for (const SharedLogBit& shared : sharedBits(ui)) {
        if (!shared.pumpC->isEnabled() && !shared.pumpD->isEnabled())
            continue;
        const bool on = ((word >> shared.bit) & 1u) != 0;
        shared.pumpC->setChecked(on);
        shared.pumpD->setChecked(on);
    }
    applyLoggingWord(word, ownBits(ui));
}

quint32 collectPumpsCDLogging(const Ui_KVX_Configurator& ui) {
    quint32 word = collectLoggingWord(ownBits(ui));
    for (const SharedLogBit& shared : sharedBits(ui)) {
        const bool on = (shared.pumpC->isEnabled() && shared.pumpC->isChecked()) ||
                        (shared.pumpD->isEnabled() && shared.pumpD->isChecked());
        if (on)
            word |= quint32(1) << shared.bit;
    }
    return word;
}

void decodePumpsCDLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    applyPumpsCDLogging(ui, response.readU32(2));
}

void encodePumpsCDLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                const ReadBackState& readBack) {
    quint32 editable = 0;
    for (const SharedLogBit& shared : sharedBits(ui)) {
        if (shared.pumpC->isEnabled() || shared.pumpD->isEnabled())
            editable |= quint32(1) << shared.bit;
    }
    for (const auto& entry : ownBits(ui)) {
        if (entry.box->isEnabled())
            editable |= quint32(1) << entry.bit;
    }
    const quint32 read = readBack.loggingWord(kPumpsCDLoggingWord);
    request.resetRequest(kPumpsCDLoggingWord);
    request.appendU32((read & ~editable) | collectPumpsCDLogging(ui));
}

} // namespace kvx
