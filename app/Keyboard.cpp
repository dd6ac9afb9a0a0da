#include "app/Keyboard.h"

#include "app/KVX_Configurator.h"
#include "image/Settings.h"
#include "ui_KVX_Configurator.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace kvx {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("Keyboard", text);
}

// ---- reading order ------------------------------------------------------------

// A control that takes the focus. Radio buttons of one group take it by Tab
// only one at a time (the one last focused; the arrow keys move among them),
// but each has its place in the order.
bool tabStop(const QWidget* w) {
    return w->focusPolicy() != Qt::NoFocus && !w->objectName().startsWith(QLatin1String("qt_"));
}

// One item of a row: a control, or a group with its controls in order.
struct Item {
    QRect rect;
    QList<QWidget*> controls;
};

// ---- captions and names -----------------------------------------------------------

// A field that shows no text of its own and so takes a caption label's.
bool takesCaption(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QTextEdit*>(w);
}

// A left-aligned caption stands at most this far above its field.
constexpr int kCaptionAbove = 24;

// The field a caption label names: a right-aligned caption the nearest field
// to its right whose middle lies on its line; a left-aligned one the nearest
// field starting just below it, under it.
QWidget* fieldOf(const QLabel* label) {
    const QRect r = label->geometry();
    const bool beside = (label->alignment() & Qt::AlignRight) != 0;
    QWidget* best = nullptr;
    int bestGap = INT_MAX;
    for (QWidget* c : label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!takesCaption(c))
            continue;
        const QRect f = c->geometry();
        int gap = 0;
        if (beside) {
            if (f.center().y() < r.top() || f.center().y() > r.bottom() ||
                f.left() < r.center().x())
                continue;
            gap = f.left() - r.right();
        } else {
            gap = f.top() - r.bottom();
            if (gap < 0 || gap > kCaptionAbove || f.left() > r.right() || f.right() < r.left())
                continue;
        }
        if (gap < bestGap) {
            best = c;
            bestGap = gap;
        }
    }
    return best;
}

// Every caption label under `container`, by the field it names.
QHash<QWidget*, QLabel*> captionsIn(const QWidget* container) {
    QHash<QWidget*, QLabel*> captions;
    for (QLabel* label : container->findChildren<QLabel*>()) {
        if (QWidget* field = fieldOf(label); field && !captions.contains(field))
            captions.insert(field, label);
    }
    return captions;
}

// A button's text as it shows: "&&" is one "&", a lone "&" marks a mnemonic.
QString shownText(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

// The first setting that names each control.
QHash<QString, const Setting*> catalogueControls() {
    QHash<QString, const Setting*> out;
    for (const Setting& s : settingCatalogue()) {
        for (const QString& name : s.controls) {
            if (!out.contains(name))
                out.insert(name, &s);
        }
    }
    return out;
}

QString ownText(const QWidget* c, const QHash<QWidget*, QLabel*>& captions) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(c))
        return shownText(button->text());
    if (const QLabel* caption = captions.value(const_cast<QWidget*>(c)))
        return caption->text();
    return QString();
}

// "Page, Caption" for a setting's control; a setting shown by several
// controls adds the control's part ("Pump A, Start Pumping: Days"). A control
// the catalogue does not know takes its own text or its caption's, after its
// group's title where that does not already say it ("Gas, SCD30 Calibrate").
QString nameOf(const QWidget* c, const QString& page,
               const QHash<QString, const Setting*>& catalogue,
               const QHash<QWidget*, QLabel*>& captions) {
    QString text;
    if (const auto it = catalogue.constFind(c->objectName()); it != catalogue.cend()) {
        const Setting& s = **it;
        text = s.caption;
        if (s.controls.size() > 1 && s.kind != SettingKind::Bit) {
            text += QStringLiteral(": ") + (qobject_cast<const QDateTimeEdit*>(c)
                                                ? tr("Date/Time (UTC)")
                                                : ownText(c, captions));
        }
    } else {
        text = ownText(c, captions);
        if (text.isEmpty() && qobject_cast<const QTextEdit*>(c))
            text = tr("Guidance");
        if (const auto* group = qobject_cast<const QGroupBox*>(c->parentWidget());
            group && !text.contains(group->title()))
            text = group->title() + QLatin1Char(' ') + text;
    }
    return page + QStringLiteral(", ") + text;
}

