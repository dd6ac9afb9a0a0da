#include "image/boards/AlphasenseCodec.h"

#include "image/LoggingWord.h"
#include "image/boards/BoardText.h"
#include "ui_KVX_Configurator.h"

#include <vector>

namespace kvx {

namespace {

// Sensor word at firmware level 1 and above.
constexpr quint16 kModeMask = 0x0003;
constexpr quint16 kAlgorithm2Logged = 0x0004;
constexpr quint16 kAlgorithm2Listed = 0x0008;
constexpr int kModeOn = 2;
constexpr int kTypeOxB431 = 3;

QString typeText(int type) {
    switch (type) {
    case 1:
        return QStringLiteral("CO-B4");
    case 2:
        return QStringLiteral("NO2-B43F");
    case 3:
        return QStringLiteral("OX-B431");
    case 4:
        return QStringLiteral("NO-B4");
    default:
        return QStringLiteral("None");
    }
}

std::vector<LoggingBit<QCheckBox>> alphasenseLogTable(const Ui_KVX_Configurator& ui) {
    std::vector<LoggingBit<QCheckBox>> table;
    for (int position = 1; position <= 4; ++position) {
        const AlphasenseWidgets w = alphasenseWidgets(ui, position);
        for (int k = 0; k < 5; ++k)
            table.push_back({5 * (position - 1) + k, w.logging[size_t(k)]});
    }
    return table;
}

// The NO2 list item that shows algorithm `code`: without "Algorithm #2" in the
// list, algorithms 3 and 4 sit one item up (and 2 shows as item 1).
int algorithmItem(int code, bool listsAlgorithm2) {
    return listsAlgorithm2 || code < 2 ? code : code - 1;
}

constexpr int kAlgorithmShift = 12;

void decodeAtLevel0(const AlphasenseWidgets& w, const ConfigImage& response) {
    w.gasGroup->show();
    const quint16 mode = response.readU16(2); // 0 also for a short answer
    if (mode == 0) {
        w.gasGroup->setEnabled(false);
        w.gasMode->setChecked(false);
        w.gasLogRaw->setEnabled(false);
        w.gasLogRaw->setChecked(false);
        return;
    }
    w.gasMode->setChecked(mode == kModeOn);
    w.gasRun->setText(decimalField(response, 4));
    w.gasId->setText(response.readText(8));
}

void decodeAtLevel1(const AlphasenseWidgets& w, const ConfigImage& response, int& partner) {
    w.gasGroup->hide();
    const quint16 word = response.readU16(2);
    if ((word & kModeMask) == 0) {
        w.group->setEnabled(false);
        w.mode->setChecked(false);
        for (QCheckBox* box : w.logging) {
            box->setEnabled(false);
            box->setChecked(false);
        }
        w.algorithm->setEnabled(false);
        return;
    }
    if ((word & kAlgorithm2Logged) == 0) {
        w.logging[2]->setEnabled(false);
        w.logging[2]->setChecked(false);
    }
    w.mode->setChecked((word & kModeMask) == kModeOn);
    w.run->setText(decimalField(response, 4));
    w.id->setText(response.readText(8));
    partner = (word >> 8) & 0xF;
    const int type = (word >> 4) & 0xF;
    w.type->setText(typeText(type));

    if (type != kTypeOxB431 || partner == 0) {
        w.algorithmLabel->hide();
        w.algorithm->hide();
        w.algorithm->setEnabled(false);
        return;
    }
    const bool listsAlgorithm2 = (word & kAlgorithm2Listed) != 0;
    w.algorithmLabel->show();
    w.algorithm->setEnabled(true);
    w.algorithm->clear();
    w.algorithm->addItem(QStringLiteral("None"));
    w.algorithm->addItem(QStringLiteral("Algorithm #1"));
    if (listsAlgorithm2)
        w.algorithm->addItem(QStringLiteral("Algorithm #2"));
    w.algorithm->addItem(QStringLiteral("Algorithm #3"));
    w.algorithm->addItem(QStringLiteral("Algorithm #4"));
    // Without "Algorithm #2" in the list, algorithms 3 and 4 sit one item up.
    const int algorithm = (word >> kAlgorithmShift) & 0xF;
    const int item = algorithmItem(algorithm, listsAlgorithm2);
    w.algorithm->setCurrentIndex(item < w.algorithm->count() ? item : -1);
    w.algorithm->show();
}

} // namespace

quint16 alphasenseRecordWord(int position) {
    return quint16(0x4046 + 0x10 * (position - 1));
}

#define KVX_ALPHASENSE_WIDGETS(N)                                                                  \
    AlphasenseWidgets {                                                                            \
        ui.as##N, ui.as##N##Mode, ui.as##N##ID, ui.as##N##Run, ui.gasLogAS##N##Raw, ui.as##N##_3,  \
            ui.as##N##Mode_3, ui.as##N##ID_3, ui.as##N##Run_3, ui.as##N##Type,                     \
            ui.as##N##_NO2_Algorithm, ui.as##N##_NO2_Label, {                                      \
            ui.alphasenseLogAS##N##Raw, ui.alphasenseLogAS##N##Algorithm1,                         \
                ui.alphasenseLogAS##N##Algorithm2, ui.alphasenseLogAS##N##Algorithm3,              \
                ui.alphasenseLogAS##N##Algorithm4                                                  \
        }                                                                                          \
    }

