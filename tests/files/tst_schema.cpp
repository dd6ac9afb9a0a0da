// The schema beside the documentation (docs/kvxcfg.schema.json) and the
// program agree on every file: a table of files, each judged by
// python3-jsonschema and by the program's check before opening, whose two
// verdicts are equal and the one the row expects. The table holds files the
// program saved (every preset, values the form cannot show, every firmware
// level, edits not yet written), the example and the snippet of the
// documentation, the fuzzer's seeds, files of earlier versions, and for every
// setting values on both sides of its limits and of each rule.
#include "tests/support/SimRig.h"
#include "workflows/Changes.h"
#include "workflows/ConfigFile.h"

#include <QJsonArray>
#include <QtTest>

#include <cmath>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kSchema = QStringLiteral(KVX_SOURCE_DIR "/docs/kvxcfg.schema.json");

// Judges files by the schema, one verdict a line: "" when the schema takes
// the file, else why not. A text with a key twice in one object, or with NaN
// or Infinity, has no one JSON value for a schema to judge: refused. A byte
// order mark at the start is no part of the text (JSON readers may skip it,
// and the program does).
const char* const kJudge = R"(
import json, sys, jsonschema
schema = json.load(open(sys.argv[1], encoding="utf-8"))
validator = jsonschema.Draft202012Validator(schema)
def unique(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError("a key twice in one object")
    return dict(pairs)
def constant(name):
    raise ValueError("not JSON: " + name)
for path in sys.argv[2:]:
    try:
        with open(path, encoding="utf-8-sig") as f:
            doc = json.load(f, object_pairs_hook=unique, parse_constant=constant)
        error = jsonschema.exceptions.best_match(validator.iter_errors(doc))
        print(json.dumps("" if error is None else error.message[:200]))
    except Exception as e:
        print(json.dumps("refused: " + str(e)[:200]))
)";

bool validatorPresent() {
    QProcess python;
    python.start("python3", {"-c", "import jsonschema"});
    return python.waitForFinished(30000) && python.exitCode() == 0;
}

