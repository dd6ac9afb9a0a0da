// The workflows against the simulated instrument: the record chains of a read
// and of a write by preset and firmware level (with the status bar's plan), a
// write after a read that stores exactly what was read, the cartridge stamp,
// nothing cutting into a running workflow; the questions before a write, pump commands, the SCD30
// calibration, the clock and the date edits. Runs at UTC+3, so that a stamp
// in the wrong zone shows.
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/PumpWidgets.h"
#include "link/Status.h"
#include "tests/support/SimRig.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"
#include "workflows/WriteWorkflow.h"

#include <QtTest>

#include <ctime>

using namespace kvx;
using namespace kvx::test;
using Words = QList<quint16>;

namespace {

const Words kMain = {0x0010, 0x0020, 0x0030, 0x0040, 0x0060, 0x0050, 0x0000};

Words gasWords(int level) {
    Words words = {0x4016, 0x4036, 0x4026, 0x4046, 0x4056, 0x4066, 0x4076};
    if (level > 2)
        words << 0x40B6;
    if (level > 3)
        words << 0x40C6;
    words << 0x4006;
    if (level > 0)
        words << 0x40A6;
    return words;
}

// A pump's read: flow, install, run, volume, cartridge, then start, duration.
Words pumpWords(quint16 flow, int level) {
    Words words;
    for (int record : {0, 2, 3, 4, 1, 5, 6})
        words << quint16(flow + record * 0x10);
    return level >= 2 ? words : words.mid(0, 5);
}

Words fullRead(int level) {
    return Words{0x0070} + kMain + gasWords(level) + pumpWords(0x8012, level) + Words{0x8002} +
           pumpWords(0x8014, level) + Words{0x8004} + pumpWords(0xC201, level) +
           pumpWords(0xC101, level) + Words{0xC001};
}

Words fullWrite(int level) {
    Words words = {0x0020, 0x0030, 0x0040, 0x0060, 0x0000, 0x4016, 0x4026, 0x4036, 0x4086};
    if (level >= 3)
        words << 0x40B6;
    if (level >= 4)
        words << 0x40C6;
    words << 0x4006;
    if (level >= 1)
        words << 0x40A6;
    for (quint16 flow : {0x8012, 0x8014, 0xC201, 0xC101}) {
        words << flow;
        if (level >= 2)
            words << quint16(flow + 0x50) << quint16(flow + 0x60);
        if (flow != 0xC201)
            words << quint16(flow & 0xF00F);
    }
    return words;
}

// A preset ("full", "mixed", ...), changed as the rest of the name says.
sim::InstrumentConfig variant(const QString& name) {
    auto c = SimRig::load(name.section(' ', 0, 0));
    const auto has = [&](const char* what) { return name.contains(what); };
    if (has("level"))
        c.firmwareLevel = name.section(' ', -1).toInt();
    if (has("Figaro set"))
        c.gasLogging |= 0x3C, c.figaro.range = 7; // no button shows the range
    // Values the form cannot show.
    if (has("interval 10"))
        c.logInterval = 10;
    if (has("stop state 2"))
        c.stopState = 2;
    if (has("SEN55 mode 5"))
        c.sen55.mode = 5;
    if (has("NO2 code 9"))
        c.alphasense[1].algorithm = 9;
    if (has("compensation 7"))
        c.scd30.compensation = 7;
    if (has("blank UTC offset"))
        c.utcOffsetHours = -327.68;
    if (has("365 d 30 h 75 min"))
        c.durationDays = 365, c.durationHours = 30, c.durationMinutes = 75;
    if (has("cleaning 2000 h"))
        c.sen55.cleaningIntervalHours = 2000;
    if (has("flag bits"))
        c.scheduleFlags = 0x8125;
    if (has("next power-on"))
        c.scheduleFlags = quint16((c.scheduleFlags & ~3) | 1);
    // Pump A's start record: a delay beside a date, or a date alone
    // (2030-05-01 10:00).
    if (has("A delay+date"))
        c.pumps[0].start = {0, 1, 2, 3, 0x50, 0x9E, 0x0A, 0};
    if (has("A date"))
        c.pumps[0].start = {0, 0, 0, 0, 0x50, 0x9E, 0x0A, 0};
    if (has("bit 20"))
        c.mainLogging |= 1u << 20;
    if (has("no SCD30"))
        c.scd30.fitted = false;
    if (has("flow above limit"))
        c.pumps[0].flowRaw = 2500; // the limit is 2.000
    // A fresh instrument: a specific start without a date.
    if (has("start no date"))
        c.scheduleFlags = quint16(c.scheduleFlags & ~3), c.scheduleStart = 0;
    if (has("SEN55 cut to 12"))
        c.faults.cutRecords.insert(0x0060, 12);
    if (has("D delay 99 h"))
        c.pumps[3].start = {0, 0, 99, 0, 0, 0, 0, 0};
    if (has("AS3 off"))
        c.alphasense[2].on = false;

    return c;
}

QString hex(const Words& words) {
    QStringList out;
    for (quint16 w : words)
        out << QString::number(w, 16);
    return out.join(' ');
}

QDateTime utc(const char* iso) {
    return QDateTime::fromString(iso, Qt::ISODate);
}
const QDateTime kStart = utc("2025-04-01T08:00:00Z");

// The sample: "at d/h/m" starts at kStart, "on d/h/m" at the next power-on.
// Pumps: "A@m" starts m minutes after kStart, "A+m" m minutes after the
// sample, "As" with it, "Ax" has its start group disabled.
void schedule(KVX_Configurator& w, const QString& sample, const QString& pumps) {
    const QStringList d = sample.mid(3).split('/');
    QString edits = QString("%1 startDateTime@%2 durationDays=%3 durationHours=%4 "
                            "durationMinutes=%5 pumpASampleStart pumpBSampleStart "
                            "pumpCSampleStart pumpDSampleStart")
                        .arg(sample.startsWith("at") ? "specificTime" : "nextPowerOn",
                             kStart.toString(Qt::ISODate), d.value(0), d.value(1), d.value(2));
    for (const QString& p : pumps.split(' ', Qt::SkipEmptyParts)) {
        const QString pump = " pump" + p.left(1);
        const int m = p.mid(2).toInt();
        if (p[1] == '@')
            edits += pump + "SpecificDateTime" + pump + "StartDateTime@" +
                     kStart.addSecs(m * 60LL).toString(Qt::ISODate);
        else if (p[1] == '+')
            edits += QString("%1DelayedStart%1DelayDays=%2%1DelayHours=%3%1DelayMinutes=%4")
                         .arg(pump)
                         .arg(m / 1440)
                         .arg(m / 60 % 24)
                         .arg(m % 60);
        else if (p[1] == 's')
            edits += pump + "SampleStart";
    }
    applyEdits(w, edits);
    for (const QString& p : pumps.split(' ', Qt::SkipEmptyParts))
        if (p[1] == 'x')
            w.findChild<QWidget*>("pump" + p.left(1) + "Start")->setEnabled(false);
}

QStringList titles(const QList<WriteWarning>& warnings) {
    QStringList out;
    for (const WriteWarning& warning : warnings)
        out << warning.title.section(' ', 0, 1).replace("Start Date", "past") +
                   (warning.title.contains("Early")   ? " early"
                    : warning.title.contains("Late")  ? " late"
                    : warning.title.contains("Delay") ? " delay"
                                                      : "");
    return out;
}

// The buttons a running workflow locks.
QList<QWidget*> locked(const Ui_KVX_Configurator& ui) {
    return {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC, ui.scd30CalButton};
}

using Slot = void (KVX_Configurator::*)();
const std::pair<const char*, Slot> kPresses[] = {
    {"scd30CalButton", &KVX_Configurator::SCD30CalButtonPressed},
    {"kvxRead", &KVX_Configurator::KVXReadButtonPressed},
    {"kvxWrite", &KVX_Configurator::KVXWriteButtonPressed},
    {"setRTC", &KVX_Configurator::KVXSetRTCPressed},
    {"readRTC", &KVX_Configurator::KVXReadRTCPressed},
    {"startPumpA", &KVX_Configurator::PumpAStartClicked},
};

} // namespace

