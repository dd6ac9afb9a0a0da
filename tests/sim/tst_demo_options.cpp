// kvx-demo's command line: its own options and the simulator's in both forms
// (--preset mixed, --preset=mixed), what kvx-sim is started with, and the
// arguments refused before anything starts. The arguments handed on are
// parsed the way kvx-sim parses them, so that the instrument it would
// simulate is checked too.
#include "sim/SimOptions.h"
#include "sim/demo/DemoOptions.h"

#include <QtTest>

using namespace kvx;

class DemoOptionsTest : public QObject {
    Q_OBJECT

private slots:
    // Arguments | auto-connect, picture, its delay | kvx-sim's arguments |
    // the instrument kvx-sim would simulate.
    void accepted_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("demo");
        QTest::addColumn<QString>("simulator");
        QTest::addColumn<QString>("instrument");
        const QString none = "0  8000";
        QTest::newRow("nothing") << "" << none << "--preset full"
                                 << "full";
        QTest::newRow("preset, spaced") << "--preset mixed" << none << "--preset mixed"
                                        << "mixed";
        QTest::newRow("preset, joined") << "--preset=mixed" << none << "--preset mixed"
                                        << "mixed";
        QTest::newRow("preset given twice: the last counts")
            << "--preset=legacy --preset minimal" << none << "--preset legacy --preset minimal"
            << "minimal";
        QTest::newRow("config, joined")
            << "--config=@/mixed.json" << none << "--config @/mixed.json"
            << "mixed";
        QTest::newRow("config, spaced")
            << "--config @/mixed.json" << none << "--config @/mixed.json"
            << "mixed";
        QTest::newRow("demo's own, joined and spaced")
            << "--auto-connect --screenshot=shot.png --screenshot-after 500"
            << "1 shot.png 500"
            << "--preset full"
            << "full";
        QTest::newRow("faults and serving, mixed forms")
            << "--answer-delay=200 --strict-line --log l.jsonl --fault-only=-x --silent" << none
            << "--silent --fault-only -x --answer-delay 200 --log l.jsonl --strict-line --preset "
               "full"
            << "full";
    }
    void accepted() {
        QFETCH(QString, arguments);
        QFETCH(QString, demo);
        QFETCH(QString, simulator);
        QFETCH(QString, instrument);
        // A description of the mixed instrument in a file, for --config.
        QTemporaryDir dir;
        const QString file = dir.filePath("mixed.json");
        QFile preset(":/kvx/sim/presets/mixed.json");
        QVERIFY(preset.open(QIODevice::ReadOnly));
        QFile copy(file);
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(preset.readAll()) > 0);
        copy.close();
        arguments.replace("@/mixed.json", file);
        simulator.replace("@/mixed.json", file);

        QString error;
        const auto options =
            demo::parseDemoArguments(arguments.split(' ', Qt::SkipEmptyParts), &error);
        QVERIFY2(options, qPrintable(error));
        QCOMPARE(QString("%1 %2 %3")
                     .arg(int(options->autoConnect))
                     .arg(options->screenshot)
                     .arg(options->screenshotAfterMs),
                 demo);
        QCOMPARE(options->simulatorArguments.join(' '), simulator);

        QCommandLineParser simParser;
        sim::addInstrumentOptions(simParser);
        sim::addServerOptions(simParser);
        QVERIFY(simParser.parse(QStringList{"kvx-sim"} + options->simulatorArguments));
        const auto config = sim::instrumentFromOptions(simParser, &error);
        QVERIFY2(config, qPrintable(error));
        QCOMPARE(config->name, instrument);
    }

    void refused_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown option") << "--preset=mixed --bogus"
                                        << "Unknown option 'bogus'.";
        QTest::newRow("value missing") << "--preset"
                                       << "Missing value after '--preset'.";
        QTest::newRow("not an option") << "mixed"
                                       << "Unexpected argument 'mixed'.";
        QTest::newRow("flag given a value") << "--auto-connect=yes"
                                            << "Unexpected value after '--auto-connect'.";
        QTest::newRow("delay not a number")
            << "--screenshot-after=soon"
            << "--screenshot-after: expected milliseconds, not 'soon'.";
        QTest::newRow("delay negative") << "--screenshot-after -5"
                                        << "--screenshot-after: expected milliseconds, not '-5'.";
    }
    void refused() {
        QFETCH(QString, arguments);
        QFETCH(QString, error);
        QString said;
        QVERIFY(!demo::parseDemoArguments(arguments.split(' '), &said));
        QCOMPARE(said, error);
    }
};

QTEST_GUILESS_MAIN(DemoOptionsTest)
#include "tst_demo_options.moc"
