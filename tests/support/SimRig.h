// A configurator window wired in-process to a simulated instrument, both on
// one fake clock, so that a test can run whole connections tick by tick; and
// the checks that tests over either rig share.
#pragma once

#include "app/KVX_Configurator.h"
#include "image/ConfigImage.h"
#include "link/LinkConstants.h"
#include "sim/Instrument.h"
#include "sim/SimSerialDevice.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtWidgets>

#include <functional>
#include <memory>

namespace kvx::test {

constexpr qint64 kSimStart = 1741386600000; // 2025-03-07 22:30:00 UTC

struct SimRig {
    std::shared_ptr<qint64> ms = std::make_shared<qint64>(kSimStart);
    std::shared_ptr<sim::Instrument> instrument;
    sim::SimSerialDevice* device = nullptr; // owned by the window
    std::unique_ptr<KVX_Configurator> window;

    // Builds the instrument from a preset (or a ready configuration) and the
    // window around it; the window's ticker is stopped: tests call tick().
    explicit SimRig(const QString& preset) : SimRig(load(preset)) {}
    explicit SimRig(const sim::InstrumentConfig& config)
        : SimRig(config, [](std::shared_ptr<sim::Instrument> i) {
              return std::make_unique<sim::SimSerialDevice>(std::move(i));
          }) {}
    // The same with the window's device made by `makeDevice` (one that
    // changes what the instrument answers, say).
    using DeviceMaker =
        std::function<std::unique_ptr<sim::SimSerialDevice>(std::shared_ptr<sim::Instrument>)>;
    SimRig(const sim::InstrumentConfig& config, const DeviceMaker& makeDevice)
        : instrument(std::make_shared<sim::Instrument>(config, *ms)) {
        auto dev = makeDevice(instrument);
        dev->setClockSource([clockMs = ms] { return *clockMs; });
        device = dev.get();
        Platform p;
        p.clock = std::make_unique<FakeClock>(ms);
        p.serial = std::move(dev);
        p.ports = std::make_unique<sim::SimPortSource>(QStringList{"ttySIM0"});
        window = std::make_unique<KVX_Configurator>(std::move(p));
        window->ticker->stop();
    }
    // The window says farewell while it goes; the device still answers.
    ~SimRig() { window.reset(); }

    static sim::InstrumentConfig load(const QString& preset) {
        QString error;
        auto config = sim::InstrumentConfig::preset(preset, &error);
        if (!config)
            qFatal("preset %s: %s", qPrintable(preset), qPrintable(error));
        return *config;
    }

    KVX_Configurator& w() { return *window; }
    sim::Instrument& sim() { return *instrument; }
    qint64 now() const { return *ms; }
    // The command lines the instrument received, in order.
    QStringList lines() const { return instrument->log().commandLines(); }
    // Bytes that arrive with the instrument's next output.
    void inject(const QByteArray& bytes) { device->inject(bytes); }
    // Unplugs the instrument and plugs in another on the same port.
    void plug(const sim::InstrumentConfig& config) {
        instrument = std::make_shared<sim::Instrument>(config, *ms);
        device->plug(instrument);
    }
    void setPorts(const QStringList& names) {
        static_cast<sim::SimPortSource*>(window->portSource.get())->setPorts(names);
    }

    // One tick of the configurator, then the clock moves on by a tick.
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            window->UpdateTicker();
            *ms += kTickMs;
        }
    }
    // Ticks until `done` holds or `maxTicks` ran out; true when it holds.
    bool tickUntil(const std::function<bool()>& done, int maxTicks = 20000) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            tick();
        }
        return done();
    }
    // Presses Connect on the simulated port and runs until the session is
    // idle again (initial read finished) or the link fell back.
    bool connect(int maxTicks = 20000) {
        tick();
        window->KVXConnectButtonPressed();
        return settle(maxTicks);
    }
    // Runs until the current workflow has finished (session idle, link idle)
    // or the link fell back.
    bool settle(int maxTicks = 20000) {
        return tickUntil(
                   [this] {
                       return (window->linkStep == LinkIdle && window->sessionState == 0) ||
                              window->linkStep == LinkNone;
                   },
                   maxTicks) &&
               window->linkStep == LinkIdle;
    }
    // Runs until the link has fallen back, then one tick more (the Ready page
    // shows); the fake time of the fall-back, or -1.
    qint64 fallBack(int maxTicks = 20000) {
        if (!tickUntil([this] { return window->linkStep == LinkNone; }, maxTicks))
            return -1;
        const qint64 at = now();
        tick();
        return at;
    }
    // Presses Write and answers every question with Yes.
    void pressWrite() {
        DialogScript yes({}, QMessageBox::Yes);
        window->KVXWriteButtonPressed();
    }

    // The request word of every `command` the instrument received, in order.
    QList<quint16> requestedWords(const QString& command = QStringLiteral("cfg_get")) const {
        QList<quint16> words;
        for (const QString& line : lines()) {
            const QStringList items = line.split(' ', Qt::SkipEmptyParts);
            // crc, data words from last to first, length, command
            if (items.size() >= 4 && items.last() == command)
                words << quint16(items.at(items.size() - 3).toUInt());
        }
        return words;
    }
};

