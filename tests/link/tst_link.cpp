// The window's start, the port selector, a failed open, and the pages and
// controls the board list and the firmware level bring.
#include "tests/support/SimRig.h"

#include <QtTest>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kFull = "0,Main,M1,1,Sorbent,S7,2,Filter,F2,3,x,x,4,Filter,F4,5,x,x,6,Gas,G9";

QStringList items(const QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

} // namespace

class LinkTest : public QObject {
    Q_OBJECT

private slots:
    // The first tick shows the Ready page over the disconnected phase.
    void startState() {
        SimRig rig("full");
        QVERIFY(rig.device->linkSettingsApplied());
        QCOMPARE(rig.w().ticker->interval(), 20);
        QCOMPARE(items(rig.w().ui->kvxComList), QStringList{"None"});
        rig.tick();
        QCOMPARE(rig.w().sessionState, 2);
        QCOMPARE(rig.w().ui->configuratorTabs->tabText(0), QString("KVX"));
        const QString problems = fallenBackProblems(rig.w());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // The ports at the first tick, the operator's pick (-1: none), the ports
    // at the next tick, and what the selector then lists and shows.
    void portList_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("pick");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("current");
        auto row = [](const char* name, const char* first, int pick, const char* then,
                      const char* listed, const char* current) {
            QTest::newRow(name) << QString(first) << pick << QString(then) << QString(listed)
                                << QString(current);
        };
        row("no port", "", -1, "", "None", "None");
        row("plugged in", "", -1, "USB0", "USB0", "USB0");
        row("the last selected", "COM3 COM4", -1, "COM3 COM4", "COM3 COM4", "COM4");
        row("new one appended, selected", "COM3 COM4", 0, "COM3 COM7 COM4", "COM3 COM4 COM7",
            "COM7");
        row("unplugged, pick kept", "COM3 COM4", 0, "COM3", "COM3", "COM3");
        row("last one gone", "COM3", -1, "", "None", "None");
    }
    void portList() {
        QFETCH(QString, first);
        QFETCH(int, pick);
        QFETCH(QString, then);
        QFETCH(QString, listed);
        QFETCH(QString, current);
        const QStringList ports = then.split(' ', Qt::SkipEmptyParts);
        SimRig rig("full");
        rig.setPorts(first.split(' ', Qt::SkipEmptyParts));
        rig.tick();
        if (pick >= 0)
            rig.w().ui->kvxComList->setCurrentIndex(pick);
        rig.setPorts(ports);
        rig.tick();
        QCOMPARE(items(rig.w().ui->kvxComList).join(' '), listed);
        QCOMPARE(rig.w().ui->kvxComList->currentText(), current);
        QCOMPARE(rig.w().portCount, int(ports.size()));
        QCOMPARE(rig.w().ui->comPortOutputBox->toPlainText(), ports.join('\n'));
        QCOMPARE(rig.w().ui->kvxConnect->isEnabled(), !then.isEmpty());
        rig.w().KVXConnectButtonPressed(); // refused without a port
        QCOMPARE(rig.w().linkStep, then.isEmpty() ? int(LinkNone) : int(LinkOpen));
        QCOMPARE(rig.w().ui->kvxComList->isEnabled(), then.isEmpty());
        if (then.isEmpty())
            return;
        // While the link exists the selector stays as it is.
        rig.setPorts(ports + QStringList{"COM9"});
        rig.tick();
        QCOMPARE(items(rig.w().ui->kvxComList).join(' '), listed);
    }