class WorkflowsTest : public QObject {
    Q_OBJECT

private slots:
    // A connection's read and then a write, by preset and level: the records
    // each asks for, the buttons, and an unedited write stores every record
    // exactly as read, also values the form cannot show, which the read names
    // ("-": none). An NO2 algorithm code beyond 3 bits goes out as 0.
    // "cartridges" changes two cartridge IDs, "pumps running" starts Pumps B
    // and D first.
    void readThenWrite_data() {
        QTest::addColumn<QString>("instrument");
        QTest::addColumn<Words>("read"); // empty: not compared
        QTest::addColumn<Words>("written");
        QTest::addColumn<QString>("kept");
        for (int level = 0; level <= 5; ++level)
            QTest::addRow("full, level %d", level)
                << QString("full level %1").arg(level) << fullRead(level) << fullWrite(level) << "";
        QTest::newRow("minimal") << "minimal" << Words{0x0070} + kMain.mid(0, 5) + Words{0x0000}
                                 << Words{0x0020, 0x0030, 0x0040, 0x0000} << "-";
        // Pump A and Pump C absent: their chains end after the flow record.
        QTest::newRow("mixed") << "mixed"
                               << Words{0x0070} + kMain + gasWords(2) +
                                      Words{0x8012, 0x8002, 0xC201} + pumpWords(0xC101, 2) +
                                      Words{0xC001}
                               << Words{0x0020, 0x0030, 0x0040, 0x0060, 0x0000,
                                        0x4026, 0x4036, 0x4086, 0x4006, 0x40A6,
                                        0x8002, 0xC101, 0xC151, 0xC161, 0xC001}
                               << "Alphasense › Alphasense #3 NO2 Algorithm: Algorithm #2";
        // No level record: asked four times, then the instrument is level 0.
        QTest::newRow("legacy") << "legacy" << Words(4, 0x0070) + kMain + gasWords(0)
                                << Words{0x0020, 0x0030, 0x0040, 0x0060, 0x0000,
                                         0x4016, 0x4036, 0x4086, 0x4006}
                                << "-";
        Words cartridges = fullWrite(5);
        cartridges.insert(cartridges.indexOf(0x8012), 0x8022);
        cartridges.insert(cartridges.indexOf(0xC101), 0xC111);
        QTest::newRow("cartridges") << "full cartridges" << Words{} << cartridges << "";
        QTest::newRow("pumps running")
            << "full pumps running" << Words{}
            << Words{0x8084, 0xC171, 0x8084, 0xC171} + fullWrite(5) << "";
        const char* odd[][2] = {
            {"Figaro set", "-"},
            {"interval 10", "Mainboard › Logging Interval [seconds]: 10"},
            {"stop state 2", "Action After Sampling Ends: 2"},
            {"SEN55 mode 5", "SEN55 Mode: 5"},
            {"fan 2", "Gas › Gas Housing Fan Enable: 2"},
            {"NO2 code 9", "-"},
            {"compensation 7", "SCD30 Compensation: 7"},
            {"blank UTC offset", "UTC Offset: -327.68"},
            {"365 d 30 h 75 min", "Sampling Duration: 365 d 30 h 75 min"},
            {"cleaning 2000 h", "SEN55 Cleaning Interval [Hrs]: 2000"},
            {"flag bits 2-14", "unused bits of record 0x0040: 0x124"},
            {"no SCD30", "-"},
            {"flow above limit", "Pump A \u203a Sampling Volumetric Flow [LPM]: 2.500"},
        };
        for (const auto& [name, kept] : odd)
            QTest::newRow(name) << QString("full ") + name << Words{} << Words{} << QString(kept);
    }
    void readThenWrite() {
        QFETCH(QString, instrument);
        QFETCH(Words, read);
        QFETCH(Words, written);
        QFETCH(QString, kept);
        const auto config = variant(instrument);
        SimRig rig(config);
        if (instrument.contains("fan 2")) { // stored as a write would store it
            ConfigImage fan;
            fan.resetRequest(kGasFanWord);
            fan.appendU16(2);
            fan.finishRequest();
            rig.sim().receive(requestLine(fan, kCfgSet));
            rig.sim().discardOutput();
        }
        if (instrument == "legacy") { // a level-5 answer left behind by an earlier instrument
            rig.w().responseImage.resetRequest(kFirmwareLevelRecord);
            rig.w().responseImage.appendU16(5);
        }
        const auto stores = [&] { return int(rig.sim().log().ofKind("store").size()); };
        const int storedBefore = stores();
        QVERIFY(rig.connect());
        QVERIFY(read.isEmpty() || hex(rig.requestedWords()) == hex(read));
        const Ui_KVX_Configurator& ui = *rig.w().ui;
        for (QWidget* button : locked(ui))
            QCOMPARE(button->isEnabled(),
                     button != ui.scd30CalButton || (config.gas.fitted && config.scd30.fitted));
        if (config.gas.fitted)
            QCOMPARE(ui.gasFanGroup->isHidden(), config.firmwareLevel.value_or(0) < 3);
        QCOMPARE(stores(), storedBefore);
        // The form as the read left it shows every setting as the catalogue
        // reads the records: nothing to change.
        rig.w().changes->refresh();
        QCOMPARE(rig.w().changes->count(), 0);
        const QString named = rig.w().keptAsRead.join(", ");
        QVERIFY2(kept == "-" ? named.isEmpty() : named.contains(kept), qPrintable(named));
        QMap<quint16, QByteArray> before;
        for (quint16 word : rig.requestedWords())
            if (word != kClockWord && rig.sim().readRecord(word))
                before.insert(word, *rig.sim().readRecord(word));
        if (instrument.contains("cartridges"))
            applyEdits(rig.w(), "pumpACartID=NEW-A pumpBCartID=FC-2025-0102 pumpDCartID=NEW-D");
        if (instrument.contains("pumps running")) {
            rig.w().PumpBStartClicked();
            QVERIFY(rig.settle());
            rig.w().PumpDStartClicked();
            QVERIFY(rig.settle());
        }
        const int setsBefore = int(rig.requestedWords("cfg_set").size());
        rig.pressWrite();
        // The status bar's plan, from the write's first record on.
        QVERIFY(rig.tickUntil([&] {
            return rig.w().status->message().startsWith("Writing the configuration: record 1 ");
        }));
        const int planned = rig.w().status->progressBar()->maximum();
        QVERIFY(rig.settle());
        const Words sets = rig.requestedWords("cfg_set");
        QCOMPARE(planned, sets.size() - setsBefore);
        QVERIFY(written.isEmpty() || hex(sets) == hex(written));
        QVERIFY(sets.contains(kScheduleWord));
        QCOMPARE(stores(), sets.size());
        for (QWidget* b : {ui.startPumpA, ui.startPumpB, ui.stopPumpB, ui.stopPumpD})
            QCOMPARE(b->isEnabled(),
                     b->objectName().startsWith("start") && rig.w().firmwareLevel == 5);
        if (instrument.contains("cartridges")) {
            // Stamped with the local time (UTC+3), the counters start afresh.
            QCOMPARE(rig.sim().log().stores(0x8022),
                     QList<QByteArray>{QByteArray::fromHex("80223419011e") + "NEW-A" +
                                       QByteArray(11, '\0')});
            QCOMPARE(ui.pumpAInstall->text(), "On 03/08/2025 @ 01:30");
            QCOMPARE(ui.pumpARun->text() + ui.pumpAVolume->text(), "00");
            // Written once: a second write keeps the stamp and the counters.
            rig.pressWrite();
            QVERIFY(rig.settle());
            QCOMPARE(rig.sim().log().stores(0x8022).size(), 1);
        }
        if (instrument.contains("cartridges") || instrument.contains("pumps"))
            return;
        QStringList changed;
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            if (rig.sim().readRecord(it.key()) != it.value())
                changed << QString::number(it.key(), 16);
        QCOMPARE(changed.join(' '), instrument.contains("NO2") ? "4056" : "");
        QCOMPARE(rig.sim().state().alphasense[1].algorithm, 0);
    }

