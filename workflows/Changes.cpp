#include "workflows/Changes.h"

#include "app/KVX_Configurator.h"
#include "app/Keyboard.h"
#include "image/boards/PumpWidgets.h"
#include "ui_KVX_Configurator.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>

#include <algorithm>

namespace kvx {

namespace {

// The rule that draws a mark: a frame and a light background, which still
// read on a disabled control (spin boxes take the background alone, which
// keeps their arrows). It is given to marked controls only: a style sheet
// anywhere above them would change how every control is laid out and drawn.
const char* const kMarkStyle =
    "QCheckBox[kvxChanged=\"true\"], QRadioButton[kvxChanged=\"true\"], "
    "QComboBox[kvxChanged=\"true\"], QLineEdit[kvxChanged=\"true\"] "
    "{ background-color: #fff2b3; border: 2px solid #d98c00; }"
    "QAbstractSpinBox[kvxChanged=\"true\"] { background-color: #ffe48a; }";

QIcon markerIcon() {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0xd9, 0x8c, 0x00));
    painter.setBrush(QColor(0xff, 0xb0, 0x20));
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return QIcon(pixmap);
}

bool isChecked(const QWidget* w) {
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    return button && button->isChecked();
}

int spin(const QWidget* w) {
    const auto* box = qobject_cast<const QSpinBox*>(w);
    return box ? box->value() : 0;
}

QString spanOf(const QList<QWidget*>& c, int first) {
    return spanText(spin(c.value(first)), spin(c.value(first + 1)), spin(c.value(first + 2)));
}

QString dateOf(const QWidget* w) {
    const auto* edit = qobject_cast<const QDateTimeEdit*>(w);
    return edit ? dateTimeText(edit->dateTime()) : QString();
}

// The control of the option (a radio button) that the words `text` are of;
// -1 where the setting has no such controls or no option fits.
int optionControl(const Setting& s, const QString& text) {
    int first = 0; // the first option's control
    switch (s.kind) {
    case SettingKind::SampleStart:
    case SettingKind::Choice:
        break;
    case SettingKind::PumpStart:
    case SettingKind::PumpSpan:
        first = 1; // after the group
        break;
    default:
        return -1;
    }
    if (s.kind == SettingKind::Choice && s.controls.size() < 2)
        return -1; // a combo box
    for (int i = 0; i < s.choices.size(); ++i)
        if (text.startsWith(s.choices[i].text))
            return first + i;
    return -1;
}

// The setting has a field in the record `word` a write sends.
bool carries(const Setting& s, quint16 word) {
    return std::any_of(s.write.cbegin(), s.write.cend(),
                       [word](const FieldPos& f) { return f.word == word; });
}

QString readingOf(const QWidget* w) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    if (const auto* box = qobject_cast<const QDoubleSpinBox*>(w))
        return decimalText(box->maximum(), box->decimals());
    return QString();
}

} // namespace

QString SettingChange::line() const {
    return QStringLiteral("%1 \u203a %2: %3 \u2192 %4")
        .arg(setting->page, setting->caption, was, now);
}

ChangeTracker::ChangeTracker(KVX_Configurator& window) : QObject(&window), w(window) {
    pending.setSingleShot(true);
    pending.setInterval(0);
    connect(&pending, &QTimer::timeout, this, [this] { refresh(); });
    marker = markerIcon();
    for (const Setting& s : settingCatalogue()) {
        if (!controls.contains(s.tab))
            controls.insert(s.tab, w.findChild<QWidget*>(s.tab));
        for (const QString& name : s.controls) {
            if (controls.contains(name))
                continue;
            QWidget* c = w.findChild<QWidget*>(name);
            controls.insert(name, c);
            if (c && s.kind != SettingKind::Reading)
                watch(c);
        }
    }
    label = new QLabel(&w);
    label->setObjectName(QStringLiteral("kvxChangeCount"));
    w.statusBar()->addPermanentWidget(label);
}

void ChangeTracker::watch(QWidget* c) {
    auto changed = [this] { schedule(); };
    if (auto* b = qobject_cast<QAbstractButton*>(c))
        connect(b, &QAbstractButton::toggled, this, changed);
    else if (auto* box = qobject_cast<QComboBox*>(c))
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    else if (auto* s = qobject_cast<QSpinBox*>(c))
        connect(s, &QSpinBox::valueChanged, this, changed);
    else if (auto* d = qobject_cast<QDoubleSpinBox*>(c))
        connect(d, &QDoubleSpinBox::valueChanged, this, changed);
    else if (auto* e = qobject_cast<QLineEdit*>(c))
        connect(e, &QLineEdit::textChanged, this, changed);
    else if (auto* t = qobject_cast<QDateTimeEdit*>(c))
        connect(t, &QDateTimeEdit::dateTimeChanged, this, changed);
}