AlphasenseWidgets alphasenseWidgets(const Ui_KVX_Configurator& ui, int position) {
    switch (position) {
    case 2:
        return KVX_ALPHASENSE_WIDGETS(2);
    case 3:
        return KVX_ALPHASENSE_WIDGETS(3);
    case 4:
        return KVX_ALPHASENSE_WIDGETS(4);
    default:
        return KVX_ALPHASENSE_WIDGETS(1);
    }
}

#undef KVX_ALPHASENSE_WIDGETS

int alphasenseAlgorithmCode(const QComboBox* combo) {
    if (combo == nullptr)
        return 0;
    const QString text = combo->currentText();
    for (int code = 1; code <= 4; ++code) {
        if (text == QStringLiteral("Algorithm #%1").arg(code))
            return code;
    }
    return 0;
}

void applyAlphasenseLogging(Ui_KVX_Configurator& ui, quint32 word) {
    applyLoggingWord(word, alphasenseLogTable(ui));
}

quint32 collectAlphasenseLogging(const Ui_KVX_Configurator& ui) {
    return collectLoggingWord(alphasenseLogTable(ui));
}

void decodeAlphasenseRecord(Ui_KVX_Configurator& ui, int position, const ConfigImage& response,
                            int firmwareLevel, int& partner) {
    const AlphasenseWidgets w = alphasenseWidgets(ui, position);
    if (firmwareLevel == 0)
        decodeAtLevel0(w, response);
    else
        decodeAtLevel1(w, response, partner);
}

void decodeFigaroRecord(Ui_KVX_Configurator& ui, const ConfigImage& response,
                        ReadBackState& readBack) {
    const quint8 mode = response.readU8(2); // 0 also for a short answer
    readBack.figaroValid = response.holds(2, 1);
    readBack.figaroMode = mode;
    readBack.figaroRange = response.readU8(3);

    const std::array<QCheckBox*, 4> logging = {ui.figaroLogGain1, ui.figaroLogOutput,
                                               ui.figaroLogOffset, ui.figaroLogReference};
    if (mode == 0) {
        ui.figaroRunLabel->setEnabled(false);
        ui.figaroMode->setEnabled(false);
        for (QCheckBox* box : logging)
            box->setEnabled(false);
        ui.figaroLogging->setEnabled(false);
        ui.figaro20PPM->setEnabled(false);
        ui.figaro50PPM->setEnabled(false);
        ui.figaro1000PPM->setEnabled(false);
        ui.figaroRange->setEnabled(false);
        return;
    }
    if (mode == 2) {
        ui.figaroMode->setChecked(true);
    } else {
        ui.figaroMode->setChecked(false);
        for (QCheckBox* box : logging)
            box->setChecked(false);
    }
    switch (response.readU8(3)) {
    case 2:
        ui.figaro20PPM->setChecked(true);
        break;
    case 1:
        ui.figaro50PPM->setChecked(true);
        break;
    default:
        ui.figaro1000PPM->setChecked(true);
        break;
    }
    ui.figaroRun->setText(decimalField(response, 4));
}

void decodeAlphasenseLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    applyAlphasenseLogging(ui, response.readU32(2));
}

void encodeAlphasenseModesRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                 int firmwareLevel, const ReadBackState& readBack) {
    request.resetRequest(kAlphasenseModesWord);
    for (int position = 1; position <= 4; ++position) {
        const AlphasenseWidgets w = alphasenseWidgets(ui, position);
        quint32 value = 0;
        if (firmwareLevel == 0) {
            value = w.gasGroup->isEnabled() && w.gasMode->isChecked() ? 1 : 0;
        } else {
            value = w.group->isEnabled() && w.mode->isChecked() ? 1 : 0;
            int code = w.algorithm->isEnabled() ? alphasenseAlgorithmCode(w.algorithm) : 0;
            if (const ConfigImage* read = readBack.record(alphasenseRecordWord(position))) {
                const quint16 word = read->readU16(2);
                const int readCode = (word >> kAlgorithmShift) & 0xF;
                const int readItem = algorithmItem(readCode, (word & kAlgorithm2Listed) != 0);
                if (!w.algorithm->isEnabled() || w.algorithm->currentIndex() == readItem ||
                    (w.algorithm->currentIndex() < 0 && readItem >= w.algorithm->count()))
                    code = readCode;
            }
            // The field holds codes 0-7; a code read beyond that (which no
            // item of the list shows) goes out as code 0, like no choice.
            value += 2 * quint32(code <= 7 ? code : 0);
        }
        request.appendU8(value);
    }
}

void encodeFigaroRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                        const ReadBackState& readBack) {
    request.resetRequest(kFigaroWord);
    if (ui.figaroMode->isEnabled())
        request.appendU8(ui.figaroMode->isChecked() ? 2 : 1);
    else
        request.appendU8(readBack.figaroValid ? readBack.figaroMode : 1);

    if (!ui.figaroRange->isEnabled() && readBack.figaroValid)
        request.appendU8(readBack.figaroRange);
    else if (ui.figaro20PPM->isChecked())
        request.appendU8(2);
    else if (ui.figaro50PPM->isChecked())
        request.appendU8(1);
    else
        request.appendU8(0);
}

void encodeAlphasenseLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                                   const ReadBackState& readBack) {
    request.resetRequest(kAlphasenseLoggingWord);
    request.appendU32(
        mergeLoggingWord(readBack.loggingWord(kAlphasenseLoggingWord), alphasenseLogTable(ui)));
}

} // namespace kvx