    // Edits beside values kept as on the instrument: an edited setting goes
    // out wholly as the form shows it, an unedited one as the instrument holds
    // it now, which after a confirmed write is what was written. Writes are
    // separated by "|"; `stored` is "offset:bytes" of the last store of `word`.
    void editsThenWrite_data() {
        QTest::addColumn<QString>("instrument");
        QTest::addColumn<QString>("edits");
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("stored");
        // An interlock's change is an edit; both directions of the sample start.
        QTest::newRow("power-on start withdraws Pump B's own date")
            << "full"
            << "nextPowerOn" << 0x8064 << "2:0000000000000000";
        QTest::newRow("Pump B at the sample start by hand, then power-on")
            << "full"
            << "pumpBSampleStart nextPowerOn" << 0x8064 << "2:0000000000000000";
        QTest::newRow("back to power-on: the pump's hidden date kept")
            << "full next power-on A date"
            << "specificTime nextPowerOn" << 0x8062 << "2:00000000509e0a00";
        // Opening the pumps' own start time touches no delay the form cannot show.
        QTest::newRow("specific time leaves a delay beyond the form alone")
            << "full next power-on D delay 99 h"
            << "specificTime" << 0xC151 << "2:0000630000000000";
        // A read replaces the form: the instrument's missing date is no edit.
        QTest::newRow("no date: an edit does not survive a read")
            << "full start no date"
            << "startDateTime@2031-01-01T10:00:00Z read" << 0x0040 << "4:00000000";
        QTest::newRow("no date kept by an unedited write") << "full start no date"
                                                           << "" << 0x0040 << "4:00000000";
        // A field the instrument did not report is still the form's to write.
        QTest::newRow("short SEN55 record: cleaning interval edited")
            << "full SEN55 cut to 12"
            << "sen55Interval=7" << 0x0060 << "4:00000007";
        QTest::newRow("start choice over a stale date")
            << "full A delay+date"
            << "pumpASampleStart" << 0x8062 << "2:0000000000000000";
        QTest::newRow("sample start changed, pump date shows")
            << "full next power-on A date"
            << "specificTime" << 0x8062 << "2:0000000000000000";
        QTest::newRow("pump date kept while the sample starts at power-on")
            << "full next power-on A date"
            << "durationDays=3" << 0x8062 << "2:00000000509e0a00";
        QTest::newRow("second write after a confirmed one")
            << "full interval 10"
            << "logInterval=0 | logInterval=3" << 0x0040 << "12:3c";
        QTest::newRow("second write without edits") << "full interval 10"
                                                    << "logInterval=0 | " << 0x0040 << "12:05";
        QTest::newRow("changed and changed back")
            << "full interval 10"
            << "logInterval=1 logInterval=3" << 0x0040 << "12:0a";
        QTest::newRow("a choice in a blank box") << "full SEN55 mode 5"
                                                 << "sen55Mode=0" << 0x0060 << "2:0001";
        QTest::newRow("blank box left blank") << "full SEN55 mode 5"
                                              << "sen55Interval=10" << 0x0060 << "2:00050000000a";
        QTest::newRow("logging box beside a bit without one")
            << "full bit 20"
            << "mainLogVBAT" << 0x0000 << "2:0011ffef";
        QTest::newRow("start mode beside unused schedule bits")
            << "full flag bits"
            << "specificTime" << 0x0040 << "2:8124";
    }
    void editsThenWrite() {
        QFETCH(QString, instrument);
        QFETCH(QString, edits);
        QFETCH(int, word);
        QFETCH(QString, stored);
        SimRig rig(variant(instrument));
        QVERIFY(rig.connect());
        for (const QString& step : edits.split('|')) {
            for (const QString& edit : step.split(' ', Qt::SkipEmptyParts)) {
                if (edit != "read") {
                    applyEdits(rig.w(), edit);
                    continue;
                }
                DialogScript yes({}, QMessageBox::Yes);
                rig.w().KVXReadButtonPressed();
                QVERIFY(rig.settle());
                rig.w().changes->refresh();
                QCOMPARE(rig.w().changes->count(), 0); // a read leaves no edit
            }
            // Every setting the write will change is named and marked.
            rig.w().changes->refresh();
            const QList<SettingChange> listed = rig.w().changes->changes();
            for (const SettingChange& c : listed) {
                const QWidget* first = rig.w().changes->control(c.setting->controls.first());
                QVERIFY2(first->property("kvxChanged").toBool(), qPrintable(c.line()));
            }
            rig.pressWrite();
            QVERIFY(rig.settle());
            for (const SettingChange& c : listed) // and the list was true
                QVERIFY2(rig.w().changes->instrumentText(*c.setting) == c.now,
                         qPrintable(c.line()));
        }
        const QList<QByteArray> stores = rig.sim().log().stores(quint16(word));
        QVERIFY(!stores.isEmpty());
        const int at = stored.section(':', 0, 0).toInt();
        const QByteArray want = QByteArray::fromHex(stored.section(':', 1).toLatin1());
        QCOMPARE(stores.last().mid(at, want.size()).toHex(), want.toHex());
        // What was written is what the instrument holds: nothing left to change.
        rig.w().changes->refresh();
        QCOMPARE(rig.w().changes->count(), 0);
    }