QWidget* ChangeTracker::control(const QString& name) const {
    return controls.value(name);
}

bool ChangeTracker::applies(const Setting& s) const {
    QWidget* page = control(s.tab);
    return page && page->isEnabled() && w.ui->configuratorTabs->indexOf(page) >= 0 &&
           s.hasLevel(w.firmwareLevel);
}

bool ChangeTracker::editable(const Setting& s) const {
    if (!s.written() || s.controls.isEmpty() || !applies(s))
        return false;
    if (s.kind == SettingKind::Bit) { // either box of a shared bit
        for (const QString& name : s.controls)
            if (const QWidget* c = control(name); c && c->isEnabled())
                return true;
        return false;
    }
    const QWidget* first = control(s.controls.first());
    return first && first->isEnabled();
}

QString ChangeTracker::formText(const Setting& s) const {
    QList<QWidget*> c;
    for (const QString& name : s.controls)
        c.append(control(name));
    const QWidget* first = c.value(0);
    switch (s.kind) {
    case SettingKind::Bit: {
        bool on = false;
        for (const QWidget* box : c)
            on = on || (box && box->isEnabled() && isChecked(box));
        return switchText(on);
    }
    case SettingKind::Switch:
        return switchText(isChecked(first));
    case SettingKind::Choice: {
        if (const auto* box = qobject_cast<const QComboBox*>(first))
            return box->currentText();
        for (int i = 0; i < c.size() && i < s.choices.size(); ++i)
            if (isChecked(c[i]))
                return s.choices[i].text;
        return QString();
    }
    case SettingKind::Integer:
        return QString::number(spin(first));
    case SettingKind::Decimal: {
        const auto* box = qobject_cast<const QDoubleSpinBox*>(first);
        return decimalText(box ? box->value() : 0.0, s.decimals);
    }
    case SettingKind::Text: {
        const auto* edit = qobject_cast<const QLineEdit*>(first);
        return edit ? edit->text() : QString();
    }
    case SettingKind::SampleStart:
        // specificTime, alwaysPowerOn, nextPowerOn, startDateTime
        for (int i = 0; i < 3; ++i) {
            if (isChecked(c.value(i)))
                return i == 0 ? s.choices[0].text + QLatin1Char(' ') + dateOf(c.value(3))
                              : s.choices[i].text;
        }
        return QString();
    case SettingKind::Span:
        return spanOf(c, 0);
    case SettingKind::PumpStart:
        // group, with the sample, delayed, specific, days, hours, minutes, date
        if (isChecked(c.value(3)))
            return s.choices[2].text + QLatin1Char(' ') + dateOf(c.value(7));
        // A delay of nothing is stored, and reads back, as a start with the sample.
        if (isChecked(c.value(2)) && spanOf(c, 4) != spanText(0, 0, 0))
            return s.choices[1].text + QLatin1Char(' ') + spanOf(c, 4);
        return s.choices[0].text;
    case SettingKind::PumpSpan:
        // group, full, shorter, days, hours, minutes
        if (isChecked(c.value(2)) && spanOf(c, 3) != spanText(0, 0, 0))
            return s.choices[1].text + QLatin1Char(' ') + spanOf(c, 3);
        return s.choices[0].text;
    case SettingKind::Reading:
        return readingOf(first);
    case SettingKind::Reserved:
        break;
    }
    return QString();
}

std::optional<QString> ChangeTracker::instrumentText(const Setting& s) const {
    return kvx::instrumentText(s, w.readBack.records);
}

std::optional<QString> ChangeTracker::capturedText(const Setting& s) const {
    const auto it = captured.constFind(&s);
    return it == captured.cend() ? std::nullopt : std::optional<QString>(it->text);
}

ChangeTracker::Capture ChangeTracker::captureOf(const Setting& s) const {
    Capture c{formText(s), {}, {}};
    for (const QString& name : s.controls) {
        const QWidget* widget = control(name);
        QVariant value;
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            value = button->isChecked();
        else if (const auto* box = qobject_cast<const QComboBox*>(widget))
            value = box->currentIndex();
        else if (const auto* number = qobject_cast<const QSpinBox*>(widget))
            value = number->value();
        else if (const auto* decimal = qobject_cast<const QDoubleSpinBox*>(widget))
            value = decimal->value();
        else if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
            value = edit->text();
        else if (const auto* date = qobject_cast<const QDateTimeEdit*>(widget))
            value = date->dateTime();
        c.values << value;
        c.enabled << (widget && widget->isEnabled());
    }
    return c;
}

