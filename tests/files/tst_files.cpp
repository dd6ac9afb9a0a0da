// Configuration files. Through the real event loop against kvx-sim: a file
// saved and opened on the same instrument makes a write store every record
// exactly as read (values the form cannot show included), and opened on
// another instrument with the same boards makes its settings the first one's
// while its sample and cartridge IDs and its own values stay; every saved
// file satisfies the schema. In process: a file that is bad in any way
// changes nothing and sends nothing; unknown keys, values only the
// instrument sets, values the form cannot show and boards not fitted are
// listed after opening.
#include "image/boards/MainBoardCodec.h"
#include "tests/support/Instruments.h"
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"

#include <QFileDialog>
#include <QJsonArray>
#include <QLineEdit>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

void writeJson(const QString& path, const QJsonObject& o) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QJsonDocument(o).toJson());
}

// Every saved file satisfies the schema; "" when it does, else why not.
QString schemaProblem(const QString& file) {
    QProcess python;
    python.start("python3", {"-c",
                             "import json, sys, jsonschema\n"
                             "jsonschema.validate(json.load(open(sys.argv[1])),"
                             " json.load(open(sys.argv[2])))",
                             file, KVX_SOURCE_DIR "/docs/kvxcfg.schema.json"});
    if (!python.waitForFinished(30000))
        return "python3 did not finish";
    return python.exitCode() == 0 ? QString()
                                  : QString::fromUtf8(python.readAllStandardError().right(600));
}

bool validatorPresent() {
    QProcess python;
    python.start("python3", {"-c", "import jsonschema"});
    return python.waitForFinished(30000) && python.exitCode() == 0;
}

QString hex(const ConfigImage& record) {
    return QByteArray(reinterpret_cast<const char*>(record.bytes.data()), record.length).toHex();
}

QString valueOf(const Setting& s, const RecordSet& records) {
    return instrumentText(s, records).value_or("(none)");
}

} // namespace

class FilesTest : public QObject, PtySim {
    Q_OBJECT

    bool idle() const {
        return w->linkStep == LinkIdle && w->sessionState == 0 && w->ui->kvxWrite->isEnabled();
    }
    // Starts kvx-sim with `config`, connects and waits for the initial read;
    // files can be neither saved nor opened until it is over.
    bool connectTo(const QJsonObject& config) {
        stop();
        writeJson(dir.filePath("instrument.json"), config);
        if (!start({"--config", dir.filePath("instrument.json")}))
            return false;
        const auto* save = w->findChild<QAction*>("actionSaveConfiguration");
        const auto* open = w->findChild<QAction*>("actionOpenConfiguration");
        const QString file = dir.filePath("early.kvxcfg");
        if (!save || !open || save->isEnabled() || open->isEnabled() ||
            w->saveConfigurationTo(file) || QFile::exists(file))
            return false;
        return QTest::qWaitFor([this] { return idle(); }, 60000) &&
               QTest::qWaitFor([save] { return save->isEnabled(); }, 1000) && open->isEnabled();
    }

private slots:
    void initTestCase() {
        if (!validatorPresent())
            QSKIP("python3-jsonschema is not installed (scripts/install-deps.sh installs it)");
    }
    void cleanup() { stop(); }

