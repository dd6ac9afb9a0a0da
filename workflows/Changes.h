// What the next Write would change on the instrument, setting by setting.
//
// The instrument's values are the records the last read received, brought up
// to date by every write the instrument confirmed (readBack.records). A
// setting counts as edited when the form shows it differently from how the
// form would show the instrument's value now; an edited setting goes out
// wholly as the form shows it, an unedited one exactly as the instrument holds
// it, so that a value the form cannot show (an unlisted interval, a code
// beyond a list, a number beyond a spin box's range, unused bits) survives an
// unedited write. The change list, the marks on the form and the count in the
// status bar come from the same test.
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
    // As the form would show the instrument's value (`shown`), or as it truly
    // is; nullopt when the instrument's records lack it.
    std::optional<QString> instrumentText(const Setting& setting, bool shown) const;
    bool edited(const Setting& setting) const;

    // The settings the next Write would store differently, in catalogue order.
    QList<SettingChange> changes() const;
    // Values a write keeps as the instrument holds them because the form
    // cannot show them ("Logging Interval [seconds] 10").
    QStringList keptAsOnInstrument() const;

    // The write rule for one record built from the form: every setting of it
    // that is not edited goes out as the instrument holds it.
    void keepUnedited(ConfigImage& request) const;
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
    void watch(QWidget* control);
    void mark(QWidget* control, bool on);

    KVX_Configurator& w;
    QHash<QString, QWidget*> controls;
    QTimer pending;
    QPointer<QLabel> label;
    QSet<QWidget*> marked;
    QIcon marker;
    int changeCount = 0;
};

} // namespace kvx
