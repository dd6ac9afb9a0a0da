// The port selector, Connect and Disconnect, and the link steps that open,
// announce and reset the connection.
#include "app/KVX_Configurator.h"
#include "image/boards/PumpWidgets.h"
#include "link/LinkConstants.h"
#include "link/Status.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Changes.h"
#include "workflows/Record.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>

void KVX_Configurator::refreshPortList() {
    const QStringList ports = portSource->availablePorts();

    // The Debug pane lists the ports found; rewritten only when they change.
    if (!shownPortsValid || ports != shownPorts) {
        ui->comPortOutputBox->clear();
        for (const QString& name : ports)
            ui->comPortOutputBox->append(name);
        shownPorts = ports;
        shownPortsValid = true;
    }

    QComboBox* list = ui->kvxComList;
    if (!list->isEnabled()) {
        // A link exists: the selection is frozen. If its port went away, offer
        // to disconnect (one confirmation at a time, none once the link is
        // already being taken down or is gone).
        const bool linkGoing = linkStep == kvx::LinkFarewell || linkStep == kvx::LinkFarewellWait ||
                               linkStep == kvx::LinkReset || linkStep == kvx::LinkNone;
        if (ports.contains(list->currentText())) {
            vanishNoticed = false;
        } else if (!vanishNoticed && !disconnectAsking && !linkGoing) {
            // Asked once per disappearance: after a No the operator is not
            // asked again on every tick. The question is put from the event
            // loop, not from inside this tick: a modal box opened from the
            // timer's own slot would hold back every further tick (the timer
            // is not delivered again while its slot runs), and with them the
            // timeouts that reset a dead link. Queued with the window as
            // context, the call is dropped if the window goes first.
            vanishNoticed = true;
            status->portVanished();
            QTimer::singleShot(0, this, &KVX_Configurator::KVXDisconnectButtonPressed);
        }
        return;
    }

    if (ports.isEmpty()) {
        if (portCount != 0 || list->count() != 1 || list->itemText(0) != QLatin1String("None")) {
            list->clear();
            list->addItem(QStringLiteral("None"));
        }
        portCount = 0;
        ui->kvxConnect->setEnabled(false);
        return;
    }

    if (portCount != 0) {
        // Update in place: drop vanished names, keep the rest where they are,
        // append new ones and select the newest.
        QStringList fresh = ports;
        int i = 0;
        while (i < list->count()) {
            const int at = fresh.indexOf(list->itemText(i));
            if (at < 0) {
                list->removeItem(i);
            } else {
                fresh.removeAt(at);
                ++i;
            }
        }
        for (const QString& name : fresh) {
            list->addItem(name);
            list->setCurrentIndex(list->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
        }
    } else {
        list->clear();
        for (const QString& name : ports) {
            list->addItem(name);
            list->setCurrentIndex(list->count() - 1);
        }
    }
    portCount = list->count();
    ui->kvxConnect->setEnabled(true);
}

void KVX_Configurator::KVXConnectButtonPressed() {
    if (portCount == 0)
        return;
    ui->kvxComList->setEnabled(false);
    ui->kvxConnect->setEnabled(false);
    linkStep = kvx::LinkOpen;
}

void KVX_Configurator::KVXDisconnectButtonPressed() {
    if (linkStep == kvx::LinkNone || disconnectAsking)
        return;
    disconnectAsking = true;
    const QMessageBox::StandardButton answer = askYesNo(
        QStringLiteral("Disconnect from an KVXv2."),
        QStringLiteral("This operation will not update the KVXv2 with any configuration changes "
                       "you may have made.  Are you sure you wish to proceed?"));
    if (answer == QMessageBox::Cancel)
        return; // the window is gone
    disconnectAsking = false;
    // The link may have reset itself while the box was open (a dead port
    // times out): there is nobody left to take leave of.
    if (answer != QMessageBox::Yes || linkStep == kvx::LinkNone || linkStep == kvx::LinkReset ||
        linkStep == kvx::LinkFarewell || linkStep == kvx::LinkFarewellWait)
        return;
    ui->kvxDisconnect->setEnabled(false);
    ui->kvxWrite->setEnabled(false);
    ui->kvxRead->setEnabled(false);
    ui->setRTC->setEnabled(false);
    ui->readRTC->setEnabled(false);
    ui->scd30CalButton->setEnabled(false);
    // The pumps cannot be commanded while the link says farewell.
    for (kvx::Pump pump : kvx::kAllPumps) {
        const kvx::PumpWidgets p = kvx::pumpWidgets(*ui, pump);
        p.startButton->setEnabled(false);
        p.stopButton->setEnabled(false);
    }
    linkStep = kvx::LinkFarewell;
}

QMessageBox::StandardButton KVX_Configurator::askYesNo(const QString& title, const QString& text,
                                                       const QString& informative,
                                                       const QString& details) {
    // The box belongs to the window: if the window is destroyed while the box
    // is open, the box goes with it and nothing here touches the window again.
    QPointer<KVX_Configurator> self(this);
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Warning, title, text,
                                                QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::No);
    if (!informative.isEmpty())
        box->setInformativeText(informative);
    if (!details.isEmpty())
        box->setDetailedText(details);
    if (answerer) {
        const QMessageBox::StandardButton answer = answerer(*box);
        delete box;
        return answer == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
    }
    box->exec();
    if (!self || !box)
        return QMessageBox::Cancel;
    const QMessageBox::StandardButton answer = box->standardButton(box->clickedButton());
    delete box;
    return answer == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
}