    // Saved, then opened on the same instrument ("same") or on another with
    // the same boards ("another"), then written.
    void saveOpenWrite_data() {
        QTest::addColumn<QJsonObject>("first");
        QTest::addColumn<bool>("same");
        for (const char* preset : {"full", "mixed", "minimal", "legacy"}) {
            QTest::addRow("%s, same", preset) << instrument(preset) << true;
            QTest::addRow("%s, another", preset) << instrument(preset) << false;
        }
        // Values the form cannot show, and unused bits.
        QTest::newRow("odd values, same")
            << instrument("full", {"main/schedule/logInterval=10", "main/schedule/stopState=2",
                                   "main/sen55/mode=5", "gas/scd30/compensation=7",
                                   "main/utcOffsetHours=-327.68", "main/schedule/durationDays=365",
                                   "main/schedule/durationHours=30", "main/schedule/flags=33061",
                                   "main/sen55/"
                                   "cleaningIntervalHours=2000",
                                   "gas/figaro/range=7"})
            << true;
    }
    void saveOpenWrite() {
        QFETCH(QJsonObject, first);
        QFETCH(bool, same);
        const QString file = dir.filePath("saved.kvxcfg");
        QFile::remove(file);
        QVERIFY(connectTo(first));
        const RecordSet firstRecords = w->readBack.records;
        QVERIFY(w->saveConfigurationTo(file));
        QVERIFY(w->statusBar()->currentMessage().startsWith("Saved saved.kvxcfg: "));
        const QString invalid = schemaProblem(file);
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid));

        if (!same)
            QVERIFY(connectTo(another(first["name"].toString())));
        const QAction* save = w->findChild<QAction*>("actionSaveConfiguration");
        const RecordSet before = w->readBack.records;
        {
            DialogScript ok({}, QMessageBox::Ok);
            QVERIFY(w->openConfigurationFrom(file));
            QCOMPARE(ok.answered(), same ? 0 : 1);
        }
        const int differ = w->changes->count();
        QCOMPARE(w->statusBar()->currentMessage(),
                 QString("Opened saved.kvxcfg: %1 %2 from the instrument.")
                     .arg(differ)
                     .arg(differ == 1 ? "setting differs" : "settings differ"));
        QCOMPARE(differ == 0, same);
        QCOMPARE(loggedLines().filter(" cfg_set").size(), 0);
        {
            DialogScript yes({}, QMessageBox::Yes);
            w->KVXWriteButtonPressed();
            QVERIFY(!w->saveConfigurationTo(file + ".during"));
            QTRY_VERIFY_WITH_TIMEOUT(!save->isEnabled(), 1000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
        QCOMPARE(logged("refused").size(), 0);
        {
            DialogScript yes({QMessageBox::Yes});
            w->KVXReadButtonPressed();
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
        const RecordSet after = w->readBack.records;

        QStringList wrong;
        if (same) { // every record as it was read
            for (auto it = before.cbegin(); it != before.cend(); ++it)
                if (it.key() != kClockWord && hex(after.value(it.key())) != hex(it.value()))
                    wrong << hex(it.value()) + " -> " + hex(after.value(it.key()));
        } else { // the first's settings, its own IDs and values
            for (const Setting& s : settingCatalogue()) {
                // Settings of sensors not fitted are not in the file.
                const bool own = s.perInstrument || !s.written();
                if (s.kind == SettingKind::Reserved || s.key == "main.clock" ||
                    !w->changes->applies(s) || (!own && !w->changes->editable(s)))
                    continue;
                const QString want = valueOf(s, own ? before : firstRecords);
                if (valueOf(s, after) != want)
                    wrong << s.key + ": " + valueOf(s, after) + " (want " + want + ")";
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
    }

    // Opening in process: a bad file is refused whole; otherwise what was
    // not taken is listed. `edits` change the file saved on `savedOn`
    // ("key=json" with key a path; "cut" halves the file, "raw=text"
    // replaces it).
    void open_data() {
        QTest::addColumn<QString>("savedOn"); // preset|edits made before saving
        QTest::addColumn<QString>("openedOn");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("said"); // refused: the message's informative text
        QTest::addColumn<int>("differ");   // -1: refused
        const auto bad = [](const char* name, QStringList edits, const char* said) {
            QTest::newRow(name) << "full"
                                << "full" << edits << QString(said) << -1;
        };
        bad("not JSON", {"raw=kvxcfg 1"}, "it is not JSON (illegal value at byte 1)");
        bad("cut short", {"cut"}, "it is not JSON");
        bad("not an object", {"raw=[1, 2]"}, "format: it is not a KVX configuration file");
        bad("another format", {"format=\"gpx\""}, "format: it is not a KVX configuration file");
        bad("newer version", {"version=2"},
            "version: format version 2 is newer than this program reads (1)");
        bad("no settings", {"settings=[]"}, "settings: expected an object of settings");
        bad("wrong type", {"settings/main.schedule.interval=\"60\""},
            "main.schedule.interval: expected a whole number from 0 to 255");
        bad("bit as number", {"settings/main.logging.vbat=1"},
            "main.logging.vbat: expected true or false");
        bad("out of range", {"settings/main.utc_offset=400"},
            "main.utc_offset: expected a number from -327.68 to 327.67");
        bad("negative", {"settings/main.sen55.cleaning_interval=-1"},
            "main.sen55.cleaning_interval: expected a whole number from 0 to 4294967295");
        bad("unknown words", {"settings/gas.scd30.compensation=\"Weekly\""},
            "gas.scd30.compensation: expected one of \"None\", \"1 Minute\", \"1 Hour\", \"1 "
            "Day\", "
            "or a code from 0 to 65535");
        bad("span beyond its field", {"settings/main.schedule.duration=\"1 d 300 h 0 min\""},
            "main.schedule.duration: 300 is more than the instrument can hold (255)");
        bad("no date", {"settings/pumpb.start=\"At Specific UTC Date/Time 2025-02-30 06:00 UTC\""},
            "pumpb.start: 2025-02-30 06:00 UTC is no date the instrument can hold");
        bad("text too long", {"settings/main.sample_id=\"" + QString(32, 'x') + "\""},
            "main.sample_id: expected text of at most 31 characters");
        bad("cartridge ID too long", {"settings/pumpa.cartridge_id=\"" + QString(16, 'x') + "\""},
            "pumpa.cartridge_id: expected text of at most 15 characters");
        bad("a character the instrument cannot store",
            {QString::fromUtf8("settings/main.sample_id=\"Site Łódź\"")},
            "holds characters the instrument cannot store");
        // Dates the instrument cannot hold are refused, never moved.
        bad("start after 2099",
            {"settings/main.schedule.start=\"At Specific UTC Date/Time 2150-01-01 00:00 UTC\""},
            "main.schedule.start: 2150-01-01 00:00 UTC is no date the instrument can hold");
        bad("start at 24:00",
            {"settings/pumpa.start=\"At Specific UTC Date/Time 2030-01-01 24:00 UTC\""},
            "pumpa.start: 2030-01-01 24:00 UTC is no date the instrument can hold");
        bad("start before 2000",
            {"settings/main.schedule.start=\"At Specific UTC Date/Time 1999-12-31 23:59 UTC\""},
            "1999-12-31 23:59 UTC is no date the instrument can hold");
        bad("one key twice",
            {"raw={\"format\": \"kvxcfg\", \"version\": 1, \"settings\": "
             "{\"main.schedule.interval\": 15, \"main.schedule.\\u0069nterval\": 60}}"},
            "the key \"main.schedule.interval\" appears twice in one object");
        // The rest applies, and the message says what was not taken.
        QTest::newRow("unknown key")
            << "full"
            << "full" << QStringList{"settings/main.colour=1", "settings/main.schedule.interval=60"}
            << "1 key this program does not know was skipped." << 1;
        QTest::newRow("instrument's own")
            << "full"
            << "full" << QStringList{"settings/main.sen55.run_time=5", "settings/main.clock=1"}
            << "2 values only the instrument sets were not taken." << 0;
        QTest::newRow("a value the form cannot show")
            << "full"
            << "full" << QStringList{"settings/main.schedule.interval=10"}
            << "1 value the form cannot show was set to the nearest it can." << 1;
        QTest::newRow("more boards than fitted")
            << "full"
            << "minimal" << QStringList{}
            << "This instrument's sample ID and cartridge and sorbent IDs were kept: the file was "
               "saved from another instrument (KVX2-M-000417).\n• 120 settings of boards or "
               "firmware levels this instrument does not have were skipped (Mainboard, Gas, "
               "Alphasense, Pump A, Pump B, Pump C, Pump D).\n• 10 settings of sensors or pumps "
               "not fitted were skipped."
            << 9;
        // Edits not yet written go into the file, and come back as edits.
        QTest::newRow("unwritten edits") << "full|durationHours=5 mainLogVBUS"
                                         << "full" << QStringList{} << "" << 2;
        QTest::newRow("fewer boards than fitted")
            << "minimal"
            << "full" << QStringList{}
            << "(KVX2-M-000012).\n• 130 settings the file does not have were left as they were."
            // The file's power-on start withdraws Pump B's own start time.
            << 10;
    }
    void open() {
        QFETCH(QString, savedOn);
        QFETCH(QString, openedOn);
        QFETCH(QStringList, edits);
        QFETCH(QString, said);
        QFETCH(int, differ);
        const QString path = dir.filePath("open.kvxcfg");
        {
            SimRig source(savedOn.section('|', 0, 0));
            QVERIFY(source.connect());
            applyEdits(source.w(), savedOn.section('|', 1));
            QVERIFY(source.w().saveConfigurationTo(path));
        }
        const QString invalid = schemaProblem(path);
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid));
        QJsonObject file = readJson(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        for (const QString& e : edits) {
            if (e == "cut")
                bytes = bytes.left(bytes.size() / 2);
            else if (e.startsWith("raw="))
                bytes = e.mid(4).toUtf8();
            else
                put(file, e.section('=', 0, 0),
                    QJsonDocument::fromJson("[" + e.section('=', 1).toUtf8() + "]").array().at(0));
        }
        if (edits.filter(QRegularExpression("^(cut|raw=)")).isEmpty())
            bytes = QJsonDocument(file).toJson();
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();

        SimRig rig(openedOn);
        QVERIFY(rig.connect());
        const QMap<QString, QString> form = formValues(rig.w());
        const int lines = int(rig.lines().size());
        DialogScript ok({}, QMessageBox::Ok);
        QStringList informative;
        ok.beforeAnswer = [&](int) {
            informative
                << qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->informativeText();
        };
        QCOMPARE(rig.w().openConfigurationFrom(path), differ >= 0);
        QCOMPARE(ok.answered(), said.isEmpty() ? 0 : 1);
        if (differ < 0) {
            QCOMPARE(ok.texts[0], "Could not open " + path + ".");
            const auto* box = rig.w().findChild<QMessageBox*>();
            QVERIFY(!box); // gone once answered
            QVERIFY2(formValues(rig.w()) == form,
                     qPrintable(differences(form, formValues(rig.w()))));
            QCOMPARE(rig.w().changes->count(), 0);
            QCOMPARE(rig.w().statusBar()->currentMessage(), "Could not open open.kvxcfg.");
        } else {
            QCOMPARE(rig.w().changes->count(), differ);
            QVERIFY(rig.w().statusBar()->currentMessage().startsWith("Opened open.kvxcfg: "));
        }
        rig.tick(5);
        QCOMPARE(rig.lines().size(), lines); // nothing sent
        QVERIFY2(informative.value(0).contains(said), qPrintable(informative.value(0)));
    }

    // A save that fails says so and leaves what was there as it was; the
    // schema beside the documentation is the one the program describes.
    void saveFailsAndSchema() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        QDir(dir.path()).mkpath("taken.kvxcfg/inside");
        for (const QString& path :
             {dir.filePath("missing/x.kvxcfg"), dir.filePath("taken.kvxcfg")}) {
            DialogScript ok({}, QMessageBox::Ok);
            QVERIFY(!rig.w().saveConfigurationTo(path));
            QCOMPARE(ok.texts, QStringList{"Could not save the configuration to " + path + "."});
            QVERIFY(rig.w().statusBar()->currentMessage().startsWith("Could not save "));
        }
        QVERIFY(QFileInfo(dir.filePath("taken.kvxcfg/inside")).isDir());
        // A device without end is read up to the limit and refused.
        {
            DialogScript ok({}, QMessageBox::Ok);
            QVERIFY(!rig.w().openConfigurationFrom("/dev/zero"));
            QCOMPARE(ok.answered(), 1);
        }
        // The IDs take only what the instrument can store, typed or pasted.
        QLineEdit* id = rig.w().ui->sampleID;
        id->clear();
        for (const QChar c : QString::fromUtf8("Site Łódź")) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(id, &press);
        }
        QCOMPARE(id->text(), QString::fromUtf8("Site ód"));
        // Save As: the dialog adds the suffix before it asks about replacing.
        QString suffix;
        QTimer::singleShot(0, [&] {
            if (auto* d = rig.w().findChild<QFileDialog*>("saveConfigurationDialog")) {
                suffix =
                    d->defaultSuffix() + (d->acceptMode() == QFileDialog::AcceptSave ? "" : "?");
                d->reject();
            }
        });
        auto* saveAs = rig.w().findChild<QAction*>("actionSaveConfiguration");
        saveAs->setEnabled(true); // the rig's clock is by hand: no tick has updated it
        saveAs->trigger();
        QCOMPARE(suffix, QString("kvxcfg"));
        QCOMPARE(readJson(KVX_SOURCE_DIR "/docs/kvxcfg.schema.json"), configurationSchema());
        const QString example = schemaProblem(KVX_SOURCE_DIR "/docs/example.kvxcfg");
        QVERIFY2(example.isEmpty(), qPrintable(example));
    }
};

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