void ChangeTracker::restore(const Setting& s) {
    const auto it = captured.constFind(&s);
    if (it == captured.cend())
        return;
    for (int i = 0; i < s.controls.size() && i < it->values.size(); ++i) {
        QWidget* widget = control(s.controls[i]);
        const QVariant& value = it->values[i];
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            // A radio button is set by checking the one that was checked.
            if (value.toBool() || !button->autoExclusive())
                button->setChecked(value.toBool());
        } else if (auto* box = qobject_cast<QComboBox*>(widget)) {
            box->setCurrentIndex(value.toInt());
        } else if (auto* number = qobject_cast<QSpinBox*>(widget)) {
            number->setValue(value.toInt());
        } else if (auto* decimal = qobject_cast<QDoubleSpinBox*>(widget)) {
            decimal->setValue(value.toDouble());
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            edit->setText(value.toString());
        } else if (auto* date = qobject_cast<QDateTimeEdit*>(widget)) {
            date->setDateTime(value.toDateTime());
        }
    }
}

bool ChangeTracker::edited(const Setting& s) const {
    if (!editable(s))
        return false;
    const auto it = captured.constFind(&s);
    if (it == captured.cend())
        return false; // no instrument read yet
    if (fromFile.contains(&s) || formText(s) != it->text)
        return true;
    // A value the form did not show is kept only while the setting's
    // controls stay exactly as the read left them.
    const std::optional<QString> held = instrumentText(s);
    if (!held || *held == it->text)
        return false;
    const Capture now = captureOf(s);
    if (now.values != it->values)
        return true;
    // The option the instrument's value is of was not open to the form (a
    // pump's own start time under a power-on start) and now is, or the other
    // way round: what the form shows now means something else.
    const int option = optionControl(s, *held);
    return option >= 0 && option < now.enabled.size() && now.enabled[option] != it->enabled[option];
}

void ChangeTracker::capture() {
    captured.clear();
    fromFile.clear();
    unconfirmed.clear();
    for (const Setting& s : settingCatalogue()) {
        if (s.written() && !s.controls.isEmpty())
            captured.insert(&s, captureOf(s));
    }
    schedule();
}

void ChangeTracker::forget() {
    captured.clear();
    fromFile.clear();
    unconfirmed.clear();
    schedule();
}

void ChangeTracker::setFromFile(const Setting& s, bool on) {
    if (on)
        fromFile.insert(&s);
    else
        fromFile.remove(&s);
    schedule();
}

QList<SettingChange> ChangeTracker::changes() const {
    QList<SettingChange> list;
    for (const Setting& s : settingCatalogue()) {
        if (edited(s))
            list.append({&s, instrumentText(s).value_or(tr("(not reported)")), formText(s)});
    }
    return list;
}

QStringList ChangeTracker::keptAsOnInstrument() const {
    QStringList kept;
    QSet<quint16> writtenWords;
    for (const Setting& s : settingCatalogue()) {
        if (!editable(s))
            continue;
        for (const FieldPos& f : s.write)
            writtenWords.insert(f.word);
        const std::optional<QString> held = instrumentText(s);
        const std::optional<QString> shown = capturedText(s);
        if (held && shown && *held != *shown && !edited(s))
            kept << QStringLiteral("%1 \u203a %2: %3").arg(s.page, s.caption, *held);
    }
    for (const Setting& s : settingCatalogue()) {
        if (s.kind != SettingKind::Reserved || s.read.isEmpty() || !applies(s) ||
            !writtenWords.contains(s.write.first().word))
            continue;
        const ConfigImage* record = w.readBack.record(s.read.first().word);
        const quint32 bits = record ? fieldValue(*record, s.read.first()).value_or(0) : 0;
        // The bits in their places in the record's word.
        ConfigImage placed;
        setFieldValue(placed, s.read.first(), bits);
        const FieldPos whole{0, s.read.first().at, s.read.first().width, 0};
        if (bits != 0)
            kept << QStringLiteral("%1 \u203a unused bits of record 0x%2: 0x%3")
                        .arg(s.page)
                        .arg(s.write.first().word, 4, 16, QLatin1Char('0'))
                        .arg(fieldValue(placed, whole).value_or(0), 0, 16);
    }
    return kept;
}

void ChangeTracker::keepUnedited(ConfigImage& request) const {
    const quint16 word = request.requestWord();
    for (const Setting& s : settingCatalogue()) {
        if (!carries(s, word) || s.read.isEmpty() || !applies(s) || edited(s))
            continue;
        for (int i = 0; i < s.write.size() && i < s.read.size(); ++i) {
            const FieldPos& to = s.write[i];
            const FieldPos& from = s.read[i];
            const ConfigImage* held = w.readBack.record(from.word);
            if (to.word != word || !held || !request.holds(to.at, to.width))
                continue;
            if (to.width > 4) {
                copyField(*held, from, request, to);
            } else if (const std::optional<quint32> v = fieldValue(*held, from)) {
                setFieldValue(request, to, toWritten(s.conversion, *v));
            }
        }
    }
}

