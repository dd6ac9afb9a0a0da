// Builds the form on a bare main window (setupUi only, no constructor) and
// compares it, widget by widget, against the hand-written table in
// FormTable.h; then exercises the limits and the exclusive groups an operator
// runs into.
#include "FormTable.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <map>
#include <set>

namespace {

constexpr int kWidgetCount = 434;
static_assert(std::size(kFormRows) == kWidgetCount, "one row per widget");

struct Attrs {
    bool off = false, on = false, ro = false, utc = false, alignLeft = false;
    bool fuzzyX = false, fuzzyW = false;
    int maxLength = 32767; // QLineEdit's own default
    bool hasRange = false;
    double lo = 0, hi = 0, step = 1, value = 0;
    int decimals = 2;
};

// Parses the attribute column; an unknown word fails the test so that a typo in
// the table cannot silently weaken a check.
bool parseAttrs(const char* text, Attrs& a, QString& error) {
    const QStringList words = QString::fromLatin1(text).split(' ', Qt::SkipEmptyParts);
    for (const QString& w : words) {
        if (w == "off")
            a.off = true;
        else if (w == "on")
            a.on = true;
        else if (w == "ro")
            a.ro = true;
        else if (w == "utc")
            a.utc = true;
        else if (w == "alL")
            a.alignLeft = true;
        else if (w == "fx")
            a.fuzzyX = true;
        else if (w == "fw")
            a.fuzzyW = true;
        else if (w.startsWith("max="))
            a.maxLength = w.mid(4).toInt();
        else if (w.startsWith("val="))
            a.value = w.mid(4).toDouble();
        else if (w.startsWith("step="))
            a.step = w.mid(5).toDouble();
        else if (w.startsWith("dec="))
            a.decimals = w.mid(4).toInt();
        else if (w.startsWith("r=")) {
            const QStringList r = w.mid(2).split("..");
            if (r.size() != 2) {
                error = "bad range " + w;
                return false;
            }
            a.hasRange = true;
            a.lo = r[0].toDouble();
            a.hi = r[1].toDouble();
        } else {
            error = "unknown attribute " + w;
            return false;
        }
    }
    return true;
}

QStringList comboItems(const QComboBox* c) {
    QStringList items;
    for (int i = 0; i < c->count(); ++i)
        items << c->itemText(i);
    return items;
}

// The toolkit builds inner parts into composite widgets (a spin box's line
// edit, a tab bar's scroll buttons, a text pane's viewport). Those parts either
// carry a "qt_" name or sit below one that does; only the tab widget's page
// stack lies between the form's own widgets and the window.
bool isFormWidget(const QWidget* w, const QWidget* window, const QWidget* pageStack) {
    if (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
        return false;
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (p->objectName().startsWith("qt_") && p != pageStack)
            return false;
    return true;
}

} // namespace

class FormConformanceTest : public QObject {
    Q_OBJECT

    QMainWindow* window = nullptr;
    Ui_KVX_Configurator* ui = nullptr;

    QWidget* find(const char* name) const {
        return window->findChild<QWidget*>(QString::fromLatin1(name));
    }

    void destroyForm() {
        delete window;
        delete ui;
        window = nullptr;
        ui = nullptr;
    }

    // The per-widget comparison only reads the form, so its 434 rows share one;
    // every other test gets a freshly built form.
    static bool readsOnly() { return QByteArray(QTest::currentTestFunction()) == "everyWidget"; }

private slots:
    void init() {
        if (window && readsOnly())
            return;
        destroyForm();
        window = new QMainWindow;
        ui = new Ui_KVX_Configurator;
        ui->setupUi(window);
    }
    void cleanup() {
        if (!readsOnly())
            destroyForm();
    }
    void cleanupTestCase() { destroyForm(); }

    void windowFrame() {
        QCOMPARE(window->objectName(), QStringLiteral("KVX_Configurator"));
        QCOMPARE(window->windowTitle(), QStringLiteral("KVX_Configurator"));
        QCOMPARE(window->size(), QSize(1200, 726));
        QCOMPARE(window->centralWidget(), ui->centralWidget);
        QCOMPARE(window->menuBar(), ui->menuBar);
        QCOMPARE(window->statusBar(), ui->statusBar);
        QCOMPARE(window->toolBarArea(ui->mainToolBar), Qt::TopToolBarArea);
        QVERIFY(ui->menuBar->actions().isEmpty());
        QVERIFY(ui->mainToolBar->actions().isEmpty());
        QVERIFY(ui->statusBar->currentMessage().isEmpty());
    }

