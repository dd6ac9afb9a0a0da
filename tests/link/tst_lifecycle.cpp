// The window's start state, a failed open, Disconnect and closing the window.
#include "app/KVX_Configurator.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::test;

class LifecycleTest : public QObject {
    Q_OBJECT

    // The idle connected phase with a gas board, so that every button the
    // link touches exists and is usable.
    std::unique_ptr<KVX_Configurator> connected(Rig& rig) {
        auto w = rig.window();
        if (!rig.connectIdle(*w, "0,Main,M1,1,x,x,2,x,x,3,x,x,4,x,x,5,x,x,6,Gas,G1"))
            qFatal("not connected");
        for (QWidget* b :
             {(QWidget*)w->ui->kvxWrite, (QWidget*)w->ui->kvxRead, (QWidget*)w->ui->setRTC,
              (QWidget*)w->ui->readRTC, (QWidget*)w->ui->Tab_Gas, (QWidget*)w->ui->scd30CalButton})
            b->setEnabled(true);
        return w;
    }

private slots:
    void startState() {
        Rig rig;
        auto w = rig.window();
        QCOMPARE(w->ui->configuratorTabs->count(), 1);
        QCOMPARE(w->ui->configuratorTabs->widget(0), w->ui->Tab_KVX);
        QCOMPARE(w->ui->configuratorTabs->tabText(0), QString("KVX"));
        QCOMPARE(w->ui->kvxComList->count(), 1);
        QCOMPARE(w->ui->kvxComList->itemText(0), QString("None"));
        QVERIFY(!w->ui->kvxConnect->isEnabled());
        w->show();
        QVERIFY(!w->ui->kvxDisconnect->isVisible());
        QVERIFY(!w->ui->kvxWrite->isVisible());
        QVERIFY(!w->ui->kvxRead->isVisible());
        for (QWidget* row : {static_cast<QWidget*>(w->ui->kvxIDBox), (QWidget*)w->ui->kvxIDLabel,
                             (QWidget*)w->ui->gasIDBox, (QWidget*)w->ui->gasIDLabel,
                             (QWidget*)w->ui->pumpAIDBox, (QWidget*)w->ui->pumpAIDLabel,
                             (QWidget*)w->ui->pumpBIDBox, (QWidget*)w->ui->pumpBIDLabel,
                             (QWidget*)w->ui->pumpsCDIDBox, (QWidget*)w->ui->pumpsCDIDLabel})
            QVERIFY2(!row->isVisible(), qPrintable(row->objectName()));
        for (QWidget* page :
             {w->ui->Tab_Main, w->ui->Tab_Gas, w->ui->Tab_Alphasense, w->ui->Tab_Figaro,
              w->ui->Tab_PumpA, w->ui->Tab_PumpB, w->ui->Tab_PumpC, w->ui->Tab_PumpD})
            QVERIFY2(!page->isEnabled(), qPrintable(page->objectName()));
        QCOMPARE(w->linkStep, 1000);
        QCOMPARE(w->sessionState, 1);
        QVERIFY(rig.device->settingsApplied);
        QCOMPARE(w->ticker->interval(), 20);

        // The first tick shows the Ready page.
        w->UpdateTicker();
        const QString page = w->ui->configurationOutputBox->toPlainText();
        QVERIFY(page.startsWith("Ready to Connect to KVXv2"));
        QVERIFY(page.contains("Use the CONNECT button to attempt connection to the USB device."));
        QCOMPARE(w->sessionState, 2);
    }

    void failedOpenReturnsWithinTwoTicks() {
        Rig rig;
        *rig.ports = {"ttyUSB0"};
        rig.device->refuseOpen = true;
        auto w = rig.window();
        w->UpdateTicker();
        w->KVXConnectButtonPressed();
        QVERIFY(!w->ui->kvxComList->isEnabled());
        QVERIFY(!w->ui->kvxConnect->isEnabled());
        w->UpdateTicker();
        QCOMPARE(w->linkStep, 999);
        w->UpdateTicker();
        QCOMPARE(w->linkStep, 1000);
        QVERIFY(w->ui->kvxComList->isEnabled());
        QVERIFY(w->ui->kvxConnect->isEnabled());
        QCOMPARE(rig.device->opens, 1);
        QVERIFY(rig.device->written.isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void disconnectNoChangesNothing() {
        Rig rig;
        auto w = connected(rig);
        DialogScript seen({QMessageBox::No});
        w->KVXDisconnectButtonPressed();
        QCOMPARE(seen.answered(), 1);
        QCOMPARE(seen.titles.value(0), QString("Disconnect from an KVXv2."));
        QCOMPARE(seen.texts.value(0),
                 QString("This operation will not update the KVXv2 with any "
                         "configuration changes you may have made.  Are you sure you "
                         "wish to proceed?"));
        QCOMPARE(w->linkStep, 0);
        QVERIFY(w->ui->kvxDisconnect->isEnabled());
        QVERIFY(w->ui->kvxWrite->isEnabled());
        QVERIFY(w->ui->scd30CalButton->isEnabled());
    }

    void disconnectYesSaysFarewellAndResets() {
        Rig rig;
        auto w = connected(rig);
        DialogScript yes({QMessageBox::Yes});
        w->KVXDisconnectButtonPressed();
        for (QWidget* b :
             {(QWidget*)w->ui->kvxDisconnect, (QWidget*)w->ui->kvxWrite, (QWidget*)w->ui->kvxRead,
              (QWidget*)w->ui->setRTC, (QWidget*)w->ui->readRTC, (QWidget*)w->ui->scd30CalButton})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QCOMPARE(w->linkStep, 997);
        w->UpdateTicker();
        QCOMPARE(rig.device->written, QByteArray("menu\r"));
        // Still open one second later; closed just after.
        rig.clock.advance(999);
        w->UpdateTicker();
        QVERIFY(rig.device->open);
        rig.clock.advance(1);
        w->UpdateTicker(); // 998 -> 999
        w->UpdateTicker(); // reset
        QVERIFY(!rig.device->open);
        QCOMPARE(w->linkStep, 1000);
        QVERIFY(w->ui->kvxComList->isEnabled());
        QVERIFY(w->ui->kvxConnect->isEnabled());
        QVERIFY(w->ui->kvxIDBox->text().isEmpty());
        QCOMPARE(w->ui->configuratorTabs->count(), 1);
        w->UpdateTicker();
        QVERIFY(w->ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"));
        QCOMPARE(rig.device->written, QByteArray("menu\r"));
    }

    void closingWhileConnectedSaysFarewellAndWaits() {
        Rig rig;
        auto w = connected(rig);
        const qint64 before = rig.clock.now();
        auto device = rig.device;
        w.reset();
        QCOMPARE(device->written, QByteArray("menu\r"));
        QVERIFY(!device->open);
        QVERIFY(rig.clock.now() - before > 999);
    }

    void closingWhileDisconnectedSendsNothing() {
        Rig rig;
        auto w = rig.window();
        const qint64 before = rig.clock.now();
        w.reset();
        QVERIFY(rig.device->written.isEmpty());
        QCOMPARE(rig.clock.now(), before);
    }
};

QTEST_MAIN(LifecycleTest)
#include "tst_lifecycle.moc"
