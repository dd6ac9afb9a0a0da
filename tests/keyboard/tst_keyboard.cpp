// The window from the keyboard and through a screen reader: Tab walks every
// page in reading order, every control has a name of its own and its caption
// as its buddy, the command keys start their workflows exactly when their
// buttons could (end to end against kvx-sim, with questions answered by keys),
// a marked control says in words what the instrument holds, and nothing of it
// runs on the 20 ms tick.
#include "app/Keyboard.h"
#include "image/boards/MainBoardCodec.h"
#include "tests/support/PtySim.h"
#include "workflows/Changes.h"
#include "workflows/SessionStates.h"

#include <QAccessible>
#include <QMenuBar>
#include <QMetaEnum>
#include <QSignalSpy>
#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

const char* const kPages[] = {"Tab_KVX",   "Tab_Main",  "Tab_Gas",   "Tab_Alphasense", "Tab_Figaro",
                              "Tab_PumpA", "Tab_PumpB", "Tab_PumpC", "Tab_PumpD",      "Tab_Debug"};

QStringList names(const QList<QWidget*>& widgets) {
    QStringList out;
    for (const QWidget* w : widgets)
        out << (w ? w->objectName() : QStringLiteral("(none)"));
    return out;
}

// A menu's or button's text as it shows (no mnemonic marks).
QString shown(QString text) {
    return text.replace(QLatin1String("&&"), QLatin1String("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// The control of `controls` that has the focus (or holds the widget that
// has it); the focus widget itself when it is none of them.
QWidget* focusOwner(const QList<QWidget*>& controls) {
    for (QWidget* f = QApplication::focusWidget(); f; f = f->parentWidget())
        if (controls.contains(f))
            return f;
    return QApplication::focusWidget();
}

// Which of two widgets under one container comes first in reading order, by
// the two items of the container that hold them: a later row starts lower
// by at least half the smaller height; in one row the left one first.
QString misordered(const QWidget* a, const QWidget* b) {
    QList<const QWidget*> upA;
    for (const QWidget* p = a; p; p = p->parentWidget())
        upA.prepend(p);
    QList<const QWidget*> upB;
    for (const QWidget* p = b; p; p = p->parentWidget())
        upB.prepend(p);
    qsizetype i = 0;
    while (i < upA.size() && i < upB.size() && upA[i] == upB[i])
        ++i;
    if (i >= upA.size() || i >= upB.size())
        return "nested";
    const QRect ra = upA[i]->geometry(), rb = upB[i]->geometry();
    const bool laterRow = 2 * (rb.top() - ra.top()) >= std::min(ra.height(), rb.height());
    const bool sameRow = 2 * std::abs(rb.top() - ra.top()) < std::min(ra.height(), rb.height());
    if (laterRow || (sameRow && ra.left() < rb.left()))
        return QString();
    return upA[i]->objectName() + " before " + upB[i]->objectName();
}

// Answers the modal boxes that show up with one key each (Esc, Enter, Y...),
// as an operator at the keyboard would, and keeps their titles. A box beyond
// the list gets `thereafter`.
class KeyAnswers : public QObject {
public:
    explicit KeyAnswers(QList<Qt::Key> keys, Qt::Key thereafter = Qt::Key_Escape)
        : keys(std::move(keys)), thereafter(thereafter) {
        QObject::connect(&timer, &QTimer::timeout, this, [this] { poll(); });
        timer.start(5);
    }
    QStringList titles;

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == last)
            return;
        last = box;
        titles << box->windowTitle();
        QTest::keyClick(box, keys.isEmpty() ? thereafter : keys.takeFirst());
    }
    QList<Qt::Key> keys;
    Qt::Key thereafter;
    QTimer timer;
    QPointer<QMessageBox> last;
};

} // namespace

class KeyboardTest : public QObject, PtySim {
    Q_OBJECT

