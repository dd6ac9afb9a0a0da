// The board list, the firmware level and the board pages of a connection.
#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "ui_KVX_Configurator.h"

using namespace kvx;

namespace {

// A board-list field read as a decimal number; anything else reads as 0.
long long fieldNumber(const QString& field) {
    bool ok = false;
    const long long value = field.toLongLong(&ok, 10);
    return ok ? value : 0;
}

// The start and duration controls of one pump, in the order they are switched
// off for instruments without pump schedules.
const char* const kPumpScheduleControls[] = {
    "SampleStart",
    "DelayedStart",
    "SpecificDateTime",
    "DelayDays",
    "DelayDaysLabel",
    "DelayHours",
    "DelayHoursLabel",
    "DelayMinutes",
    "DelayMinutesLabel",
    "StartDateTime",
    "Start",
    "FullSample",
    "PartialSample",
    "DurationDays",
    "DurationDaysLabel",
    "DurationHours",
    "DurationHoursLabel",
    "DurationMinutes",
    "DurationMinutesLabel",
    "Duration",
};

void switchOff(QWidget* widget) {
    if (!widget)
        return;
    widget->setEnabled(false);
    widget->hide();
}

} // namespace

void KVX_Configurator::registerBoards(const QStringList& fields) {
    struct BoardSlot {
        int field;
        int number;
        const char* type;
        QLineEdit* box;
        QLabel* label;
        int kind;
    };
    const BoardSlot boardSlots[] = {
        {0, 0, "Main", ui->kvxIDBox, ui->kvxIDLabel, KindMain},
        {18, 6, "Gas", ui->gasIDBox, ui->gasIDLabel, KindGas},
        {6, 2, "Filter", ui->pumpAIDBox, ui->pumpAIDLabel, KindPumpA},
        {12, 4, "Filter", ui->pumpBIDBox, ui->pumpBIDLabel, KindPumpB},
        {3, 1, "Sorbent", ui->pumpsCDIDBox, ui->pumpsCDIDLabel, KindPumpsCD},
    };
    for (const BoardSlot& slot : boardSlots) {
        if (fieldNumber(fields.value(slot.field)) != slot.number ||
            fields.value(slot.field + 1) != QLatin1String(slot.type) ||
            boardCount > kMaxBoardKinds - 1)
            continue;
        slot.box->setText(fields.value(slot.field + 2));
        slot.box->show();
        slot.label->show();
        boardKinds[boardCount++] = slot.kind;
    }
    firmwareLevel = 0;
}

void KVX_Configurator::addBoardPages() {
    firmwareLevel = responseImage.length > 3 ? responseImage.readU16(2) : 0;
    QTabWidget* tabs = ui->configuratorTabs;

    auto pumpControls = [this](char letter) {
        const QString prefix = QStringLiteral("pump") + QLatin1Char(letter);
        if (firmwareLevel < 2) {
            for (const char* name : kPumpScheduleControls)
                if (auto* w = findChild<QWidget*>(prefix + QLatin1String(name)))
                    switchOff(w);
        }
        if (firmwareLevel < 5) {
            const QString pump = QStringLiteral("Pump") + QLatin1Char(letter);
            switchOff(findChild<QWidget*>(QStringLiteral("start") + pump));
            switchOff(findChild<QWidget*>(QStringLiteral("stop") + pump));
        }
    };

    // boardCount is read on every pass: kind 7 may be appended on the way.
    for (int i = 0; i < boardCount; ++i) {
        switch (boardKinds[i]) {
        case KindMain:
            ui->Tab_Main->setEnabled(true);
            if (firmwareLevel < 5)
                switchOff(ui->sampleHalt);
            tabs->addTab(ui->Tab_Main, QStringLiteral("Mainboard"));
            break;
        case KindGas:
            ui->Tab_Gas->setEnabled(true);
            tabs->addTab(ui->Tab_Gas, QStringLiteral("Gas"));
            if (firmwareLevel != 0) {
                ui->Tab_Alphasense->setEnabled(true);
                tabs->addTab(ui->Tab_Alphasense, QStringLiteral("Alphasense"));
                if (boardCount <= kMaxBoardKinds - 1)
                    boardKinds[boardCount++] = KindAlphasense;
            }
            break;
        case KindPumpA:
            ui->Tab_PumpA->setEnabled(true);
            pumpControls('A');
            tabs->addTab(ui->Tab_PumpA, QStringLiteral("Pump A"));
            break;
        case KindPumpB:
            ui->Tab_PumpB->setEnabled(true);
            pumpControls('B');
            tabs->addTab(ui->Tab_PumpB, QStringLiteral("Pump B"));
            break;
        case KindPumpsCD:
            ui->Tab_PumpC->setEnabled(true);
            pumpControls('C');
            tabs->addTab(ui->Tab_PumpC, QStringLiteral("Pump C"));
            ui->Tab_PumpD->setEnabled(true);
            pumpControls('D');
            tabs->addTab(ui->Tab_PumpD, QStringLiteral("Pump D"));
            break;
        default:
            break;
        }
    }
    sessionState = 4;
}

void KVX_Configurator::runConnectionState() {
    switch (sessionState) {
    case 1:
        showReadyPage();
        sessionState = 2;
        break;
    case 2:
        // Rests here while disconnected, until a new link is idle.
        if (linkIdle())
            startGet(kFirmwareLevelRecord, 3);
        break;
    case 3:
        if (linkIdle())
            addBoardPages();
        break;
    case 4:
        if (linkIdle()) {
            showConnectedPage();
            // The initial read is a workflow like any other: everything that
            // could start another one stays locked until it ends.
            lockButtons();
            sessionState = 100;
        }
        break;
    default:
        break;
    }
}