// The schema's verdict on each file, in order; empty when python fails.
QStringList judge(const QStringList& paths) {
    QProcess python;
    python.start("python3", QStringList{"-c", kJudge, kSchema} + paths);
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    QStringList verdicts;
    for (const QByteArray& line : python.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            verdicts << QJsonDocument::fromJson("[" + line + "]").array().at(0).toString();
    return verdicts;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A JSON text of one value.
QByteArray text(const QJsonValue& v) {
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}

// A file of one setting, its value as JSON text.
QByteArray withSetting(const QString& key, const QByteArray& value) {
    return R"({"format": "kvxcfg", "version": 1, "settings": {)" + text(key) + ": " + value + "}}";
}

// A file whose top is `frame` (JSON members) beside a valid setting.
QByteArray withFrame(const QByteArray& frame) {
    return R"({"format": "kvxcfg", "version": 1, "settings": {"main.logging.vbat": true}, )" +
           frame + "}";
}

// The largest number a field holds.
quint64 fieldMost(const FieldPos& f) {
    quint64 mask = f.mask ? f.mask : (quint64(1) << (8 * std::min(f.width, 4))) - 1;
    while (mask && !(mask & 1))
        mask >>= 1;
    return mask;
}

QString number(double v) {
    return QString::number(v, 'g', 17);
}

// The snippet of the documentation: its first JSON block.
QByteArray documentedSnippet() {
    const QString doc = QString::fromUtf8(readFile(KVX_SOURCE_DIR "/docs/configuration-file.md"));
    const QRegularExpressionMatch m =
        QRegularExpression("```json\\n(.*?)```", QRegularExpression::DotMatchesEverythingOption)
            .match(doc);
    return m.captured(1).toUtf8();
}

// Values of a setting on both sides of its limits: JSON text and whether
// the instrument can hold it.
QList<std::pair<QByteArray, bool>> valuesOf(const Setting& s) {
    const quint64 most = fieldMost(s.read.first());
    const QByteArray top = QByteArray::number(most), over = QByteArray::number(most + 1);
    QList<std::pair<QByteArray, bool>> v;
    switch (s.kind) {
    case SettingKind::Bit:
        v = {{"true", true}, {"false", true}, {"1", false}, {"\"on\"", false}, {"null", false}};
        break;
    case SettingKind::Switch:
        v = {{"true", true}, {"0", true},    {top, true},        {over, false},
             {"-1", false},  {"0.5", false}, {"\"true\"", false}};
        break;
    case SettingKind::Choice:
        v = {{"0", true},   {top, true},   {over, false},  {"-1", false},  {"1.5", false},
             {"1.0", true}, {"1e0", true}, {"[1]", false}, {"true", false}};
        for (const SettingChoice& c : s.choices) {
            // The interval's words are its numbers: as text they are refused.
            const bool numeric = c.text == QString::number(c.code);
            v.append({text(c.text), !numeric});
            if (c.text.toLower() != c.text)
                v.append({text(c.text.toLower()), false});
        }
        break;
    case SettingKind::Integer:
        v = {{"0", true},    {top, true},      {over, false},       {"-1", false},
             {"0.5", false}, {"\"1\"", false}, {"1e2", most >= 100}};
        break;
    case SettingKind::Decimal: {
        const double lo = (0.0 - s.offset) / s.scale, hi = (double(most) - s.offset) / s.scale;
        const double step = 1.0 / s.scale;
        v = {{number(lo).toUtf8(), true},
             {number(hi).toUtf8(), true},
             {number(hi + step).toUtf8(), false},
             {number(lo - step).toUtf8(), false},
             // Between two steps: set to the nearer.
             {number((lo + hi) / 2 + step / 3).toUtf8(), true},
             {"\"1\"", false},
             {"true", false}};
        break;
    }
    case SettingKind::Text: {
        const int length = s.write.first().width;
        v = {{"\"\"", true},
             {text(QString(length, 'x')), true},
             {text(QString(length + 1, 'x')), false},
             {text(QString::fromUtf8("Site Łódź")), false},
             {text("line\n"), false},
             {text(QString::fromUtf8("café ÿ\u00a0")), true},
             {text(QString(QChar(0x7F))), false},
             {text(QString::fromUtf8("\U0001F600")), false},
             {"5", false}};
        break;
    }
    default:
        break;
    }
    return v;
}

// Words of the kinds made of several controls, and whether a file may hold
// them.
QList<std::pair<QString, bool>> wordsOf(SettingKind kind) {
    const QList<std::pair<QString, bool>> spans = {{"0 d 0 h 0 min", true},
                                                   {"65535 d 255 h 255 min", true},
                                                   {"65536 d 0 h 0 min", false},
                                                   {"0 d 256 h 0 min", false},
                                                   {"0 d 0 h 256 min", false},
                                                   {"007 d 08 h 00 min", true},
                                                   {"0000000000000000000001 d 0 h 0 min", true},
                                                   {"99999999999999999999 d 0 h 0 min", false},
                                                   {"1d 2h 3min", false},
                                                   {"-1 d 0 h 0 min", false},
                                                   {" 1 d 0 h 0 min", false},
                                                   {"1 d 0 h 0 min ", false},
                                                   {"1 d 0 h 0 min\n", false},
                                                   {QString::fromUtf8("١ d 0 h 0 min"), false}};
    QList<std::pair<QString, bool>> out;
    switch (kind) {
    case SettingKind::Span:
        return spans;
    case SettingKind::PumpSpan:
        out = {{"Full Sample", true},
               {"Full Sample\n", false},
               {"full sample", false},
               {"Full Sample 1 d 0 h 0 min", false},
               {"Shorter Than Sample", false}};
        for (const auto& [span, ok] : spans)
            out.append({"Shorter Than Sample " + span, ok});
        return out;
    case SettingKind::PumpStart:
        out = {{"At Sample Start", true},
               {"At Sample Start\n", false},
               {"Delayed Start 0 d 2 h 0 min (and 2030-05-01 10:00 UTC)", true},
               {"Delayed Start 0 d 2 h 0 min (and 2030-02-29 10:00 UTC)", false},
               {"Delayed Start 0 d 2 h 0 min (and )", false},
               {"At Specific UTC Date/Time", false}};
        for (const auto& [span, ok] : spans)
            out.append({"Delayed Start " + span, ok});
        return out;
    case SettingKind::SampleStart:
        return {{"Always Next Power-On", true},
                {"Once Next Power-On", true},
                {"Once Next Power-On (date word 0)", true},
                {"Always Next Power-On (date word 4294967295)", true},
                {"Once Next Power-On (date word 4294967296)", false},
                {"Once Next Power-On (date word )", false},
                {"mode 3, 2025-04-01 08:00 UTC", true},
                {"mode 3, 2025-04-31 08:00 UTC", false},
                {"Once Next Power-On\n", false},
                {"At Specific UTC Date/Time", false}};
    default:
        return {};
    }
}

// Dates of a specific start, and whether the instrument can hold them.
const std::pair<const char*, bool> kDates[] = {
    {"2000-01-01 00:00", true},  {"2099-12-31 23:59", true},  {"1999-12-31 23:59", false},
    {"2100-01-01 00:00", false}, {"2150-06-01 12:00", false}, {"2024-02-29 06:00", true},
    {"2000-02-29 06:00", true},  {"2096-02-29 06:00", true},  {"2023-02-29 06:00", false},
    {"2100-02-29 06:00", false}, {"2025-02-30 06:00", false}, {"2025-04-30 06:00", true},
    {"2025-04-31 06:00", false}, {"2025-12-31 06:00", true},  {"2025-13-01 06:00", false},
    {"2025-00-10 06:00", false}, {"2025-01-00 06:00", false}, {"2025-01-32 06:00", false},
    {"2030-01-01 24:00", false}, {"2030-01-01 23:60", false}, {"2030-01-01 9:00", false},
    {"2030-1-01 09:00", false},  {"02030-01-01 09:00", false}};

// A file saved from a simulated instrument, as the program writes it.
QByteArray saved(const sim::InstrumentConfig& config, const QString& edits = QString()) {
    SimRig rig(config);
    if (!rig.connect())
        return "(no connection)";
    applyEdits(rig.w(), edits);
    QTemporaryDir dir;
    const QString path = dir.filePath("saved.kvxcfg");
    return rig.w().saveConfigurationTo(path) ? readFile(path) : "(not saved)";
}

// The same file as an earlier version of the program wrote it.
QByteArray withOlderNames(const QByteArray& bytes) {
    QByteArray older = bytes;
    for (int n = 1; n <= 4; ++n)
        older.replace(QString("\"alphasense.%1.enabled\"").arg(n).toUtf8(),
                      QString("\"gas.alphasense%1.enabled\"").arg(n).toUtf8());
    return older.replace("\"pumpa\":", "\"pump_a\":")
        .replace("\"pumpb\":", "\"pump_b\":")
        .replace("\"pumpscd\":", "\"pumps_cd\":");
}

} // namespace

class SchemaTest : public QObject {
    Q_OBJECT

    // A file, and for one that is refused what the program says is wrong
    // (a part of it; null for a file that opens).
    struct Row {
        QString name;
        QByteArray bytes;
        QString why;
    };

    QList<Row> rows() {
        QList<Row> r;
        const auto bad = [&r](const QString& name, const QByteArray& bytes, const QString& why) {
            r.append({name, bytes, why});
        };
        const auto good = [&r](const QString& name, const QByteArray& bytes) {
            r.append({name, bytes, QString()});
        };
        const auto either = [&r](const QString& name, const QByteArray& bytes, bool valid,
                                 const QString& why) {
            r.append({name, bytes, valid ? QString() : why});
        };
        // Files the program wrote, and the documentation's.
        good("docs/example.kvxcfg", readFile(KVX_SOURCE_DIR "/docs/example.kvxcfg"));
        good("the snippet of docs/configuration-file.md", documentedSnippet());
        for (const QFileInfo& seed :
             QDir(KVX_SOURCE_DIR "/fuzz/corpus/config").entryInfoList(QDir::Files))
            good("fuzz seed " + seed.fileName(), readFile(seed.filePath()));
        for (const char* preset : {"full", "mixed", "minimal", "legacy"})
            good(QString("saved: %1").arg(preset), saved(SimRig::load(preset)));
        {
            auto c = SimRig::load("full");
            c.logInterval = 10, c.stopState = 2, c.sen55.mode = 5, c.alphasense[1].algorithm = 9;
            c.scd30.compensation = 7, c.utcOffsetHours = -327.68, c.scheduleFlags = 0x8125;
            c.durationDays = 365, c.durationHours = 30, c.durationMinutes = 75;
            c.sen55.cleaningIntervalHours = 2000, c.figaro.range = 7;
            c.pumps[0].start = {0, 1, 2, 3, 0x50, 0x9E, 0x0A, 0}; // a delay beside a date
            c.pumps[1].start = {0, 0, 0, 0, 0x50, 0x9E, 0x0A, 0};
            good("saved: values the form cannot show", saved(c));
            c.scheduleFlags = 0x8001, c.scheduleStart = 0x509E0A00;
            good("saved: a power-on start with a date word", saved(c));
        }
        for (const int level : {0, 1, 2, 3, 4, 5}) {
            auto c = SimRig::load("full");
            c.firmwareLevel = level;
            good(QString("saved: full at firmware level %1").arg(level), saved(c));
        }
        good("saved: edits not yet written",
             saved(SimRig::load("full"), "durationHours=5 mainLogVBUS sampleID=Caf\u00e9 "
                                         "tzOffset=5.75 pumpAFlowRate=1.234"));
        {
            const QByteArray legacy = saved(SimRig::load("legacy"));
            good("an earlier version's file: older key and board names", withOlderNames(legacy));
            QByteArray both = legacy;
            both.replace("\"alphasense.1.enabled\": true,",
                         "\"alphasense.1.enabled\": true, \"gas.alphasense1.enabled\": true,");
            bad("a setting under both its names", both,
                "settings: alphasense.1.enabled and its older name gas.alphasense1.enabled are "
                "both there");
            both = saved(SimRig::load("full"));
            both.replace("\"pumpa\":", "\"pump_a\": \"X\", \"pumpa\":");
            bad("a board under both its names", both,
                "instrument.boards: pumpa and its older name pump_a are both there");
        }

        // The frame.
        bad("empty", "", "it is not JSON");
        bad("not JSON", "kvxcfg 1", "it is not JSON");
        bad("cut short", readFile(KVX_SOURCE_DIR "/docs/example.kvxcfg").left(500),
            "it is not JSON");
        bad("null", "null", "it is not JSON");
        bad("an array", "[1, 2]", "format: ");
        bad("no format", R"({"version": 1, "settings": {}})", "format: ");
        bad("another format", R"({"format": "gpx", "version": 1, "settings": {}})", "format: ");
        bad("no version", R"({"format": "kvxcfg", "settings": {}})", "version: ");
        good("version 1.0", R"({"format": "kvxcfg", "version": 1.0, "settings": {}})");
        for (const char* v : {"2", "0", "1.5", "\"1\"", "true", "null"})
            bad(QString("version %1").arg(v),
                QByteArray(R"({"format": "kvxcfg", "version": )") + v + R"(, "settings": {}})",
                "version: ");
        bad("no settings", R"({"format": "kvxcfg", "version": 1})", "settings: ");
        good("settings empty", R"({"format": "kvxcfg", "version": 1, "settings": {}})");
        bad("settings an array", R"({"format": "kvxcfg", "version": 1, "settings": []})",
            "settings: ");
        bad("a key at the top the format lacks", withFrame(R"("colour": "red")"),
            "colour: not a key");
        good("$schema naming the schema", withFrame("\"$schema\": " + text(kConfigSchemaId)));
        bad("$schema a number", withFrame(R"("$schema": 1)"), "$schema: expected text");
        good("program text", withFrame(R"("program": "KVX Configurator V1.5R2")"));
        bad("program a number", withFrame(R"("program": 1.5)"), "program: expected text");
        good("saved any text", withFrame(R"("saved": "last Tuesday")"));
        bad("saved an object", withFrame(R"("saved": {})"), "saved: expected text");
        good("instrument empty", withFrame(R"("instrument": {})"));
        bad("instrument not an object", withFrame(R"("instrument": "KVX2-M-000417")"),
            "instrument: expected an object");
        bad("instrument with another key", withFrame(R"("instrument": {"colour": "red"})"),
            "instrument.colour: not a key");
        for (const auto& [level, ok] : {std::pair{"0", true},
                                        {"65535", true},
                                        {"65536", false},
                                        {"-1", false},
                                        {"2.5", false},
                                        {"\"5\"", false}})
            either(QString("firmware level %1").arg(level),
                   withFrame(QByteArray(R"("instrument": {"firmware_level": )") + level + "}"), ok,
                   "instrument.firmware_level: expected a whole number from 0 to 65535");
        good("boards empty", withFrame(R"("instrument": {"boards": {}})"));
        bad("boards not an object", withFrame(R"("instrument": {"boards": []})"),
            "instrument.boards: expected an object");
        good("every board",
             withFrame(R"("instrument": {"boards": {"main": "M", "gas": "G", "pumpa": "A", )"
                       R"("pumpb": "B", "pumpscd": "S"}})"));
        good("the boards' older names",
             withFrame(R"("instrument": {"boards": {"pump_a": "A", "pump_b": "B", )"
                       R"("pumps_cd": "S"}})"));
        bad("a board the instrument lacks",
            withFrame(R"("instrument": {"boards": {"pumpe": "E"}})"),
            "instrument.boards.pumpe: not a board of the KVXv2");
        bad("a board identifier as a number",
            withFrame(R"("instrument": {"boards": {"main": 417}})"),
            "instrument.boards.main: expected text");
        bad("one key twice",
            R"({"format": "kvxcfg", "version": 1, "settings": {"main.schedule.interval": 15, )"
            R"("main.schedule.\u0069nterval": 60}})",
            "the key \"main.schedule.interval\" appears twice");
        bad("NaN", withSetting("main.utc_offset", "NaN"), "it is not JSON");
        bad("a byte that is no UTF-8", withFrame("\"program\": \"KVX \xff\""), "it is not JSON");
        good("a byte order mark before it",
             "\xEF\xBB\xBF" + readFile(KVX_SOURCE_DIR "/docs/example.kvxcfg"));
        bad("a lone surrogate in a text", withSetting("main.sample_id", R"("Site \ud800")"),
            "main.sample_id: ");
        good("a lone surrogate under an unknown key", withSetting("main.colour", R"("\ud800")"));
        bad("a trailing comma", R"({"format": "kvxcfg", "version": 1, "settings": {},})",
            "it is not JSON");

        // Settings: keys the program skips, older names, and each setting's
        // values.
        good("a key this program does not know", withSetting("main.colour", "{\"any\": [1]}"));
        good("a value only the instrument sets", withSetting("main.sen55.run_time", "-1"));
        good("the clock", withSetting("main.clock", "\"now\""));
        good("an older name", withSetting("gas.alphasense2.enabled", "false"));
        bad("an older name, a value beyond it", withSetting("gas.alphasense2.enabled", "4"),
            "gas.alphasense2.enabled: expected true, false or a whole number from 0 to 3");
        QSet<QString> keys;
        for (const Setting& s : settingCatalogue()) {
            if (!s.written() || s.kind == SettingKind::Reserved || s.controls.isEmpty() ||
                keys.contains(s.key))
                continue;
            keys.insert(s.key);
            for (const auto& [value, ok] : valuesOf(s))
                either(s.key + " = " + value, withSetting(s.key, value), ok, s.key + ": ");
            for (const auto& [words, ok] : wordsOf(s.kind))
                either(s.key + " = " + words, withSetting(s.key, text(words)), ok, s.key + ": ");
        }
        for (const auto& [date, ok] : kDates) {
            const QString d = QString(date) + " UTC";
            either("main.schedule.start at " + d,
                   withSetting("main.schedule.start", text("At Specific UTC Date/Time " + d)), ok,
                   "main.schedule.start: ");
            either("pumpb.start at " + d,
                   withSetting("pumpb.start", text("At Specific UTC Date/Time " + d)), ok,
                   "pumpb.start: ");
            either("pumpc.start delayed, and " + d,
                   withSetting("pumpc.start", text("Delayed Start 1 d 0 h 0 min (and " + d + ")")),
                   ok, "pumpc.start: ");
        }
        return r;
    }

private slots:
    void initTestCase() {
        if (!validatorPresent())
            QSKIP("python3-jsonschema is not installed (scripts/install-deps.sh installs it)");
    }

    void schemaAndProgramAgree_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("schema");
        const QList<Row> all = rows();
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < all.size(); ++i) {
            paths << dir.filePath(QString::number(i));
            QFile f(paths.last());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(all[i].bytes);
        }
        const QStringList verdicts = judge(paths);
        QCOMPARE(verdicts.size(), all.size());
        QSet<QString> names;
        for (int i = 0; i < all.size(); ++i) {
            QVERIFY2(!names.contains(all[i].name), qPrintable(all[i].name));
            names.insert(all[i].name);
            QTest::newRow(qPrintable(all[i].name)) << all[i].bytes << all[i].why << verdicts[i];
        }
    }
    void schemaAndProgramAgree() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        QFETCH(QString, schema);
        const CheckedConfiguration file = checkConfiguration(bytes);
        QCOMPARE(file.problem.isEmpty(), schema.isEmpty());
        QVERIFY2(schema.isEmpty() == why.isNull(), qPrintable("schema: " + schema));
        QVERIFY2(file.problem.isEmpty() == why.isNull(), qPrintable("program: " + file.problem));
        // Refused for the reason the row is about.
        QVERIFY2(file.problem.contains(why), qPrintable("program: " + file.problem));
    }

    // The documentation's snippet is a file the program takes whole: no key
    // in it is unknown.
    void snippetIsAWholeFile() {
        const CheckedConfiguration file = checkConfiguration(documentedSnippet());
        QCOMPARE(file.problem, QString());
        QCOMPARE(file.unknown, QStringList());
        QVERIFY(file.values.size() >= 5);
        QVERIFY(!file.mainBoard.isEmpty());
    }
};

QTEST_MAIN(SchemaTest)
#include "tst_schema.moc"
