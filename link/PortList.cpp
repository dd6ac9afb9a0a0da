// The port selector, Connect and Disconnect, and the link steps that open,
// announce and reset the connection.
#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "link/Status.h"
#include "ui_KVX_Configurator.h"

#include <QMessageBox>

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
            // asked again on every tick.
            vanishNoticed = true;
            status->portVanished();
            KVXDisconnectButtonPressed();
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
    const auto answer = QMessageBox::warning(
        this, QStringLiteral("Disconnect from an KVXv2."),
        QStringLiteral("This operation will not update the KVXv2 with any configuration changes "
                       "you may have made.  Are you sure you wish to proceed?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    disconnectAsking = false;
    if (answer != QMessageBox::Yes)
        return;
    ui->kvxDisconnect->setEnabled(false);
    ui->kvxWrite->setEnabled(false);
    ui->kvxRead->setEnabled(false);
    ui->setRTC->setEnabled(false);
    ui->readRTC->setEnabled(false);
    ui->scd30CalButton->setEnabled(false);
    linkStep = kvx::LinkFarewell;
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
    linkStep = kvx::LinkIdle;
}

void KVX_Configurator::resetLink() {
    if (serialPort->isOpen())
        serialPort->close();
    rxText.clear();
    rxOverflowed = false;
    vanishNoticed = false;

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

    linkStep = kvx::LinkNone;
    sessionState = 1;
}