    // An in-process instrument with every board, connected and read.
    static std::unique_ptr<SimRig> connectedRig() {
        auto rig = std::make_unique<SimRig>(QStringLiteral("full"));
        if (!rig->connect())
            return nullptr;
        QCoreApplication::processEvents();
        return rig;
    }
    static bool activate(QWidget& window) {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    // Shows a page that the program does not show (Figaro, Debug) or that a
    // board left disabled, so that its controls can be walked.
    static void bringOut(KVX_Configurator& w, QWidget* page, const QString& title) {
        QTabWidget* tabs = w.ui->configuratorTabs;
        if (tabs->indexOf(page) < 0)
            tabs->addTab(page, title);
        page->setEnabled(true);
        tabs->setCurrentWidget(page);
    }

    QAction* action(const char* name) const { return w->findChild<QAction*>(name); }
    bool idle() const {
        return w->linkStep == LinkIdle && w->sessionState == 0 && w->ui->kvxWrite->isEnabled() &&
               action("actionReadConfiguration")->isEnabled();
    }
    // A key as the operator types it, into the window. The offscreen platform
    // leaves no window active once a question has closed, where a desktop
    // gives the activation back to the window.
    void press(QKeyCombination key) {
        if (QApplication::activeWindow() != w.get())
            QVERIFY(activate(*w));
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w.get(), key.key(), key.keyboardModifiers());
    }
    void pressCommand(const char* actionName) { press(action(actionName)->shortcut()[0]); }
    QList<quint16> setWords() const {
        QList<quint16> words;
        for (const QString& line : loggedLines()) {
            const QStringList items = line.split(' ', Qt::SkipEmptyParts);
            if (items.size() >= 4 && items.last() == "cfg_set")
                words << quint16(items.at(items.size() - 3).toUInt());
        }
        return words;
    }

private slots:
    void cleanup() { stop(); }

