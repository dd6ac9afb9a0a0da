// What a configuration file may hold, against what the instrument can hold,
// reckoned here independently of the patterns: every date of two centuries
// and a half and every number around each field's limit, as the program's
// check and the schema's pattern judge them. And a file moved between
// firmware levels keeps the Alphasense enables (one key at every level),
// also a file of an earlier version with the older names, end to end
// against the simulated instrument.
#include "tests/support/Instruments.h"
#include "tests/support/SimRig.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

// The pattern the schema publishes for a setting's words.
QRegularExpression schemaPattern(const QString& key) {
    const QJsonObject settings = configurationSchema()
                                     .value("properties")
                                     .toObject()
                                     .value("settings")
                                     .toObject()
                                     .value("properties")
                                     .toObject();
    return QRegularExpression(settings.value(key).toObject().value("pattern").toString());
}

bool programTakes(const QString& key, const QString& words) {
    return wordsOf(*findSetting(key), words, nullptr).has_value();
}

// "legacy" (firmware level 0), or changed as the rest of the name says.
sim::InstrumentConfig configOf(const QString& name) {
    auto c = SimRig::load(name.section(' ', 0, 0));
    if (name.contains("level 5"))
        c.firmwareLevel = 5;
    if (name.contains("enables swapped"))
        for (auto& position : c.alphasense)
            position.on = !position.on;
    return c;
}

} // namespace

class FormatTest : public QObject {
    Q_OBJECT

private slots:
    // Every day from 1998 to 2101, with month and day numbers beyond the
    // calendar's, at times in and beyond the day: taken exactly when it is a
    // calendar date from 2000 to 2099 at a time of the day.
    void datesAreTheCalendarsOfTheCentury() {
        const QString key = "pumpa.start";
        const QRegularExpression schema = schemaPattern(key);
        QVERIFY(schema.isValid());
        const std::pair<int, int> times[] = {{0, 0}, {23, 59}, {24, 0}, {12, 60}, {7, 5}};
        int taken = 0;
        for (int y = 1998; y <= 2101; ++y) {
            for (int m = 0; m <= 13; ++m) {
                for (int d = 0; d <= 32; ++d) {
                    for (const auto& [h, min] : times) {
                        const QString words =
                            QString("At Specific UTC Date/Time %1-%2-%3 %4:%5 UTC")
                                .arg(y, 4, 10, QChar('0'))
                                .arg(m, 2, 10, QChar('0'))
                                .arg(d, 2, 10, QChar('0'))
                                .arg(h, 2, 10, QChar('0'))
                                .arg(min, 2, 10, QChar('0'));
                        const bool holds =
                            QDate::isValid(y, m, d) && y >= 2000 && y <= 2099 && h < 24 && min < 60;
                        if (programTakes(key, words) != holds ||
                            schema.match(words).hasMatch() != holds)
                            QFAIL(qPrintable(words + (holds ? " refused" : " taken")));
                        taken += holds;
                    }
                }
            }
        }
        QCOMPARE(taken, 36525 * 3); // the days of 2000 to 2099, at three times of the day
    }

