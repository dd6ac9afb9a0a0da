// The four pumps share one set of controls and one set of records, each pump
// with its own widgets and request words. Every pump codec, the clearing and
// the read chain work on these tables instead of naming a pump's widgets.
#pragma once

#include <QtGlobal>

#include <vector>

class QCheckBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;
class Ui_KVX_Configurator;

namespace kvx {

// Pumps A and B sit on the filter pump boards, C and D on the sorbent board.
// The value is also the pump's index into cartridgeIds.
enum class Pump { A = 0, B = 1, C = 2, D = 3 };
constexpr Pump kAllPumps[] = {Pump::A, Pump::B, Pump::C, Pump::D};

inline int pumpIndex(Pump pump) {
    return static_cast<int>(pump);
}
inline bool isSorbentPump(Pump pump) {
    return pump == Pump::C || pump == Pump::D;
}

// Request words of one pump's records.
struct PumpRecords {
    quint16 flow;      // fitted flag, rate, limit (read); rate (written)
    quint16 cartridge; // cartridge ID (read); install stamp + ID (written)
    quint16 install;   // install date (read only)
    quint16 run;       // run time (read only)
    quint16 volume;    // pumped volume (read only)
    quint16 start;     // start schedule
    quint16 duration;  // pumping duration
    quint16 runStop;   // run now at a setpoint / stop (written only)
    int flowScale;     // 1000 (litres per minute) or 100 (millilitres per minute)
};

const PumpRecords& pumpRecords(Pump pump);

// One pump's widgets.
struct PumpWidgets {
    QWidget* page;
    QDoubleSpinBox* flowRate;
    QLineEdit* cartId;
    QLineEdit* install;
    QLineEdit* run;
    QLineEdit* volume;

    QGroupBox* start;
    QRadioButton* sampleStart;
    QRadioButton* delayedStart;
    QRadioButton* specificDateTime;
    QSpinBox* delayDays;
    QSpinBox* delayHours;
    QSpinBox* delayMinutes;
    QLabel* delayDaysLabel;
    QLabel* delayHoursLabel;
    QLabel* delayMinutesLabel;
    QDateTimeEdit* startDateTime;

    QGroupBox* duration;
    QRadioButton* fullSample;
    QRadioButton* partialSample;
    QSpinBox* durationDays;
    QSpinBox* durationHours;
    QSpinBox* durationMinutes;
    QLabel* durationDaysLabel;
    QLabel* durationHoursLabel;
    QLabel* durationMinutesLabel;

    QPushButton* startButton;
    QPushButton* stopButton;

    // The logging boxes of quantities the pump itself measures; they are
    // disabled when the pump reports itself not fitted.
    std::vector<QCheckBox*> ownLogging;
    // Every logging box on the pump's page, in page order.
    std::vector<QCheckBox*> allLogging;

    // The schedule controls of the start and duration groups (radio buttons,
    // spin boxes, their captions, the date-time edit and both groups), in the
    // order discovery hides them at a low firmware level.
    std::vector<QWidget*> scheduleControls() const;
};

PumpWidgets pumpWidgets(const Ui_KVX_Configurator& ui, Pump pump);

} // namespace kvx
