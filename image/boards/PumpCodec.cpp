#include "image/boards/PumpCodec.h"

#include "image/boards/BoardText.h"
#include "ui_KVX_Configurator.h"

namespace kvx {

namespace {

bool anyByteSet(const ConfigImage& image, int offset, int count) {
    for (int i = 0; i < count; ++i) {
        if (image.readU8(offset + i) != 0)
            return true;
    }
    return false;
}

// A read replaces what the form showed: a bit pattern that is no calendar
// date shows the form's default date, never an earlier instrument's.
void setDate(QDateTimeEdit* edit, const QDateTime& value) {
    edit->setDateTime(value.isValid() ? value : defaultDateTime());
}

} // namespace

bool decodePumpFlowRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response,
                          int firmwareLevel) {
    const PumpWidgets w = pumpWidgets(ui, pump);
    // An answer too short to hold the flag reads 0: not fitted.
    if (response.readU8(2) == 0) {
        for (QCheckBox* box : w.ownLogging)
            box->setEnabled(false);
        w.flowRate->setEnabled(false);
        w.cartId->setEnabled(false);
        if (firmwareLevel >= 2) {
            for (QWidget* control : w.scheduleControls())
                control->setEnabled(false);
        }
        return false;
    }
    const int scale = pumpRecords(pump).flowScale;
    // The limit first, so that the rate is held to the new limit.
    w.flowRate->setMaximum(decodeFlowRate(response.readU16(5), scale));
    w.flowRate->setValue(decodeFlowRate(response.readU16(3), scale));
    return true;
}

void decodePumpInstallRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response) {
    pumpWidgets(ui, pump).install->setText(response.readInstallText(2));
}

void decodePumpRunRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response) {
    pumpWidgets(ui, pump).run->setText(decimalField(response, 2));
}

void decodePumpVolumeRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response) {
    pumpWidgets(ui, pump).volume->setText(decimalField(response, 2));
}

void decodePumpCartridgeRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response,
                               QString& lastReadId) {
    QLineEdit* field = pumpWidgets(ui, pump).cartId;
    field->setText(response.readText(2));
    // The field keeps at most 15 characters; remember what it really holds.
    lastReadId = field->text();
}

void decodePumpStartRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response) {
    const PumpWidgets w = pumpWidgets(ui, pump);
    const bool sampleAtSpecificTime = ui.startDateTime->isEnabled();
    if (anyByteSet(response, 2, 4)) {
        // Delayed start; a filled date half beside it is ignored.
        w.delayDays->setValue(response.readU16(2));
        w.delayHours->setValue(response.readU8(4));
        w.delayMinutes->setValue(response.readU8(5));
        w.delayedStart->setChecked(true);
        w.startDateTime->setEnabled(false);
    } else {
        w.delayDays->setEnabled(false);
        w.delayHours->setEnabled(false);
        w.delayMinutes->setEnabled(false);
        if (anyByteSet(response, 6, 4) && sampleAtSpecificTime) {
            w.specificDateTime->setChecked(true);
            setDate(w.startDateTime, response.readPackedDateTime(6));
        } else {
            // With the sample (also a specific time while the sample itself
            // starts at power-on, which the form cannot show).
            w.specificDateTime->setChecked(false);
            w.startDateTime->setEnabled(false);
            w.sampleStart->setChecked(true);
        }
    }
    if (!sampleAtSpecificTime)
        w.specificDateTime->setEnabled(false);
}

void decodePumpDurationRecord(Ui_KVX_Configurator& ui, Pump pump, const ConfigImage& response) {
    const PumpWidgets w = pumpWidgets(ui, pump);
    if (!anyByteSet(response, 2, 4)) {
        w.durationDays->setEnabled(false);
        w.durationHours->setEnabled(false);
        w.durationMinutes->setEnabled(false);
        w.fullSample->setChecked(true);
        return;
    }
    w.durationDays->setValue(response.readU16(2));
    w.durationHours->setValue(response.readU8(4));
    w.durationMinutes->setValue(response.readU8(5));
    w.partialSample->setChecked(true);
}

bool pumpCartridgeChanged(const Ui_KVX_Configurator& ui, Pump pump,
                          const std::array<QString, 4>& cartridgeIds) {
    const QLineEdit* field = pumpWidgets(ui, pump).cartId;
    return field->isEnabled() && field->text() != cartridgeIds[pumpIndex(pump)];
}

void encodePumpCartridgeRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request,
                               const QDateTime& localNow) {
    request.resetRequest(pumpRecords(pump).cartridge);
    request.appendPackedDateTime(localNow);
    request.appendFixedText(pumpWidgets(ui, pump).cartId->text(), 15);
}

void encodePumpFlowRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request) {
    const PumpRecords& records = pumpRecords(pump);
    request.resetRequest(records.flow);
    request.appendU16(encodeFlowRate(pumpWidgets(ui, pump).flowRate->value(), records.flowScale));
}

void encodePumpStartRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request) {
    const PumpWidgets w = pumpWidgets(ui, pump);
    request.resetRequest(pumpRecords(pump).start);
    if (w.specificDateTime->isChecked()) {
        request.appendU32(0);
        request.appendPackedDateTime(w.startDateTime->dateTime());
    } else if (w.delayedStart->isChecked()) {
        request.appendU16(quint32(w.delayDays->value()));
        request.appendU8(quint32(w.delayHours->value()));
        request.appendU8(quint32(w.delayMinutes->value()));
        request.appendU32(0);
    } else {
        request.appendU32(0);
        request.appendU32(0);
    }
}

void encodePumpDurationRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request) {
    const PumpWidgets w = pumpWidgets(ui, pump);
    request.resetRequest(pumpRecords(pump).duration);
    if (w.partialSample->isChecked()) {
        request.appendU16(quint32(w.durationDays->value()));
        request.appendU8(quint32(w.durationHours->value()));
        request.appendU8(quint32(w.durationMinutes->value()));
    } else {
        request.appendU32(0);
    }
}

void encodePumpRunRecord(const Ui_KVX_Configurator& ui, Pump pump, ConfigImage& request, bool run) {
    const PumpRecords& records = pumpRecords(pump);
    request.resetRequest(records.runStop);
    request.appendU16(
        run ? encodeFlowRate(pumpWidgets(ui, pump).flowRate->value(), records.flowScale) : 0);
}

} // namespace kvx
