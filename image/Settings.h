// The catalogue of settings: every value the instrument holds that the form
// shows or writes, named once. The write's "kept as on the instrument" rule,
// the change list, the marks on the form and configuration files all work
// from this one list.
//
// A setting is everything that carries one meaning: a check box's bit, a
// combo box's code, a pump's start choice with its delay and its date. Each
// names where the instrument keeps it in the records a read receives and
// where a write puts it, how the form shows it, which boards and firmware
// levels have it and which controls (by object name) show it. Values only the
// instrument sets (serial numbers, run times, stamps) are entries too, marked
// as the instrument's own: they are never written. Bits of a written record
// that no control shows are entries of their own, reserved: a write always
// sends them as the instrument holds them.
//
// Depends on Qt Core only.
#pragma once

#include "image/ConfigImage.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kvx {

enum class SettingKind {
    Bit,     // one bit of a logging word: a check box (two for the shared bits of Pumps C and D)
    Switch,  // a check box whose code `onCode` means checked
    Choice,  // a combo box, or radio buttons (one control per choice, in order)
    Integer, // a spin box
    Decimal, // a decimal spin box: the raw number divided by `scale` (less `offset`)
    Text,    // a line edit
    SampleStart, // start mode (every / next power-on, specific time) with its date
    Span,        // days, hours, minutes
    PumpStart,   // with the sample, after a delay, or at a specific time
    PumpSpan,    // the whole sample, or days, hours, minutes
    Reserved,    // bits no control shows: always written as the instrument holds them
    Reading,     // the instrument's own value: never written, never taken from a file
};

// A field of a record: `width` bytes big-endian at `at`; for up to four bytes
// `mask` picks the bits of the field that belong to the setting (0: all).
// Wider fields (texts) are moved byte for byte.
struct FieldPos {
    quint16 word = 0;
    int at = 0;
    int width = 0;
    quint32 mask = 0;
};

// How a value read under one layout is written under another.
enum class Conversion {
    None,
    AlphasenseMode, // read: 1 off, 2 on (0 not fitted); written: bit 0 set when on
    Algorithm,      // read: 4-bit NO2 algorithm code; written: 3 bits, codes above 7 as 0
};

struct SettingChoice {
    quint32 code;
    QString text;
};

struct Setting {
    QString key;     // stable, lower case, dotted: the key of configuration files
    QString tab;     // object name of the page ("Tab_Main")
    QString page;    // the page's title ("Mainboard")
    QString caption; // as the form shows it
    SettingKind kind = SettingKind::Reading;
    // The fields the setting takes, as the instrument's answers hold them and
    // as a write sends them; the two lists pair up. `write` is empty for the
    // instrument's own values.
    QList<FieldPos> read;
    QList<FieldPos> write;
    Conversion conversion = Conversion::None;
    QStringList controls; // object names; the first decides whether it is written
    // Choice: the codes and the form's words for them; `otherwise` is the
    // choice a code without one shows (-1: none, the box is blank).
    QList<SettingChoice> choices;
    int otherwise = -1;
    quint32 onCode = 1; // Switch
    // Integer and Decimal: the range the control allows; Decimal: the raw
    // number is value * scale + offset, shown with `decimals` digits.
    double minimum = 0;
    double maximum = 0;
    int scale = 1;
    int offset = 0;
    int decimals = 0;
    QString unit;     // for files and documentation; captions carry their own
    int board = 0;    // board kind: 1 main, 2 gas, 3 Pump A, 4 Pump B, 5 Pumps C and D
    int minLevel = 0; // firmware levels that have the setting
    int maxLevel = 0xFFFF;
    bool perInstrument = false; // the sample ID, cartridge and sorbent IDs
    // Reading: how the instrument's answer holds it.
    enum class Form { Decimal, Text, HexSerial, InstallText, Clock } form = Form::Decimal;

    bool written() const { return !write.isEmpty(); }
    bool hasLevel(int level) const { return level >= minLevel && level <= maxLevel; }
};

// Every entry, in the form's order. A key names one stored setting: where the
// form shows it on another page from some firmware level on, it has one entry
// per range of levels (the Alphasense enables: the Gas page at level 0, their
// own page later), with the same fields and words and levels that do not
// overlap.
const QList<Setting>& settingCatalogue();
// The first entry of `key`; null for a key the catalogue lacks.
const Setting* findSetting(const QString& key);
// The entry of `key` that firmware level `level` has; null when none has it.
const Setting* findSetting(const QString& key, int level);

// The records as the instrument holds them, by request word, in the layout a
// read receives them.
using RecordSet = QHash<quint16, ConfigImage>;

// The value of a field of up to four bytes: its masked bits shifted down.
// nullopt when the record does not hold the field.
std::optional<quint32> fieldValue(const ConfigImage& image, const FieldPos& field);
// Puts `value` into the field's masked bits; the image grows to hold it.
void setFieldValue(ConfigImage& image, const FieldPos& field, quint32 value);
// Copies a field of any width from one record to another (a text shorter
// than the target is followed by zero bytes); false when `from` does not hold
// it.
bool copyField(const ConfigImage& from, const FieldPos& source, ConfigImage& to,
               const FieldPos& target);

// Converts a value read under `read` for writing, and back.
quint32 toWritten(Conversion conversion, quint32 readValue);
quint32 toRead(Conversion conversion, quint32 writtenValue);

// The setting as the instrument holds it, in the form's words where the form
// has words for it, as the raw number where it has none ("10" for a logging
// interval the list lacks). nullopt when the records lack the setting.
std::optional<QString> instrumentText(const Setting& setting, const RecordSet& records);

// What the instrument can store of a text: printable Latin-1 characters (it
// keeps one byte a character; a zero byte ends the text). As the body of a
// character class for both QRegularExpression and JSON Schema (the two ends
// of each range are the characters themselves), and as a whole text.
inline const QString kStorableCharacters =
    QStringLiteral(" -~") + QChar(0xA0) + QLatin1Char('-') + QChar(0xFF);
inline const QString kStorableTextPattern = QStringLiteral("^[%1]*$").arg(kStorableCharacters);
bool storableText(const QString& text);

// The form's words for values the form side builds too.
QString switchText(bool on);
QString spanText(int days, int hours, int minutes);
QString dateTimeText(const QDateTime& utc);
QString decimalText(double value, int decimals);

} // namespace kvx
