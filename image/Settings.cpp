#include "image/Settings.h"

#include <QLocale>

#include <algorithm>

namespace kvx {

namespace {

using Kind = SettingKind;

// ---- building the catalogue ---------------------------------------------------

struct Page {
    const char* tab;
    const char* title;
    const char* key; // key prefix
    int board;
};

constexpr Page kMain{"Tab_Main", "Mainboard", "main", 1};
constexpr Page kGas{"Tab_Gas", "Gas", "gas", 2};
constexpr Page kAlphasense{"Tab_Alphasense", "Alphasense", "alphasense", 2};
constexpr Page kFigaro{"Tab_Figaro", "Figaro", "figaro", 2};

// The captions of the logging boxes (Pump B's and Pump D's are Pump A's and
// Pump C's).
const char* const kBoxCaptions[][2] = {
    {"mainLogVBUS", "USB Voltage"},
    {"mainLogVSUPPLY", "Supply Voltage"},
    {"mainLog5V0", "Main 5V0"},
    {"mainLog3V3", "Main 3V3"},
    {"mainLogVBAT", "Battery Voltage"},
    {"mainLogTBAT", "Battery Temperature"},
    {"mainLogBMP581P", "BMP581 Pressure"},
    {"mainLogBMP581T", "BMP581 Temperature"},
    {"mainLogSEN55_PM1_0", "SEN55 PM 1.0"},
    {"mainLogSEN55_PM2_5", "SEN55 PM 2.5"},
    {"mainLogSEN55_PM4_0", "SEN55 PM 4.0"},
    {"mainLogSEN55_PM10", "SEN55 PM 10"},
    {"mainLogVSEN55RH", "SEN55 RH"},
    {"mainLogSEN55T", "SEN55 Temperature"},
    {"mainLogSEN55RawVOC", "SEN55 Raw VOC"},
    {"mainLogSEN55RawNOx", "SEN55 Raw NOx"},
    {"mainLogAccelerometer", "Accelerometer"},
    {"gasLog5V0", "Board 5V0"},
    {"gasLog3V3", "Board 3V3"},
    {"gasLogBMP581P", "BMP581 Pressure"},
    {"gasLogBMP581T", "BMP581 Temperature"},
    {"gasLogSCD30CO2", "SCD30 CO2"},
    {"gasLogSCD30T", "SCD30 Temperature"},
    {"gasLogSCD30RH", "SCD30 RH"},
    {"gasLogSGP41RawVOC", "SGP41 Raw VOC"},
    {"gasLogSGP41RawNOX", "SGP41 Raw NOx"},
    {"gasLogSFA30Formald", "SFA30 Formaldehyde"},
    {"gasLogSFA30RH", "SFA30 RH"},
    {"gasLogSFA30T", "SFA30 Temperature"},
    {"gasLogAS1Raw", "Alphasense #1"},
    {"gasLogAS2Raw", "Alphasense #2"},
    {"gasLogAS3Raw", "Alphasense #3"},
    {"gasLogAS4Raw", "Alphasense #4"},
    {"alphasenseLogAS1Raw", "Raw"},
    {"alphasenseLogAS1Algorithm1", "Algorithm #1"},
    {"alphasenseLogAS1Algorithm2", "Algorithm #2"},
    {"alphasenseLogAS1Algorithm3", "Algorithm #3"},
    {"alphasenseLogAS1Algorithm4", "Algorithm #4"},
    {"alphasenseLogAS2Raw", "Raw"},
    {"alphasenseLogAS2Algorithm1", "Algorithm #1"},
    {"alphasenseLogAS2Algorithm2", "Algorithm #2"},
    {"alphasenseLogAS2Algorithm3", "Algorithm #3"},
    {"alphasenseLogAS2Algorithm4", "Algorithm #4"},
    {"alphasenseLogAS3Raw", "Raw"},
    {"alphasenseLogAS3Algorithm1", "Algorithm #1"},
    {"alphasenseLogAS3Algorithm2", "Algorithm #2"},
    {"alphasenseLogAS3Algorithm3", "Algorithm #3"},
    {"alphasenseLogAS3Algorithm4", "Algorithm #4"},
    {"alphasenseLogAS4Raw", "Raw"},
    {"alphasenseLogAS4Algorithm1", "Algorithm #1"},
    {"alphasenseLogAS4Algorithm2", "Algorithm #2"},
    {"alphasenseLogAS4Algorithm3", "Algorithm #3"},
    {"alphasenseLogAS4Algorithm4", "Algorithm #4"},
    {"figaroLogOutput", "Figaro Output Voltage"},
    {"figaroLogGain1", "Figaro Gain1 Stage Voltage"},
    {"figaroLogOffset", "Figaro Offset Voltage"},
    {"figaroLogReference", "Figaro Reference Voltage"},
    {"pumpALogVSUPPLY", "Board Supply"},
    {"pumpALog3V3", "Board 3V3"},
    {"pumpALogPUMPS", "Pumps Active"},
    {"pumpALogRDAC", "Pump RDAC"},
    {"pumpALogVBOOST", "Pump Drive Voltage"},
    {"pumpALogVOMRON", "Omron Supply Voltage"},
    {"pumpALogVFLOW", "Omron Flow Voltage"},
    {"pumpALogIBMP581P", "Int BMP581 Pressure"},
    {"pumpALogIBMP581T", "Int BMP581 Temperature"},
    {"pumpALogXBMP581P", "Ext BMP581 Pressure"},
    {"pumpALogXBMP581T", "Ext BMP581 Temperature"},
    {"pumpALogFlowM", "Mass Flow"},
    {"pumpALogFlowV", "Volumetric Flow"},
    {"pumpALogPumpVol", "Total Pump Volume"},
    {"pumpALogCartTotal", "Total Cartridge Volume"},
    {"pumpALogCartSample", "Test Cartridge Volume"},
    {"pumpALogAtmo", "Atmospheric Density Ratio"},
    {"pumpCLogVSUPPLY", "Board Supply (Pumps C & D)"},
    {"pumpCLog3V3", "Board 3V3 (Pumps C & D)"},
    {"pumpCLogBMP390P", "BMP390 Pressure (Pumps C & D)"},
    {"pumpCLogBMP390T", "BMP390 Temperature (Pumps C & D)"},
    {"pumpCLogAtmo", "Atmospheric Density Ratio (Pumps C & D)"},
    {"pumpCLogRDAC", "Pump RDAC"},
    {"pumpCLogVBOOST", "Pump Drive Voltage"},
    {"pumpCLogVOMRON", "Omron Supply Voltage"},
    {"pumpCLogVFLOW", "Omron Flow Voltage"},
    {"pumpCLogBMP581P", "BMP581 Pressure"},
    {"pumpCLogBMP581T", "BMP581 Temperature"},
    {"pumpCLogFlowM", "Mass Flow"},
    {"pumpCLogFlowV", "Volumetric Flow"},
    {"pumpCLogPumpVol", "Total Pump Volume"},
    {"pumpCLogCartTotal", "Total Sorbent Volume"},
    {"pumpCLogCartSample", "Test Sorbent Volume"},
};

QString boxCaption(const QString& box) {
    QString name = box;
    if (name.startsWith(QLatin1String("pumpB")))
        name.replace(4, 1, QLatin1Char('A'));
    else if (name.startsWith(QLatin1String("pumpD")))
        name.replace(4, 1, QLatin1Char('C'));
    for (const auto& entry : kBoxCaptions) {
        if (name == QLatin1String(entry[0]))
            return QString::fromUtf8(entry[1]);
    }
    return QString();
}

FieldPos at(quint16 word, int offset, int width, quint32 mask = 0) {
    return {word, offset, width, mask};
}

class Builder {
public:
    QList<Setting> list;