    // A file opened, then written: every setting the file holds ends as the
    // file says on the instrument, also where the instrument held a value the
    // form shows alike, and where a rule between settings undid it first.
    // `source` edits the form before saving ("" saves the instrument as
    // read); `file` changes the saved settings ("key=json").
    void openThenWrite_data() {
        QTest::addColumn<QString>("instrument");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("file");
        QTest::addColumn<int>("differ");
        QTest::newRow("a file's 60 over an interval of 10")
            << "full interval 10"
            << "" << QStringList{"main.schedule.interval=60"} << 1;
        QTest::newRow("the instrument's own 10 goes back unchanged") << "full interval 10"
                                                                     << "" << QStringList{} << 0;
        QTest::newRow("a file's Shutdown over stop state 2")
            << "full stop state 2"
            << "" << QStringList{"main.schedule.after_sampling=\"Shutdown\""} << 1;
        QTest::newRow("a spin box's nearest value over one beyond it")
            << "full cleaning 2000 h"
            << "" << QStringList{"main.sen55.cleaning_interval=1000"} << 1;
        QTest::newRow("partner switched on, then off again as the file says")
            << "full AS3 off"
            << "" << QStringList{"alphasense.2.enabled=false", "alphasense.3.enabled=true"} << 2;
        QTest::newRow("level 0: sensor enable before its logging box") << "legacy"
                                                                       << "" << QStringList{} << 0;
        QTest::newRow("unwritten edits come back as edits")
            << "full"
            << "durationHours=5 mainLogVBUS" << QStringList{} << 2;
    }
    void openThenWrite() {
        QFETCH(QString, instrument);
        QFETCH(QString, source);
        QFETCH(QStringList, file);
        QFETCH(int, differ);
        SimRig rig(variant(instrument));
        QVERIFY(rig.connect());
        KVX_Configurator& w = rig.w();
        QTemporaryDir dir;
        const QString path = dir.filePath("f.kvxcfg");
        applyEdits(w, source);
        QVERIFY(w.saveConfigurationTo(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QJsonObject doc = QJsonDocument::fromJson(f.readAll()).object();
        f.close();
        QJsonObject settings = doc["settings"].toObject();
        for (const QString& change : file)
            settings[change.section('=', 0, 0)] =
                QJsonDocument::fromJson("[" + change.section('=', 1).toUtf8() + "]")[0];
        doc["settings"] = settings;
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(doc).toJson());
        f.close();
        // Something else changed on the form first, so that opening has to
        // set it back (the Gas page's enable of Alphasense #2 at level 0).
        if (instrument == "legacy")
            applyEdits(w, "as2Mode");
        {
            DialogScript ok({}, QMessageBox::Ok);
            QVERIFY(w.openConfigurationFrom(path));
        }
        QCOMPARE(w.changes->count(), differ);
        rig.pressWrite();
        QVERIFY(rig.settle());
        {
            DialogScript yes({}, QMessageBox::Yes);
            w.KVXReadButtonPressed();
        }
        QVERIFY(rig.settle());
        QStringList wrong;
        for (auto it = settings.constBegin(); it != settings.constEnd(); ++it) {
            QVERIFY2(findSetting(it.key()), qPrintable(it.key()));
            const Setting* s = findSetting(it.key(), w.firmwareLevel);
            if (!s || !w.changes->editable(*s))
                continue;
            const QString want = wordsOf(*s, it.value(), nullptr).value_or("(refused)");
            const QString held = w.changes->instrumentText(*s).value_or("(none)");
            if (held != want)
                wrong << it.key() + ": " + held + " (file: " + want + ")";
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
    }

    // A read replaces what the form showed: a date the instrument holds as no
    // calendar date shows the form's default, not the last instrument's; and
    // the pumps cannot be commanded while the link says farewell.
    void aReadReplacesTheForm() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        Ui_KVX_Configurator& ui = *rig.w().ui;
        QVERIFY(ui.startDateTime->dateTime() != defaultDateTime());
        ConfigImage schedule; // a specific start, date bytes zero
        schedule.resetRequest(0x0040);
        schedule.length = 14;
        decodeScheduleRecord(ui, schedule);
        QCOMPARE(ui.startDateTime->dateTime(), defaultDateTime());
        ConfigImage start; // a date word of month 0
        start.resetRequest(0x8062);
        start.length = 10;
        start.bytes[7] = 0x01;
        ui.pumpAStartDateTime->setDateTime(utc("2031-01-01T10:00:00Z"));
        decodePumpStartRecord(ui, Pump::A, start);
        QVERIFY(ui.pumpASpecificDateTime->isChecked());
        QCOMPARE(ui.pumpAStartDateTime->dateTime(), defaultDateTime());

        QVERIFY(ui.startPumpA->isEnabled());
        DialogScript yes({}, QMessageBox::Yes);
        rig.w().KVXDisconnectButtonPressed();
        QCOMPARE(rig.w().linkStep, int(LinkFarewell));
        for (const Pump pump : kAllPumps) {
            const PumpWidgets p = pumpWidgets(ui, pump);
            QVERIFY(!p.startButton->isEnabled() && !p.stopButton->isEnabled());
        }
    }

    // Nothing cuts into a read: during the initial read every workflow button
    // is locked and its slot starts nothing. Read asks first: No leaves all as
    // it was, Yes locks the buttons until the whole read is over; a Yes given
    // after the link reset (Disconnect, Yes) under the question starts
    // nothing, and the next connection reads fully.
    void readsAreNotCutInto() {
        SimRig rig("full");
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        QVERIFY(rig.tickUntil([&] { return rig.w().sessionState == 203; }));
        {
            DialogScript yes({}, QMessageBox::Yes);
            for (const auto& [button, slot] : kPresses) {
                QVERIFY2(!rig.w().findChild<QWidget*>(button)->isEnabled(), button);
                (rig.w().*slot)();
            }
            QCOMPARE(yes.answered(), 0);
            QCOMPARE(rig.w().sessionState, 203);
        }
        QVERIFY(rig.settle());
        QCOMPARE(rig.lines().size(), 52);
        QVERIFY(rig.w().ui->startPumpA->isEnabled());
        DialogScript script({QMessageBox::No, QMessageBox::Yes, QMessageBox::Yes});
        rig.w().KVXReadButtonPressed();
        rig.tick(20);
        QCOMPARE(rig.lines().size(), 52);
        rig.w().KVXReadButtonPressed();
        QCOMPARE(script.titles, QStringList(2, "Read configuration data from the KVXv2."));
        QCOMPARE(script.texts.value(0), "This operation will overwrite any changes you've made in "
                                        "the program but haven't written to the KVXv2 yet.  Are "
                                        "you sure you wish to proceed?");
        bool lockedThroughout = true;
        QVERIFY(rig.tickUntil([&] {
            for (QWidget* b : locked(*rig.w().ui))
                lockedThroughout &= b->isEnabled() == (rig.w().sessionState == 0);
            return rig.w().sessionState == 0 && rig.w().linkIdle();
        }));
        QVERIFY(lockedThroughout);
        QCOMPARE(rig.lines().size(), 52 + 49);
        script.beforeAnswer = [&](int) {
            rig.w().linkStep = LinkFarewell;
            rig.tickUntil([&] { return rig.w().linkStep == LinkNone; });
            rig.tick(2);
        };
        rig.w().KVXReadButtonPressed();
        QCOMPARE(script.answered(), 3);
        QCOMPARE(rig.w().sessionState, 2);
        QVERIFY(rig.connect());
        QCOMPARE(rig.requestedWords().count(kFirmwareLevelRecord), 2);
        QVERIFY(rig.w().ui->Tab_PumpD->isEnabled() && rig.w().ui->kvxRead->isEnabled());
    }

    // Which warnings a write raises, in order, at `nowMin` minutes from kStart.
    void warnings_data() {
        QTest::addColumn<QStringList>("fields"); // sample|pumps|minutes to now|warnings
        for (const char* row :
             {"start a minute ahead|at 1/0/0||-1|", "start equal to now|at 1/0/0||0|past",
              "pump at the start|at 1/2/3|A@0|-60|",
              "pump before the start|at 1/2/3|A@-1|-60|Pump A early",
              "pump before the stop|at 1/2/3|A@1562|-60|",
              "pump at the stop|at 1/2/3|A@1563|-60|Pump A late",
              "no duration: late|at 0/0/0|A@0|-60|Pump A late",
              "delay within|at 1/0/30|B+1469|-60|",
              "delay as long|at 1/0/30|B+1470|-60|Pump B delay",
              "no duration: every delay|at 0/0/0|A+0 B+0 C+0 D+0|-60|"
              "Pump A delay,Pump B delay,Pump C delay,Pump D delay",
              "power-on start: delays only|on 0/1/0|A@-14400 B@14400 C+120 Ds|1440|Pump C delay",
              "unscheduled pumps|at 0/1/0|A@-1 Ax B+120 C+120 Cx D+120|-60|Pump B delay,Pump D "
              "delay",
              "order|at 1/0/0|A+2880 B@-1 C@2880 D+1440|0|"
              "past,Pump B early,Pump C late,Pump A delay,Pump D delay"})
            packedRow(row);
    }
    void warnings() {
        QFETCH(QStringList, fields);
        SimRig rig("full");
        QVERIFY(rig.connect());
        schedule(rig.w(), fields[0], fields[1]);
        QCOMPARE(
            titles(scheduleWarnings(*rig.w().ui, kStart.addSecs(fields[2].toInt() * 60))).join(','),
            fields[3]);
    }

    // The questions through the Write button, each answered once: No to the
    // confirmation or to a warning writes nothing; the write starts only
    // after Yes to the last one.
    void writeQuestions() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        schedule(rig.w(), "at 0/1/0", "A@-1 B+30 C+120");
        *rig.ms = kStart.addSecs(60).toMSecsSinceEpoch();
        const int sent = int(rig.lines().size());
        const auto y = QMessageBox::Yes, n = QMessageBox::No;
        DialogScript script({n, y, y, y, n, y, y, y, y});
        for (int press = 0; press < 3; ++press) {
            rig.w().KVXWriteButtonPressed();
            QCOMPARE(rig.w().ui->kvxWrite->isEnabled(), press != 2);
            QVERIFY(rig.settle());
            QCOMPARE(rig.lines().size() > sent, press == 2);
        }
        QCOMPARE(script.answered(), 9);
        QCOMPARE(script.titles.mid(0, 3), (QStringList{"Write configuration data to the KVXv2.",
                                                       "Write configuration data to the KVXv2.",
                                                       "Start Date and Time In Past"}));
        QCOMPARE(script.texts.value(3),
                 "You are specifying that Pump A starts at a specific UTC date/time that is "
                 "earlier than the sample starting UTC date/time.  Are you sure you wish to "
                 "proceed?");
        QVERIFY(rig.w().ui->kvxWrite->isEnabled() && rig.w().ui->startPumpA->isEnabled());
    }

