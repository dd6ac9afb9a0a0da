// The port selector follows the system's ports while disconnected and freezes
// while a link exists.
#include "app/KVX_Configurator.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::test;

class PortListTest : public QObject {
    Q_OBJECT

    static QStringList items(KVX_Configurator& w) {
        QStringList out;
        for (int i = 0; i < w.ui->kvxComList->count(); ++i)
            out << w.ui->kvxComList->itemText(i);
        return out;
    }

private slots:
    // The list at the first tick, the operator's pick (-1: none), the list at
    // the next tick, and what the selector then shows. A new port is appended
    // and selected; a removed one goes, the selection otherwise stays; with no
    // port the selector shows "None" and Connect is off.
    void followsThePorts_data() {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<int>("pick");
        QTest::addColumn<QStringList>("then");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("shown");
        const QStringList none{"None"};
        QTest::newRow("no port") << QStringList{} << -1 << QStringList{} << none << "None"
                                 << "";
        QTest::newRow("plugged in")
            << QStringList{} << -1 << QStringList{"ttyUSB0"} << QStringList{"ttyUSB0"} << "ttyUSB0"
            << "ttyUSB0";
        QTest::newRow("several: the last selected")
            << QStringList{"COM3", "COM4"} << -1 << QStringList{"COM3", "COM4"}
            << QStringList{"COM3", "COM4"} << "COM4"
            << "COM3\nCOM4";
        QTest::newRow("new one appended and selected")
            << QStringList{"COM3", "COM4"} << 0 << QStringList{"COM3", "COM7", "COM4"}
            << QStringList{"COM3", "COM4", "COM7"} << "COM7"
            << "COM3\nCOM7\nCOM4";
        QTest::newRow("unplugged, selection kept")
            << QStringList{"COM3", "COM4"} << 0 << QStringList{"COM3"} << QStringList{"COM3"}
            << "COM3"
            << "COM3";
        QTest::newRow("last one gone")
            << QStringList{"COM3"} << -1 << QStringList{} << none << "None"
            << "";
    }
    void followsThePorts() {
        QFETCH(QStringList, first);
        QFETCH(int, pick);
        QFETCH(QStringList, then);
        QFETCH(QStringList, items);
        QFETCH(QString, current);
        QFETCH(QString, shown);
        Rig rig;
        *rig.ports = first;
        auto w = rig.window();
        w->UpdateTicker();
        if (pick >= 0)
            w->ui->kvxComList->setCurrentIndex(pick);
        *rig.ports = then;
        w->UpdateTicker();
        QCOMPARE(PortListTest::items(*w), items);
        QCOMPARE(w->ui->kvxComList->currentText(), current);
        QCOMPARE(w->portCount, int(then.size()));
        QCOMPARE(w->ui->comPortOutputBox->toPlainText(), shown);
        QCOMPARE(w->ui->kvxConnect->isEnabled(), !then.isEmpty());
        // Connect refuses while there is no port.
        w->KVXConnectButtonPressed();
        QCOMPARE(w->linkStep, then.isEmpty() ? 1000 : 1);
    }

    void listFrozenWhileConnectedAndVanishedPortAsksOnce() {
        Rig rig;
        *rig.ports = {"COM3", "COM4"};
        auto w = rig.window();
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
