#include "image/boards/MainBoardCodec.h"

#include "image/LoggingWord.h"
#include "image/boards/BoardText.h"
#include "ui_KVX_Configurator.h"

#include <array>

namespace kvx {

namespace {

std::array<LoggingBit<QCheckBox>, 17> mainLogTable(const Ui_KVX_Configurator& ui) {
    return {{{0, ui.mainLogVBUS},
             {1, ui.mainLogVSUPPLY},
             {2, ui.mainLog5V0},
             {3, ui.mainLog3V3},
             {4, ui.mainLogVBAT},
             {5, ui.mainLogTBAT},
             {6, ui.mainLogBMP581P},
             {7, ui.mainLogBMP581T},
             {8, ui.mainLogSEN55_PM1_0},
             {9, ui.mainLogSEN55_PM2_5},
             {10, ui.mainLogSEN55_PM4_0},
             {11, ui.mainLogSEN55_PM10},
             {12, ui.mainLogVSEN55RH},
             {13, ui.mainLogSEN55T},
             {14, ui.mainLogSEN55RawVOC},
             {15, ui.mainLogSEN55RawNOx},
             {16, ui.mainLogAccelerometer}}};
}

// The logging interval items and the seconds they stand for.
constexpr int kIntervalSeconds[] = {5, 15, 30, 60};

int intervalItem(int seconds) {
    for (int item = 0; item < 3; ++item) {
        if (kIntervalSeconds[item] == seconds)
            return item;
    }
    return 3; // any other value shows as "60"
}

constexpr quint16 kHaltFlag = 0x8000;
enum StartMode { StartAtTime = 0, StartNextPowerOn = 1, StartEveryPowerOn = 2 };

} // namespace

QString clockText(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return QString();
    return dateTime.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss"));
}

void applyMainLogging(Ui_KVX_Configurator& ui, quint32 word) {
    applyLoggingWord(word, mainLogTable(ui));
}

quint32 collectMainLogging(const Ui_KVX_Configurator& ui) {
    return collectLoggingWord(mainLogTable(ui));
}

void decodeClockRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    const QDateTime utc = response.readClockDateTime(2);
    ui.utcText->setText(clockText(utc));
    ui.localText->setText(utc.isValid() ? clockText(utc.toLocalTime()) : QString());
}

void decodeUtcOffsetRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    ui.tzOffset->setValue(decodeUtcOffset(response, 2));
}

void decodeSampleIdRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    ui.sampleID->setText(response.readText(2));
}

void decodeScheduleRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    // An answer too short for the flags reads them as 0: no halt, start at a
    // specific time (which then reads as 2000-01-01 00:00 UTC).
    const quint16 flags = response.readU16(2);
    if (ui.sampleHalt->isEnabled())
        ui.sampleHalt->setChecked((flags & kHaltFlag) != 0);

    switch (flags & 0x3) {
    case StartEveryPowerOn:
        ui.alwaysPowerOn->setChecked(true);
        ui.startDateTime->setEnabled(false);
        break;
    case StartNextPowerOn:
        ui.nextPowerOn->setChecked(true);
        ui.startDateTime->setEnabled(false);
        break;
    default: { // 0, and 3 which has no meaning of its own
        ui.specificTime->setChecked(true);
        ui.startDateTime->setEnabled(true);
        // A read replaces what the form showed: a bit pattern that is no
        // calendar date shows the form's default date.
        const QDateTime start = response.readPackedDateTime(4);
        ui.startDateTime->setDateTime(start.isValid() ? start : defaultDateTime());
        break;
    }
    }

    ui.durationDays->setValue(response.readU16(8));
    ui.durationHours->setValue(response.readU8(10));
    ui.durationMinutes->setValue(response.readU8(11));
    ui.logInterval->setCurrentIndex(intervalItem(response.readU8(12)));
    ui.stopState->setCurrentIndex(response.readU8(13) == 0 ? 0 : 1);
}

bool decodeSen55Record(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    const quint16 mode = response.readU16(2); // 0 also when the answer is short
    if (mode == 0) {
        ui.sen55->setEnabled(false);
        for (const auto& entry : mainLogTable(ui)) {
            if (entry.bit >= 8 && entry.bit <= 15) {
                entry.box->setEnabled(false);
                entry.box->setChecked(false);
            }
        }
        return false;
    }
    ui.sen55->setEnabled(true);
    // A mode above 3 selects no item.
    ui.sen55Mode->setCurrentIndex(int(mode) - 1);
    ui.sen55Run->setText(decimalField(response, 4));
    ui.sen55Fan->setText(decimalField(response, 8));
    // The spin box stops at its maximum; keep huge values from turning negative.
    ui.sen55Interval->setValue(int(qMin<quint32>(response.readU32(12), 0x7FFFFFFF)));
    return true;
}

void decodeSen55SerialRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    ui.sen55ID->setText(response.readText(2));
}

void decodeMainLoggingRecord(Ui_KVX_Configurator& ui, const ConfigImage& response) {
    applyMainLogging(ui, response.readU32(2));
}

void encodeClockRecord(ConfigImage& request, const QDateTime& utcNow) {
    request.resetRequest(kClockWord);
    request.appendClockDateTime(utcNow);
}

void encodeUtcOffsetRecord(const Ui_KVX_Configurator& ui, ConfigImage& request) {
    request.resetRequest(kUtcOffsetWord);
    request.appendU16(encodeUtcOffset(ui.tzOffset->value()));
}

void encodeSampleIdRecord(const Ui_KVX_Configurator& ui, ConfigImage& request) {
    request.resetRequest(kSampleIdWord);
    request.appendFixedText(ui.sampleID->text(), 31);
}

void encodeScheduleRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                          const ReadBackState& readBack) {
    request.resetRequest(kScheduleWord);
    // A hidden halt flag cannot have been changed: it goes back as read.
    const ConfigImage* read = readBack.record(kScheduleWord);
    const bool halt = ui.sampleHalt->isEnabled()
                          ? ui.sampleHalt->isChecked()
                          : read != nullptr && (read->readU16(2) & kHaltFlag) != 0;
    request.appendU8(halt ? 0x80 : 0);
    if (ui.alwaysPowerOn->isChecked()) {
        request.appendU8(StartEveryPowerOn);
        request.appendU32(0);
    } else if (ui.nextPowerOn->isChecked()) {
        request.appendU8(StartNextPowerOn);
        request.appendU32(0);
    } else {
        request.appendU8(StartAtTime);
        request.appendPackedDateTime(ui.startDateTime->dateTime());
    }
    request.appendU16(quint32(ui.durationDays->value()));
    request.appendU8(quint32(ui.durationHours->value()));
    request.appendU8(quint32(ui.durationMinutes->value()));
    const int item = ui.logInterval->currentIndex();
    request.appendU8(quint32(item >= 0 && item < 3 ? kIntervalSeconds[item] : 60));
    request.appendU8(ui.stopState->currentIndex() == 0 ? 0 : 1);
}

void encodeSen55Record(const Ui_KVX_Configurator& ui, ConfigImage& request) {
    request.resetRequest(kSen55Word);
    const int item = ui.sen55Mode->currentIndex();
    request.appendU16(item == 1 ? 2 : item == 2 ? 3 : 1);
    request.appendU32(quint32(ui.sen55Interval->value()));
}

void encodeMainLoggingRecord(const Ui_KVX_Configurator& ui, ConfigImage& request,
                             const ReadBackState& readBack) {
    request.resetRequest(kMainLoggingWord);
    request.appendU32(mergeLoggingWord(readBack.loggingWord(kMainLoggingWord), mainLogTable(ui)));
}

} // namespace kvx
