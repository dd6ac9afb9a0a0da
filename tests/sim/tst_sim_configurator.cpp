// The configurator's main window talking to the in-process instrument: the
// seam tests use to drive whole workflows, checked on a few instruments.
#include "app/KVX_Configurator.h"
#include "sim/SimSerialDevice.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::sim;

namespace {

struct Rig {
    std::shared_ptr<Instrument> instrument;
    std::shared_ptr<qint64> ms;
    std::unique_ptr<KVX_Configurator> window;

    explicit Rig(InstrumentConfig config) {
        auto clock = std::make_unique<kvx::test::FakeClock>(1741386600000);
        ms = clock->ms;
        instrument = std::make_shared<Instrument>(std::move(config), *ms);
        auto device = std::make_unique<SimSerialDevice>(instrument);
        device->setClockSource([ms = ms] { return *ms; });
        kvx::Platform platform;
        platform.clock = std::move(clock);
        platform.serial = std::move(device);
        platform.ports = std::make_unique<SimPortSource>(QStringList{"ttySIM0"});
        window = std::make_unique<KVX_Configurator>(std::move(platform));
        window->ticker->stop(); // the test ticks
    }

    void tick() {
        window->UpdateTicker();
        *ms += 20;
    }

    // Connects and ticks until the initial read has ended (or the link
    // reset), at most `limit` ticks.
    void connectAndRead(int limit = 3000) {
        tick();
        window->KVXConnectButtonPressed();
        for (int i = 0; i < limit; ++i) {
            tick();
            if (window->linkStep == 0 && window->sessionState == 0)
                return;
            if (window->linkStep == 1000 && i > 10)
                return;
        }
    }

    QStringList tabs() const {
        QStringList titles;
        for (int i = 0; i < window->ui->configuratorTabs->count(); ++i)
            titles << window->ui->configuratorTabs->tabText(i);
        return titles;
    }
};

InstrumentConfig preset(const QString& name) {
    QString error;
    auto config = InstrumentConfig::preset(name, &error);
    if (!config)
        qFatal("%s", qPrintable(error));
    return *config;
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
        Rig rig(::preset(preset));
        rig.connectAndRead();
        QCOMPARE(rig.window->linkStep, 0);
        QCOMPARE(rig.window->sessionState, 0);
        QCOMPARE(rig.window->firmwareLevel, level);
        QCOMPARE(rig.tabs(), tabs);
        QCOMPARE(rig.window->ui->kvxIDBox->text(), rig.instrument->state().main.id);

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

    void recoverableFaultsStillGiveAFullRead() {
        auto config = preset("full");
        Faults& f = config.faults;
        f.nulBytes = f.lineFeeds = true;
        f.chunkSize = 7;
        f.chunkDelayMs = 30;
        f.garbageBytes = 5;
        f.only = QStringLiteral("cfg_");
        f.badCrcFirst = 2;
        f.noAnswerFirst = 1; // every record line is answered only on its resend
        Rig rig(config);
        rig.connectAndRead(20000);
        QCOMPARE(rig.window->linkStep, 0);
        QCOMPARE(rig.window->sessionState, 0);
        QCOMPARE(rig.tabs().size(), 8);
        QCOMPARE(rig.window->ui->gasIDBox->text(), config.gas.id);
    }

    void unusableInstrumentsEndTheLink_data() {
        QTest::addColumn<QByteArray>("faults");
        QTest::newRow("silent") << QByteArray(R"({"silent":true})");
        QTest::newRow("endless stream") << QByteArray(R"({"endlessAfter":3})");
        QTest::newRow("20-field board list") << QByteArray(R"({"boardListFields":20})");
        QTest::newRow("every CRC wrong") << QByteArray(R"({"badCrcFirst":100000})");
    }
    void unusableInstrumentsEndTheLink() {
        QFETCH(QByteArray, faults);
        auto config = preset("full");
        QString error;
        QVERIFY(config.faults.read(QJsonDocument::fromJson(faults).object(), &error));
        Rig rig(config);
        rig.connectAndRead();
        QCOMPARE(rig.window->linkStep, 1000);
        QCOMPARE(rig.tabs(), QStringList{"KVX"});
        QVERIFY(!rig.window->ui->kvxIDBox->isVisibleTo(rig.window.get()));
    }

    void cablePulledDuringTheReadResetsTheLink() {
        auto config = preset("full");
        config.faults.cablePulledAfter = 12;
        Rig rig(config);
        rig.connectAndRead();
        QCOMPARE(rig.window->linkStep, 1000);
        QCOMPARE(rig.tabs(), QStringList{"KVX"});
        QCOMPARE(rig.instrument->log().commandLines().size(), 12);
    }
};

QTEST_MAIN(TestSimConfigurator)
#include "tst_sim_configurator.moc"
