// The port selector follows the system's ports while disconnected and freezes
// while a link exists.
#include "app/KVX_Configurator.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::test;

class PortListTest : public QObject {
    Q_OBJECT

    std::unique_ptr<KVX_Configurator> make(Rig& rig) {
        auto w = std::make_unique<KVX_Configurator>(rig.platform());
        w->ticker->stop();
        return w;
    }
    static QStringList items(KVX_Configurator& w) {
        QStringList out;
        for (int i = 0; i < w.ui->kvxComList->count(); ++i)
            out << w.ui->kvxComList->itemText(i);
        return out;
    }

private slots:
    void noPortShowsNone() {
        Rig rig;
        auto w = make(rig);
        w->UpdateTicker();
        QCOMPARE(items(*w), QStringList{"None"});
        QCOMPARE(w->portCount, 0);
        QVERIFY(!w->ui->kvxConnect->isEnabled());
        QVERIFY(w->ui->comPortOutputBox->toPlainText().isEmpty());
        // Connect refuses while there is no port.
        w->KVXConnectButtonPressed();
        QCOMPARE(w->linkStep, 1000);
    }

    void pluggedPortReplacesNone() {
        Rig rig;
        auto w = make(rig);
        w->UpdateTicker();
        *rig.ports = {"ttyUSB0"};
        w->UpdateTicker();
        QCOMPARE(items(*w), QStringList{"ttyUSB0"});
        QCOMPARE(w->ui->kvxComList->currentText(), QString("ttyUSB0"));
        QCOMPARE(w->portCount, 1);
        QVERIFY(w->ui->kvxConnect->isEnabled());
        QCOMPARE(w->ui->comPortOutputBox->toPlainText(), QString("ttyUSB0"));
    }

    void severalPortsSelectLast() {
        Rig rig;
        *rig.ports = {"COM3", "COM4"};
        auto w = make(rig);
        w->UpdateTicker();
        QCOMPARE(items(*w), (QStringList{"COM3", "COM4"}));
        QCOMPARE(w->ui->kvxComList->currentText(), QString("COM4"));
        QCOMPARE(w->ui->comPortOutputBox->toPlainText(), QString("COM3\nCOM4"));
    }

    void newPortIsAppendedAndSelected() {
        Rig rig;
        *rig.ports = {"COM3", "COM4"};
        auto w = make(rig);
        w->UpdateTicker();
        w->ui->kvxComList->setCurrentIndex(0);
        *rig.ports = {"COM3", "COM7", "COM4"};
        w->UpdateTicker();
        QCOMPARE(items(*w), (QStringList{"COM3", "COM4", "COM7"}));
        QCOMPARE(w->ui->kvxComList->currentText(), QString("COM7"));
        QCOMPARE(w->portCount, 3);
    }

    void unpluggedPortIsRemovedSelectionKept() {
        Rig rig;
        *rig.ports = {"COM3", "COM4"};
        auto w = make(rig);
        w->UpdateTicker();
        w->ui->kvxComList->setCurrentIndex(0);
        *rig.ports = {"COM3"};
        w->UpdateTicker();
        QCOMPARE(items(*w), QStringList{"COM3"});
        QCOMPARE(w->ui->kvxComList->currentText(), QString("COM3"));
        QCOMPARE(w->portCount, 1);
    }

    void lastPortGoneBringsBackNone() {
        Rig rig;
        *rig.ports = {"COM3"};
        auto w = make(rig);
        w->UpdateTicker();
        rig.ports->clear();
        w->UpdateTicker();
        QCOMPARE(items(*w), QStringList{"None"});
        QCOMPARE(w->portCount, 0);
        QVERIFY(!w->ui->kvxConnect->isEnabled());
    }

    void listFrozenWhileConnectedAndVanishedPortAsksOnce() {
        Rig rig;
        *rig.ports = {"COM3", "COM4"};
        auto w = make(rig);
        w->UpdateTicker();
        w->KVXConnectButtonPressed();
        QVERIFY(!w->ui->kvxComList->isEnabled());
        QCOMPARE(w->linkStep, 1);
        w->UpdateTicker(); // opens COM4
        QCOMPARE(rig.device->portName, QString("COM4"));
        QVERIFY(rig.device->open);

        // A new port does not change the frozen list.
        *rig.ports = {"COM3", "COM4", "COM9"};
        w->UpdateTicker();
        QCOMPARE(items(*w), (QStringList{"COM3", "COM4"}));

        // The connected port vanishes: one confirmation, even though ticks go
        // on while it is open.
        *rig.ports = {"COM3"};
        int boxes = 0;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (box->property("counted").isNull()) {
                box->setProperty("counted", true);
                ++boxes;
                QCOMPARE(box->windowTitle(), QString("Disconnect from an KVXv2."));
                // Let several ticks run inside the dialog first.
                QTimer::singleShot(100, box, [box] { box->button(QMessageBox::No)->click(); });
            }
        });
        poll.start();
        w->ticker->start();
        QTRY_COMPARE_WITH_TIMEOUT(boxes, 1, 2000);
        QTest::qWait(300);
        w->ticker->stop();
        poll.stop();
        QCOMPARE(boxes, 1);
        QCOMPARE(items(*w), (QStringList{"COM3", "COM4"}));
    }
};

QTEST_MAIN(PortListTest)
#include "tst_portlist.moc"