void ChangeTracker::sending(const ConfigImage& request) {
    const quint16 word = request.requestWord();
    QHash<const Setting*, Capture>& sent = unconfirmed[word];
    sent.clear();
    for (const Setting& s : settingCatalogue()) {
        if (carries(s, word) && edited(s))
            sent.insert(&s, captureOf(s));
    }
}

void ChangeTracker::stored(const ConfigImage& request) {
    const quint16 word = request.requestWord();
    // What was sent of the edited settings is now the instrument's value.
    const QHash<const Setting*, Capture> sent = unconfirmed.take(word);
    for (auto it = sent.cbegin(); it != sent.cend(); ++it) {
        captured.insert(it.key(), it.value());
        fromFile.remove(it.key());
    }
    bool any = false;
    for (const Setting& s : settingCatalogue()) {
        for (int i = 0; i < s.write.size() && i < s.read.size(); ++i) {
            const FieldPos& from = s.write[i];
            const FieldPos& to = s.read[i];
            if (from.word != word)
                continue;
            auto it = w.readBack.records.find(to.word);
            if (it == w.readBack.records.end()) {
                ConfigImage fresh;
                fresh.resetRequest(to.word);
                it = w.readBack.records.insert(to.word, fresh);
            }
            any = true;
            if (from.width > 4) {
                // A text the instrument answers with ends with a zero byte.
                copyField(request, from, *it, to);
                const int end = to.at + to.width;
                if (end < kImageCapacity) {
                    it->bytes[size_t(end)] = 0;
                    it->length = quint16(std::max(int(it->length), end + 1));
                }
                continue;
            }
            const std::optional<quint32> v = fieldValue(request, from);
            // A position found empty stays empty: a write cannot fit a sensor.
            if (!v || (s.conversion == Conversion::AlphasenseMode && *v == 0 &&
                       fieldValue(*it, to).value_or(0) == 0))
                continue;
            setFieldValue(*it, to, toRead(s.conversion, *v));
        }
    }
    // The cartridge now on the instrument is the one written.
    for (Pump pump : kAllPumps) {
        if (pumpRecords(pump).cartridge == word)
            w.cartridgeIds[size_t(pumpIndex(pump))] = request.readText(6).left(15);
    }
    if (any)
        schedule();
}

void ChangeTracker::schedule() {
    if (!pending.isActive())
        pending.start();
}

void ChangeTracker::mark(QWidget* c, bool on) {
    if (!c || c->property("kvxChanged").toBool() == on)
        return;
    c->setProperty("kvxChanged", on);
    c->setStyleSheet(on ? QLatin1String(kMarkStyle) : QString());
    if (on)
        marked.insert(c);
    else
        marked.remove(c);
    if (!on) // a marked control's words come with the instrument's value (refresh)
        sayChanged(c, false);
}

void ChangeTracker::refresh() {
    pending.stop();
    QSet<QWidget*> nowMarked;
    QSet<QString> tabs;
    const QList<SettingChange> list = changes();
    for (const SettingChange& change : list) {
        tabs.insert(change.setting->tab);
        for (const QString& name : change.setting->controls)
            if (QWidget* c = control(name)) {
                nowMarked.insert(c);
                sayChanged(c, true, change.was);
            }
    }
    // Pump D's boxes of the shared bits are on its own page.
    for (QWidget* c : nowMarked) {
        for (QWidget* p = c->parentWidget(); p; p = p->parentWidget()) {
            if (p->objectName().startsWith(QLatin1String("Tab_"))) {
                tabs.insert(p->objectName());
                break;
            }
        }
    }
    for (QWidget* c : QSet<QWidget*>(marked))
        if (!nowMarked.contains(c))
            mark(c, false);
    for (QWidget* c : nowMarked)
        mark(c, true);
    QTabWidget* pages = w.ui->configuratorTabs;
    for (int i = 0; i < pages->count(); ++i)
        pages->setTabIcon(i, tabs.contains(pages->widget(i)->objectName()) ? marker : QIcon());
    changeCount = int(list.size());
    if (label)
        label->setText(changeCount == 0   ? QString()
                       : changeCount == 1 ? tr("1 unwritten change")
                                          : tr("%1 unwritten changes").arg(changeCount));
}

} // namespace kvx

void KVX_Configurator::closeEvent(QCloseEvent* event) {
    changes->refresh();
    const int count = changes->count();
    if (count > 0) {
        const QMessageBox::StandardButton answer =
            askYesNo(tr("Unwritten changes"),
                     count == 1 ? tr("Close without writing 1 change to the KVXv2?")
                                : tr("Close without writing %1 changes to the KVXv2?").arg(count));
        if (answer == QMessageBox::Cancel)
            return; // the window is gone
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}