// ---- the workflow commands ----------------------------------------------------------

using Button = QPushButton* Ui_KVX_Configurator::*;
using Slot = void (KVX_Configurator::*)();

struct CommandSpec {
    const char* action;
    const char* text;
    QKeyCombination key;
    Button button;
    Slot slot;
    // Connect's key also disconnects: the one of the two buttons usable now.
    Button otherButton;
    Slot otherSlot;
};

// Ctrl+Shift with a letter that no platform's standard keys use.
const CommandSpec kCommands[] = {
    {"actionConnectDisconnect", QT_TRANSLATE_NOOP("Keyboard", "Connect / Disconnect"),
     Qt::CTRL | Qt::SHIFT | Qt::Key_C, &Ui_KVX_Configurator::kvxConnect,
     &KVX_Configurator::KVXConnectButtonPressed, &Ui_KVX_Configurator::kvxDisconnect,
     &KVX_Configurator::KVXDisconnectButtonPressed},
    {"actionReadConfiguration", QT_TRANSLATE_NOOP("Keyboard", "Read Configuration"),
     Qt::CTRL | Qt::SHIFT | Qt::Key_R, &Ui_KVX_Configurator::kvxRead,
     &KVX_Configurator::KVXReadButtonPressed, nullptr, nullptr},
    {"actionWriteConfiguration", QT_TRANSLATE_NOOP("Keyboard", "Write Configuration"),
     Qt::CTRL | Qt::SHIFT | Qt::Key_W, &Ui_KVX_Configurator::kvxWrite,
     &KVX_Configurator::KVXWriteButtonPressed, nullptr, nullptr},
    {"actionSetRTC", QT_TRANSLATE_NOOP("Keyboard", "Set RTC"), Qt::CTRL | Qt::SHIFT | Qt::Key_T,
     &Ui_KVX_Configurator::setRTC, &KVX_Configurator::KVXSetRTCPressed, nullptr, nullptr},
    {"actionReadRTC", QT_TRANSLATE_NOOP("Keyboard", "Read RTC"), Qt::CTRL | Qt::SHIFT | Qt::Key_K,
     &Ui_KVX_Configurator::readRTC, &KVX_Configurator::KVXReadRTCPressed, nullptr, nullptr},
};

// A button the operator could press now: enabled and not hidden (on a page
// that is not the current tab it still counts: the key works from any page).
bool usable(const QWidget* button) {
    return button->isEnabled() && !button->isHidden();
}

