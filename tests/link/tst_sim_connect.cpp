// Whole connections against the simulated instrument: the pages and ID rows
// each kind of instrument brings, and the fall-back when the cable is pulled.
#include "tests/support/SimRig.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::test;

namespace {

QStringList tabTitles(KVX_Configurator& w) {
    QStringList out;
    for (int i = 0; i < w.ui->configuratorTabs->count(); ++i)
        out << w.ui->configuratorTabs->tabText(i);
    return out;
}

// Runs the connection up to the Connected page.
bool reachConnectedPage(SimRig& rig) {
    rig.tick();
    rig.w().KVXConnectButtonPressed();
    return rig.tickUntil(
        [&] { return rig.w().sessionState >= 100 || rig.w().linkStep == kvx::LinkNone; });
}

} // namespace

class SimConnectTest : public QObject {
    Q_OBJECT

private slots:
    void presets_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("full") << "full" << 5
                              << QStringList{"KVX",    "Mainboard", "Gas",    "Alphasense",
                                             "Pump A", "Pump B",    "Pump C", "Pump D"}
                              << QStringList{"kvxIDBox", "gasIDBox", "pumpAIDBox", "pumpBIDBox",
                                             "pumpsCDIDBox"};
        QTest::newRow("minimal") << "minimal" << 0 << QStringList{"KVX", "Mainboard"}
                                 << QStringList{"kvxIDBox"};
        QTest::newRow("mixed") << "mixed" << 2
                               << QStringList{"KVX",    "Mainboard", "Gas",   "Alphasense",
                                              "Pump A", "Pump C",    "Pump D"}
                               << QStringList{"kvxIDBox", "gasIDBox", "pumpAIDBox", "pumpsCDIDBox"};
        QTest::newRow("legacy") << "legacy" << 0 << QStringList{"KVX", "Mainboard", "Gas"}
                                << QStringList{"kvxIDBox", "gasIDBox"};
    }
    void presets() {
        QFETCH(QString, preset);
        QFETCH(int, level);
        QFETCH(QStringList, tabs);
        QFETCH(QStringList, ids);
        SimRig rig(preset);
        rig.w().show();
        QVERIFY(reachConnectedPage(rig));
        QCOMPARE(rig.w().firmwareLevel, level);
        QCOMPARE(tabTitles(rig.w()), tabs);
        const QString page = rig.w().ui->configurationOutputBox->toPlainText();
        QVERIFY(page.startsWith("Connected to KVXv2."));
        QVERIFY(!page.contains("Ready to Connect"));
        for (const char* box :
             {"kvxIDBox", "gasIDBox", "pumpAIDBox", "pumpBIDBox", "pumpsCDIDBox"}) {
            auto* edit = rig.w().findChild<QLineEdit*>(box);
            QCOMPARE(edit->isVisible(), ids.contains(box));
            QCOMPARE(edit->text().isEmpty(), !ids.contains(box));
        }
        QVERIFY(rig.w().ui->kvxDisconnect->isVisible());
        QVERIFY(rig.w().ui->kvxDisconnect->isEnabled());
    }

    void cablePulledReturnsToTheReadyPage() {
        auto config = SimRig::load("full");
        config.faults.cablePulledAfter = 2; // after the board list
        SimRig rig(config);
        QVERIFY(reachConnectedPage(rig) || rig.w().linkStep == kvx::LinkNone);
        QVERIFY(rig.tickUntil([&] { return rig.w().linkStep == kvx::LinkNone; }));
        rig.tick();
        QVERIFY(rig.w().ui->configurationOutputBox->toPlainText().startsWith("Ready to Connect"));
        QCOMPARE(rig.w().ui->configuratorTabs->count(), 1);
        QVERIFY(rig.w().ui->kvxComList->isEnabled());
        QVERIFY(!rig.w().ui->Tab_Main->isEnabled());
    }
};

QTEST_MAIN(SimConnectTest)
#include "tst_sim_connect.moc"