    // Before the constructor removes nine of them, the tab widget holds all ten
    // pages in this order with these titles, and the connection tab is current.
    void pagesAndTitles() {
        const std::pair<const char*, const char*> pages[] = {
            {"Tab_KVX", "KVX"},       {"Tab_Main", "Mainboard"},
            {"Tab_Gas", "Gas"},       {"Tab_Alphasense", "Alphasense"},
            {"Tab_Figaro", "Figaro"}, {"Tab_PumpA", "Pump A"},
            {"Tab_PumpB", "Pump B"},  {"Tab_PumpC", "Pump C"},
            {"Tab_PumpD", "Pump D"},  {"Tab_Debug", "Debug"}};
        QCOMPARE(ui->configuratorTabs->count(), 10);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(ui->configuratorTabs->widget(i)->objectName(),
                     QString::fromLatin1(pages[i].first));
            QCOMPARE(ui->configuratorTabs->tabText(i), QString::fromLatin1(pages[i].second));
        }
        QCOMPARE(ui->configuratorTabs->currentIndex(), 0);
    }

    // The form object holds nothing but one widget pointer per widget, in member
    // order. Its size gives the count; reading the pointers in declaration order
    // gives the order, each compared with the table row of the same index.
    void memberCountAndOrder() {
        QCOMPARE(sizeof(Ui_KVX_Configurator), kWidgetCount * sizeof(QWidget*));
        QWidget* members[kWidgetCount];
        std::memcpy(members, static_cast<const void*>(ui), sizeof members);
        for (int i = 0; i < kWidgetCount; ++i) {
            QVERIFY2(members[i], kFormRows[i].name);
            QCOMPARE(members[i]->objectName(), QString::fromLatin1(kFormRows[i].name));
        }
    }

    // Every named widget under the window, apart from the toolkit's own inner
    // parts (named "qt_..."), is one of the table's, and each table name occurs
    // exactly once. The window itself is not a member and is not counted.
    void everyNameExactlyOnce() {
        std::map<QString, int> seen;
        const auto all = window->findChildren<QWidget*>();
        const QWidget* pageStack = ui->configuratorTabs->findChild<QStackedWidget*>();
        for (const QWidget* w : all)
            if (isFormWidget(w, window, pageStack))
                ++seen[w->objectName()];
        std::set<QString> expected;
        for (const FormRow& r : kFormRows)
            expected.insert(QString::fromLatin1(r.name));
        QCOMPARE(int(expected.size()), kWidgetCount);
        for (const auto& [name, count] : seen) {
            QVERIFY2(expected.count(name), qPrintable("unexpected widget " + name));
            QVERIFY2(count == 1, qPrintable(name + " occurs " + QString::number(count) + " times"));
        }
        QCOMPARE(int(seen.size()), kWidgetCount);
    }