// The commands' actions follow the workflow buttons: whenever one is
// enabled, disabled, shown or hidden (the moments the buttons lock, unlock or
// reset), the actions are looked at again once the events now queued are
// handled, when the window's state codes have caught up with the buttons;
// then the window tells the File menu the same.
class CommandKeys : public QObject {
public:
    explicit CommandKeys(KVX_Configurator& window) : QObject(&window), w(window) {
        pending.setSingleShot(true);
        pending.setInterval(0);
        connect(&pending, &QTimer::timeout, this, [this] { follow(); });
        for (const CommandSpec& command : kCommands) {
            auto* action = new QAction(tr(command.text), &w);
            action->setObjectName(QLatin1String(command.action));
            action->setShortcut(QKeySequence(command.key));
            w.addAction(action);
            // The button's own slot, which checks again whether it may start.
            connect(action, &QAction::triggered, this, [this, &command] { run(command); });
            actions.append({action, &command});
            const QString key = QKeySequence(command.key).toString(QKeySequence::NativeText);
            for (Button b : {command.button, command.otherButton}) {
                if (!b)
                    continue;
                QPushButton* button = w.ui->*b;
                button->setToolTip(QStringLiteral("%1 (%2)").arg(shownText(button->text()), key));
                button->installEventFilter(this);
            }
        }
        follow();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::EnabledChange:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            if (!pending.isActive())
                pending.start();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool can(const CommandSpec& command) const {
        return usable(w.ui->*command.button) ||
               (command.otherButton && usable(w.ui->*command.otherButton));
    }
    void run(const CommandSpec& command) {
        if (usable(w.ui->*command.button))
            (w.*command.slot)();
        else if (command.otherButton && usable(w.ui->*command.otherButton))
            (w.*command.otherSlot)();
    }
    void follow() {
        for (const auto& [action, command] : actions)
            action->setEnabled(can(*command));
        emit w.workflowButtonsChanged();
    }

    KVX_Configurator& w;
    QTimer pending;
    QList<std::pair<QAction*, const CommandSpec*>> actions;
};

// ---- the Help menu ----------------------------------------------------------------

QString keysText(const QList<QKeySequence>& keys) {
    QStringList texts;
    for (const QKeySequence& key : keys)
        texts << key.toString(QKeySequence::NativeText).toHtmlEscaped();
    return texts.join(QStringLiteral(", "));
}

QString row(const QString& keys, const QString& what) {
    return QStringLiteral("<tr><td style=\"padding-right:16px\"><b>%1</b></td><td>%2</td></tr>")
        .arg(keys, what.toHtmlEscaped());
}

QString shortcutsText(const KVX_Configurator& w) {
    QString commandRows;
    for (const Command& c : commands())
        commandRows += row(keysText({c.key}), c.text);
    QString menuRows;
    for (const QAction* menu : w.menuBar()->actions()) {
        if (!menu->menu())
            continue;
        for (const QAction* a : menu->menu()->actions()) {
            if (!a->shortcuts().isEmpty())
                menuRows += row(keysText(a->shortcuts()), shownText(a->text()));
        }
    }
    const QString pageRows =
        row(tr("Tab, Shift+Tab"), tr("Next, previous control (in a date: field by field)")) +
        row(tr("Ctrl+Tab, Ctrl+Shift+Tab"), tr("Next, previous page")) +
        row(tr("Space"), tr("Press a button, tick a check box")) +
        row(tr("Arrow keys"), tr("Pick a radio button, step a number or a list")) +
        row(tr("Enter, Esc"), tr("Answer a question No (its default)")) +
        row(tr("Y"), tr("Answer a question Yes")) +
        row(tr("Alt+F, Alt+H"), tr("The File menu, the Help menu"));
    return tr("<p>The commands work from any page, exactly as their buttons do, and only when "
              "their button could be pressed.</p>") +
           QStringLiteral("<table>") + commandRows + menuRows + QStringLiteral("</table><p>") +
           tr("On a page:") + QStringLiteral("</p><table>") + pageRows + QStringLiteral("</table>");
}

// Where the documentation is: beside the installed program, or where the
// Debian package puts it when this one runs from its build folder.
QString documentationFolder() {
    const QDir installed(QDir(QCoreApplication::applicationDirPath())
                             .absoluteFilePath(QStringLiteral(KVX_DOC_FROM_BIN)));
    if (installed.exists())
        return QDir::cleanPath(installed.absolutePath());
    return QStringLiteral(KVX_PACKAGE_DOC_DIR);
}

QString aboutText() {
    return tr("<h3>KVX Configurator %1</h3>"
              "<p>Sets up the KVXv2 air-sampling instrument over its USB serial port.</p>"
              "<p>Licence: Apache License 2.0 (Apache-2.0).</p>"
              "<p>Documentation: the manual page KVX_Configurator(1), and %2 "
              "(README.Debian, copyright, change log).</p>")
        .arg(QStringLiteral(KVX_VERSION_TEXT), documentationFolder().toHtmlEscaped());
}

} // namespace