void KVX_Configurator::openLink() {
    serialPort->setPortName(ui->kvxComList->currentText());
    if (serialPort->open()) {
        boardCount = 0;
        linkStep = kvx::LinkSendReset;
    } else {
        linkStep = kvx::LinkReset;
    }
}

void KVX_Configurator::linkConnected() {
    ui->kvxDisconnect->setEnabled(true);
    ui->kvxDisconnect->show();
    // Write and Read stay locked until the initial read has finished.
    ui->kvxWrite->setEnabled(false);
    ui->kvxRead->setEnabled(false);
    ui->kvxWrite->show();
    ui->kvxRead->show();
    ui->setRTC->setEnabled(false);
    ui->readRTC->setEnabled(false);
    ui->scd30CalButton->setEnabled(false);
    linkStep = kvx::LinkIdle;
}

void KVX_Configurator::resetLink() {
    if (serialPort->isOpen())
        serialPort->close();
    rxText.clear();
    rxOverflowed = false;
    vanishNoticed = false;
    // What this connection saw is not the next one's to report.
    *notes = kvx::SessionNotes();
    // Every workflow ends here. Every connection starts with each pump's
    // Start usable and its Stop not, also for pumps this instrument lacks,
    // whose buttons a lock left disabled.
    buttonsLocked = false;
    for (kvx::Pump pump : kvx::kAllPumps) {
        const kvx::PumpWidgets p = kvx::pumpWidgets(*ui, pump);
        p.startButton->setEnabled(true);
        p.stopButton->setEnabled(false);
    }

    ui->kvxComList->setEnabled(true);
    ui->kvxConnect->setEnabled(true);
    ui->kvxConnect->show();

    const std::pair<QLineEdit*, QLabel*> rows[] = {
        {ui->kvxIDBox, ui->kvxIDLabel},         {ui->gasIDBox, ui->gasIDLabel},
        {ui->pumpAIDBox, ui->pumpAIDLabel},     {ui->pumpBIDBox, ui->pumpBIDLabel},
        {ui->pumpsCDIDBox, ui->pumpsCDIDLabel},
    };
    for (const auto& [box, label] : rows) {
        box->clear();
        box->hide();
        label->hide();
    }
    ui->kvxDisconnect->hide();
    ui->kvxWrite->hide();
    ui->kvxRead->hide();

    if (ui->Tab_Main->isEnabled())
        clearMainBoard();
    if (ui->Tab_Gas->isEnabled())
        clearGasBoard();
    if (ui->Tab_Alphasense->isEnabled())
        clearAlphasenseBoard();
    if (ui->Tab_Figaro->isEnabled())
        clearFigaroBoard();
    if (ui->Tab_PumpA->isEnabled())
        clearPumpA();
    if (ui->Tab_PumpB->isEnabled())
        clearPumpB();
    if (ui->Tab_PumpC->isEnabled() || ui->Tab_PumpD->isEnabled())
        clearPumpsCD();

    // Nothing is known of an instrument no longer linked: no change to show.
    readBack = kvx::ReadBackState{};
    changes->forget();

    linkStep = kvx::LinkNone;
    sessionState = 1;
}
