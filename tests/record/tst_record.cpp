// The configuration record. Through the real event loop against kvx-sim: the
// record of each instrument names its boards, firmware level, sample ID and
// each fitted pump's flow and start, marks the values the form cannot show,
// and carries the fingerprint of the configuration file saved beside it. In
// process: the question with unwritten changes, saves that fail, and what a
// write and the clock workflow leave in the record, forgotten with the link.
#include "tests/support/Instruments.h"
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"
#include "workflows/Record.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QRegularExpression>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

// The full instrument with values the form cannot show (as the file tests
// make it).
QJsonObject odd() {
    return instrument("full", {"main/schedule/logInterval=10", "main/schedule/stopState=2",
                               "main/sen55/mode=5", "gas/scd30/compensation=7",
                               "main/utcOffsetHours=-327.68", "main/schedule/durationDays=365",
                               "main/schedule/durationHours=30", "main/schedule/flags=33061",
                               "main/sen55/cleaningIntervalHours=2000", "gas/figaro/range=7"});
}

// A program's standard output, or "" when it cannot run.
QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The PDF's text, row by row as printed.
QString pdfText(const QString& path) {
    return run("pdftotext", {"-layout", path, "-"});
}

int pdfPages(const QString& path) {
    const QRegularExpressionMatch m =
        QRegularExpression("^Pages:\\s+(\\d+)$", QRegularExpression::MultilineOption)
            .match(run("pdfinfo", {path}));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The SHA-256 of a saved configuration file's settings object, in compact JSON.
QString fileFingerprint(const QString& kvxcfg) {
    const QJsonObject settings = readJson(kvxcfg).value("settings").toObject();
    return QCryptographicHash::hash(QJsonDocument(settings).toJson(QJsonDocument::Compact),
                                    QCryptographicHash::Sha256)
        .toHex();
}

// The fingerprint of a saved file by the Python recipe in
// docs/configuration-file.md; "" when python3 is not there.
QString documentedFingerprint(const QString& kvxcfg) {
    QFile doc(KVX_SOURCE_DIR "/docs/configuration-file.md");
    if (!doc.open(QIODevice::ReadOnly))
        return "no docs/configuration-file.md";
    const QString text = QString::fromUtf8(doc.readAll());
    const QRegularExpressionMatch m =
        QRegularExpression("python3 -c '(import hashlib.*?)' FILE\\.kvxcfg",
                           QRegularExpression::DotMatchesEverythingOption)
            .match(text);
    if (!m.hasMatch())
        return "no recipe in docs/configuration-file.md";
    QString script = m.captured(1);
    script.replace("\n    ", "\n"); // the block's indentation
    return run("python3", {"-c", script, kvxcfg}).trimmed();
}

// The rows of the table of one page of settings ("Pump A"), up to the next
// page's table; empty when the record has no such table.
QStringList pageRows(const QString& text, const QString& page) {
    static const QStringList pages = {"Mainboard", "Gas",    "Alphasense", "Figaro",
                                      "Pump A",    "Pump B", "Pump C",     "Pump D"};
    const QStringList lines = text.split('\n');
    QStringList rows;
    bool inside = false;
    for (const QString& line : lines) {
        const QString cells = line.simplified();
        if (pages.contains(cells)) {
            // A table that runs onto the next sheet repeats its title there.
            if (inside && cells != page)
                break;
            inside = cells == page;
            continue;
        }
        if (inside && !cells.isEmpty())
            rows << cells;
    }
    return rows;
}

// The value a page's table gives the caption, marks and all ("" when none).
QString valueIn(const QStringList& rows, const QString& caption) {
    for (const QString& row : rows)
        if (row.startsWith(caption + ' '))
            return row.mid(caption.size() + 1);
    return QString();
}

// What the instrument description says of a pump: its flow and start in the
// form's words, or nothing when the instrument has not got it.
struct PumpFacts {
    QString page;
    QString flow;
    QString start;
};
QList<PumpFacts> fittedPumps(const QJsonObject& config) {
    const QJsonObject boards = config["boards"].toObject();
    const int level = config["firmwareLevel"].toInt();
    QList<PumpFacts> pumps;
    for (const char* letter : {"A", "B", "C", "D"}) {
        const bool sorbent = letter[0] >= 'C';
        const QString board = sorbent ? "sorbent" : QString("pump") + letter;
        const QJsonObject p = config["pumps"].toObject()[letter].toObject();
        if (!boards.contains(board) || p["fitted"] == false)
            continue;
        PumpFacts f;
        f.page = QString("Pump ") + letter;
        f.flow = QString::number(p["flowRate"].toDouble(), 'f', sorbent ? 2 : 3) +
                 (sorbent ? " mL/min" : " L/min");
        const QJsonObject start = p["start"].toObject();
        if (level < 2)
            f.start.clear(); // no pump schedules before level 2
        else if (start.contains("at"))
            f.start =
                "At Specific UTC Date/Time " + start["at"].toString().replace('T', ' ') + " UTC";
        else if (start["delayDays"].toInt() || start["delayHours"].toInt() ||
                 start["delayMinutes"].toInt())
            f.start = QString("Delayed Start %1 d %2 h %3 min")
                          .arg(start["delayDays"].toInt())
                          .arg(start["delayHours"].toInt())
                          .arg(start["delayMinutes"].toInt());
        else
            f.start = "At Sample Start";
        pumps << f;
    }
    return pumps;
}

const QString kMark = QStringLiteral("\u2020");

} // namespace