QList<QWidget*> readingOrder(const QWidget* container) {
    QList<Item> items;
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        QList<QWidget*> controls = tabStop(child) ? QList<QWidget*>{child} : readingOrder(child);
        if (!controls.isEmpty())
            items.append({child->geometry(), controls});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.rect.top() != b.rect.top() ? a.rect.top() < b.rect.top()
                                            : a.rect.left() < b.rect.left();
    });
    QList<QWidget*> order;
    for (auto first = items.begin(); first != items.end();) {
        const int top = first->rect.top();
        int shortest = first->rect.height();
        auto end = first + 1;
        for (; end != items.end(); ++end) {
            shortest = std::min(shortest, end->rect.height());
            if (2 * (end->rect.top() - top) >= shortest)
                break;
        }
        std::stable_sort(
            first, end, [](const Item& a, const Item& b) { return a.rect.left() < b.rect.left(); });
        for (auto it = first; it != end; ++it)
            order += it->controls;
        first = end;
    }
    return order;
}

QList<Command> commands() {
    QList<Command> out;
    for (const CommandSpec& command : kCommands)
        out.append({QLatin1String(command.action), tr(command.text), QKeySequence(command.key)});
    return out;
}

void sayChanged(QWidget* control, bool changed, const QString& onInstrument) {
    const QString text =
        changed ? tr("Changed: on the instrument %1").arg(onInstrument) : QString();
    control->setToolTip(text);
    control->setAccessibleDescription(text);
}

void setUpKeyboard(KVX_Configurator& w) {
    Ui_KVX_Configurator& ui = *w.ui;
    const QHash<QString, const Setting*> catalogue = catalogueControls();
    QWidget* const pages[] = {ui.Tab_KVX,    ui.Tab_Main,  ui.Tab_Gas,   ui.Tab_Alphasense,
                              ui.Tab_Figaro, ui.Tab_PumpA, ui.Tab_PumpB, ui.Tab_PumpC,
                              ui.Tab_PumpD,  ui.Tab_Debug};
    for (QWidget* page : pages) {
        const QString title = ui.configuratorTabs->tabText(ui.configuratorTabs->indexOf(page));
        const QHash<QWidget*, QLabel*> captions = captionsIn(page);
        // A buddy would turn an "&" of the caption into a mnemonic ("Pumps C&D").
        for (auto it = captions.cbegin(); it != captions.cend(); ++it) {
            if (!it.value()->text().contains(QLatin1Char('&')))
                it.value()->setBuddy(it.key());
        }
        const QList<QWidget*> order = readingOrder(page);
        for (qsizetype i = 0; i < order.size(); ++i) {
            order[i]->setAccessibleName(nameOf(order[i], title, catalogue, captions));
            if (i > 0)
                QWidget::setTabOrder(order[i - 1], order[i]);
        }
    }
    new CommandKeys(w);
}

void addHelpMenu(KVX_Configurator& w) {
    QMenu* menu = w.menuBar()->addMenu(tr("&Help"));
    menu->setObjectName(QStringLiteral("menuHelp"));
    QAction* keys = menu->addAction(tr("&Keyboard Shortcuts"));
    keys->setObjectName(QStringLiteral("actionKeyboardShortcuts"));
    keys->setShortcuts(QKeySequence::HelpContents);
    QAction* about = menu->addAction(tr("&About KVX Configurator"));
    about->setObjectName(QStringLiteral("actionAbout"));
    QObject::connect(keys, &QAction::triggered, &w, [&w] {
        QMessageBox::information(&w, tr("Keyboard Shortcuts"), shortcutsText(w));
    });
    QObject::connect(about, &QAction::triggered, &w,
                     [&w] { QMessageBox::about(&w, tr("About KVX Configurator"), aboutText()); });
}

} // namespace kvx
