#include "image/boards/GasBoardCodec.h"

#include "image/LoggingWord.h"
#include "image/boards/BoardText.h"
#include "ui_KVX_Configurator.h"

#include <array>
#include <initializer_list>

namespace kvx {

namespace {

using LogBit = LoggingBit<QCheckBox>;

// Bits used at every firmware level.
std::array<LogBit, 12> coreBits(const Ui_KVX_Configurator& ui) {
    return {{{0, ui.gasLog5V0},
             {1, ui.gasLog3V3},
             {6, ui.gasLogBMP581P},
             {7, ui.gasLogBMP581T},
             {8, ui.gasLogSCD30CO2},
             {9, ui.gasLogSCD30T},
             {10, ui.gasLogSCD30RH},
             {11, ui.gasLogSGP41RawVOC},
             {12, ui.gasLogSGP41RawNOX},
             {13, ui.gasLogSFA30Formald},
             {14, ui.gasLogSFA30RH},
             {15, ui.gasLogSFA30T}}};
}

// The Figaro sensor's quantities (firmware level 1 and above).
std::array<LogBit, 4> figaroBits(const Ui_KVX_Configurator& ui) {
    return {{{2, ui.figaroLogOutput},
             {3, ui.figaroLogGain1},
             {4, ui.figaroLogOffset},
             {5, ui.figaroLogReference}}};
}

// The Alphasense positions' raw values (firmware level 0 only).
std::array<LogBit, 4> alphasenseRawBits(const Ui_KVX_Configurator& ui) {
    return {{{16, ui.gasLogAS1Raw},
             {17, ui.gasLogAS2Raw},
             {18, ui.gasLogAS3Raw},
             {19, ui.gasLogAS4Raw}}};
}

// Marks a sensor not fitted: its group disabled, its Enable box unchecked, its
// logging boxes disabled and unchecked.
void sensorAbsent(QGroupBox* group, QCheckBox* mode, std::initializer_list<QCheckBox*> logging) {
    group->setEnabled(false);
    mode->setChecked(false);
    for (QCheckBox* box : logging) {
        box->setEnabled(false);
        box->setChecked(false);
    }
}

enum SensorMode : quint16 { NotFitted = 0, Off = 1, On = 2 };

} // namespace

void applyGasLogging(Ui_KVX_Configurator& ui, quint32 word) {
    applyLoggingWord(word, coreBits(ui));
    applyLoggingWord(word, figaroBits(ui));
    applyLoggingWord(word, alphasenseRawBits(ui));
}

quint32 collectGasLogging(const Ui_KVX_Configurator& ui) {
    return collectLoggingWord(coreBits(ui)) | collectLoggingWord(figaroBits(ui)) |
           collectLoggingWord(alphasenseRawBits(ui));
}

void showGasFanRow(Ui_KVX_Configurator& ui, bool shown) {
    ui.gasFanGroup->setVisible(shown);
    ui.gasFanGroup->setEnabled(shown);
    ui.gasFanState->setVisible(shown);
    ui.gasFanState->setEnabled(shown);
}

void decodeSgp41Record(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    const quint16 mode = response.readU16(2); // 0 also for a short answer
    if (mode == NotFitted) {
        sensorAbsent(ui.sgp41, ui.sgp41Mode, {ui.gasLogSGP41RawVOC, ui.gasLogSGP41RawNOX});
        return;
    }
    ui.sgp41Mode->setChecked(mode == On);
    ui.sgp41ID->setText(response.readHexSerial(4));
}

void decodeScd30Record(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    const quint16 mode = response.readU16(2);
    if (mode == NotFitted) {
        sensorAbsent(ui.scd30, ui.scd30Mode,
                     {ui.gasLogSCD30CO2, ui.gasLogSCD30T, ui.gasLogSCD30RH});
        return;
    }
    ui.scd30Mode->setChecked(mode == On);
    ui.scd30Run->setText(decimalField(response, 4));
    // A value above 3 selects no item.
    ui.scd30Compensation->setCurrentIndex(response.readU16(8));
    ui.scd30Calibrated->setText(response.readInstallText(10));
    ui.scd30ID->setText(response.readText(14));
}

void decodeSfa30Record(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    const quint16 mode = response.readU16(2);
    if (mode == NotFitted) {
        sensorAbsent(ui.sfa30, ui.sfa30Mode,
                     {ui.gasLogSFA30Formald, ui.gasLogSFA30RH, ui.gasLogSFA30T});
        return;
    }
    ui.sfa30Mode->setChecked(mode == On);
    ui.sfa30Run->setText(decimalField(response, 4));
    ui.sfa30ID->setText(response.readText(8));
}

void decodeGasFanRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    ui.gasFanState->setChecked(response.holds(2, 2) && response.readU16(2) == 1);
}

void decodeGasLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response, int firmwareLevel,
                            ReadBackState& readBack) {
    const quint32 word = response.readU32(2); // 0 for an answer under 6 bytes
    readBack.gasLogging = word;
    applyLoggingWord(word, coreBits(ui));
    if (firmwareLevel == 0) {
        for (const LogBit& entry : alphasenseRawBits(ui))
            entry.box->show();
        applyLoggingWord(word, alphasenseRawBits(ui));
        for (const LogBit& entry : figaroBits(ui))
            entry.box->setEnabled(false);
    } else {
        for (const LogBit& entry : alphasenseRawBits(ui)) {
            entry.box->setEnabled(false);
            entry.box->hide();
        }
        applyLoggingWord(word, figaroBits(ui));
    }
}

void encodeSgp41Record(const Ui_KVX_Configurator& ui, ConfigImage& request) {
    request.resetRequest(kSgp41Word);
    request.appendU16(ui.sgp41Mode->isChecked() ? On : Off);
}

void encodeSfa30Record(const Ui_KVX_Configurator& ui, ConfigImage& request) {
    request.resetRequest(kSfa30Word);
    request.appendU16(ui.sfa30Mode->isChecked() ? On : Off);
}

void encodeScd30Record(const Ui_KVX_Configurator& ui, ConfigImage& request,
                       const ReadBackState& readBack) {
    request.resetRequest(kScd30Word);
    request.appendU16(ui.scd30Mode->isChecked() ? On : Off);
    const int item = ui.scd30Compensation->currentIndex();
    const ConfigImage* read = readBack.record(kScd30Word);
    if (item >= 0)
        request.appendU16(quint32(item));
    else if (read != nullptr)
        request.appendU16(read->readU16(8)); // a value the list has no item for
    else
        request.appendU16(0xFFFF);
}

void encodeGasFanRecord(const Ui_KVX_Configurator& ui, ConfigImage& request) {
    request.resetRequest(kGasFanWord);
    request.appendU16(ui.gasFanState->isEnabled() && ui.gasFanState->isChecked() ? 1 : 0);
}

void encodeGasLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                            const ReadBackState& readBack) {
    quint32 word = mergeLoggingWord(readBack.gasLogging, coreBits(ui));
    word = mergeLoggingWord(word, figaroBits(ui));
    word = mergeLoggingWord(word, alphasenseRawBits(ui));
    request.resetRequest(kGasLoggingWord);
    request.appendU32(word);
}

void encodeScd30CalibrationRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                  const QDateTime& localNow) {
    request.resetRequest(kScd30CalibrationWord);
    request.appendU16(quint32(ui.scd30CalValue->value()));
    request.appendPackedDateTime(localNow);
}

} // namespace kvx