class RecordTest : public QObject, PtySim {
    Q_OBJECT

    bool idle() const {
        return w->linkStep == LinkIdle && w->sessionState == 0 && w->ui->kvxWrite->isEnabled();
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
            QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("poppler-utils is not installed (scripts/install-deps.sh installs it)");
    }
    void cleanup() { stop(); }

    // The record of an instrument against the file saved beside it; `marked`
    // are the values the form cannot show, "Page|Caption|value".
    void presets_data() {
        QTest::addColumn<QJsonObject>("config");
        QTest::addColumn<QStringList>("marked");
        QTest::newRow("full") << instrument("full") << QStringList{};
        QTest::newRow("legacy") << instrument("legacy") << QStringList{};
        // Algorithm #2 of a sensor whose list lacks it shows as the next item.
        QTest::newRow("mixed") << instrument("mixed")
                               << QStringList{
                                      "Alphasense|Alphasense #3 NO2 Algorithm|Algorithm #2"};
        QTest::newRow("odd") << odd()
                             << QStringList{"Mainboard|UTC Offset|-327.68 h",
                                            "Mainboard|Start Sampling|Once Next Power-On (date "
                                            "word 1083770880)",
                                            "Mainboard|Sampling Duration|365 d 30 h 30 min",
                                            "Mainboard|Logging Interval [seconds]|10 s",
                                            "Mainboard|Action After Sampling Ends|2",
                                            "Mainboard|SEN55 Mode|5",
                                            "Mainboard|SEN55 Cleaning Interval [Hrs]|2000 h",
                                            "Gas|SCD30 Compensation|7",
                                            // Not shown while the sample starts at power-on.
                                            "Pump B|Start Pumping|At Specific UTC Date/Time "
                                            "2025-04-02 06:00 UTC"};
    }
    void presets() {
        QFETCH(QJsonObject, config);
        QFETCH(QStringList, marked);
        const QString configPath = dir.filePath("instrument.json");
        {
            QFile f(configPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QJsonDocument(config).toJson());
        }
        const QString pdf = dir.filePath("record.pdf"), kvxcfg = dir.filePath("saved.kvxcfg");
        QFile::remove(pdf);
        QVERIFY(start({"--config", configPath}));
        // Not before the initial read has ended, like Save Configuration.
        const auto* action = w->findChild<QAction*>("actionSaveRecord");
        QVERIFY(action);
        QVERIFY(!action->isEnabled());
        QVERIFY(!w->saveRecordTo(pdf));
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(QTest::qWaitFor([this] { return idle(); }, 60000));
        QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled(), 1000);

