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

struct Wire {
    QString sender;
    QByteArray signal, slot;
};

// The connections the constructor makes, per kind of signal: "sender:slot"
// stems, or the sender alone where the stem is the sender capitalised; '#'
// stands for the pump or Alphasense position.
QList<Wire> wires() {
    QList<Wire> out{{"sen55Mode", "currentIndexChanged(int)", "SEN55ModeChanged(int)"}};
    const auto add = [&out](QByteArray list, char n, const QByteArray& signal, const char* tail) {
        for (const QByteArray& pair : list.replace('#', n).split(' ')) {
            const QByteArray stem = pair.contains(':') ? pair.split(':')[1] : pair;
            out += {pair.split(':')[0], signal, stem.left(1).toUpper() + stem.mid(1) + tail};
        }
    };
    const QByteArray pressed = "pressed()", clicked = "clicked()", toggled = "clicked(bool)";
    add("kvxConnect:KVXConnectButton kvxDisconnect:KVXDisconnectButton kvxRead:KVXReadButton "
        "kvxWrite:KVXWriteButton setRTC:KVXSetRTC readRTC:KVXReadRTC scd30CalButton:SCD30CalButton",
        0, pressed, "Pressed()");
    add("alwaysPowerOn:SampleAlwaysPowerOn nextPowerOn:SampleNextPowerOn "
        "specificTime:SampleSpecificTime",
        0, clicked, "Clicked()");
    add("scd30Mode:SCD30Mode sgp41Mode:SGP41Mode sfa30Mode:SFA30Mode figaroMode", 0, toggled,
        "Changed(bool)");
    for (char n : {'1', '2', '3', '4'})
        add("as#Mode:Alphasense#GasMode as#Mode_3:Alphasense#Mode", n, toggled, "Changed(bool)");
    for (char p : {'A', 'B', 'C', 'D'}) {
        add("pump#SampleStart pump#DelayedStart pump#SpecificDateTime pump#FullSample:Pump#"
            "FullSampleTime pump#PartialSample:Pump#PartialSampleTime startPump#:Pump#Start "
            "stopPump#:Pump#Stop",
            p, clicked, "Clicked()");
        if (p >= 'C')
            add("pump#LogVSUPPLY pump#Log3V3 pump#LogBMP390P pump#LogBMP390T pump#LogAtmo", p,
                toggled, "Changed(bool)");
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
        QCOMPARE(QSet<QString>(byMember.cbegin(), byMember.cend()).size(), kWidgets);

        // Each member, in declaration order, carries its widget's name.
        QFile header(QStringLiteral(KVX_FORM_HEADER));
        QVERIFY(header.open(QIODevice::ReadOnly));
        const QRegularExpression declaration(R"(^\s+\w+ \*(\w+);$)",
                                             QRegularExpression::MultilineOption);
        QStringList declared;
        for (auto it = declaration.globalMatch(QString::fromUtf8(header.readAll())); it.hasNext();)
            declared << it.next().captured(1);
        QCOMPARE(declared, byMember);
    }

    // Radio buttons sharing a parent are one of ten choices: exactly one is
    // selected, from the start and after any click, which selects the clicked one.
    void exclusiveChoices() {
        QMainWindow window;
        Ui_KVX_Configurator ui;
        ui.setupUi(&window);
        const QList<QRadioButton*> radios = window.findChildren<QRadioButton*>();
        const auto selected = [&radios] {
            QMap<QWidget*, int> count;
            for (QRadioButton* radio : radios)
                count[radio->parentWidget()] += radio->isChecked();
            return count.values();
        };
        QCOMPARE(selected(), QList<int>(10, 1));
        for (QRadioButton* radio : radios) {
            radio->click();
            QVERIFY2(radio->isChecked(), qPrintable(radio->objectName()));
            QCOMPARE(selected(), QList<int>(10, 1));
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
