// Helpers for running the configurator against a misbehaving instrument: the
// command lines the instrument saw, a snapshot of every value on the board
// pages and the checks of the disconnected phase.
#pragma once

#include "app/KVX_Configurator.h"
#include "image/ConfigImage.h"
#include "link/LinkConstants.h"
#include "sim/Instrument.h"
#include "tests/support/SimRig.h"
#include "ui_KVX_Configurator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace kvx::test {

// The command line a cfg_get of `word` goes out as (without the carriage return).
inline QString getLine(quint16 word) {
    ConfigImage image;
    image.resetRequest(word);
    image.finishRequest();
    return QString::fromLatin1(requestLine(image, kCfgGet)).chopped(1);
}

inline const QString kResetLine = QStringLiteral("\x1b"
                                                 "c");
inline const QString kBoardLine = QStringLiteral("show_boards_cal");
inline const QString kMenuLine = QStringLiteral("menu");

// The lines the instrument received, in order.
inline QStringList sentLines(const SimRig& rig) {
    return rig.instrument->log().commandLines();
}

// `lines` with every run of equal neighbours folded into one line.
inline QStringList foldRepeats(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines) {
        if (out.isEmpty() || out.last() != line)
            out << line;
    }
    return out;
}

// How often `line` occurs in `lines`.
inline int countOf(const QStringList& lines, const QString& line) {
    return int(lines.count(line));
}

// The value and enabled state of every input control on the board pages (the
// connection and Debug tabs left out), keyed by object name. The clock texts
// follow the instrument's running clock and are left out as well.
inline QMap<QString, QString> formValues(KVX_Configurator& w) {
    QMap<QString, QString> values;
    QWidget* pages[] = {w.ui->Tab_Main,  w.ui->Tab_Gas,   w.ui->Tab_Alphasense, w.ui->Tab_Figaro,
                        w.ui->Tab_PumpA, w.ui->Tab_PumpB, w.ui->Tab_PumpC,      w.ui->Tab_PumpD};
    for (QWidget* page : pages) {
        const auto widgets = page->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            const QString name = widget->objectName();
            if (name.isEmpty() || name == QLatin1String("utcText") ||
                name == QLatin1String("localText") || name.startsWith(QLatin1String("qt_")))
                continue;
            QString value;
            if (auto* edit = qobject_cast<QLineEdit*>(widget))
                value = edit->text();
            else if (auto* box = qobject_cast<QDoubleSpinBox*>(widget))
                value = QString::number(box->value(), 'f', box->decimals());
            else if (auto* spin = qobject_cast<QSpinBox*>(widget))
                value = QString::number(spin->value());
            else if (auto* when = qobject_cast<QDateTimeEdit*>(widget))
                value = when->dateTime().toString(Qt::ISODate);
            else if (auto* combo = qobject_cast<QComboBox*>(widget))
                value = QString::number(combo->currentIndex());
            else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                     button && button->isCheckable())
                value = button->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
            else
                continue;
            values.insert(name, value + (widget->isEnabledTo(page) ? "" : " (disabled)"));
        }
    }
    return values;
}

// The differences between two snapshots, one line each, for failure messages.
inline QString differences(const QMap<QString, QString>& want, const QMap<QString, QString>& got) {
    QStringList out;
    for (auto it = want.begin(); it != want.end(); ++it) {
        if (got.value(it.key()) != it.value())
            out << QStringLiteral("%1: want '%2', got '%3'")
                       .arg(it.key(), it.value(), got.value(it.key()));
    }
    return out.join(QLatin1Char('\n'));
}

// What is wrong with the window if it is not in the disconnected phase with
// the Ready page showing (empty when everything is as it should be). Call it
// after the tick that follows the reset, which shows the page.
inline QString disconnectedProblems(KVX_Configurator& w) {
    QStringList out;
    auto need = [&out](bool ok, const char* what) {
        if (!ok)
            out << QString::fromLatin1(what);
    };
    Ui_KVX_Configurator& ui = *w.ui;
    need(w.linkStep == LinkNone, "link step is not 1000");
    need(!w.serialPort->isOpen(), "port still open");
    need(ui.configurationOutputBox->toPlainText().startsWith("Ready to Connect to KVXv2"),
         "Ready page not shown");
    need(ui.kvxComList->isEnabled(), "port list disabled");
    need(ui.kvxConnect->isEnabled() && !ui.kvxConnect->isHidden(), "Connect not usable");
    need(ui.kvxDisconnect->isHidden(), "Disconnect shown");
    need(ui.kvxWrite->isHidden() && ui.kvxRead->isHidden(), "Write/Read shown");
    need(ui.configuratorTabs->count() == 1, "board pages still in the tab row");
    QWidget* pages[] = {ui.Tab_Main,  ui.Tab_Gas,   ui.Tab_Alphasense, ui.Tab_Figaro,
                        ui.Tab_PumpA, ui.Tab_PumpB, ui.Tab_PumpC,      ui.Tab_PumpD};
    for (QWidget* page : pages)
        need(!page->isEnabled(), "a board page is still enabled");
    QLineEdit* ids[] = {ui.kvxIDBox, ui.gasIDBox, ui.pumpAIDBox, ui.pumpBIDBox, ui.pumpsCDIDBox};
    for (QLineEdit* id : ids)
        need(id->isHidden() && id->text().isEmpty(), "an ID row is still shown or filled");
    return out.join(QStringLiteral("; "));
}

// What a read left on the board pages after they were cleared (empty when
// nothing): a checked or disabled logging box, a filled sensor or pump text.
// The sample ID, the clock texts and the Alphasense type texts are not cleared,
// nor is the Figaro page, which is never enabled and so never cleared.
inline QString leftoverProblems(KVX_Configurator& w) {
    QStringList out;
    QWidget* pages[] = {w.ui->Tab_Main,  w.ui->Tab_Gas,   w.ui->Tab_Alphasense, w.ui->Tab_PumpA,
                        w.ui->Tab_PumpB, w.ui->Tab_PumpC, w.ui->Tab_PumpD};
    const QStringList kept = {"sampleID", "utcText", "localText", "as1Type",
                              "as2Type",  "as3Type", "as4Type"};
    for (QWidget* page : pages) {
        for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
            if (box->objectName().contains(QLatin1String("Log")) &&
                (box->isChecked() || !box->isEnabledTo(page)))
                out << box->objectName();
        }
        for (QLineEdit* edit : page->findChildren<QLineEdit*>()) {
            const QString name = edit->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || kept.contains(name))
                continue;
            if (!edit->text().isEmpty())
                out << edit->objectName();
        }
    }
    return out.join(QStringLiteral(", "));
}

// Runs until the link has fallen back (step 1000), then one more tick so that
// the Ready page is up. Returns the fake time at which the link fell back, or
// -1 when it did not within `maxTicks`.
inline qint64 runUntilFallenBack(SimRig& rig, int maxTicks = 20000) {
    if (!rig.tickUntil([&] { return rig.w().linkStep == LinkNone; }, maxTicks))
        return -1;
    const qint64 at = rig.now();
    rig.tick();
    return at;
}

// When the instrument received its `n`-th command line (from 1), -1 if never.
inline qint64 commandTime(const SimRig& rig, int n) {
    int seen = 0;
    for (const QJsonObject& e : rig.instrument->log().entries()) {
        if (e.value("event").toString() == QLatin1String("command") && ++seen == n)
            return qint64(e.value("t").toDouble());
    }
    return -1;
}

} // namespace kvx::test