    void everyWidget_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < kWidgetCount; ++i)
            QTest::newRow(kFormRows[i].name) << i;
    }

    void everyWidget() {
        QFETCH(int, row);
        const FormRow& r = kFormRows[row];
        Attrs a;
        QString error;
        QVERIFY2(parseAttrs(r.attrs, a, error), qPrintable(error));

        QWidget* w = find(r.name);
        QVERIFY(w);
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), QString::fromLatin1(r.cls));

        // Parent.
        if (!std::strcmp(r.parent, "*"))
            QCOMPARE(w->parentWidget(), window);
        else if (!std::strcmp(r.parent, "@"))
            QCOMPARE(w->parentWidget(), ui->configuratorTabs->findChild<QStackedWidget*>());
        else
            QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(r.parent));

        // Rectangle.
        if (r.x >= 0) {
            const QRect g = w->geometry();
            if (a.fuzzyX) {
                QVERIFY2(g.x() == 30 || g.x() == 40 || g.x() == 50,
                         qPrintable(QString::number(g.x())));
                QCOMPARE(g.x() + g.width(), r.x + r.w);
                QCOMPARE(g.y(), r.y);
                QCOMPARE(g.height(), r.h);
            } else if (a.fuzzyW) {
                QVERIFY2(g.width() == 291 || g.width() == 301,
                         qPrintable(QString::number(g.width())));
                QCOMPARE(QPoint(g.x(), g.y()), QPoint(r.x, r.y));
                QCOMPARE(g.height(), r.h);
            } else {
                QCOMPARE(g, QRect(r.x, r.y, r.w, r.h));
            }
        }

        // Font: only a point size, only where the table sets one.
        QCOMPARE(w->testAttribute(Qt::WA_SetFont), r.pt != 0);
        if (r.pt) {
            QCOMPARE(w->font().pointSize(), r.pt);
            QCOMPARE(w->font().family(), QApplication::font().family());
        }

        // Enabled unless created disabled (after setupUi nothing above it is).
        QCOMPARE(w->isEnabled(), !a.off);

        const QString text = QString::fromUtf8(r.text);
        if (auto* l = qobject_cast<QLabel*>(w)) {
            QCOMPARE(l->text(), text);
            const Qt::Alignment expected = a.alignLeft ? (Qt::AlignLeft | Qt::AlignVCenter)
                                                       : (Qt::AlignRight | Qt::AlignVCenter);
            QCOMPARE(l->alignment(), expected);
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            QCOMPARE(b->text(), text);
            QCOMPARE(b->isChecked(), a.on);
            QCOMPARE(b->isCheckable(), !qobject_cast<QPushButton*>(w));
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            QCOMPARE(g->title(), text);
            QVERIFY(!g->isCheckable());
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            QVERIFY(e->text().isEmpty());
            QCOMPARE(e->maxLength(), a.maxLength);
            QVERIFY(!e->isReadOnly()); // display-only fields are disabled, not read-only
        } else if (auto* t = qobject_cast<QTextEdit*>(w)) {
            QVERIFY(t->toPlainText().isEmpty());
            QCOMPARE(t->isReadOnly(), a.ro);
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            const QStringList items = text.isEmpty() ? QStringList() : text.split('|');
            QCOMPARE(comboItems(c), items);
            QCOMPARE(c->currentIndex(), items.isEmpty() ? -1 : 0);
        } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
            QCOMPARE(s->minimum(), a.hasRange ? int(a.lo) : 0);
            QCOMPARE(s->maximum(), a.hasRange ? int(a.hi) : 99);
            QCOMPARE(s->singleStep(), int(a.step));
            QCOMPARE(s->value(), int(a.value));
        } else if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) {
            QCOMPARE(d->decimals(), a.decimals);
            QCOMPARE(d->minimum(), a.hasRange ? a.lo : 0.0);
            QCOMPARE(d->maximum(), a.hasRange ? a.hi : 99.99);
            QCOMPARE(d->singleStep(), a.step);
            QCOMPARE(d->value(), a.value);
        } else if (auto* dt = qobject_cast<QDateTimeEdit*>(w)) {
            QVERIFY(a.utc);
            QCOMPARE(dt->timeSpec(), Qt::UTC);
            QCOMPARE(dt->dateTime().timeSpec(), Qt::UTC);
        } else {
            QVERIFY2(text.isEmpty(), "text given for a widget that shows none");
        }
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) &&
            !qobject_cast<QGroupBox*>(w) && !qobject_cast<QComboBox*>(w))
            QVERIFY2(text.isEmpty(), "table gives a text for a widget without one");
    }

    // ---- limits an operator runs into

    void spinBoxesStopAtTheirLimits_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        const std::tuple<const char*, int, int> boxes[] = {
            {"durationDays", 0, 300},        {"durationHours", 0, 23},
            {"durationMinutes", 0, 59},      {"sen55Interval", 0, 1000},
            {"scd30CalValue", 400, 2000},    {"pumpADelayDays", 0, 300},
            {"pumpBDelayHours", 0, 23},      {"pumpCDelayMinutes", 0, 59},
            {"pumpDDurationDays", 0, 300},   {"pumpADurationHours", 0, 23},
            {"pumpBDurationMinutes", 0, 59}, {"pumpCDurationHours", 0, 23}};
        for (const auto& [n, lo, hi] : boxes)
            QTest::newRow(n) << QString::fromLatin1(n) << lo << hi;
    }
    void spinBoxesStopAtTheirLimits() {
        QFETCH(QString, name);
        QFETCH(int, low);
        QFETCH(int, high);
        auto* s = window->findChild<QSpinBox*>(name);
        QVERIFY(s);
        s->setValue(low - 1);
        QCOMPARE(s->value(), low);
        s->stepBy(-1);
        QCOMPARE(s->value(), low);
        s->setValue(high + 1);
        QCOMPARE(s->value(), high);
        s->stepBy(1);
        QCOMPARE(s->value(), high);
        s->stepBy(-1);
        QCOMPARE(s->value(), high - 1);
    }

    void calibrationReferenceStartsAt400() {
        QCOMPARE(ui->scd30CalValue->value(), 400);
        ui->scd30CalValue->setValue(0);
        QCOMPARE(ui->scd30CalValue->value(), 400);
        ui->scd30CalValue->setValue(2001);
        QCOMPARE(ui->scd30CalValue->value(), 2000);
    }

    void utcOffsetStepsByQuarterHours() {
        QDoubleSpinBox* tz = ui->tzOffset;
        tz->stepBy(1);
        QCOMPARE(tz->value(), 0.25);
        tz->stepBy(-3);
        QCOMPARE(tz->value(), -0.5);
        tz->setValue(-13);
        QCOMPARE(tz->value(), -12.0);
        tz->stepBy(-1);
        QCOMPARE(tz->value(), -12.0);
        tz->setValue(14.5);
        QCOMPARE(tz->value(), 14.0);
        tz->setValue(5.75);
        QCOMPARE(tz->cleanText(), QLocale().toString(5.75, 'f', 2));
    }

    void flowRatesBeforeAnyRead() {
        const std::pair<QDoubleSpinBox*, int> flows[] = {{ui->pumpAFlowRate, 3},
                                                         {ui->pumpBFlowRate, 3},
                                                         {ui->pumpCFlowRate, 2},
                                                         {ui->pumpDFlowRate, 2}};
        for (const auto& [f, decimals] : flows) {
            QCOMPARE(f->decimals(), decimals);
            f->stepBy(3);
            QVERIFY(qFuzzyCompare(f->value(), 0.15));
            f->setValue(150);
            QCOMPARE(f->value(), 99.99);
            f->setValue(-1);
            QCOMPARE(f->value(), 0.0);
        }
        ui->pumpAFlowRate->setValue(1.234);
        QCOMPARE(ui->pumpAFlowRate->value(), 1.234);
        ui->pumpCFlowRate->setValue(1.234);
        QCOMPARE(ui->pumpCFlowRate->value(), 1.23);
    }

    // Typing past the limit is cut off at the limit.
    void textLimits() {
        const std::pair<QLineEdit*, int> edits[] = {{ui->sampleID, 31},
                                                    {ui->pumpACartID, 15},
                                                    {ui->pumpBCartID, 15},
                                                    {ui->pumpCCartID, 15},
                                                    {ui->pumpDCartID, 15}};
        const QString typed = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
        for (const auto& [e, limit] : edits) {
            QTest::keyClicks(e, typed);
            QCOMPARE(e->text(), typed.left(limit));
            e->setText(typed);
            QCOMPARE(e->text().size(), limit);
        }
    }

    // ---- exclusive choices

    void samplingStartIsExclusive() {
        QRadioButton* radios[] = {ui->nextPowerOn, ui->alwaysPowerOn, ui->specificTime};
        for (QRadioButton* chosen : radios) {
            chosen->click();
            for (QRadioButton* r : radios)
                QCOMPARE(r->isChecked(), r == chosen);
        }
    }

    void figaroRangeHasExactlyOneChoice() {
        QRadioButton* radios[] = {ui->figaro20PPM, ui->figaro50PPM, ui->figaro1000PPM};
        auto checkedCount = [&] {
            int n = 0;
            for (QRadioButton* r : radios)
                n += r->isChecked();
            return n;
        };
        QCOMPARE(checkedCount(), 1);
        ui->figaro20PPM->click();
        QVERIFY(!ui->figaro1000PPM->isChecked());
        QCOMPARE(checkedCount(), 1);
        ui->figaro50PPM->click();
        QVERIFY(!ui->figaro20PPM->isChecked());
        QCOMPARE(checkedCount(), 1);
        // Clicking the chosen button again keeps it chosen.
        ui->figaro50PPM->click();
        QVERIFY(ui->figaro50PPM->isChecked());
        QCOMPARE(checkedCount(), 1);
    }

    // The start and the duration choice of a pump are separate groups, and each
    // pump's groups are its own.
    void pumpChoicesAreIndependentGroups() {
        const struct {
            QRadioButton *sample, *delayed, *specific, *full, *partial;
        } pumps[] = {
            {ui->pumpASampleStart, ui->pumpADelayedStart, ui->pumpASpecificDateTime,
             ui->pumpAFullSample, ui->pumpAPartialSample},
            {ui->pumpBSampleStart, ui->pumpBDelayedStart, ui->pumpBSpecificDateTime,
             ui->pumpBFullSample, ui->pumpBPartialSample},
            {ui->pumpCSampleStart, ui->pumpCDelayedStart, ui->pumpCSpecificDateTime,
             ui->pumpCFullSample, ui->pumpCPartialSample},
            {ui->pumpDSampleStart, ui->pumpDDelayedStart, ui->pumpDSpecificDateTime,
             ui->pumpDFullSample, ui->pumpDPartialSample},
        };
        for (const auto& p : pumps) {
            p.delayed->click();
            QVERIFY(p.delayed->isChecked());
            QVERIFY(!p.sample->isChecked());
            QVERIFY(!p.specific->isChecked());
            QVERIFY(p.full->isChecked()); // duration choice untouched
            p.partial->click();
            QVERIFY(!p.full->isChecked());
            QVERIFY(p.delayed->isChecked()); // start choice untouched
            p.specific->click();
            QVERIFY(!p.delayed->isChecked());
            QVERIFY(p.partial->isChecked());
        }
        // Pump A's choices did not move the other pumps' defaults back: each page
        // ended on its own last choice.
        QVERIFY(ui->pumpASpecificDateTime->isChecked());
        QVERIFY(ui->pumpDSpecificDateTime->isChecked());
        QVERIFY(ui->nextPowerOn->isChecked());
    }

    void no2SelectorsStartWithFiveItems() {
        const QStringList items = {"None", "Algorithm #1", "Algorithm #2", "Algorithm #3",
                                   "Algorithm #4"};
        for (QComboBox* c : {ui->as1_NO2_Algorithm, ui->as2_NO2_Algorithm, ui->as3_NO2_Algorithm,
                             ui->as4_NO2_Algorithm}) {
            QCOMPARE(comboItems(c), items);
            QCOMPARE(c->currentText(), QStringLiteral("None"));
        }
    }

    // "&&" in a button text is one shown "&" and no mnemonic.
    void doubledAmpersandShowsOnce() {
        QCOMPARE(ui->pumpCLogVSUPPLY->text(), QStringLiteral("Board Supply (Pumps C && D)"));
        QVERIFY(QKeySequence::mnemonic(ui->pumpCLogVSUPPLY->text()).isEmpty());
        QCOMPARE(ui->pumpsCDIDLabel->text(), QStringLiteral("Pumps C&D"));
    }

    // A page taken out of the tab widget keeps its widgets and their values.
    void removedPageKeepsItsWidgets() {
        ui->pumpCCartID->setText("SORB-17");
        ui->pumpCLogAtmo->setChecked(true);
        const int index = ui->configuratorTabs->indexOf(ui->Tab_PumpC);
        ui->configuratorTabs->removeTab(index);
        QCOMPARE(ui->configuratorTabs->indexOf(ui->Tab_PumpC), -1);
        QCOMPARE(ui->pumpCCartID->text(), QStringLiteral("SORB-17"));
        ui->configuratorTabs->addTab(ui->Tab_PumpC, "Pump C");
        QCOMPARE(ui->pumpCCartID->text(), QStringLiteral("SORB-17"));
        QVERIFY(ui->pumpCLogAtmo->isChecked());
    }

    // Nothing moves or stretches when the window is resized.
    void resizingMovesNothing() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QRect tabs = ui->configuratorTabs->geometry();
        const QRect flow = ui->pumpAFlowRate->geometry();
        window->resize(1600, 900);
        QApplication::processEvents();
        QCOMPARE(ui->configuratorTabs->geometry(), tabs);
        QCOMPARE(ui->pumpAFlowRate->geometry(), flow);
    }
};

QTEST_MAIN(FormConformanceTest)
#include "FormConformanceTest.moc"
