// The configurator's main window talking to the in-process instrument: the
// seam tests use to drive whole workflows, checked on each preset. Faults
// over the same seam are in tests/faults/.
#include "app/KVX_Configurator.h"
#include "tests/support/SimRig.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::sim;
using kvx::test::SimRig;

namespace {

QStringList tabTitles(KVX_Configurator& w) {
    QStringList titles;
    for (int i = 0; i < w.ui->configuratorTabs->count(); ++i)
        titles << w.ui->configuratorTabs->tabText(i);
    return titles;
}

} // namespace

class TestSimConfigurator : public QObject {
    Q_OBJECT

private slots:
    void connectsAndReadsEachPreset_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("tabs");
        QTest::newRow("full") << "full" << 5
                              << QStringList{"KVX",    "Mainboard", "Gas",    "Alphasense",
                                             "Pump A", "Pump B",    "Pump C", "Pump D"};
        QTest::newRow("minimal") << "minimal" << 0 << QStringList{"KVX", "Mainboard"};
        QTest::newRow("mixed") << "mixed" << 2
                               << QStringList{"KVX",    "Mainboard", "Gas",   "Alphasense",
                                              "Pump A", "Pump C",    "Pump D"};
        QTest::newRow("legacy") << "legacy" << 0 << QStringList{"KVX", "Mainboard", "Gas"};
    }
    void connectsAndReadsEachPreset() {
        QFETCH(QString, preset);
        QFETCH(int, level);
        QFETCH(QStringList, tabs);
        SimRig rig(preset);
        QVERIFY(rig.connect());
        QCOMPARE(rig.window->sessionState, 0);
        QCOMPARE(rig.window->firmwareLevel, level);
        QCOMPARE(tabTitles(rig.w()), tabs);
        QCOMPARE(rig.window->ui->kvxIDBox->text(), rig.instrument->state().main.id);
        // An ID row for each fitted board, none for the others.
        const kvx::sim::InstrumentConfig& st = rig.instrument->state();
        const std::pair<const kvx::sim::Board*, QLineEdit*> rows[] = {
            {&st.gas, rig.window->ui->gasIDBox},
            {&st.pumpA, rig.window->ui->pumpAIDBox},
            {&st.pumpB, rig.window->ui->pumpBIDBox},
            {&st.sorbent, rig.window->ui->pumpsCDIDBox}};
        for (const auto& [board, box] : rows) {
            QCOMPARE(box->isVisibleTo(rig.window.get()), board->fitted);
            QCOMPARE(box->text(), board->fitted ? board->id : QString());
        }
        const QString page = rig.window->ui->configurationOutputBox->toPlainText();
        QVERIFY(page.startsWith("Connected to KVXv2."));
        QVERIFY(!page.contains("Ready to Connect"));

        const CommandLog& log = rig.instrument->log();
        // Every request line the configurator built passed the instrument's checks,
        // and a read asks only for records the instrument has ...
        QCOMPARE(log.ofKind("bad_request").size(), 0);
        int missing = 0;
        for (const QJsonObject& get : log.ofKind("get")) {
            if (!get.value("found").toBool()) {
                ++missing;
                QCOMPARE(get.value("word").toString(), QStringLiteral("0x0070"));
            }
        }
        // ... except the level record of an instrument without one, asked four times.
        QCOMPARE(missing, rig.instrument->state().firmwareLevel ? 0 : 4);
        // A read stores nothing.
        QCOMPARE(log.ofKind("store").size(), 0);
    }
};

QTEST_MAIN(TestSimConfigurator)
#include "tst_sim_configurator.moc"