    // A pump command sets the pump's setpoint (0 stops it) and swaps its
    // buttons; a start without a rate does nothing.
    void pumpCommands_data() {
        QTest::addColumn<QStringList>("fields"); // pump|rate|Start or Stop|setpoint (-1: none)
        for (const char* row : {"start A|0|1.25|Start|1250", "start B, rounded|1|0.001|Start|1",
                                "start C|2|0.75|Start|75", "start D|3|1.25|Start|125",
                                "stop A|0|0.5|Stop|0", "stop B|1|0.5|Stop|0", "stop C|2|0.5|Stop|0",
                                "stop D|3|0.5|Stop|0", "no rate|0|0|Start|-1"})
            packedRow(row);
    }
    void pumpCommands() {
        QFETCH(QStringList, fields);
        const int pump = fields[0].toInt(), setpoint = fields[3].toInt();
        const bool start = fields[2] == "Start";
        SimRig rig("full");
        QVERIFY(rig.connect());
        const QString p(QChar('A' + pump));
        rig.w().findChild<QDoubleSpinBox*>("pump" + p + "FlowRate")->setValue(fields[1].toDouble());
        if (!start) { // running first
            QMetaObject::invokeMethod(&rig.w(), qPrintable("Pump" + p + "StartClicked"));
            QVERIFY(rig.settle());
        }
        const int sets = int(rig.requestedWords("cfg_set").size());
        QMetaObject::invokeMethod(&rig.w(), qPrintable("Pump" + p + fields[2] + "Clicked"));
        QVERIFY(rig.settle());
        QCOMPARE(rig.requestedWords("cfg_set").size(), sets + (setpoint < 0 ? 0 : 1));
        QCOMPARE(int(rig.sim().pumpSetpoint(pump)), std::max(setpoint, 0));
        QCOMPARE(rig.w().findChild<QWidget*>("startPump" + p)->isEnabled(), !start || setpoint < 0);
        QCOMPARE(rig.w().findChild<QWidget*>("stopPump" + p)->isEnabled(), start && setpoint >= 0);
    }