// The command line a cfg_get of `word` goes out as (without the carriage return).
inline QString getLine(quint16 word) {
    ConfigImage image;
    image.resetRequest(word);
    image.finishRequest();
    return QString::fromLatin1(requestLine(image, kCfgGet)).chopped(1);
}

// The value and enabled state of every input on the enabled board pages (the
// Figaro page is never enabled), by object name; the running clock's texts
// left out.
inline QMap<QString, QString> formValues(KVX_Configurator& w) {
    QMap<QString, QString> values;
    for (QWidget* page : {w.ui->Tab_Main, w.ui->Tab_Gas, w.ui->Tab_Alphasense, w.ui->Tab_PumpA,
                          w.ui->Tab_PumpB, w.ui->Tab_PumpC, w.ui->Tab_PumpD}) {
        if (!page->isEnabled())
            continue;
        for (QWidget* widget : page->findChildren<QWidget*>()) {
            const QString name = widget->objectName();
            const char* property = qobject_cast<QLineEdit*>(widget)          ? "text"
                                   : qobject_cast<QDateTimeEdit*>(widget)    ? "dateTime"
                                   : qobject_cast<QAbstractSpinBox*>(widget) ? "value"
                                   : qobject_cast<QComboBox*>(widget)        ? "currentText"
                                   : qobject_cast<QAbstractButton*>(widget)  ? "checked"
                                                                             : nullptr;
            if (property && name != "utcText" && name != "localText" && !name.startsWith("qt_"))
                values.insert(name, widget->property(property).toString() +
                                        (widget->isEnabledTo(page) ? "" : " (disabled)"));
        }
    }
    return values;
}

// The entries of `got` that differ from `want`, for failure messages.
inline QString differences(const QMap<QString, QString>& want, const QMap<QString, QString>& got) {
    QStringList out;
    for (auto it = want.begin(); it != want.end(); ++it) {
        if (got.value(it.key()) != it.value())
            out << it.key() + ": " + it.value() + " -> " + got.value(it.key());
    }
    return out.join('\n');
}

// What is wrong with the window if it is not back in the disconnected phase,
// Ready page up, every page cleared and out of the tab row (empty if nothing).
// The sample ID, the clock and the Alphasense types are not cleared; the
// Figaro page is never enabled, so never cleared either.
inline QString fallenBackProblems(KVX_Configurator& w) {
    QStringList out;
    const Ui_KVX_Configurator& ui = *w.ui;
    if (w.linkStep != LinkNone || w.serialPort->isOpen())
        out << "link still up";
    if (!ui.configurationOutputBox->toPlainText().startsWith("Ready to Connect to KVXv2"))
        out << "no Ready page";
    if (!ui.kvxComList->isEnabled() || ui.kvxConnect->isHidden() || !ui.kvxDisconnect->isHidden() ||
        !ui.kvxWrite->isHidden() || !ui.kvxRead->isHidden() || ui.configuratorTabs->count() != 1)
        out << "connection widgets or tabs not reset";
    for (QLineEdit* id : {ui.kvxIDBox, ui.gasIDBox, ui.pumpAIDBox, ui.pumpBIDBox, ui.pumpsCDIDBox})
        if (!id->isHidden() || !id->text().isEmpty())
            out << id->objectName();
    const QStringList kept = {"sampleID", "utcText", "localText", "as1Type",
                              "as2Type",  "as3Type", "as4Type"};
    if (ui.Tab_Figaro->isEnabled())
        out << "Tab_Figaro";
    for (QWidget* page : {ui.Tab_Main, ui.Tab_Gas, ui.Tab_Alphasense, ui.Tab_PumpA, ui.Tab_PumpB,
                          ui.Tab_PumpC, ui.Tab_PumpD}) {
        if (page->isEnabled())
            out << page->objectName();
        for (QCheckBox* box : page->findChildren<QCheckBox*>())
            if (box->objectName().contains("Log") && (box->isChecked() || !box->isEnabledTo(page)))
                out << box->objectName();
        for (QLineEdit* edit : page->findChildren<QLineEdit*>())
            if (!edit->text().isEmpty() && !kept.contains(edit->objectName()) &&
                !edit->objectName().startsWith("qt_"))
                out << edit->objectName();
    }
    return out.join(", ");
}

// Applies blank-separated edits to the window's controls: "name" (a click),
// "name=value" (text or number), "name#index" and "name@ISO date-time".
inline void applyEdits(KVX_Configurator& w, const QString& edits) {
    for (const QString& e : edits.split(' ', Qt::SkipEmptyParts)) {
        const QString name = e.section(QRegularExpression("[=#@]"), 0, 0);
        const QString value = e.mid(name.size() + 1);
        QWidget* widget = w.findChild<QWidget*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        if (auto* text = qobject_cast<QLineEdit*>(widget))
            text->setText(value);
        else if (auto* number = qobject_cast<QDoubleSpinBox*>(widget))
            number->setValue(value.toDouble());
        else if (auto* count = qobject_cast<QSpinBox*>(widget))
            count->setValue(value.toInt());
        else if (auto* when = qobject_cast<QDateTimeEdit*>(widget))
            when->setDateTime(QDateTime::fromString(value, Qt::ISODate));
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            combo->setCurrentIndex(value.toInt());
        else
            qobject_cast<QAbstractButton*>(widget)->click();
    }
}

} // namespace kvx::test