    // Tab from a page's first control visits every enabled control once, in
    // reading order, then leaves the page's controls (for the tab row). A
    // group of radio buttons is one stop, at the first of them; the arrow keys
    // move among them (radioGroupByArrows).
    void tabWalk_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("connected");
        QTest::newRow("KVX, disconnected") << "Tab_KVX" << false;
        for (const char* page : kPages)
            QTest::newRow(page) << page << true;
    }
    void tabWalk() {
        QFETCH(QString, page);
        QFETCH(bool, connected);
        std::unique_ptr<SimRig> rig =
            connected ? connectedRig() : std::make_unique<SimRig>(QStringLiteral("full"));
        QVERIFY(rig);
        if (!connected)
            rig->tick(2);
        KVX_Configurator& w = rig->w();
        QWidget* p = w.findChild<QWidget*>(page);
        bringOut(w, p, page);
        QVERIFY(activate(w));

        const QList<QWidget*> order = readingOrder(p);
        QList<QWidget*> expected;
        QSet<QWidget*> radioGroups;
        for (QWidget* c : order) {
            if (!c->isEnabled() || !c->isVisible())
                continue;
            if (auto* radio = qobject_cast<QRadioButton*>(c); radio && radio->autoExclusive()) {
                if (radioGroups.contains(radio->parentWidget()))
                    continue;
                radioGroups.insert(radio->parentWidget());
            }
            expected << c;
        }
        QVERIFY2(expected.size() >= 2, qPrintable(names(expected).join(' ')));
        expected.first()->setFocus(Qt::TabFocusReason);
        QCOMPARE(focusOwner(order), expected.first());
        QList<QWidget*> visited{expected.first()};
        // A date and time takes a Tab per field before it lets go.
        for (int presses = 0; presses < 10 * expected.size() && visited.size() <= expected.size();
             ++presses) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QWidget* now = focusOwner(order); now != visited.last())
                visited << now;
        }
        QCOMPARE(names(visited.mid(0, expected.size())), names(expected));
        QVERIFY2(!order.contains(visited.value(expected.size())),
                 qPrintable(names(visited).join(' ')));
        // Shift+Tab walks back the same way.
        expected.last()->setFocus(Qt::TabFocusReason);
        QList<QWidget*> back{expected.last()};
        for (int presses = 0; presses < 10 * expected.size() && back.size() < expected.size();
             ++presses) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            if (QWidget* now = focusOwner(order); now != back.first())
                back.prepend(now);
        }
        QCOMPARE(names(back), names(expected));
    }

    // In a group of radio buttons the arrow keys move to the next one and
    // choose it, as a click does (the interlocks follow).
    void radioGroupByArrows() {
        std::unique_ptr<SimRig> rig = connectedRig();
        QVERIFY(rig);
        KVX_Configurator& w = rig->w();
        bringOut(w, w.ui->Tab_PumpB, "Pump B");
        QVERIFY(activate(w));
        w.ui->pumpBSampleStart->click();
        QVERIFY(!w.ui->pumpBDelayDays->isEnabled());
        w.ui->pumpBSampleStart->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.ui->pumpBSampleStart, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), w.ui->pumpBDelayedStart);
        QVERIFY(w.ui->pumpBDelayedStart->isChecked());
        QVERIFY(w.ui->pumpBDelayDays->isEnabled());
        QTest::keyClick(w.ui->pumpBDelayedStart, Qt::Key_Up);
        QVERIFY(w.ui->pumpBSampleStart->isChecked());
        QVERIFY(!w.ui->pumpBDelayDays->isEnabled());
    }

    // The derived order reads row by row on every page, and gives the orders
    // in which the form's description reads its groups.
    void readingOrderFollowsRows() {
        SimRig rig(QStringLiteral("full"));
        KVX_Configurator& w = rig.w();
        for (const char* page : kPages) {
            const QList<QWidget*> order = readingOrder(w.findChild<QWidget*>(page));
            QVERIFY(order.size() >= 2);
            for (qsizetype i = 1; i < order.size(); ++i) {
                const QString wrong = misordered(order[i - 1], order[i]);
                QVERIFY2(wrong.isEmpty(), qPrintable(QString(page) + ": " + wrong));
            }
        }
        const auto orderOf = [&w](const char* container) {
            return names(readingOrder(w.findChild<QWidget*>(container)));
        };
        QCOMPARE(orderOf("samplingStart"),
                 QStringList({"nextPowerOn", "alwaysPowerOn", "specificTime", "startDateTime",
                              "sampleHalt"}));
        QCOMPARE(orderOf("scd30"),
                 QStringList({"scd30ID", "scd30Run", "scd30Compensation", "scd30Mode",
                              "scd30Calibrated", "scd30CalValue", "scd30CalButton"}));
        QCOMPARE(orderOf("as2_3"),
                 QStringList({"as2ID_3", "as2Type", "as2Run_3", "as2Mode_3", "as2_NO2_Algorithm",
                              "alphasenseLogAS2Raw", "alphasenseLogAS2Algorithm1",
                              "alphasenseLogAS2Algorithm2", "alphasenseLogAS2Algorithm3",
                              "alphasenseLogAS2Algorithm4"}));
        QCOMPARE(orderOf("pumpCStart"),
                 QStringList({"pumpCSampleStart", "pumpCDelayedStart", "pumpCDelayDays",
                              "pumpCDelayHours", "pumpCDelayMinutes", "pumpCSpecificDateTime",
                              "pumpCStartDateTime"}));
        const QStringList kvx = orderOf("Tab_KVX");
        QCOMPARE(kvx.filter(QRegularExpression("^kvx(Connect|Disconnect|Write|Read)$")),
                 QStringList({"kvxConnect", "kvxDisconnect", "kvxWrite", "kvxRead"}));
        // The Mainboard page: the clock's buttons at the top and the UTC offset
        // beside them come before the start options, and those before the duration.
        const QStringList main = orderOf("Tab_Main");
        QVERIFY(main.indexOf("readRTC") == main.indexOf("setRTC") + 1);
        QVERIFY(main.indexOf("tzOffset") == main.indexOf("readRTC") + 1);
        QVERIFY(main.indexOf("tzOffset") < main.indexOf("nextPowerOn"));
        QVERIFY(main.indexOf("sampleHalt") < main.indexOf("durationDays"));
        QCOMPARE(orderOf("Tab_Figaro").first(), QString("figaroLogOutput"));
        QCOMPARE(orderOf("Tab_Figaro").last(), QString("figaroMode"));
    }

    // Every control on every page has a name of its own, its page first, and
    // a screen reader finds it with the caption that labels it.
    void namesAndCaptions() {
        std::unique_ptr<SimRig> rig = connectedRig();
        QVERIFY(rig);
        KVX_Configurator& w = rig->w();
        const QStringList titles = {"KVX",    "Mainboard", "Gas",    "Alphasense", "Figaro",
                                    "Pump A", "Pump B",    "Pump C", "Pump D",     "Debug"};
        for (int i = 0; i < int(std::size(kPages)); ++i) {
            QWidget* page = w.findChild<QWidget*>(kPages[i]);
            QSet<QString> seen;
            for (QWidget* c : readingOrder(page)) {
                const QString name = c->accessibleName();
                QVERIFY2(name.startsWith(titles[i] + ", ") && name.size() > titles[i].size() + 2,
                         qPrintable(c->objectName() + ": " + name));
                QVERIFY2(!seen.contains(name), qPrintable(name));
                seen.insert(name);
                // A screen reader reads the name; a combo box's name on Linux
                // is its current item, and its caption comes as its label.
                QAccessibleInterface* face = QAccessible::queryAccessibleInterface(c);
                QVERIFY(face);
                if (qobject_cast<QComboBox*>(c))
                    QVERIFY2(!face->relations(QAccessible::Label).isEmpty(), qPrintable(name));
                else
                    QCOMPARE(face->text(QAccessible::Name), name);
            }
        }
        const auto nameOf = [&w](const char* control) {
            return w.findChild<QWidget*>(control)->accessibleName();
        };
        QCOMPARE(nameOf("pumpAFlowRate"), QString("Pump A, Sampling Volumetric Flow [LPM]"));
        QCOMPARE(nameOf("pumpCFlowRate"), QString("Pump C, Sampling Volumetric Flow [mLPM]"));
        QCOMPARE(nameOf("durationDays"), QString("Mainboard, Sampling Duration: Days"));
        QCOMPARE(nameOf("pumpBDelayHours"), QString("Pump B, Start Pumping: Hours"));
        QCOMPARE(nameOf("pumpBDurationHours"), QString("Pump B, Pumping Duration: Hours"));
        QCOMPARE(nameOf("specificTime"), QString("Mainboard, Start Sampling: At Specific UTC "
                                                 "Date/Time"));
        QCOMPARE(nameOf("figaro20PPM"), QString("Figaro, Range: 20PPM"));
        QCOMPARE(nameOf("pumpDLogAtmo"),
                 QString("Pump D, Atmospheric Density Ratio (Pumps C & D)"));
        QCOMPARE(nameOf("kvxComList"), QString("KVX, KVX Port"));
        QCOMPARE(nameOf("kvxConnect"), QString("KVX, Connect"));
        QCOMPARE(nameOf("setRTC"), QString("Mainboard, Set RTC"));
        QCOMPARE(nameOf("scd30CalButton"), QString("Gas, SCD30 Calibrate"));
        QCOMPARE(nameOf("as3Type"), QString("Alphasense, Alphasense #3 Type"));

        // Captions: a right-aligned one names the field on its line to its
        // right, a left-aligned one the field just below it; a screen reader
        // reads the caption as the field's label.
        const QList<std::pair<const char*, const char*>> captions = {
            {"durationDaysLabel", "durationDays"},
            {"tzOffsetLabe", "tzOffset"},
            {"sampleIDLabel", "sampleID"},
            {"scd30CalLabel", "scd30CalValue"},
            {"as1_NO2_Label", "as1_NO2_Algorithm"},
            {"as4RunLabel_3", "as4Run_3"},
            {"pumpDFlowLabel", "pumpDFlowRate"},
            {"kvxCOMPortLabel", "kvxComList"},
            {"kvxOutputLabel", "kvxOutputBox"},
            {"pumpADelayMinutesLabel", "pumpADelayMinutes"}};
        for (const auto& [label, field] : captions) {
            QLabel* caption = w.findChild<QLabel*>(label);
            QWidget* buddy = w.findChild<QWidget*>(field);
            QCOMPARE(caption->buddy(), buddy);
            const auto related =
                QAccessible::queryAccessibleInterface(buddy)->relations(QAccessible::Label);
            QVERIFY2(std::any_of(related.cbegin(), related.cend(),
                                 [caption](const auto& r) { return r.first->object() == caption; }),
                     label);
        }
        // Not captions of a field: the version, the Logging headings; and a
        // caption whose "&" a buddy would turn into a mnemonic keeps none.
        for (const char* label : {"versionLabel", "as1LogLabel", "pumpsCDIDLabel"})
            QVERIFY2(!w.findChild<QLabel*>(label)->buddy(), label);
        QCOMPARE(w.ui->pumpsCDIDLabel->text(), QString("Pumps C&D"));
        for (const QLabel* label : w.findChildren<QLabel*>())
            QVERIFY2(!label->buddy() || !label->text().contains('&'),
                     qPrintable(label->objectName()));
    }

    // Five command keys, none of them a standard key of this platform, a
    // menu's key or another command's; the buttons show them in their tool
    // tips and keep their texts.
    void commandKeys() {
        SimRig rig(QStringLiteral("full"));
        KVX_Configurator& w = rig.w();
        QList<QKeySequence> taken;
        const QMetaEnum standard = QMetaEnum::fromType<QKeySequence::StandardKey>();
        for (int i = 0; i < standard.keyCount(); ++i)
            taken += QKeySequence::keyBindings(QKeySequence::StandardKey(standard.value(i)));
        for (const QAction* menu : w.menuBar()->actions()) {
            taken << QKeySequence(QKeySequence::mnemonic(menu->text()));
            for (const QAction* a : menu->menu()->actions())
                taken += a->shortcuts();
        }
        const QList<Command> all = commands();
        QCOMPARE(all.size(), 5);
        for (const Command& c : all) {
            QVERIFY2(!c.key.isEmpty() && !taken.contains(c.key), qPrintable(c.text));
            taken << c.key;
            const QAction* a = w.findChild<QAction*>(c.action);
            QVERIFY(a);
            QCOMPARE(a->shortcut(), c.key);
            QCOMPARE(a->shortcutContext(), Qt::WindowShortcut);
        }
        const QList<std::tuple<QPushButton*, QString, QString>> buttons = {
            {w.ui->kvxConnect, "Connect", "actionConnectDisconnect"},
            {w.ui->kvxDisconnect, "Disconnect", "actionConnectDisconnect"},
            {w.ui->kvxRead, "Read Configuration", "actionReadConfiguration"},
            {w.ui->kvxWrite, "Write Configuration", "actionWriteConfiguration"},
            {w.ui->setRTC, "Set RTC", "actionSetRTC"},
            {w.ui->readRTC, "Read RTC", "actionReadRTC"}};
        for (const auto& [button, text, actionName] : buttons) {
            QCOMPARE(button->text(), text);
            const QString key =
                w.findChild<QAction*>(actionName)->shortcut().toString(QKeySequence::NativeText);
            QCOMPARE(button->toolTip(), text + " (" + key + ")");
        }
    }

    // Idle, nothing is looked at again; a workflow's lock and unlock are one
    // look each, and the commands and the File menu follow them.
    void noWorkOnTheTick() {
        std::unique_ptr<SimRig> rig = connectedRig();
        QVERIFY(rig);
        KVX_Configurator& w = rig->w();
        QAction* read = w.findChild<QAction*>("actionReadConfiguration");
        QAction* open = w.findChild<QAction*>("actionOpenConfiguration");
        QAction* connect = w.findChild<QAction*>("actionConnectDisconnect");
        QVERIFY(read->isEnabled() && open->isEnabled() && connect->isEnabled());
        QSignalSpy looks(&w, &KVX_Configurator::workflowButtonsChanged);
        const auto ticks = [&](int n) {
            for (int i = 0; i < n; ++i) {
                rig->tick();
                QCoreApplication::processEvents();
            }
        };
        ticks(250); // five seconds of ticks
        QCOMPARE(looks.count(), 0);

        w.KVXSetRTCPressed();
        QCoreApplication::processEvents();
        QCOMPARE(looks.count(), 1);
        QVERIFY(!read->isEnabled() && !open->isEnabled());
        QVERIFY(connect->isEnabled()); // Disconnect stays usable, as its button does
        QVERIFY(rig->tickUntil([&] {
            QCoreApplication::processEvents();
            return w.sessionState == 0 && w.linkIdle();
        }));
        QCoreApplication::processEvents();
        QCOMPARE(looks.count(), 2);
        QVERIFY(read->isEnabled() && open->isEnabled());
        ticks(100);
        QCOMPARE(looks.count(), 2);
    }

    // A marked control's tool tip and accessible description say what the
    // instrument holds; unmarked, by undoing the edit or by writing it, they
    // say nothing.
    void marksInWords() {
        std::unique_ptr<SimRig> rig = connectedRig();
        QVERIFY(rig);
        KVX_Configurator& w = rig->w();
        Ui_KVX_Configurator& ui = *w.ui;
        const auto description = [](QWidget* c) {
            const QString text = c->accessibleDescription();
            const QString read =
                QAccessible::queryAccessibleInterface(c)->text(QAccessible::Description);
            return text == c->toolTip() && text == read ? text : "differs: " + text + " | " + read;
        };
        const double flow = ui.pumpAFlowRate->value();
        const bool vbus = ui.mainLogVBUS->isChecked();
        QRadioButton* const starts[] = {ui.nextPowerOn, ui.alwaysPowerOn, ui.specificTime};
        QString startedAs;
        QRadioButton* other = nullptr;
        for (QRadioButton* r : starts) {
            if (r->isChecked())
                startedAs = r->text();
            else
                other = r;
        }
        QVERIFY(!startedAs.isEmpty() && other);
        QCOMPARE(description(ui.pumpAFlowRate), QString());

        ui.pumpAFlowRate->setValue(flow + 0.5);
        ui.mainLogVBUS->click();
        other->click();
        w.changes->refresh();
        QCOMPARE(description(ui.pumpAFlowRate),
                 "Changed: on the instrument " + QString::number(flow, 'f', 3));
        QCOMPARE(description(ui.mainLogVBUS), "Changed: on the instrument " + switchText(vbus));
        for (QWidget* c : {(QWidget*)starts[0], (QWidget*)starts[1], (QWidget*)starts[2],
                           (QWidget*)ui.startDateTime})
            QVERIFY2(description(c).startsWith("Changed: on the instrument " + startedAs),
                     qPrintable(description(c)));
        QCOMPARE(description(ui.durationDays), QString());

        ui.mainLogVBUS->click();
        w.changes->refresh();
        QCOMPARE(description(ui.mainLogVBUS), QString());
        QVERIFY(!description(ui.pumpAFlowRate).isEmpty());

        rig->pressWrite();
        QVERIFY(rig->settle());
        w.changes->refresh();
        QCOMPARE(w.changes->count(), 0);
        for (QWidget* c : {(QWidget*)ui.pumpAFlowRate, (QWidget*)other, (QWidget*)ui.startDateTime})
            QCOMPARE(description(c), QString());
    }

    // The Help menu, after the File menu: the keys, and what the program is.
    void helpMenu() {
        SimRig rig(QStringLiteral("full"));
        KVX_Configurator& w = rig.w();
        QStringList menus;
        for (const QAction* menu : w.menuBar()->actions())
            menus << shown(menu->text());
        QCOMPARE(menus, QStringList({"File", "Help"}));
        QAction* keys = w.findChild<QAction*>("actionKeyboardShortcuts");
        QAction* about = w.findChild<QAction*>("actionAbout");
        QCOMPARE(shown(keys->text()), QString("Keyboard Shortcuts"));
        QCOMPARE(shown(about->text()), QString("About KVX Configurator"));
        {
            DialogScript ok({QMessageBox::Ok});
            keys->trigger();
            QCOMPARE(ok.titles, QStringList("Keyboard Shortcuts"));
            for (const Command& c : commands()) {
                QVERIFY2(ok.texts[0].contains(c.key.toString(QKeySequence::NativeText)),
                         qPrintable(c.text));
                QVERIFY2(ok.texts[0].contains(c.text.toHtmlEscaped()), qPrintable(c.text));
            }
            QVERIFY(ok.texts[0].contains("Open Configuration"));
        }
        {
            DialogScript ok({QMessageBox::Ok});
            about->trigger();
            QCOMPARE(ok.titles, QStringList("About KVX Configurator"));
            for (const char* part : {"KVX Configurator V1.5R2", "Apache-2.0", "KVX_Configurator(1)",
                                     "/share/doc/kvx-configurator"})
                QVERIFY2(ok.texts[0].contains(part), part);
        }
    }

    // End to end against kvx-sim, by key only: each command starts its
    // workflow when it could start, does nothing while another runs, and the
    // questions take Esc and Enter as No, Y as Yes.
    void commandsByKey() {
        QVERIFY(start({"--preset", "full"}, nullptr, false));
        QVERIFY(activate(*w));
        auto none = std::make_unique<KeyAnswers>(QList<Qt::Key>());

        // Connect; pressed again at once, while the port opens, nothing more.
        pressCommand("actionConnectDisconnect");
        QCOMPARE(w->linkStep, int(LinkOpen));
        pressCommand("actionConnectDisconnect");
        QCOMPARE(w->linkStep, int(LinkOpen));
        QVERIFY(QTest::qWaitFor([&] { return kReadStates.holds(w->sessionState); }, 10000));
        QVERIFY(!action("actionReadConfiguration")->isEnabled());
        // The initial read runs: the other commands do nothing.
        for (const char* other : {"actionReadConfiguration", "actionWriteConfiguration",
                                  "actionSetRTC", "actionReadRTC"}) {
            pressCommand(other);
            QVERIFY2(kReadStates.holds(w->sessionState) || w->sessionState == kReadEnd, other);
        }
        QVERIFY(QTest::qWaitFor([&] { return idle(); }, 30000));
        QCOMPARE(none->titles, QStringList());
        QCOMPARE(setWords(), QList<quint16>());

        // Set RTC; Read and Read RTC pressed while it runs do nothing.
        pressCommand("actionSetRTC");
        QCOMPARE(w->sessionState, kSetClock);
        pressCommand("actionReadConfiguration");
        pressCommand("actionReadRTC");
        QVERIFY(w->sessionState == kSetClock);
        QVERIFY(QTest::qWaitFor([&] { return idle(); }, 10000));
        QCOMPARE(setWords(), QList<quint16>({kClockWord}));
        // Read RTC reads it only.
        const int gets = loggedLines().filter(" cfg_get").size();
        pressCommand("actionReadRTC");
        QCOMPARE(w->sessionState, kReadClock);
        QVERIFY(QTest::qWaitFor([&] { return idle(); }, 10000));
        QVERIFY(
            QTest::qWaitFor([&] { return loggedLines().filter(" cfg_get").size() > gets; }, 2000));
        QCOMPARE(setWords().size(), 1);
        QCOMPARE(none->titles, QStringList());
        none.reset();

        // Read: Esc, then Enter, answer No; Y reads, and Write pressed then
        // does nothing (no second question).
        {
            KeyAnswers keys({Qt::Key_Escape, Qt::Key_Return, Qt::Key_Y});
            pressCommand("actionReadConfiguration");
            QCOMPARE(w->sessionState, 0);
            pressCommand("actionReadConfiguration");
            QCOMPARE(w->sessionState, 0);
            // The ticks go on meanwhile: the read may have moved on.
            const auto reading = [this] {
                return kReadStates.holds(w->sessionState) || w->sessionState == kReadEnd;
            };
            pressCommand("actionReadConfiguration");
            QVERIFY(reading());
            const int writesBefore = int(setWords().size());
            pressCommand("actionWriteConfiguration");
            pressCommand("actionSetRTC");
            QVERIFY(reading() || idle());
            QCOMPARE(int(setWords().size()), writesBefore);
            QCOMPARE(keys.titles, QStringList(3, "Read configuration data from the KVXv2."));
            QVERIFY(QTest::qWaitFor([&] { return idle(); }, 30000));
        }
        // Write: Enter is No; Y writes.
        {
            w->ui->sampleID->setText("KEYS-1");
            // Y too for the schedule's warnings, if any.
            KeyAnswers keys({Qt::Key_Return, Qt::Key_Y}, Qt::Key_Y);
            pressCommand("actionWriteConfiguration");
            QCOMPARE(setWords().size(), 1);
            QCOMPARE(w->sessionState, 0);
            pressCommand("actionWriteConfiguration");
            QVERIFY(w->sessionState != 0);
            pressCommand("actionReadRTC");
            QVERIFY(w->sessionState != kReadClock);
            QVERIFY(QTest::qWaitFor([&] { return idle(); }, 30000));
            QCOMPARE(keys.titles.mid(0, 2),
                     QStringList(2, "Write configuration data to the KVXv2."));
            QVERIFY(setWords().contains(0x0030));
            QCOMPARE(logged("refused").size(), 0);
        }
        // Disconnect: Esc is No, Y disconnects; the same key connects again.
        {
            KeyAnswers keys({Qt::Key_Escape, Qt::Key_Y});
            pressCommand("actionConnectDisconnect");
            QCOMPARE(w->linkStep, int(LinkIdle));
            pressCommand("actionConnectDisconnect");
            QVERIFY(QTest::qWaitFor([&] { return w->linkStep == LinkNone; }, 10000));
            QCOMPARE(keys.titles, QStringList(2, "Disconnect from an KVXv2."));
        }
        QVERIFY(
            QTest::qWaitFor([&] { return action("actionConnectDisconnect")->isEnabled(); }, 2000));
        QVERIFY(!action("actionReadConfiguration")->isEnabled());
        pressCommand("actionConnectDisconnect");
        QVERIFY(QTest::qWaitFor([&] { return idle(); }, 30000));
    }

    // The README's walk-through on the demo's instrument: connect, edit,
    // write and disconnect with keys alone.
    void keyboardAlone() {
        QVERIFY(start({"--preset", "full"}, nullptr, false));
        QVERIFY(activate(*w));
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
        QVERIFY(QTest::qWaitFor([&] { return idle(); }, 30000));
        // To the Mainboard page: Ctrl+Tab from the connection tab.
        QVERIFY(w->ui->Tab_KVX->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == w->ui->configuratorTabs->tabBar());
        press(Qt::CTRL | Qt::Key_Tab);
        QCOMPARE(w->ui->configuratorTabs->currentWidget(), w->ui->Tab_Main);
        // Tab to the sample ID and type a new one; Shift+Tab back to the
        // logging interval and step it with an arrow key.
        for (int i = 0; i < 60 && QApplication::focusWidget() != w->ui->sampleID; ++i)
            press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->ui->sampleID);
        press(Qt::CTRL | Qt::Key_A);
        QTest::keyClicks(w->ui->sampleID, "VAN-7");
        QCOMPARE(w->ui->sampleID->text(), QString("VAN-7"));
        for (int i = 0; i < 60 && QApplication::focusWidget() != w->ui->logInterval; ++i)
            press(Qt::SHIFT | Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), w->ui->logInterval);
        const int interval = w->ui->logInterval->currentIndex();
        press(interval > 0 ? Qt::Key_Up : Qt::Key_Down);
        QVERIFY(w->ui->logInterval->currentIndex() != interval);
        w->changes->refresh();
        QCOMPARE(w->changes->count(), 2);
        // Write, answered Y (and Y to any warning about the schedule); then
        // disconnect, answered Y.
        KeyAnswers keys({}, Qt::Key_Y);
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_W);
        QVERIFY(QTest::qWaitFor([&] { return idle() && w->changes->count() == 0; }, 30000));
        QVERIFY(setWords().contains(0x0030));
        QVERIFY(setWords().contains(0x0040));
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
        QVERIFY(QTest::qWaitFor([&] { return w->linkStep == LinkNone; }, 10000));
        QCOMPARE(keys.titles.first(), QString("Write configuration data to the KVXv2."));
        QCOMPARE(keys.titles.last(), QString("Disconnect from an KVXv2."));
    }
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