    // A pump start still waiting for the link holds the session and locks
    // the workflow buttons: Write and Read RTC called meanwhile start nothing,
    // and the pump command goes out. Then a link reset during the next read
    // (the cable pulled, an instrument without pumps plugged in), and the
    // instrument with pumps again: each Start usable, each Stop not.
    void waitingPumpCommand() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        const int gets = int(rig.requestedWords().size());
        rig.sim().faults().answerDelayMs = 200;
        rig.w().PumpAStartClicked();
        rig.tick(3);
        rig.w().PumpBStartClicked();
        QCOMPARE(rig.w().sessionState, 1302);
        for (QWidget* button : locked(*rig.w().ui))
            QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
        {
            DialogScript script({}, QMessageBox::Yes);
            rig.w().KVXWriteButtonPressed();
            rig.w().KVXReadRTCPressed();
            QCOMPARE(script.answered(), 0);
        }
        QVERIFY(rig.settle());
        QCOMPARE(hex(rig.requestedWords("cfg_set")), hex({0x8082, 0x8084}));
        QCOMPARE(rig.requestedWords().size(), gets);
        QVERIFY(rig.sim().pumpRunning(1));
        QVERIFY(rig.w().ui->stopPumpB->isEnabled());
        for (QWidget* button : locked(*rig.w().ui))
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));

        DialogScript yes({}, QMessageBox::Yes);
        for (const char* next : {"minimal", "full"}) {
            rig.w().KVXDisconnectButtonPressed();
            QVERIFY(rig.fallBack() >= 0);
            rig.plug(SimRig::load(next));
            rig.w().KVXConnectButtonPressed();
            QVERIFY(rig.tickUntil([&] { return rig.w().sessionState == 101; }));
        }
        QVERIFY(rig.settle());
        for (const char* p : {"A", "B", "C", "D"}) {
            QVERIFY2(rig.w().findChild<QWidget*>(QString("startPump") + p)->isEnabled(), p);
            QVERIFY2(!rig.w().findChild<QWidget*>(QString("stopPump") + p)->isEnabled(), p);
        }
    }

    // The calibration sends the ppm value and the local time, and shows the
    // stamp the instrument stored, not the time its answer came in.
    void calibration_data() {
        QTest::addColumn<QStringList>("fields"); // now|ppm|answer|record stored|shown
        for (const char* row :
             {"400 ppm|2025-03-07T06:05:00Z|400|Yes|4096019033990905|On 3/7/2025 @ 9:05",
              "just before a new year|2024-12-31T22:30:59.970Z|2000|Yes|409607d0|On 1/1/2025 @ "
              "1:30",
              "No|2025-03-07T06:05:00Z|400|No||"})
            packedRow(row);
    }
    void calibration() {
        QFETCH(QStringList, fields);
        const bool yes = fields[2] == "Yes";
        SimRig rig("full");
        QVERIFY(rig.connect());
        const Ui_KVX_Configurator& ui = *rig.w().ui;
        ui.scd30CalValue->setValue(fields[1].toInt());
        ui.scd30Calibrated->clear();
        *rig.ms = QDateTime::fromString(fields[0], Qt::ISODateWithMs).toMSecsSinceEpoch();
        {
            DialogScript script({yes ? QMessageBox::Yes : QMessageBox::No});
            rig.w().SCD30CalButtonPressed();
            QCOMPARE(script.titles, QStringList{"SCD30 CO2 Forced Calibration."});
        }
        for (QWidget* b : locked(ui))
            QCOMPARE(b->isEnabled(), !yes);
        QVERIFY(rig.settle());
        const QList<QByteArray> stores = rig.sim().log().stores(0x4096);
        QCOMPARE(stores.size(), yes ? 1 : 0);
        QVERIFY(stores.value(0).toHex().startsWith(fields[3].toLatin1()));
        QCOMPARE(ui.scd30Calibrated->text(), fields[4]);
        QVERIFY(!yes || rig.w().status->message().startsWith("SCD30 calibration to " + fields[1]));
        QVERIFY(ui.scd30CalButton->isEnabled() && ui.kvxWrite->isEnabled());
    }

    // The clock shows in UTC and local time; Set RTC sends the UTC time when
    // the request goes out (here ten minutes after the click) and shows what
    // the instrument then reads.
    void clock_data() {
        QTest::addColumn<QStringList>("fields"); // pressed|record sent|shown then
        packedRow("2025|2025-03-08T09:50:00Z|0308190a0000|03/08/2025 10:00:00");
        packedRow("2099|2099-06-01T11:50:30Z|0601630c001e|06/01/2099 12:00:30");
    }
    void clock() {
        QFETCH(QStringList, fields);
        auto config = SimRig::load("minimal");
        config.clock = utc("2025-03-07T22:30:00Z");
        SimRig rig(config);
        QVERIFY(rig.connect());
        const Ui_KVX_Configurator& ui = *rig.w().ui;
        QCOMPARE(ui.utcText->text(), "03/07/2025 22:30:00");
        QCOMPARE(ui.localText->text(), "03/08/2025 01:30:00");
        *rig.ms = utc(qPrintable(fields[0])).toMSecsSinceEpoch();
        rig.w().KVXSetRTCPressed();
        for (QWidget* b : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC})
            QVERIFY(!b->isEnabled());
        *rig.ms += 10 * 60 * 1000;
        QVERIFY(rig.settle());
        QCOMPARE(rig.sim().log().stores(0x0010).value(0).mid(2).toHex(), fields[1].toLatin1());
        QCOMPARE(ui.utcText->text(), fields[2]);
        QCOMPARE(rig.requestedWords().last(), quint16(0x0010));
        for (QWidget* b : {ui.kvxWrite, ui.kvxRead, ui.setRTC, ui.readRTC})
            QVERIFY(b->isEnabled());
    }

    // The date edits hold UTC whatever the computer's zone (here one west of
    // Greenwich, where the form's own local midnight would fall inside the
    // range): they start at 2000-01-01 00:00 UTC and end in 2099.
    void dateEditsIgnoreTheComputersZone() {
        const auto restore = qScopeGuard([] { qputenv("TZ", "KVX-3"), tzset(); });
        qputenv("TZ", "America/New_York");
        tzset();
        SimRig rig("full");
        const auto edits = rig.w().findChildren<QDateTimeEdit*>(
            QRegularExpression("^(startDateTime|pump.StartDateTime)$"));
        QCOMPARE(edits.size(), 5);
        for (QDateTimeEdit* edit : edits) {
            QCOMPARE(edit->dateTime(), utc("2000-01-01T00:00:00Z"));
            QCOMPARE(edit->maximumDateTime(), utc("2099-12-31T23:59:00Z"));
        }
    }
};

int main(int argc, char** argv) {
    qputenv("TZ", "KVX-3");
    tzset();
    QApplication app(argc, argv);
    WorkflowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_workflows.moc"