        QVERIFY(w->saveConfigurationTo(kvxcfg));
        DialogScript none({}, QMessageBox::Ok);
        QVERIFY(w->saveRecordTo(pdf));
        QCOMPARE(none.answered(), 0); // nothing to ask: no unwritten change
        QCOMPARE(w->statusBar()->currentMessage(), QString("Saved the record record.pdf."));

        const QString text = pdfText(pdf);
        const QString flat = text.simplified();
        QVERIFY2(text.startsWith("KVXv2 configuration record"), qPrintable(text.left(200)));
        QVERIFY(flat.contains("Computer " + QSysInfo::machineHostName()));
        QVERIFY(flat.contains("Program KVX Configurator V1.5R2"));
        const QJsonObject boards = config["boards"].toObject();
        for (const QString& board : boards.keys())
            QVERIFY2(flat.contains(boards[board].toObject()["id"].toString()), qPrintable(board));
        QVERIFY(flat.contains(
            QString("Firmware level %1 ").arg(config["firmwareLevel"].toInt()))); // null: 0
        const QStringList lines = text.split('\n');
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [&](const QString& line) {
            return line.simplified() ==
                   "Sample ID " + config["main"].toObject()["sampleId"].toString();
        }));
        QVERIFY(flat.contains("(read with the configuration)"));
        QVERIFY(flat.contains("Last write of this session No write in this session"));
        QVERIFY(flat.contains("SHA-256 " + fileFingerprint(kvxcfg)));
        QCOMPARE(documentedFingerprint(kvxcfg), fileFingerprint(kvxcfg));

        const QList<PumpFacts> pumps = fittedPumps(config);
        for (const char* letter : {"A", "B", "C", "D"}) {
            const QString page = QString("Pump ") + letter;
            const QStringList rows = pageRows(text, page);
            const auto fitted = std::find_if(pumps.cbegin(), pumps.cend(),
                                             [&](const PumpFacts& f) { return f.page == page; });
            const QString flow = valueIn(rows, "Sampling Volumetric Flow [LPM]") +
                                 valueIn(rows, "Sampling Volumetric Flow [mLPM]");
            if (fitted == pumps.cend()) {
                QVERIFY2(flow.isEmpty(), qPrintable(page + ": " + flow));
                continue;
            }
            QCOMPARE(flow, fitted->flow);
            QCOMPARE(valueIn(rows, "Start Pumping").remove(kMark).trimmed(), fitted->start);
        }

        // The marked values, each with its mark, and nothing else marked.
        for (const QString& m : marked) {
            const QStringList parts = m.split('|');
            // The mark follows the value (pdftotext may drop the space before it).
            QCOMPARE(valueIn(pageRows(text, parts[0]), parts[1]).remove(' '),
                     QString(parts[2] + kMark).remove(' '));
        }
        QCOMPARE(text.count(kMark), marked.isEmpty() ? 0 : int(marked.size()) + 1);
        QVERIFY(pdfPages(pdf) >= 1 && pdfPages(pdf) <= 2);
    }

    // With unwritten changes Save Record asks; the record keeps to the
    // instrument's values whatever the form shows.
    void unwrittenChanges_data() {
        QTest::addColumn<QString>("edits");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("question");
        const QString two =
            "The record shows the instrument, not the 2 unwritten changes. Save the record anyway?";
        QTest::newRow("one, yes")
            << "durationHours=13" << true
            << "The record shows the instrument, not the 1 unwritten change. Save the record "
               "anyway?";
        QTest::newRow("two, yes") << "durationHours=13 sampleID=edited" << true << two;
        QTest::newRow("two, no") << "durationHours=13 sampleID=edited" << false << two;
    }
    void unwrittenChanges() {
        QFETCH(QString, edits);
        QFETCH(bool, yes);
        QFETCH(QString, question);
        SimRig rig("full");
        QVERIFY(rig.connect());
        const QString before = dir.filePath("before.pdf"), path = dir.filePath("edited.pdf");
        QFile::remove(path);
        QVERIFY(rig.w().saveRecordTo(before));
        applyEdits(rig.w(), edits);
        const QString status = rig.w().statusBar()->currentMessage();

        DialogScript script({yes ? QMessageBox::Yes : QMessageBox::No});
        QCOMPARE(rig.w().saveRecordTo(path), yes);
        QCOMPARE(script.texts, QStringList{question});
        if (!yes) {
            QVERIFY(!QFile::exists(path));
            QCOMPARE(rig.w().statusBar()->currentMessage(), status);
            return;
        }
        const QString text = pdfText(path).simplified();
        const QString unedited = pdfText(before).simplified();
        const auto fingerprint = [](const QString& t) {
            return QRegularExpression("SHA-256 ([0-9a-f]{64})").match(t).captured(1);
        };
        QVERIFY(!fingerprint(unedited).isEmpty());
        QCOMPARE(fingerprint(text), fingerprint(unedited));
        QVERIFY(text.contains("Sampling Duration 7 d 12 h 30 min"));
        QVERIFY(!text.contains("13 h"));
        QVERIFY(text.contains("Sample ID Site 12 roof, winter campaign"));
        QVERIFY(!text.contains("edited"));
        QVERIFY(text.contains(edits.contains(' ')
                                  ? "This record shows the instrument: 2 changes in the form "
                                    "were not written to it and are not in this record."
                                  : "This record shows the instrument: 1 change in the form was "
                                    "not written to it and is not in this record."));
        QVERIFY(!unedited.contains("This record shows the instrument:"));
    }

    // File › Save Record… adds .pdf to a name typed without a suffix.
    void menuAddsSuffix() {
        SimRig rig("full");
        QVERIFY(rig.connect());
        auto* action = rig.w().findChild<QAction*>("actionSaveRecord");
        auto* menu = rig.w().findChild<QMenu*>("menuFile");
        QVERIFY(action && menu);
        // The rig's ticker stands still: opening the menu brings it up to date.
        menu->popup(QPoint(0, 0));
        QVERIFY(action->isEnabled());
        menu->hide();
        const QString typed = dir.filePath("typed");
        QString defaultSuffix;
        QTimer::singleShot(50, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            defaultSuffix = dialog->defaultSuffix();
            // Typed into the dialog's name box, as the operator would.
            dialog->setDirectory(dir.path());
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (!name)
                return;
            name->setText("typed");
            static_cast<QDialog*>(dialog)->accept();
        });
        action->trigger();
        QCOMPARE(defaultSuffix, QString("pdf"));
        QVERIFY(QFile::exists(typed + ".pdf"));
        QVERIFY(!QFile::exists(typed));
        QVERIFY(pdfText(typed + ".pdf").startsWith("KVXv2 configuration record"));
    }

    // A save that fails says why and leaves no file; without a connected,
    // idle instrument there is no record, and the command line's way in asks
    // nothing.
    void saveFails() {
        SimRig rig("full");
        QString why;
        DialogScript ok({}, QMessageBox::Ok);
        QVERIFY(!saveRecord(rig.w(), dir.filePath("early.pdf"), &why));
        QCOMPARE(why, QString("no instrument is connected and idle"));
        QCOMPARE(ok.answered(), 0);
        QVERIFY(!QFile::exists(dir.filePath("early.pdf")));
        QVERIFY(rig.connect());

        // A folder nobody may write to (the superuser may write to any
        // folder but those of the kernel's own file systems).
        const QString locked = dir.filePath("locked");
        QVERIFY(QDir(dir.path()).mkpath("locked"));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        const QString folder = QFileInfo(locked).isWritable() ? "/proc" : locked;
        // A folder of that name where the record would go.
        QVERIFY(QDir(dir.path()).mkpath("taken.pdf/inside"));
        for (const QString& path : {folder + "/record.pdf", dir.filePath("taken.pdf")}) {
            const QStringList there = QDir(QFileInfo(path).path()).entryList(QDir::NoDotAndDotDot);
            QVERIFY(!rig.w().saveRecordTo(path));
            QCOMPARE(ok.texts.last(), "Could not save the record to " + path + ".");
            QVERIFY2(rig.w().statusBar()->currentMessage().startsWith(
                         "Could not save " + QFileInfo(path).fileName() + ": "),
                     qPrintable(rig.w().statusBar()->currentMessage()));
            // Nothing left behind, not even the file written before the rename.
            QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::NoDotAndDotDot), there);
            QVERIFY(!saveRecord(rig.w(), path, &why));
            QVERIFY(!why.isEmpty());
        }
        QCOMPARE(ok.answered(), 2);
        QVERIFY(QFileInfo(dir.filePath("taken.pdf/inside")).isDir());
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The instrument clock 95 s behind the computer; a write, Set RTC, a
    // write that changes nothing; then the link goes and comes back.
    void writeAndClock() {
        sim::InstrumentConfig config = SimRig::load("full");
        config.clock = QDateTime::fromMSecsSinceEpoch(kSimStart - 95'000, Qt::UTC);
        SimRig rig(config);
        QVERIFY(rig.connect());
        const QString path = dir.filePath("record.pdf"), kvxcfg = dir.filePath("saved.kvxcfg");
        const auto record = [&] {
            QFile::remove(path);
            return rig.w().saveRecordTo(path) ? pdfText(path).simplified() : QString();
        };
        QString text = record();
        QVERIFY2(text.contains("95 s behind the computer (read with the configuration)"),
                 qPrintable(text.left(900)));

        applyEdits(rig.w(), "durationHours=13 pumpAFlowRate=1.25");
        rig.pressWrite();
        QVERIFY(rig.settle());
        rig.w().changes->refresh();
        QCOMPARE(rig.w().changes->count(), 0);
        text = record();
        QVERIFY(!text.contains("No write in this session"));
        QVERIFY2(text.contains("Last write of this session Confirmed by the instrument at "),
                 qPrintable(text));
        QVERIFY(text.contains("it changed 2 settings: Setting Before After "
                              "Mainboard › Sampling Duration 7 d 12 h 30 min 7 d 13 h 30 min "
                              "Pump A › Sampling Volumetric Flow [LPM] 1.000 L/min 1.250 L/min"));
        QVERIFY(rig.w().saveConfigurationTo(kvxcfg));
        QVERIFY(text.contains("SHA-256 " + fileFingerprint(kvxcfg)));

        rig.w().KVXSetRTCPressed();
        QVERIFY(rig.settle());
        text = record();
        QVERIFY(
            text.contains("agrees with the computer within 1 s (set with Set RTC and read back)"));
        rig.w().KVXReadRTCPressed();
        QVERIFY(rig.settle());
        QVERIFY(record().contains("within 1 s (read with Read RTC)"));

        rig.pressWrite();
        QVERIFY(rig.settle());
        QVERIFY(record().contains("it changed no setting"));

        {
            DialogScript yes({}, QMessageBox::Yes);
            rig.w().KVXDisconnectButtonPressed();
        }
        QVERIFY(rig.fallBack() >= 0);
        QVERIFY(rig.connect());
        text = record();
        QVERIFY(text.contains("No write in this session"));
        QVERIFY(text.contains("(read with the configuration)"));
    }
};

QTEST_MAIN(RecordTest)
#include "tst_record.moc"
