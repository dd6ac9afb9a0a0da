// Board records into the form and back: each row reads records into a fresh
// form, checks the widgets, lets the operator edit, and writes one record. A
// write sends back as read what no control could change.
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/FilterPumpCodec.h"
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/SorbentPumpCodec.h"
#include "tests/boards/FormTokens.h"
#include "ui_KVX_Configurator.h"

#include <memory>

using namespace kvx;
using namespace kvx::test;

namespace {

struct Session {
    explicit Session(Ui_KVX_Configurator& ui, int level = 5) : ui(ui), level(level) {}
    Ui_KVX_Configurator& ui;
    int level;
    ReadBackState readBack;
    std::array<int, 4> partners{};
    std::array<QString, 4> cartridges;
};
using Decode = std::function<void(Session&, const ConfigImage&)>;
using Encode = std::function<void(Session&, ConfigImage&)>;

// The codec of every record, by request word, called as the workflows call it.
#define DECODE(call) [=](Session& s, const ConfigImage& in) { call; }
#define ENCODE(call) [=](Session& s, ConfigImage& out) { call; }
#define CODEC(name, din, dout)                                                                     \
    Codec(DECODE(decode##name##Record din), ENCODE(encode##name##Record dout))
#define PLAIN(name) CODEC(name, (s.ui, in), (s.ui, out))
using Codec = std::pair<Decode, Encode>;
QHash<quint16, Codec> codecs() {
    const QDateTime localNow(QDate(2025, 3, 7), QTime(9, 5));
    QHash<quint16, Codec> c{
        {kUtcOffsetWord, PLAIN(UtcOffset)},
        {kSen55Word, PLAIN(Sen55)},
        {kSgp41Word, PLAIN(Sgp41)},
        {kSfa30Word, PLAIN(Sfa30)},
        {kGasFanWord, PLAIN(GasFan)},
        {kScheduleWord, CODEC(Schedule, (s.ui, in), (s.ui, out, s.readBack))},
        {kMainLoggingWord, CODEC(MainLogging, (s.ui, in), (s.ui, out, s.readBack))},
        {kScd30Word, CODEC(Scd30, (s.ui, in), (s.ui, out, s.readBack))},
        {kAlphasenseLoggingWord, CODEC(AlphasenseLogging, (s.ui, in), (s.ui, out, s.readBack))},
        {kPumpsCDLoggingWord, CODEC(PumpsCDLogging, (s.ui, in), (s.ui, out, s.readBack))},
        {kGasLoggingWord,
         CODEC(GasLogging, (s.ui, in, s.level, s.readBack), (s.ui, out, s.readBack))},
        {kFigaroWord, CODEC(Figaro, (s.ui, in, s.readBack), (s.ui, out, s.readBack))},
        {kAlphasenseModesWord,
         {{}, ENCODE(encodeAlphasenseModesRecord(s.ui, out, s.level, s.readBack))}}};
    for (int n = 1; n <= 4; ++n)
        c[alphasenseRecordWord(n)].first =
            DECODE(decodeAlphasenseRecord(s.ui, n, in, s.level, s.partners[n - 1]));
    for (Pump p : kAllPumps) {
        const PumpRecords& r = pumpRecords(p);
        c[r.flow] = CODEC(PumpFlow, (s.ui, p, in, s.level), (s.ui, p, out));
        c[r.cartridge] = CODEC(PumpCartridge, (s.ui, p, in, s.cartridges[pumpIndex(p)]),
                               (s.ui, p, out, localNow));
        c[r.start] = CODEC(PumpStart, (s.ui, p, in), (s.ui, p, out));
        c[r.duration] = CODEC(PumpDuration, (s.ui, p, in), (s.ui, p, out));
        c[r.install].first = DECODE(decodePumpInstallRecord(s.ui, p, in));
        c[r.run].first = DECODE(decodePumpRunRecord(s.ui, p, in));
        c[r.volume].first = DECODE(decodePumpVolumeRecord(s.ui, p, in));
        c[r.runStop].second = ENCODE(encodePumpRunRecord(s.ui, p, out, true));
        if (!isSorbentPump(p))
            c[filterPumpLoggingWord(p)] =
                CODEC(FilterPumpLogging, (s.ui, p, in), (s.ui, p, out, s.readBack));
    }
    return c;
}

QByteArray hex(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.bytes.data()), image.length).toHex();
}

// A record from "word:hex".
ConfigImage record(const QString& text) {
    ConfigImage image;
    image.resetRequest(quint16(text.section(':', 0, 0).toUInt(nullptr, 16)));
    for (char byte : QByteArray::fromHex(text.section(':', 1).toLatin1()))
        image.appendU8(quint8(byte));
    return image;
}

} // namespace

class BoardsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QMainWindow> window;
    Ui_KVX_Configurator ui;
    const QHash<quint16, Codec> codec = codecs();

    // "level=N" and "partnerN=P": the session's firmware level and partner
    // numbers; checked when verifying.
    static Special special(Session& s, bool set) {
        return [&s, set](const QString& name, const QString& value) {
            int* target = name == "level"              ? &s.level
                          : name.startsWith("partner") ? &s.partners[name.mid(7).toInt() - 1]
                                                       : nullptr;
            if (target && set)
                *target = value.toInt();
            else if (target)
                [&] { QCOMPARE(QString::number(*target), value); }();
            return target != nullptr;
        };
    }

private slots:
    void init() {
        window = std::make_unique<QMainWindow>();
        ui.setupUi(window.get());
        ui.Tab_Figaro->setEnabled(false); // as for every connection
    }

    // One row per case: name|setup|reads|shown|edits|written, where reads are
    // "word:hex;..." records in the order read and written is the "word:hex"
    // of the record written (none when empty).
    void records_data() {
        QTest::addColumn<QStringList>("fields");
        const auto row = [](const char* fields) {
            const QStringList f = QString::fromUtf8(fields).split('|');
            QTest::newRow(qPrintable(f[0])) << f.mid(1);
        };
        // ---- main board
        row("schedule, request word only|sampleHalt=1;durationDays=5;logInterval=5;"
            "-startDateTime|0040:|sampleHalt=0;specificTime=1;+startDateTime;"
            "startDateTime=2000-01-01T00:00:00Z;durationDays=0;logInterval=60;stopState=Idle||"
            "0040:000010800000000000003c00");
        row("schedule, round trip||0040:80003c98090500070c1e0f01|specificTime=1;durationDays=7;"
            "durationHours=12;durationMinutes=30;logInterval=15;stopState=Shutdown||"
            "0040:80003c98090500070c1e0f01");
        row("schedule, every power-on, hidden halt as "
            "read|-sampleHalt;startDateTime=2024-03-25T09:05:00Z|"
            "0040:8002|sampleHalt=0;alwaysPowerOn=1;-startDateTime;startDateTime=2024-03-25T09:05:"
            "00Z||"
            "0040:800200000000000000003c00");
        row("schedule, hidden halt unread|-sampleHalt;sampleHalt=1;nextPowerOn=1;logInterval=5|||"
            "|0040:000100000000000000000500");
        row("UTC offset||0020:823f|tzOffset=5.75|tzOffset=-5.5|0020:7dda");
        row("SEN55 absent, logging as read|mainLogSEN55_PM10=1|0060:;0000:8000ff03|"
            "-mainLogSEN55_PM1_0;mainLogSEN55_PM{1_0,10}=0;mainLogVBUS=1|mainLogVBUS=0;"
            "mainLogVBAT=1|0000:8000ff12");
        row("SEN55 without interval|sen55Interval=500|0060:00030000002a00000100|+sen55;"
            "sen55Mode=RH/T/Gas/PMS;sen55Run=42;sen55Fan=256;sen55Interval=0||0060:000300000000");
        // ---- gas board
        row("SGP41 absent|gasLogSGP41RawVOC=1;sgp41Mode=1|4016:|-sgp41;sgp41Mode=0;"
            "-gasLogSGP41RawVOC;gasLogSGP41RawVOC=0;-gasLogSGP41RawNOX||");
        row("SGP41||4016:0002001a2b3c4d5e|sgp41Mode=1;sgp41ID=001A2B3C4D5E|sgp41Mode=0|4016:0001");
        row("SFA30 fitted, off||4026:000500000101534600|+sfa30;sfa30Mode=0;sfa30Run=257;"
            "sfa30ID=SF||4026:0001");
        row("SCD30||4036:0002000000090001 3c980905434f00|scd30Mode=1;scd30Compensation=1 Minute;"
            "scd30Calibrated=On 3/25/2024 @ 9:05;scd30ID=CO||4036:00020001");
        row("SCD30 compensation changed to None||4036:0002000000000003|scd30Compensation=1 Day|"
            "scd30Compensation=None|4036:00020000");
        row("SCD30 compensation beyond the list||4036:0002000000000009|scd30Compensation=||"
            "4036:00020009");
        row("SCD30 compensation unread|scd30Compensation=none||||4036:0001ffff");
        row("SCD30 absent||4036:000000000005|-scd30;-gasLogSCD30RH||");
        row("fan on||40b6:0001|gasFanState=1||40b6:0001");
        row("fan hidden|gasFanState=1;-gasFanState||||40b6:0000");
        row("gas logging, level 0|level=0;gasLog5V0=1|4056:;4006:000f003c|gasLog5V0=0;"
            "gasLogAS1Raw=1;gasLogAS2Raw=0;gasLogAS3Raw=1;figaroLogOutput=0|gasLogAS1Raw=0|"
            "4006:000e003c");
        // ---- Alphasense and Figaro
        row("OX-B431 without algorithm 2|level=2;alphasenseLogAS3Algorithm2=1|"
            "4066:2132000000074f5800|as3Mode_3=1;as3_NO2_Algorithm=Algorithm #1;"
            "+as3_NO2_Algorithm;-alphasenseLogAS3Algorithm2;alphasenseLogAS3Algorithm2=0;"
            "as3Type=OX-B431;as3Run_3=7;as3ID_3=OX;partner3=1||4086:00000500");
        row("no NO2 list, type beyond 4|level=1;partner1=3|4046:0292|partner1=2;as1Type=None;"
            "-as1_NO2_Algorithm||");
        row("Alphasense absent keeps partner|level=1;partner1=2;as1Mode_3=1;"
            "alphasenseLogAS1Raw=1|4046:0330|partner1=2;-as1_3;as1Mode_3=0;-alphasenseLogAS1Raw;"
            "alphasenseLogAS1Raw=0;-alphasenseLogAS1Algorithm4;-as1_NO2_Algorithm||");
        row("Alphasense absent at level 0|level=0;as2Mode=1;gasLogAS2Raw=1|4056:|-as2;as2Mode=0;"
            "-gasLogAS2Raw;gasLogAS2Raw=0||");
        row("Alphasense at level 0|level=0;partner1=4|4046:000100000003|+as1;as1Mode=0;as1Run=3;"
            "partner1=4||");
        row("modes, algorithms as read|level=2|4066:2132;4046:1012;4056:613a;4076:0000|"
            "as2_NO2_Algorithm=;-as1_NO2_Algorithm||4086:030d0500");
        row("modes, algorithms chosen|level=2|4066:2132;4046:1012;4056:613a;4076:0000||"
            "as3_NO2_Algorithm=Algorithm #3;as2_NO2_Algorithm=Algorithm #4|4086:03090700");
        row("modes|level=2|4046:0012;4056:;4066:413a;4076:0000|as3_NO2_Algorithm=Algorithm #4||"
            "4086:01000900");
        row("modes, level 0|level=0;as2Mode=1;as4Mode=1;-as4;as1Mode_3=1||||4086:00010000");
        row("Alphasense logging|-alphasenseLogAS2Algorithm3|40a6:00088421|"
            "alphasenseLogAS2Algorithm3=0||40a6:00088421");
        row("Figaro absent||40c6:00|-figaroLogGain1;-figaro20PPM;-figaroRange||40c6:0000");
        row("Figaro unread|figaro50PPM=1||||40c6:0101");
        row("Figaro as read||40c6:02010000004d|figaroMode=1;figaro50PPM=1;figaroRun=77|"
            "figaroMode=0|40c6:0201");
        row("Figaro range 20 ppm||40c6:0102|figaro20PPM=1;figaro1000PPM=0||40c6:0102");
        row("Figaro page enabled|+Tab_Figaro|40c6:0107|figaro1000PPM=1;figaroMode=0|figaroMode=1;"
            "figaro20PPM=1|40c6:0202");
        // ---- pumps
        row("flow limit before rate||8012:0100640064;8012:0103e807d0|pumpAFlowRate=1||8012:03e8");
        row("flow, sorbent||c201:01003200c8|pumpCFlowRate=0.5|pumpCFlowRate=0.05|c201:0005");
        row("pump absent, level 2|level=2;pumpALogPUMPS=1;pumpAFlowRate=1.5;pumpACartID=FC-1|"
            "8012:0003e8|-pumpAFlowRate;pumpAFlowRate=1.5;-pumpACartID;pumpACartID=FC-1;"
            "-pumpALogPUMPS;pumpALogPUMPS=1;+pumpALogIBMP581P;-pumpAStart;"
            "-pumpADurationDaysLabel||");
        row("pump short, level 1|level=1|c101:|-pumpDFlowRate;-pumpDLogBMP581T;+pumpDLogVSUPPLY;"
            "+pumpDStart;+pumpCFlowRate||");
        row("counters||8034:3c980905;8044:00010000;8054:000100|pumpBInstall=On 3/25/2024 @ 9:05;"
            "pumpBRun=65536;pumpBVolume=0||");
        row("cartridge||8024:4142434445464748494a4b4c4d4e4f505152535400|"
            "pumpBCartID=ABCDEFGHIJKLMNO|pumpBCartID=ST-9|"
            "8024:339909055354 2d390000000000000000000000");
        row("start, delay||8062:000102033c980905|pumpADelayedStart=1;pumpADelayDays=1;"
            "pumpADelayHours=2;pumpADelayMinutes=3;-pumpAStartDateTime||8062:0001020300000000");
        row("start, date||8062:000000003c980905|pumpASpecificDateTime=1;+pumpASpecificDateTime;"
            "-pumpADelay{Days,Hours,Minutes};pumpAStartDateTime=2024-03-25T09:05:00Z||"
            "8062:000000003c980905");
        row("start, date under a power-on sample|-startDateTime|8064:000000003c980905|"
            "pumpBSampleStart=1;-pumpB{SpecificDateTime,StartDateTime}||8064:0000000000000000");
        row("duration, zero|pumpCPartialSample=1|c261:00000000|pumpCFullSample=1;"
            "-pumpCDuration{Days,Hours,Minutes}|pumpCPartialSample=1|c261:00000000");
        row("duration||c261:012c003b|pumpCPartialSample=1;pumpCDurationDays=300;"
            "pumpCDurationMinutes=59;+pumpCDurationHours||c261:012c003b");
        row("run, sorbent||||pumpDFlowRate=0.75|c171:004b");
        row("filter pump absent, logging as read||8012:00;8002:0001ffff|-pumpALogPUMPS;"
            "pumpALogPUMPS=0|pumpALog3V3=0|8002:0001fffd");
        row("sorbent logging, one twin disabled|-pumpDLogVSUPPLY|c001:04000001|"
            "pump{C,D}Log{VSUPPLY,Atmo}=1;pumpCLogRDAC=0||c001:04000001");
        row("sorbent logging, both twins disabled|pumpCLog3V3=1;-pumpCLog3V3;-pumpDLog3V3|"
            "c001:00000000|pumpCLog3V3=1||c001:00000000");
        row("sorbent logging, Pump C absent, as read|-pumpCLogVSUPPLY;-pumpDLogVSUPPLY;"
            "-pumpDLog3V3|c201:00;c001:83ff8003|pump{C,D}Log3V3=1|pumpCLog3V3=0;pumpDLogRDAC=1|"
            "c001:83ff8011");
    }

    void records() {
        QFETCH(QStringList, fields);
        Session s{ui};
        applyTokens(*window, fields[0], special(s, true));
        for (const QString& text : fields[1].split(';', Qt::SkipEmptyParts)) {
            const ConfigImage in = record(text);
            QVERIFY2(codec.value(in.requestWord()).first, qPrintable(text));
            codec.value(in.requestWord()).first(s, in);
            s.readBack.records.insert(in.requestWord(), in);
        }
        verifyTokens(*window, fields[2], special(s, false));
        applyTokens(*window, fields[3], special(s, true));
        if (fields[4].isEmpty())
            return;
        const ConfigImage expected = record(fields[4]);
        ConfigImage out;
        QVERIFY(codec.value(expected.requestWord()).second);
        codec.value(expected.requestWord()).second(s, out);
        QCOMPARE(hex(out), hex(expected));
    }

    // Each bit of a logging word reaches a box of its own and comes back from
    // it alone; bits without a box come back 0.
    void loggingBits_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<quint16>("word");
        QTest::addColumn<quint32>("boxes");
        QTest::newRow("main") << 5 << kMainLoggingWord << 0x1FFFFu;
        QTest::newRow("gas, level 0") << 0 << kGasLoggingWord << 0xFFFC3u;
        QTest::newRow("gas, level 1") << 1 << kGasLoggingWord << 0xFFC3u;
        QTest::newRow("Alphasense") << 1 << kAlphasenseLoggingWord << 0xFFFFFu;
        QTest::newRow("Pump A") << 5 << filterPumpLoggingWord(Pump::A) << 0x1FFFFu;
        QTest::newRow("Pump B") << 5 << filterPumpLoggingWord(Pump::B) << 0x1FFFFu;
        QTest::newRow("Pumps C and D") << 5 << kPumpsCDLoggingWord << 0x7FFFFFFu;
    }

    void loggingBits() {
        QFETCH(int, level);
        QFETCH(quint16, word);
        QFETCH(quint32, boxes);
        const auto all = window->findChildren<QCheckBox*>();
        for (int bit = 0; bit < 32; ++bit) {
            Session s{ui, level}, fresh{ui, level};
            codec.value(word).first(
                s, record(QString("%1:%2").arg(word, 0, 16).arg(1u << bit, 8, 16, QChar('0'))));
            const bool shown =
                std::any_of(all.cbegin(), all.cend(), [](auto* box) { return box->isChecked(); });
            ConfigImage out;
            codec.value(word).second(fresh, out);
            QCOMPARE(shown, bool(boxes >> bit & 1));
            QCOMPARE(out.readU32(2), boxes & (1u << bit));
        }
    }
};

QTEST_MAIN(BoardsTest)
#include "tst_boards.moc"
