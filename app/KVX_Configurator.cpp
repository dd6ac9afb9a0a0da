#include "app/KVX_Configurator.h"

#include "app/Keyboard.h"
#include "image/Settings.h"
#include "link/LinkConstants.h"
#include "link/Status.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"
#include "workflows/Record.h"

#include <QRegularExpressionValidator>
#include <QTimer>

KVX_Configurator::KVX_Configurator(QWidget* parent)
    : KVX_Configurator(kvx::Platform::system(), parent) {}

KVX_Configurator::KVX_Configurator(kvx::Platform platform, QWidget* parent) : QMainWindow(parent) {
    kvx::Platform fallback = kvx::Platform::system();
    clock = platform.clock ? std::move(platform.clock) : std::move(fallback.clock);
    serialPort = platform.serial ? std::move(platform.serial) : std::move(fallback.serial);
    portSource = platform.ports ? std::move(platform.ports) : std::move(fallback.ports);
    construct();
}

void KVX_Configurator::construct() {
    ui = new Ui_KVX_Configurator;
    ui->setupUi(this);
    connectForm();
    // While every page is still in the tab row: their titles name the controls.
    kvx::setUpKeyboard(*this);
    status = std::make_unique<kvx::StatusReporter>(*this);
    changes = new kvx::ChangeTracker(*this);
    notes = std::make_unique<kvx::SessionNotes>();

    // The UTC date-time edits start at 2000-01-01 00:00 UTC whatever the
    // computer's time zone, and hold only what the packed date-time record can
    // (years 2000 to 2099).
    const QDateTime first(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime last(QDate(2099, 12, 31), QTime(23, 59), Qt::UTC);
    QDateTimeEdit* const utcEdits[] = {ui->startDateTime, ui->pumpAStartDateTime,
                                       ui->pumpBStartDateTime, ui->pumpCStartDateTime,
                                       ui->pumpDStartDateTime};
    for (QDateTimeEdit* edit : utcEdits) {
        edit->setDateTimeRange(first, last);
        edit->setDateTime(first);
    }

    // The sample ID and the cartridge and sorbent IDs take only characters the
    // instrument can store.
    QLineEdit* const ids[] = {ui->sampleID, ui->pumpACartID, ui->pumpBCartID, ui->pumpCCartID,
                              ui->pumpDCartID};
    for (QLineEdit* id : ids)
        id->setValidator(
            new QRegularExpressionValidator(QRegularExpression(kvx::kStorableTextPattern), id));

    portCount = 0;
    ui->kvxComList->clear();
    ui->kvxComList->addItem(QStringLiteral("None"));

    txBytes.clear();
    rxText.clear();
    linkStep = kvx::LinkNone;
    nulSeen = 0;
    promptSeen = 0;

    serialPort->applyLinkSettings();

    // Start with the connection tab alone; discovery brings the board pages back.
    auto removePage = [this](QWidget* page) {
        ui->configuratorTabs->removeTab(ui->configuratorTabs->indexOf(page));
    };
    auto dropPage = [&](QWidget* page) {
        page->setEnabled(false);
        removePage(page);
    };
    removePage(ui->Tab_Debug);
    dropPage(ui->Tab_Main);
    ui->kvxIDBox->hide();
    ui->kvxIDLabel->hide();
    dropPage(ui->Tab_Gas);
    dropPage(ui->Tab_Alphasense);
    dropPage(ui->Tab_Figaro);
    ui->gasIDBox->hide();
    ui->gasIDLabel->hide();
    dropPage(ui->Tab_PumpA);
    ui->pumpAIDBox->hide();
    ui->pumpAIDLabel->hide();
    dropPage(ui->Tab_PumpB);
    ui->pumpBIDBox->hide();
    ui->pumpBIDLabel->hide();
    dropPage(ui->Tab_PumpC);
    dropPage(ui->Tab_PumpD);
    ui->pumpsCDIDBox->hide();
    ui->pumpsCDIDLabel->hide();
    ui->kvxDisconnect->hide();
    ui->kvxWrite->hide();
    ui->kvxRead->hide();

    sessionState = 1;
    firmwareLevel = 0;
    boardCount = 0;

    ticker = new QTimer(this);
    connect(ticker, &QTimer::timeout, this, &KVX_Configurator::UpdateTicker);
    ticker->start(kvx::kTickMs);

    kvx::addFileMenu(*this);
    kvx::addHelpMenu(*this);
}

KVX_Configurator::~KVX_Configurator() {
    if (serialPort->isOpen()) {
        // Leave the instrument's command line at its menu before the link goes.
        lastActivityMs = elapsedMs();
        txBytes = QByteArray(kvx::kFarewell);
        serialPort->write(txBytes);
        serialPort->flush();
        while (elapsedMs() - lastActivityMs <= kvx::kFarewellWaitMs)
            clock->sleepMs(10);
        serialPort->close();
    }
    delete ui;
}

qint64 KVX_Configurator::nowMs() const {
    return clock->nowMs();
}

qint64 KVX_Configurator::elapsedMs() const {
    return clock->elapsedMs();
}
