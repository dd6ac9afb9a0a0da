// What the next Write would change on the instrument, setting by setting.
//
// The instrument's values are the records the last read received, brought up
// to date by every write the instrument confirmed (readBack.records). What the
// form showed of them is captured once the read has filled the form: per
// setting, its words on the form and the state of its controls (values and
// whether they are enabled), as the decoders and the interlocks left them.
// From then on a setting is edited when
//   - the form now says it differently than at the capture (the operator's
//     edit, or an interlock's: a pump falling back to the sample start),
//   - a configuration file set it to a value other than the instrument's, or
//   - the instrument holds a value the form did not show (an unlisted
//     interval, a code beyond a list, a number beyond a spin box's range, a
//     pump's date under a power-on start) and a control of the setting has
//     changed since, or the option of the instrument's value has become
//     usable (or unusable) since (a pump's own start time once the sample
//     starts at a specific time).
// An edited setting goes out wholly as the form shows it, an unedited one
// exactly as the instrument holds it, so that a value the form cannot show
// survives an unedited write. A confirmed write moves the capture of every
// setting it carried to what was sent. The change list, the marks on the
// form and the count in the status bar come from the same test.
#pragma once

#include "image/ConfigImage.h"
#include "image/Settings.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <optional>

class KVX_Configurator;
class QLabel;
class QWidget;

namespace kvx {

struct SettingChange {
    const Setting* setting;
    QString was;
    QString now;
    // "Page › Caption: was → now"
    QString line() const;
};

class ChangeTracker : public QObject {
public:
    explicit ChangeTracker(KVX_Configurator& window);

    // The control named `name` on the form (null for an unknown name).
    QWidget* control(const QString& name) const;
    // The setting belongs to the connected instrument: its page is fitted and
    // its firmware level has it.
    bool applies(const Setting& setting) const;
    // A write takes it from the form: it applies, it is written and its first
    // control is enabled.
    bool editable(const Setting& setting) const;
    // The setting as the form shows it now.
    QString formText(const Setting& setting) const;
    // The setting as the instrument holds it; nullopt when the instrument's
    // records lack it.
    std::optional<QString> instrumentText(const Setting& setting) const;
    // The setting as the form said it when the last read filled it (or the
    // last confirmed write sent it); nullopt before any read.
    std::optional<QString> capturedText(const Setting& setting) const;
    bool edited(const Setting& setting) const;

    // The read has filled the form: what it shows now is the instrument's.
    void capture();
    // No instrument is linked: nothing is known of one.
    void forget();
    // A configuration file set the setting (`on`), or set it back to the
    // value the instrument holds.
    void setFromFile(const Setting& setting, bool on);
    // Sets the setting's controls back to the values the capture holds (from
    // code, as a read does: no interlock runs).
    void restore(const Setting& setting);

    // The settings the next Write would store differently, in catalogue order.
    QList<SettingChange> changes() const;
    // Values a write keeps as the instrument holds them because the form
    // cannot show them ("Logging Interval [seconds] 10").
    QStringList keptAsOnInstrument() const;

    // The write rule for one record built from the form: every setting of it
    // that is not edited goes out as the instrument holds it.
    void keepUnedited(ConfigImage& request) const;
    // `request` is about to be sent: what the form says of the settings it
    // carries becomes their capture once the instrument confirms it.
    void sending(const ConfigImage& request);
    // The instrument confirmed that it stored `request`: from now on that is
    // its value of every setting the record carries.
    void stored(const ConfigImage& request);

    // Works out the marks, the tabs' markers and the count again, once the
    // events now queued are handled.
    void schedule();
    // The same at once.
    void refresh();
    int count() const { return changeCount; }
    QLabel* countLabel() const { return label; }

private:
    // What the form showed of a setting when it was captured.
    struct Capture {
        QString text;           // its words (formText)
        QList<QVariant> values; // each control's value
        QList<bool> enabled;    // and whether it could be used
    };
    Capture captureOf(const Setting& setting) const;
    void watch(QWidget* control);
    void mark(QWidget* control, bool on);

    KVX_Configurator& w;
    QHash<QString, QWidget*> controls;
    QTimer pending;
    QPointer<QLabel> label;
    QSet<QWidget*> marked;
    QIcon marker;
    int changeCount = 0;
    QHash<const Setting*, Capture> captured;
    QSet<const Setting*> fromFile;
    // Captures of records sent and not yet confirmed, by request word.
    QHash<quint16, QHash<const Setting*, Capture>> unconfirmed;
};

} // namespace kvx