    // Days, hours and minutes and the sample start's date word: every number
    // up to past each field's limit, with and without leading zeros, and
    // numbers far beyond.
    void numbersUpToEachFieldsLimit_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("form"); // %1: the number
        QTest::addColumn<qint64>("most");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::newRow("duration days")
            << "main.schedule.duration"
            << "%1 d 0 h 0 min" << qint64(65535) << qint64(65000) << qint64(66000);
        QTest::newRow("duration hours")
            << "main.schedule.duration"
            << "1 d %1 h 0 min" << qint64(255) << qint64(0) << qint64(1100);
        QTest::newRow("duration minutes")
            << "main.schedule.duration"
            << "1 d 0 h %1 min" << qint64(255) << qint64(0) << qint64(1100);
        QTest::newRow("small days")
            << "pumpb.duration"
            << "Shorter Than Sample %1 d 0 h 0 min" << qint64(65535) << qint64(0) << qint64(1100);
        QTest::newRow("pump delay hours") << "pumpc.start"
                                          << "Delayed Start 0 d %1 h 0 min (and 2030-05-01 10:00 "
                                             "UTC)"
                                          << qint64(255) << qint64(0) << qint64(300);
        QTest::newRow("date word") << "main.schedule.start"
                                   << "Once Next Power-On (date word %1)" << qint64(4294967295)
                                   << qint64(4294966000) << qint64(4294968000);
    }
    void numbersUpToEachFieldsLimit() {
        QFETCH(QString, key);
        QFETCH(QString, form);
        QFETCH(qint64, most);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        const QRegularExpression schema = schemaPattern(key);
        QList<quint64> numbers;
        for (qint64 n = from; n <= to; ++n)
            numbers << quint64(n);
        QRandomGenerator random(30);
        for (int i = 0; i < 2000; ++i)
            numbers << (random.generate64() >> random.bounded(64));
        for (const quint64 n : numbers) {
            for (const QString& digits : {QString::number(n), "0" + QString::number(n),
                                          "000000000000" + QString::number(n)}) {
                const QString words = form.arg(digits);
                const bool holds = n <= quint64(most);
                if (programTakes(key, words) != holds || schema.match(words).hasMatch() != holds)
                    QFAIL(qPrintable(words + (holds ? " refused" : " taken")));
            }
        }
    }

    // Saved on one instrument, opened on one of another firmware level with
    // the Alphasense positions switched the other way, written and read
    // back: the enables are the file's.
    void filesMoveBetweenLevels_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("older"); // the file as an earlier version wrote it
        QTest::newRow("level 0 to level 5") << "legacy"
                                            << "legacy level 5 enables swapped" << false;
        QTest::newRow("level 5 to level 0") << "legacy level 5 enables swapped"
                                            << "legacy" << false;
        QTest::newRow("older names, level 0 to level 5")
            << "legacy"
            << "legacy level 5 enables swapped" << true;
        QTest::newRow("older names, level 0 to level 0") << "legacy"
                                                         << "legacy enables swapped" << true;
    }
    void filesMoveBetweenLevels() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, older);
        QTemporaryDir dir;
        const QString path = dir.filePath("moved.kvxcfg");
        {
            SimRig source(configOf(from));
            QVERIFY(source.connect());
            QVERIFY(source.w().saveConfigurationTo(path));
        }
        QJsonObject doc = readJson(path);
        QJsonObject settings = doc["settings"].toObject();
        QMap<QString, QString> enables; // key → words
        for (int n = 1; n <= 4; ++n) {
            const QString key = QString("alphasense.%1.enabled").arg(n);
            QVERIFY2(!settings.contains(QString("gas.alphasense%1.enabled").arg(n)),
                     "an older name saved");
            if (settings.contains(key))
                enables.insert(key, wordsOf(*findSetting(key), settings[key], nullptr).value());
            if (older && settings.contains(key))
                settings.insert(QString("gas.alphasense%1.enabled").arg(n), settings.take(key));
        }
        QCOMPARE(enables.size(), 3); // the position not fitted is left out
        if (older) {
            doc["settings"] = settings;
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QJsonDocument(doc).toJson());
        }

        SimRig rig(configOf(to));
        QVERIFY(rig.connect());
        KVX_Configurator& w = rig.w();
        const auto entry = [&w](const QString& key) { return findSetting(key, w.firmwareLevel); };
        for (auto it = enables.cbegin(); it != enables.cend(); ++it)
            QVERIFY2(w.changes->formText(*entry(it.key())) != it.value(),
                     "the instrument holds the file's enable already");
        {
            DialogScript ok({}, QMessageBox::Ok);
            QVERIFY(w.openConfigurationFrom(path));
            // Nothing said of the enables: none skipped, none set otherwise.
            for (const QString& said : ok.informative + ok.details)
                QVERIFY2(!said.contains(QRegularExpression("Alphasense #\\d Enable")),
                         qPrintable(said));
        }
        for (auto it = enables.cbegin(); it != enables.cend(); ++it) {
            QCOMPARE(w.changes->formText(*entry(it.key())), it.value());
            QVERIFY(w.changes->edited(*entry(it.key())));
        }
        rig.pressWrite();
        QVERIFY(rig.settle());
        {
            DialogScript yes({}, QMessageBox::Yes);
            w.KVXReadButtonPressed();
        }
        QVERIFY(rig.settle());
        for (auto it = enables.cbegin(); it != enables.cend(); ++it)
            QCOMPARE(w.changes->instrumentText(*entry(it.key())).value_or("(none)"), it.value());
        QCOMPARE(w.changes->count(), 0);
    }
};

QTEST_MAIN(FormatTest)
#include "tst_format.moc"