    // A port that cannot be opened: back in the disconnected phase two ticks
    // later, nothing written, no question.
    void failedOpen() {
        SimRig rig("full");
        rig.device->setOpenFails(true);
        rig.tick();
        rig.w().KVXConnectButtonPressed();
        rig.tick(2);
        QCOMPARE(rig.w().linkStep, int(LinkNone));
        QVERIFY(rig.device->written().isEmpty());
        QVERIFY(rig.w().ui->kvxConnect->isEnabled() && rig.w().ui->kvxComList->isEnabled());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Board list and firmware level (-1: a record too short to hold one):
    // the tabs, the ID rows, and controls hidden (and disabled) or shown.
    void discovery_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("tabs");
        QTest::addColumn<QString>("ids");
        QTest::addColumn<QString>("hidden");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* name, const QString& list, int level, const char* tabs,
                      const char* ids, const char* hidden, const char* shown) {
            QTest::newRow(name) << list << level << QString(tabs) << QString(ids) << QString(hidden)
                                << QString(shown);
        };
        const char* all = "M1 G9 F2 F4 S7";
        const char* plain = "KVX,Mainboard,Gas,Pump A,Pump B,Pump C,Pump D";
        const char* withAs = "KVX,Mainboard,Gas,Alphasense,Pump A,Pump B,Pump C,Pump D";
        row("level 0", kFull, 0, plain, all,
            "pumpADuration pumpDDelayDaysLabel pumpBSpecificDateTime startPumpC sampleHalt",
            "pumpAFlowRate");
        row("short level record", kFull, -1, plain, all, "pumpCStart stopPumpB", "");
        row("level 1", kFull, 1, withAs, all, "pumpBFullSample sampleHalt", "");
        row("level 4", kFull, 4, withAs, all, "sampleHalt startPumpA stopPumpD",
            "pumpAStart pumpCDuration pumpDDelayDays");
        row("level 5", kFull, 5, withAs, all, "", "sampleHalt startPumpB");
        row("type words case-sensitive", QString(kFull).replace("Main", "main"), 0,
            "KVX,Gas,Pump A,Pump B,Pump C,Pump D", " G9 F2 F4 S7", "", "");
        row("slot number must match", QString(kFull).replace("4,Filter", "3,Filter"), 0,
            "KVX,Mainboard,Gas,Pump A,Pump C,Pump D", "M1 G9 F2  S7", "", "");
        row("non-numeric slot reads 0", "zero" + kFull.mid(1), 0, plain, all, "", "");
        row("nothing fits", "9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b", 5, "KVX", "    ", "", "");
    }
    void discovery() {
        QFETCH(QString, list);
        QFETCH(int, level);
        QFETCH(QString, tabs);
        QFETCH(QString, ids);
        QFETCH(QString, hidden);
        QFETCH(QString, shown);
        SimRig rig("full");
        KVX_Configurator& w = rig.w();
        w.show();
        w.registerBoards(list.split(','));
        w.responseImage.resetRequest(kFirmwareLevelRecord);
        if (level >= 0)
            w.responseImage.appendU16(quint32(level));
        else
            w.responseImage.appendU8(9);
        w.addBoardPages();
        QCOMPARE(w.firmwareLevel, std::max(level, 0));
        QStringList titles;
        for (int i = 0; i < w.ui->configuratorTabs->count(); ++i)
            titles << w.ui->configuratorTabs->tabText(i);
        QCOMPARE(titles.join(','), tabs);
        QStringList idTexts;
        for (QLineEdit* id : {w.ui->kvxIDBox, w.ui->gasIDBox, w.ui->pumpAIDBox, w.ui->pumpBIDBox,
                              w.ui->pumpsCDIDBox}) {
            idTexts << id->text();
            QCOMPARE(id->isVisible(), !id->text().isEmpty());
        }
        QCOMPARE(idTexts.join(' '), ids);
        for (const QString& name : hidden.split(' ', Qt::SkipEmptyParts)) {
            auto* widget = w.findChild<QWidget*>(name);
            QVERIFY2(widget && widget->isHidden() && !widget->isEnabled(), qPrintable(name));
        }
        for (const QString& name : shown.split(' ', Qt::SkipEmptyParts)) {
            auto* widget = w.findChild<QWidget*>(name);
            QVERIFY2(widget && !widget->isHidden() && widget->isEnabled(), qPrintable(name));
        }
    }
};

QTEST_MAIN(LinkTest)
#include "tst_link.moc"