    Setting& add(const Page& page, const QString& key, const QString& caption, Kind kind,
                 QStringList controls) {
        Setting s;
        s.key = QLatin1String(page.key) + QLatin1Char('.') + key;
        s.tab = QLatin1String(page.tab);
        s.page = QLatin1String(page.title);
        s.caption = caption;
        s.kind = kind;
        s.board = page.board;
        s.controls = std::move(controls);
        list.append(s);
        return list.last();
    }
    // A field with the same place in the record read and in the record written.
    static Setting& same(Setting& s, const FieldPos& f) {
        s.read.append(f);
        s.write.append(f);
        return s;
    }
    // One entry per bit of a logging word with a box; returns the bits used.
    quint32 bitsWithBoxes(const Page& page, quint16 word,
                          const QList<std::pair<int, QStringList>>& bits, int minLevel = 0,
                          int maxLevel = 0xFFFF) {
        quint32 used = 0;
        for (const auto& [bit, boxes] : bits) {
            used |= 1u << bit;
            QString name = boxes.first();
            const int cut = name.indexOf(QLatin1String("Log"));
            name = name.mid(cut + 3).toLower();
            QString caption = boxCaption(boxes.first());
            if (boxes.first().startsWith(QLatin1String("alphasenseLogAS")))
                caption = QStringLiteral("Alphasense #") + boxes.first().at(15) + QLatin1Char(' ') +
                          caption;
            Setting& s = add(page, QStringLiteral("logging.") + name, caption, Kind::Bit, boxes);
            same(s, at(word, 2, 4, 1u << bit));
            s.minLevel = minLevel;
            s.maxLevel = maxLevel;
        }
        return used;
    }
    // The bits of a logging word without a box.
    void unusedBits(const Page& page, quint16 word, quint32 used, int minLevel = 0) {
        Setting& r = add(page, QStringLiteral("logging.reserved"), QStringLiteral("Unused bits"),
                         Kind::Reserved, {});
        same(r, at(word, 2, 4, ~used));
        r.minLevel = minLevel;
    }
    // A logging word: its bits with a box, the rest reserved.
    void logging(const Page& page, quint16 word, const QList<std::pair<int, QStringList>>& bits,
                 int minLevel = 0) {
        unusedBits(page, word, bitsWithBoxes(page, word, bits, minLevel), minLevel);
    }
};

QList<std::pair<int, QStringList>> bitsOf(const QString& prefix, const QStringList& names,
                                          int first = 0) {
    QList<std::pair<int, QStringList>> bits;
    for (int i = 0; i < names.size(); ++i)
        bits.append({first + i, {prefix + names[i]}});
    return bits;
}

void mainBoard(Builder& b) {
    const Page& p = kMain;
    Setting& clock = b.add(p, QStringLiteral("clock"), QStringLiteral("UTC"), Kind::Reading,
                           {QStringLiteral("utcText")});
    clock.read = {at(0x0010, 2, 6)};
    clock.form = Setting::Form::Clock;

    Setting& tz = b.add(p, QStringLiteral("utc_offset"), QStringLiteral("UTC Offset"),
                        Kind::Decimal, {QStringLiteral("tzOffset")});
    Builder::same(tz, at(0x0020, 2, 2));
    tz.minimum = -12;
    tz.maximum = 14;
    tz.scale = 100;
    tz.offset = 32768;
    tz.decimals = 2;
    tz.unit = QStringLiteral("h");

    Setting& id = b.add(p, QStringLiteral("sample_id"), QStringLiteral("Sample ID"), Kind::Text,
                        {QStringLiteral("sampleID")});
    Builder::same(id, at(0x0030, 2, 31));
    id.perInstrument = true;

    const quint16 schedule = 0x0040;
    Setting& halt =
        b.add(p, QStringLiteral("schedule.halt"), QStringLiteral("Halt Sample After Power Off"),
              Kind::Switch, {QStringLiteral("sampleHalt")});
    Builder::same(halt, at(schedule, 2, 2, 0x8000));
    halt.minLevel = 5;

    Setting& start = b.add(p, QStringLiteral("schedule.start"), QStringLiteral("Start Sampling"),
                           Kind::SampleStart,
                           {QStringLiteral("specificTime"), QStringLiteral("alwaysPowerOn"),
                            QStringLiteral("nextPowerOn"), QStringLiteral("startDateTime")});
    Builder::same(start, at(schedule, 2, 2, 0x0003));
    Builder::same(start, at(schedule, 4, 4));
    start.choices = {{0, QStringLiteral("At Specific UTC Date/Time")},
                     {2, QStringLiteral("Always Next Power-On")},
                     {1, QStringLiteral("Once Next Power-On")}};

    Setting& flags = b.add(p, QStringLiteral("schedule.reserved"), QStringLiteral("Unused bits"),
                           Kind::Reserved, {});
    Builder::same(flags, at(schedule, 2, 2, 0x7FFC));

    Setting& duration = b.add(p, QStringLiteral("schedule.duration"),
                              QStringLiteral("Sampling Duration"), Kind::Span,
                              {QStringLiteral("durationDays"), QStringLiteral("durationHours"),
                               QStringLiteral("durationMinutes")});
    Builder::same(duration, at(schedule, 8, 2));
    Builder::same(duration, at(schedule, 10, 1));
    Builder::same(duration, at(schedule, 11, 1));
    duration.maximum = 300;

    Setting& interval =
        b.add(p, QStringLiteral("schedule.interval"), QStringLiteral("Logging Interval [seconds]"),
              Kind::Choice, {QStringLiteral("logInterval")});
    Builder::same(interval, at(schedule, 12, 1));
    interval.choices = {{5, QStringLiteral("5")},
                        {15, QStringLiteral("15")},
                        {30, QStringLiteral("30")},
                        {60, QStringLiteral("60")}};
    interval.otherwise = 3;
    interval.unit = QStringLiteral("s");

    Setting& after = b.add(p, QStringLiteral("schedule.after_sampling"),
                           QStringLiteral("Action After Sampling Ends"), Kind::Choice,
                           {QStringLiteral("stopState")});
    Builder::same(after, at(schedule, 13, 1));
    after.choices = {{0, QStringLiteral("Idle")}, {1, QStringLiteral("Shutdown")}};
    after.otherwise = 1;

    Setting& serial = b.add(p, QStringLiteral("sen55.serial"), QStringLiteral("SEN55 S/N"),
                            Kind::Reading, {QStringLiteral("sen55ID")});
    serial.read = {at(0x0050, 2, 32)};
    serial.form = Setting::Form::Text;

    const quint16 sen55 = 0x0060;
    Setting& mode = b.add(p, QStringLiteral("sen55.mode"), QStringLiteral("SEN55 Mode"),
                          Kind::Choice, {QStringLiteral("sen55Mode")});
    Builder::same(mode, at(sen55, 2, 2));
    mode.choices = {{1, QStringLiteral("Idle")},
                    {2, QStringLiteral("RH/T/Gas")},
                    {3, QStringLiteral("RH/T/Gas/PMS")}};

    for (const auto& [key, caption, offset] :
         {std::tuple{"sen55.run_time", "SEN55 Run Time [Hrs]", 4},
          std::tuple{"sen55.fan_time", "SEN55 Fan Time [Hrs]", 8}}) {
        Setting& r = b.add(p, QLatin1String(key), QLatin1String(caption), Kind::Reading,
                           {QLatin1String(offset == 4 ? "sen55Run" : "sen55Fan")});
        r.read = {at(sen55, offset, 4)};
    }

    Setting& cleaning = b.add(p, QStringLiteral("sen55.cleaning_interval"),
                              QStringLiteral("SEN55 Cleaning Interval [Hrs]"), Kind::Integer,
                              {QStringLiteral("sen55Interval")});
    cleaning.read = {at(sen55, 12, 4)};
    cleaning.write = {at(sen55, 4, 4)};
    cleaning.maximum = 1000;
    cleaning.unit = QStringLiteral("h");

    b.logging(
        p, 0x0000,
        bitsOf(QStringLiteral("mainLog"),
               {QStringLiteral("VBUS"), QStringLiteral("VSUPPLY"), QStringLiteral("5V0"),
                QStringLiteral("3V3"), QStringLiteral("VBAT"), QStringLiteral("TBAT"),
                QStringLiteral("BMP581P"), QStringLiteral("BMP581T"), QStringLiteral("SEN55_PM1_0"),
                QStringLiteral("SEN55_PM2_5"), QStringLiteral("SEN55_PM4_0"),
                QStringLiteral("SEN55_PM10"), QStringLiteral("VSEN55RH"), QStringLiteral("SEN55T"),
                QStringLiteral("SEN55RawVOC"), QStringLiteral("SEN55RawNOx"),
                QStringLiteral("Accelerometer")}));
}

void gasSensor(Builder& b, const char* name, quint16 word, int serialAt, Setting::Form serialForm,
               int runAt) {
    const QString n = QLatin1String(name);
    const QString upper = n.toUpper();
    Setting& mode = b.add(kGas, n + QStringLiteral(".enabled"), upper + QStringLiteral(" Enable"),
                          Kind::Switch, {n + QStringLiteral("Mode")});
    Builder::same(mode, at(word, 2, 2));
    mode.onCode = 2;
    Setting& serial = b.add(kGas, n + QStringLiteral(".serial"), upper + QStringLiteral(" S/N"),
                            Kind::Reading, {n + QStringLiteral("ID")});
    serial.read = {at(word, serialAt, serialForm == Setting::Form::HexSerial ? 6 : 32)};
    serial.form = serialForm;
    if (runAt > 0) {
        Setting& run =
            b.add(kGas, n + QStringLiteral(".run_time"), upper + QStringLiteral(" Run [Hrs]"),
                  Kind::Reading, {n + QStringLiteral("Run")});
        run.read = {at(word, runAt, 4)};
    }
}

void gasBoard(Builder& b) {
    gasSensor(b, "sgp41", 0x4016, 4, Setting::Form::HexSerial, 0);
    gasSensor(b, "sfa30", 0x4026, 8, Setting::Form::Text, 4);
    gasSensor(b, "scd30", 0x4036, 14, Setting::Form::Text, 4);

    Setting& compensation =
        b.add(kGas, QStringLiteral("scd30.compensation"), QStringLiteral("SCD30 Compensation"),
              Kind::Choice, {QStringLiteral("scd30Compensation")});
    compensation.read = {at(0x4036, 8, 2)};
    compensation.write = {at(0x4036, 4, 2)};
    compensation.choices = {{0, QStringLiteral("None")},
                            {1, QStringLiteral("1 Minute")},
                            {2, QStringLiteral("1 Hour")},
                            {3, QStringLiteral("1 Day")}};
    Setting& calibrated =
        b.add(kGas, QStringLiteral("scd30.calibrated"), QStringLiteral("SCD30 Calibrated"),
              Kind::Reading, {QStringLiteral("scd30Calibrated")});
    calibrated.read = {at(0x4036, 10, 4)};
    calibrated.form = Setting::Form::InstallText;

    Setting& fan = b.add(kGas, QStringLiteral("fan"), QStringLiteral("Gas Housing Fan Enable"),
                         Kind::Switch, {QStringLiteral("gasFanState")});
    Builder::same(fan, at(0x40B6, 2, 2));
    fan.minLevel = 3;

    // The gas board's logging word: its own quantities, the Figaro sensor's
    // (bits 2-5, firmware level 1 and above) and the Alphasense positions' raw
    // values (bits 16-19, level 0 only).
    const quint16 logging = 0x4006;
    QList<std::pair<int, QStringList>> own =
        bitsOf(QStringLiteral("gasLog"), {QStringLiteral("5V0"), QStringLiteral("3V3")});
    own +=
        bitsOf(QStringLiteral("gasLog"),
               {QStringLiteral("BMP581P"), QStringLiteral("BMP581T"), QStringLiteral("SCD30CO2"),
                QStringLiteral("SCD30T"), QStringLiteral("SCD30RH"), QStringLiteral("SGP41RawVOC"),
                QStringLiteral("SGP41RawNOX"), QStringLiteral("SFA30Formald"),
                QStringLiteral("SFA30RH"), QStringLiteral("SFA30T")},
               6);
    quint32 used = b.bitsWithBoxes(kGas, logging, own);
    used |= b.bitsWithBoxes(kFigaro, logging,
                            {{2, {QStringLiteral("figaroLogOutput")}},
                             {3, {QStringLiteral("figaroLogGain1")}},
                             {4, {QStringLiteral("figaroLogOffset")}},
                             {5, {QStringLiteral("figaroLogReference")}}},
                            1);
    used |= b.bitsWithBoxes(kGas, logging,
                            bitsOf(QStringLiteral("gasLogAS"),
                                   {QStringLiteral("1Raw"), QStringLiteral("2Raw"),
                                    QStringLiteral("3Raw"), QStringLiteral("4Raw")},
                                   16),
                            0, 0);
    b.unusedBits(kGas, logging, used);
}

void alphasense(Builder& b) {
    const quint16 modes = 0x4086;
    for (int n = 1; n <= 4; ++n) {
        const quint16 word = quint16(0x4046 + 0x10 * (n - 1));
        const QString as = QStringLiteral("as%1").arg(n);
        const QString title = QStringLiteral("Alphasense #%1").arg(n);
        // Level 0 shows the positions on the Gas page, later levels on their
        // own: one stored setting, one key, an entry per page.
        Setting& early = b.add(kGas, QString(), title + QStringLiteral(" Enable"), Kind::Switch,
                               {as + QStringLiteral("Mode")});
        early.key = QStringLiteral("alphasense.%1.enabled").arg(n);
        early.read = {at(word, 2, 2, 0x0003)};
        early.write = {at(modes, 1 + n, 1, 0x01)};
        early.conversion = Conversion::AlphasenseMode;
        early.onCode = 2;
        early.maxLevel = 0;

        Setting& mode =
            b.add(kAlphasense, QStringLiteral("%1.enabled").arg(n),
                  title + QStringLiteral(" Enable"), Kind::Switch, {as + QStringLiteral("Mode_3")});
        mode.read = early.read;
        mode.write = early.write;
        mode.conversion = Conversion::AlphasenseMode;
        mode.onCode = 2;
        mode.minLevel = 1;

        Setting& algorithm = b.add(kAlphasense, QStringLiteral("%1.no2_algorithm").arg(n),
                                   title + QStringLiteral(" NO2 Algorithm"), Kind::Choice,
                                   {as + QStringLiteral("_NO2_Algorithm")});
        algorithm.read = {at(word, 2, 2, 0xF000)};
        algorithm.write = {at(modes, 1 + n, 1, 0x0E)};
        algorithm.conversion = Conversion::Algorithm;
        algorithm.choices = {{0, QStringLiteral("None")},
                             {1, QStringLiteral("Algorithm #1")},
                             {2, QStringLiteral("Algorithm #2")},
                             {3, QStringLiteral("Algorithm #3")},
                             {4, QStringLiteral("Algorithm #4")}};
        algorithm.minLevel = 1;

        Setting& reserved = b.add(kAlphasense, QStringLiteral("%1.reserved").arg(n),
                                  QStringLiteral("Unused bits"), Kind::Reserved, {});
        reserved.write = {at(modes, 1 + n, 1, 0xF0)};

        for (const auto& [key, caption, control, form, offset] :
             {std::tuple{"serial", " S/N", "ID_3", Setting::Form::Text, 8},
              std::tuple{"run_time", " Run [Hrs]", "Run_3", Setting::Form::Decimal, 4}}) {
            Setting& r =
                b.add(kAlphasense, QStringLiteral("%1.").arg(n) + QLatin1String(key),
                      title + QLatin1String(caption), Kind::Reading, {as + QLatin1String(control)});
            r.read = {at(word, offset, form == Setting::Form::Text ? 32 : 4)};
            r.form = form;
        }
    }
    QList<std::pair<int, QStringList>> bits;
    for (int n = 1; n <= 4; ++n) {
        const QString box = QStringLiteral("alphasenseLogAS%1").arg(n);
        bits.append({5 * (n - 1), {box + QStringLiteral("Raw")}});
        for (int k = 1; k <= 4; ++k)
            bits.append({5 * (n - 1) + k, {box + QStringLiteral("Algorithm%1").arg(k)}});
    }
    b.logging(kAlphasense, 0x40A6, bits, 1);
}

void figaro(Builder& b) {
    const quint16 word = 0x40C6;
    Setting& mode = b.add(kFigaro, QStringLiteral("enabled"), QStringLiteral("Figaro Enable"),
                          Kind::Switch, {QStringLiteral("figaroMode")});
    Builder::same(mode, at(word, 2, 1));
    mode.onCode = 2;
    mode.minLevel = 4;
    Setting& range = b.add(kFigaro, QStringLiteral("range"), QStringLiteral("Range"), Kind::Choice,
                           {QStringLiteral("figaro20PPM"), QStringLiteral("figaro50PPM"),
                            QStringLiteral("figaro1000PPM")});
    Builder::same(range, at(word, 3, 1));
    range.choices = {
        {2, QStringLiteral("20PPM")}, {1, QStringLiteral("50PPM")}, {0, QStringLiteral("1000PPM")}};
    range.otherwise = 2;
    range.minLevel = 4;
    Setting& run = b.add(kFigaro, QStringLiteral("run_time"), QStringLiteral("Figaro Run [Hrs]"),
                         Kind::Reading, {QStringLiteral("figaroRun")});
    run.read = {at(word, 4, 4)};
}

struct PumpKeys {
    char letter;
    int board;
    quint16 base; // request word of the flow record
    quint16 step; // between the pump's records
    int scale;
};

void pump(Builder& b, const PumpKeys& k) {
    const QString P = QString(QLatin1Char(k.letter));
    const QString p = P.toLower();
    const QByteArray tab = "Tab_Pump" + P.toLatin1();
    const QByteArray title = "Pump " + P.toLatin1();
    const QByteArray key = "pump" + p.toLatin1();
    const Page page{tab.constData(), title.constData(), key.constData(), k.board};
    const QString w = QStringLiteral("pump") + P;
    const bool sorbent = k.scale == 100;
    auto word = [&](int record) { return quint16(k.base + k.step * record); };

    Setting& flow = b.add(page, QStringLiteral("flow_rate"),
                          sorbent ? QStringLiteral("Sampling Volumetric Flow [mLPM]")
                                  : QStringLiteral("Sampling Volumetric Flow [LPM]"),
                          Kind::Decimal, {w + QStringLiteral("FlowRate")});
    flow.read = {at(word(0), 3, 2)};
    flow.write = {at(word(0), 2, 2)};
    flow.scale = k.scale;
    flow.decimals = sorbent ? 2 : 3;
    flow.maximum = 99.99;
    flow.unit = sorbent ? QStringLiteral("mL/min") : QStringLiteral("L/min");
    Setting& limit = b.add(page, QStringLiteral("flow_limit"), QStringLiteral("Flow Limit"),
                           Kind::Reading, {w + QStringLiteral("FlowRate")});
    limit.read = {at(word(0), 5, 2)};
    limit.scale = flow.scale;
    limit.decimals = flow.decimals;

    Setting& cartridge =
        b.add(page, QStringLiteral("cartridge_id"),
              sorbent ? QStringLiteral("Sorbent ID") : QStringLiteral("Cartridge ID"), Kind::Text,
              {w + QStringLiteral("CartID")});
    cartridge.read = {at(word(1), 2, 15)};
    cartridge.write = {at(word(1), 6, 15)};
    cartridge.perInstrument = true;
    Setting& stamp =
        b.add(page, QStringLiteral("cartridge_installed"),
              sorbent ? QStringLiteral("Sorbent Installed") : QStringLiteral("Cartridge Installed"),
              Kind::Reading, {w + QStringLiteral("Install")});
    stamp.read = {at(word(2), 2, 4)};
    stamp.write = {};
    stamp.form = Setting::Form::InstallText;
    // The install stamp a write of a new cartridge carries is the computer's
    // time then, not a setting.
    Setting& written =
        b.add(page, QStringLiteral("cartridge_stamp"),
              QStringLiteral("Install stamp of a new cartridge"), Kind::Reserved, {});
    written.write = {at(word(1), 2, 4)};
    for (const auto& [name, caption, control, record] :
         {std::tuple{"run_time", "Run Time [Hrs]", "Run", 3},
          std::tuple{"pumped_volume", "Pumped Volume", "Volume", 4}}) {
        Setting& r =
            b.add(page, QLatin1String(name),
                  QLatin1String(caption) +
                      (record == 4 ? (sorbent ? QStringLiteral(" [mL]") : QStringLiteral(" [L]"))
                                   : QString()),
                  Kind::Reading, {w + QLatin1String(control)});
        r.read = {at(word(record), 2, 4)};
    }

    Setting& start =
        b.add(page, QStringLiteral("start"), QStringLiteral("Start Pumping"), Kind::PumpStart,
              {w + QStringLiteral("Start"), w + QStringLiteral("SampleStart"),
               w + QStringLiteral("DelayedStart"), w + QStringLiteral("SpecificDateTime"),
               w + QStringLiteral("DelayDays"), w + QStringLiteral("DelayHours"),
               w + QStringLiteral("DelayMinutes"), w + QStringLiteral("StartDateTime")});
    Builder::same(start, at(word(5), 2, 2));
    Builder::same(start, at(word(5), 4, 1));
    Builder::same(start, at(word(5), 5, 1));
    Builder::same(start, at(word(5), 6, 4));
    start.choices = {{0, QStringLiteral("At Sample Start")},
                     {1, QStringLiteral("Delayed Start")},
                     {2, QStringLiteral("At Specific UTC Date/Time")}};
    start.maximum = 300;
    start.minLevel = 2;

    Setting& span =
        b.add(page, QStringLiteral("duration"), QStringLiteral("Pumping Duration"), Kind::PumpSpan,
              {w + QStringLiteral("Duration"), w + QStringLiteral("FullSample"),
               w + QStringLiteral("PartialSample"), w + QStringLiteral("DurationDays"),
               w + QStringLiteral("DurationHours"), w + QStringLiteral("DurationMinutes")});
    Builder::same(span, at(word(6), 2, 2));
    Builder::same(span, at(word(6), 4, 1));
    Builder::same(span, at(word(6), 5, 1));
    span.choices = {{0, QStringLiteral("Full Sample")}, {1, QStringLiteral("Shorter Than Sample")}};
    span.maximum = 300;
    span.minLevel = 2;

    if (sorbent)
        return;
    b.logging(
        page, k.letter == 'A' ? 0x8002 : 0x8004,
        bitsOf(w + QStringLiteral("Log"),
               {QStringLiteral("VSUPPLY"), QStringLiteral("3V3"), QStringLiteral("PUMPS"),
                QStringLiteral("RDAC"), QStringLiteral("VBOOST"), QStringLiteral("VOMRON"),
                QStringLiteral("VFLOW"), QStringLiteral("IBMP581P"), QStringLiteral("IBMP581T"),
                QStringLiteral("XBMP581P"), QStringLiteral("XBMP581T"), QStringLiteral("FlowM"),
                QStringLiteral("FlowV"), QStringLiteral("PumpVol"), QStringLiteral("CartTotal"),
                QStringLiteral("CartSample"), QStringLiteral("Atmo")}));
}

// Pumps C and D share one logging word: five bits with a box on each page,
// and each pump's own quantities (Pump D's first).
void sorbentLogging(Builder& b) {
    const QStringList own = {
        QStringLiteral("RDAC"),      QStringLiteral("VBOOST"),    QStringLiteral("VOMRON"),
        QStringLiteral("VFLOW"),     QStringLiteral("BMP581P"),   QStringLiteral("BMP581T"),
        QStringLiteral("FlowM"),     QStringLiteral("FlowV"),     QStringLiteral("PumpVol"),
        QStringLiteral("CartTotal"), QStringLiteral("CartSample")};
    QList<std::pair<int, QStringList>> bits;
    int bit = 0;
    for (const QString& shared : {QStringLiteral("VSUPPLY"), QStringLiteral("3V3"),
                                  QStringLiteral("BMP390P"), QStringLiteral("BMP390T")})
        bits.append(
            {bit++, {QStringLiteral("pumpCLog") + shared, QStringLiteral("pumpDLog") + shared}});
    const Page pumpC{"Tab_PumpC", "Pump C", "pumpc", 5};
    const Page pumpD{"Tab_PumpD", "Pump D", "pumpd", 5};
    const Page shared{"Tab_PumpC", "Pump C", "pumpscd", 5};
    bits.append({26, {QStringLiteral("pumpCLogAtmo"), QStringLiteral("pumpDLogAtmo")}});
    quint32 used = b.bitsWithBoxes(shared, 0xC001, bits);
    used |= b.bitsWithBoxes(pumpD, 0xC001, bitsOf(QStringLiteral("pumpDLog"), own, 4));
    used |= b.bitsWithBoxes(pumpC, 0xC001, bitsOf(QStringLiteral("pumpCLog"), own, 15));
    b.unusedBits(shared, 0xC001, used);
}

QList<Setting> buildCatalogue() {
    Builder b;
    mainBoard(b);
    gasBoard(b);
    alphasense(b);
    figaro(b);
    pump(b, {'A', 3, 0x8012, 0x10, 1000});
    pump(b, {'B', 4, 0x8014, 0x10, 1000});
    pump(b, {'C', 5, 0xC201, 0x10, 100});
    pump(b, {'D', 5, 0xC101, 0x10, 100});
    sorbentLogging(b);
    return b.list;
}

// ---- values ---------------------------------------------------------------------

int lowestBit(quint32 mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

quint32 wholeMask(int width) {
    return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

const ConfigImage* recordOf(const RecordSet& records, const FieldPos& f) {
    const auto it = records.constFind(f.word);
    return it == records.cend() ? nullptr : &it.value();
}

std::optional<quint32> valueAt(const RecordSet& records, const FieldPos& f) {
    const ConfigImage* record = recordOf(records, f);
    return record ? fieldValue(*record, f) : std::nullopt;
}

QString choiceText(const Setting& s, quint32 code) {
    for (const SettingChoice& c : s.choices) {
        if (c.code == code)
            return c.text;
    }
    return QString();
}

bool hasChoice(const Setting& s, quint32 code) {
    return std::any_of(s.choices.cbegin(), s.choices.cend(),
                       [code](const SettingChoice& c) { return c.code == code; });
}

QString dateText(const ConfigImage& record, int offset) {
    const QDateTime dt = record.readPackedDateTime(offset);
    // A pattern that is no date shows as the form's default date.
    return dateTimeText(dt.isValid() ? dt : defaultDateTime());
}

std::optional<QString> readingText(const Setting& s, const RecordSet& records) {
    const FieldPos& f = s.read.first();
    const ConfigImage* r = recordOf(records, f);
    if (!r)
        return std::nullopt;
    switch (s.form) {
    case Setting::Form::Text:
        return r->readText(f.at);
    case Setting::Form::HexSerial:
        return r->readHexSerial(f.at);
    case Setting::Form::InstallText:
        return r->readInstallText(f.at);
    case Setting::Form::Clock: {
        const QDateTime dt = r->readClockDateTime(f.at);
        // As the RTC field shows it.
        return dt.isValid() ? dt.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss")) : QString();
    }
    case Setting::Form::Decimal:
        break;
    }
    const quint32 raw = f.width == 2 ? r->readU16(f.at) : r->readU32(f.at);
    return s.scale > 1 ? decimalText(double(raw) / s.scale, s.decimals) : QString::number(raw);
}

} // namespace

const QList<Setting>& settingCatalogue() {
    static const QList<Setting> catalogue = buildCatalogue();
    return catalogue;
}

namespace {

// The catalogue positions of each key's entries, in catalogue order.
QList<int> entriesOf(const QString& key) {
    static const QHash<QString, QList<int>> index = [] {
        QHash<QString, QList<int>> keys;
        const QList<Setting>& all = settingCatalogue();
        for (int i = 0; i < all.size(); ++i)
            keys[all[i].key].append(i);
        return keys;
    }();
    return index.value(key);
}

} // namespace

const Setting* findSetting(const QString& key) {
    const QList<int> entries = entriesOf(key);
    return entries.isEmpty() ? nullptr : &settingCatalogue()[entries.first()];
}

const Setting* findSetting(const QString& key, int level) {
    for (const int i : entriesOf(key)) {
        if (settingCatalogue()[i].hasLevel(level))
            return &settingCatalogue()[i];
    }
    return nullptr;
}

std::optional<quint32> fieldValue(const ConfigImage& image, const FieldPos& field) {
    if (field.width > 4 || !image.holds(field.at, field.width))
        return std::nullopt;
    quint32 v = 0;
    for (int i = 0; i < field.width; ++i)
        v = v << 8 | image.bytes[size_t(field.at + i)];
    const quint32 mask = field.mask ? field.mask : wholeMask(field.width);
    return (v & mask) >> lowestBit(mask);
}

void setFieldValue(ConfigImage& image, const FieldPos& field, quint32 value) {
    if (field.width > 4 || field.at + field.width > kImageCapacity)
        return;
    image.length = quint16(std::max<int>(image.length, field.at + field.width));
    quint32 v = 0;
    for (int i = 0; i < field.width; ++i)
        v = v << 8 | image.bytes[size_t(field.at + i)];
    const quint32 mask = field.mask ? field.mask : wholeMask(field.width);
    v = (v & ~mask) | ((value << lowestBit(mask)) & mask);
    for (int i = field.width - 1; i >= 0; --i, v >>= 8)
        image.bytes[size_t(field.at + i)] = quint8(v);
}

bool copyField(const ConfigImage& from, const FieldPos& source, ConfigImage& to,
               const FieldPos& target) {
    if (source.width <= 4 && target.width <= 4) {
        const std::optional<quint32> v = fieldValue(from, source);
        if (v)
            setFieldValue(to, target, *v);
        return v.has_value();
    }
    // Texts: what the source holds, zero bytes after it.
    if (source.at >= from.length || target.at + target.width > kImageCapacity)
        return false;
    const int available = std::min<int>(source.width, from.length - source.at);
    for (int i = 0; i < target.width; ++i)
        to.bytes[size_t(target.at + i)] = i < available ? from.bytes[size_t(source.at + i)] : 0;
    to.length = quint16(std::max<int>(to.length, target.at + target.width));
    return true;
}

quint32 toWritten(Conversion conversion, quint32 readValue) {
    switch (conversion) {
    case Conversion::AlphasenseMode:
        return readValue == 2 ? 1 : 0;
    case Conversion::Algorithm:
        return readValue <= 7 ? readValue : 0;
    case Conversion::None:
        break;
    }
    return readValue;
}

quint32 toRead(Conversion conversion, quint32 writtenValue) {
    return conversion == Conversion::AlphasenseMode ? (writtenValue ? 2 : 1) : writtenValue;
}

bool storableText(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c >= QChar(0x20) && c <= QChar(0x7E)) || (c >= QChar(0xA0) && c <= QChar(0xFF));
    });
}

