// Configuration files (.kvxcfg): a copy of what the next Write would store,
// kept on the computer, and the way back into the form.
//
// A file is JSON: the format's name and version, for reference the instrument
// it was saved from (board identifiers, firmware level), the time of saving
// and the program, and the settings by their catalogue keys, each in the
// form's own words and units (docs/configuration-file.md). Opening checks the
// whole file first and then sets the form as the operator would, so that the
// interlocks act and the change list shows what differs from the instrument;
// nothing goes to the instrument before Write.
#pragma once

#include "image/Settings.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <optional>

class KVX_Configurator;

namespace kvx {

constexpr int kConfigFileVersion = 1;
inline const QString kConfigFileFormat = QStringLiteral("kvxcfg");
inline const QString kConfigFileSuffix = QStringLiteral("kvxcfg");
// The name of the schema of this version (its `$id`), which a file may name
// as its `$schema`.
inline const QString kConfigSchemaId =
    QStringLiteral("https://kvxv2.org/schemas/kvxcfg-1.schema.json");

// A setting's value in a file, from the form's words for it.
QJsonValue fileValue(const Setting& setting, const QString& words);
// The form's words for a file's value; nullopt, with `problem` saying why,
// when the value has the wrong type or lies beyond what the instrument can
// hold.
std::optional<QString> wordsOf(const Setting& setting, const QJsonValue& value, QString* problem);

// The key of a setting that a file names `key`: the present one for an
// older name, else `key` itself.
QString presentKey(const QString& key);

// The whole file for the window as it is now.
QJsonObject configurationDocument(const KVX_Configurator& window);
// The settings a file carries, in the catalogue's order and the form's words:
// what the next Write would store (`withEdits`), or what the instrument holds
// now, as a file saved without unwritten edits holds them.
QList<std::pair<const Setting*, QString>> fileSettings(const KVX_Configurator& window,
                                                       bool withEdits);
// The same as a file's settings object.
QJsonObject settingsObject(const KVX_Configurator& window, bool withEdits);

// A file read and checked, before anything is taken from it.
struct CheckedConfiguration {
    QString problem;                                  // empty when the file can be opened
    QString mainBoard;                                // the main board identifier it was saved from
    QList<std::pair<const Setting*, QString>> values; // in the form's words
    QStringList unknown;                              // keys this program does not know
    QStringList instrumentOwn;                        // keys of values only the instrument sets
};
CheckedConfiguration checkConfiguration(const QByteArray& bytes);

// Sets a setting's controls to show `words`, as the operator would: check
// boxes and radio buttons are clicked (so the interlocks run), the combo box
// index, spin boxes, line edits and date edits are set.
void applySetting(KVX_Configurator& window, const Setting& setting, const QString& words);

// What opening a checked file did, for the message after it.
struct OpenReport {
    int taken = 0;
    QStringList notFitted; // board not fitted, or the firmware level lacks it
    QStringList sensorOff; // its control is disabled (sensor not fitted)
    QStringList keptOwn;   // sample and cartridge IDs of another instrument
    QStringList adjusted;  // the form could not show the file's value
    QStringList notInFile; // settings the file does not have
    bool anythingToSay() const;
};
OpenReport applyConfiguration(KVX_Configurator& window, const CheckedConfiguration& file);

// Reads and checks the file at `path` as Open does; a file that cannot be
// read, or is too large to be a configuration, is refused like a bad one.
CheckedConfiguration readConfiguration(const QString& path);

// What Open tells the operator once it took a file: the message's text and
// one part for each kind of setting not taken as the file has it (skipped,
// kept, set to the nearest), nothing to say when there are none.
struct OpenMessage {
    struct Part {
        QString summary;      // one sentence
        QString heading;      // of the list in the details
        QStringList settings; // "Page › Caption", or keys
    };
    QString text;
    QList<Part> parts;
};
// Takes a checked file into the form (applyConfiguration), shows the
// status bar's line and words what it did; opens no box.
OpenMessage takeConfiguration(KVX_Configurator& window, const QString& path,
                              const CheckedConfiguration& file);

// The JSON Schema of the files this program opens, every file it saves among
// them (docs/kvxcfg.schema.json).
QJsonObject configurationSchema();

// A message box with an OK button that belongs to the window (gone with it
// if the window goes while it is open).
void tell(KVX_Configurator& window, QMessageBox::Icon icon, const QString& title,
          const QString& text, const QString& informative, const QString& details = QString());

// The File menu: Open Configuration…, Save Configuration As…, Save Record…, Quit.
void addFileMenu(KVX_Configurator& window);

} // namespace kvx
