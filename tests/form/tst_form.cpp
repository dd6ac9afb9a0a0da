// What no compiler checks about the form: one pointer member per widget,
// declared in creation order and named like its widget; the exclusive choices;
// and the window's 61 signal-slot connections.
#include "tests/support/SimRig.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>

namespace {

constexpr int kWidgets = 434;

// The form's widgets in creation order: depth first, the pages in tab order,
// leaving out the toolkit's inner parts (unnamed or named "qt_...").
void walk(const QObject* parent, QStringList& names) {
    for (const QObject* child : parent->children()) {
        const QString name = child->objectName();
        if (!child->isWidgetType() || name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        names << name;
        if (const auto* tabs = qobject_cast<const QTabWidget*>(child))
            for (int i = 0; i < tabs->count(); ++i)
                walk(tabs->widget(i), names << tabs->widget(i)->objectName());
        else
            walk(child, names);
    }
}

struct Wire {
    QString sender;
    QByteArray signal, slot;
};

// The connections the constructor makes, one row per sender.
QList<Wire> wires() {
    const QByteArray pressed = "pressed()", clicked = "clicked()", toggled = "clicked(bool)";
    QList<Wire> out = {{"kvxConnect", pressed, "KVXConnectButtonPressed()"},
                       {"kvxDisconnect", pressed, "KVXDisconnectButtonPressed()"},
                       {"kvxRead", pressed, "KVXReadButtonPressed()"},
                       {"kvxWrite", pressed, "KVXWriteButtonPressed()"},
                       {"setRTC", pressed, "KVXSetRTCPressed()"},
                       {"readRTC", pressed, "KVXReadRTCPressed()"},
                       {"scd30CalButton", pressed, "SCD30CalButtonPressed()"},
                       {"alwaysPowerOn", clicked, "SampleAlwaysPowerOnClicked()"},
                       {"nextPowerOn", clicked, "SampleNextPowerOnClicked()"},
                       {"specificTime", clicked, "SampleSpecificTimeClicked()"},
                       {"scd30Mode", toggled, "SCD30ModeChanged(bool)"},
                       {"sgp41Mode", toggled, "SGP41ModeChanged(bool)"},
                       {"sfa30Mode", toggled, "SFA30ModeChanged(bool)"},
                       {"figaroMode", toggled, "FigaroModeChanged(bool)"},
                       {"sen55Mode", "currentIndexChanged(int)", "SEN55ModeChanged(int)"}};
    for (const QByteArray n : {"1", "2", "3", "4"}) {
        out += {"as" + n + "Mode", toggled, "Alphasense" + n + "GasModeChanged(bool)"};
        out += {"as" + n + "Mode_3", toggled, "Alphasense" + n + "ModeChanged(bool)"};
    }
    for (const QByteArray p : {"A", "B", "C", "D"}) {
        for (const QByteArray choice : {"SampleStart", "DelayedStart", "SpecificDateTime"})
            out += {"pump" + p + choice, clicked, "Pump" + p + choice + "Clicked()"};
        for (const QByteArray choice : {"FullSample", "PartialSample"})
            out += {"pump" + p + choice, clicked, "Pump" + p + choice + "TimeClicked()"};
        out += {"startPump" + p, clicked, "Pump" + p + "StartClicked()"};
        out += {"stopPump" + p, clicked, "Pump" + p + "StopClicked()"};
        if (p == "C" || p == "D")
            for (const QByteArray box : {"VSUPPLY", "3V3", "BMP390P", "BMP390T", "Atmo"})
                out +=
                    {"pump" + p + "Log" + box, toggled, "Pump" + p + "Log" + box + "Changed(bool)"};
    }
    return out;
}

} // namespace

class FormTest : public QObject {
    Q_OBJECT

private slots:
    void membersFollowTheWidgets() {
        QMainWindow window;
        Ui_KVX_Configurator ui;
        ui.setupUi(&window);
        QCOMPARE(sizeof ui, kWidgets * sizeof(QWidget*));
        QWidget* members[kWidgets];
        std::memcpy(members, static_cast<const void*>(&ui), sizeof members);
        QStringList byMember;
        for (const QWidget* member : members)
            byMember << (member ? member->objectName() : QStringLiteral("(null)"));
        QStringList created;
        walk(&window, created);
        QCOMPARE(QSet<QString>(created.cbegin(), created.cend()).size(), kWidgets);
        QCOMPARE(byMember, created);

        // Each member carries its widget's name.
        QFile header(QStringLiteral(KVX_FORM_HEADER));
        QVERIFY(header.open(QIODevice::ReadOnly));
        const QRegularExpression declaration(R"(^\s+\w+ \*(\w+);$)",
                                             QRegularExpression::MultilineOption);
        QStringList declared;
        for (auto it = declaration.globalMatch(QString::fromUtf8(header.readAll())); it.hasNext();)
            declared << it.next().captured(1);
        QCOMPARE(declared, byMember);
    }

    // Radio buttons sharing a parent are one choice: exactly one is selected,
    // a click selects it alone and no other choice moves.
    void exclusiveChoices() {
        QMainWindow window;
        Ui_KVX_Configurator ui;
        ui.setupUi(&window);
        QMap<QWidget*, QList<QRadioButton*>> groups;
        for (QRadioButton* radio : window.findChildren<QRadioButton*>())
            groups[radio->parentWidget()] << radio;
        QCOMPARE(groups.size(), 10);
        const auto selected = [&groups] {
            QList<QRadioButton*> out;
            for (const auto& group : groups)
                for (QRadioButton* radio : group)
                    if (radio->isChecked())
                        out << radio;
            return out;
        };
        QList<QRadioButton*> expected = selected();
        QCOMPARE(expected.size(), 10);
        for (const auto& group : groups) {
            for (QRadioButton* radio : group) {
                radio->click();
                for (QRadioButton*& choice : expected)
                    if (group.contains(choice))
                        choice = radio;
                QCOMPARE(selected(), expected);
            }
        }
    }

    // Each listed connection exists exactly so (taking it away succeeds only
    // then), and none other joins a form widget to the window.
    void connections() {
        kvx::test::SimRig rig(QStringLiteral("minimal"));
        KVX_Configurator* w = rig.window.get();
        const QList<Wire> all = wires();
        QCOMPARE(all.size(), 61);
        for (const Wire& wire : all) {
            QObject* sender = w->findChild<QObject*>(wire.sender);
            QVERIFY2(sender, qPrintable(wire.sender));
            QVERIFY2(QObject::disconnect(sender, "2" + wire.signal, w, "1" + wire.slot),
                     qPrintable(wire.sender));
        }
        for (const QWidget* child : w->findChildren<QWidget*>())
            QVERIFY2(!QObject::disconnect(child, nullptr, w, nullptr),
                     qPrintable(child->objectName()));
    }
};

QTEST_MAIN(FormTest)
#include "tst_form.moc"