QString switchText(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString spanText(int days, int hours, int minutes) {
    return QStringLiteral("%1 d %2 h %3 min").arg(days).arg(hours).arg(minutes);
}

QString dateTimeText(const QDateTime& utc) {
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm")) + QStringLiteral(" UTC");
}

QString decimalText(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

std::optional<QString> instrumentText(const Setting& s, const RecordSet& records) {
    if (s.kind == Kind::Reading)
        return readingText(s, records);
    if (s.read.isEmpty())
        return std::nullopt;
    QList<quint32> v;
    for (const FieldPos& f : s.read) {
        const std::optional<quint32> value = valueAt(records, f);
        if (!value && s.kind != Kind::Text)
            return std::nullopt;
        v.append(value.value_or(0));
    }
    const ConfigImage* record = recordOf(records, s.read.first());
    switch (s.kind) {
    case Kind::Bit:
        return switchText(v[0] != 0);
    case Kind::Switch:
        if (v[0] != s.onCode && v[0] != (s.onCode == 2 ? 1u : 0u))
            return QString::number(v[0]);
        return switchText(v[0] == s.onCode);
    case Kind::Choice:
        if (s.conversion == Conversion::Algorithm)
            return v[0] <= 4 ? choiceText(s, v[0]) : QString::number(v[0]);
        return hasChoice(s, v[0]) ? choiceText(s, v[0]) : QString::number(v[0]);
    case Kind::Integer:
        return QString::number(qint64(v[0]));
    case Kind::Decimal:
        return decimalText((double(v[0]) - s.offset) / s.scale, s.decimals);
    case Kind::Text:
        if (!record)
            return std::nullopt;
        return record->readText(s.read.first().at);
    case Kind::SampleStart: {
        const quint32 mode = v[0];
        if (mode == 1 || mode == 2)
            return choiceText(s, mode) +
                   (v[1] == 0 ? QString() : QStringLiteral(" (date word %1)").arg(v[1]));
        const QString date = dateText(*record, s.read[1].at);
        return (mode == 3 ? QStringLiteral("mode 3, ") : choiceText(s, 0) + QLatin1Char(' ')) +
               date;
    }
    case Kind::Span:
        return spanText(int(v[0]), int(v[1]), int(v[2]));
    case Kind::PumpStart: {
        if (v[0] || v[1] || v[2]) {
            QString text =
                choiceText(s, 1) + QLatin1Char(' ') + spanText(int(v[0]), int(v[1]), int(v[2]));
            if (v[3])
                text +=
                    QStringLiteral(" (and ") + dateText(*record, s.read[3].at) + QLatin1Char(')');
            return text;
        }
        if (v[3])
            return choiceText(s, 2) + QLatin1Char(' ') + dateText(*record, s.read[3].at);
        return choiceText(s, 0);
    }
    case Kind::PumpSpan:
        if (!v[0] && !v[1] && !v[2])
            return choiceText(s, 0);
        return choiceText(s, 1) + QLatin1Char(' ') + spanText(int(v[0]), int(v[1]), int(v[2]));
    case Kind::Reserved:
        return QStringLiteral("0x%1").arg(v[0], 0, 16);
    case Kind::Reading:
        break;
    }
    return std::nullopt;
}

} // namespace kvx
