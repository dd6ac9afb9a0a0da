// Board list registration, the firmware level and the pages it brings back.
#include "app/KVX_Configurator.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"

#include <QtTest>

using namespace kvx::test;

namespace {

QStringList fields(const QString& list) {
    return list.split(',');
}

const QString kFull = "0,Main,M1,1,Sorbent,S7,2,Filter,F2,3,x,x,4,Filter,F4,5,x,x,6,Gas,G9";

QStringList tabTitles(KVX_Configurator& w) {
    QStringList out;
    for (int i = 0; i < w.ui->configuratorTabs->count(); ++i)
        out << w.ui->configuratorTabs->tabText(i);
    return out;
}

} // namespace

class DiscoveryTest : public QObject {
    Q_OBJECT

    Rig rig;
    std::unique_ptr<KVX_Configurator> w;

    // Registers `list` and runs session state 3 at the given level.
    void discover(const QString& list, int level) {
        w->registerBoards(fields(list));
        w->responseImage.resetRequest(0x0070);
        w->responseImage.appendU16(quint32(level));
        w->sessionState = 3;
        w->addBoardPages();
    }

private slots:
    void init() {
        rig = Rig();
        w = rig.window();
        w->show();
    }
    void cleanup() { w.reset(); }

    void fullListShowsEveryRow() {
        w->registerBoards(fields(kFull));
        QCOMPARE(w->ui->kvxIDBox->text(), QString("M1"));
        QCOMPARE(w->ui->gasIDBox->text(), QString("G9"));
        QCOMPARE(w->ui->pumpAIDBox->text(), QString("F2"));
        QCOMPARE(w->ui->pumpBIDBox->text(), QString("F4"));
        QCOMPARE(w->ui->pumpsCDIDBox->text(), QString("S7"));
        QCOMPARE(w->boardCount, 5);
        QCOMPARE((std::vector<int>(w->boardKinds.begin(), w->boardKinds.begin() + 5)),
                 (std::vector<int>{1, 2, 3, 4, 5}));
        for (QWidget* row : {(QWidget*)w->ui->kvxIDBox, (QWidget*)w->ui->kvxIDLabel,
                             (QWidget*)w->ui->pumpsCDIDBox, (QWidget*)w->ui->pumpsCDIDLabel})
            QVERIFY(row->isVisible());
    }

    void typeWordsAreCaseSensitive() {
        QString list = kFull;
        list.replace("Main", "main");
        w->registerBoards(fields(list));
        QVERIFY(!w->ui->kvxIDBox->isVisible());
        QVERIFY(w->ui->kvxIDBox->text().isEmpty());
        QCOMPARE(w->boardCount, 4);
        QCOMPARE(w->boardKinds[0], 2);
    }

    void slotNumberMustMatch() {
        QString list = kFull;
        list.replace("4,Filter,F4", "3,Filter,F4");
        w->registerBoards(fields(list));
        QVERIFY(!w->ui->pumpBIDBox->isVisible());
        QCOMPARE(w->boardCount, 4);
        // A non-numeric slot field reads as 0.
        init();
        w->registerBoards(fields(QString(kFull).replace(0, 1, "zero")));
        QCOMPARE(w->ui->kvxIDBox->text(), QString("M1"));
    }

    void noSlotMatchingRegistersNothing() {
        w->registerBoards(fields("9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b"));
        QCOMPARE(w->boardCount, 0);
        discover("9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b,9,a,b", 5);
        QCOMPARE(tabTitles(*w), QStringList{"KVX"});
    }

    void levelZeroHasNoAlphasensePageAndNoSchedules() {
        discover(kFull, 0);
        QCOMPARE(w->firmwareLevel, 0);
        QCOMPARE(tabTitles(*w),
                 (QStringList{"KVX", "Mainboard", "Gas", "Pump A", "Pump B", "Pump C", "Pump D"}));
        QVERIFY(!w->ui->Tab_Alphasense->isEnabled());
        QVERIFY(!w->ui->pumpAStart->isEnabled());
        QVERIFY(w->ui->pumpADuration->isHidden());
        QVERIFY(w->ui->pumpDDelayDaysLabel->isHidden());
        QVERIFY(w->ui->startPumpC->isHidden());
    }

    void levelOneAddsAlphasenseRightAfterGas() {
        discover(kFull, 1);
        QCOMPARE(tabTitles(*w), (QStringList{"KVX", "Mainboard", "Gas", "Alphasense", "Pump A",
                                             "Pump B", "Pump C", "Pump D"}));
        QCOMPARE(w->boardCount, 6);
        QCOMPARE(w->boardKinds[5], 7);
        QVERIFY(w->ui->pumpBFullSample->isHidden());
        QVERIFY(!w->ui->sampleHalt->isEnabled());
    }

    void levelFourHidesHaltAndPumpButtonsOnly() {
        discover(kFull, 4);
        QVERIFY(w->ui->sampleHalt->isHidden());
        QVERIFY(!w->ui->sampleHalt->isEnabled());
        for (QWidget* b : {(QWidget*)w->ui->startPumpA, (QWidget*)w->ui->stopPumpA,
                           (QWidget*)w->ui->startPumpD, (QWidget*)w->ui->stopPumpD})
            QVERIFY2(b->isHidden() && !b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(!w->ui->pumpAStart->isHidden());
        QVERIFY(w->ui->pumpCDuration->isEnabled());
    }

    void levelFiveKeepsEverything() {
        discover(kFull, 5);
        QVERIFY(!w->ui->sampleHalt->isHidden());
        QVERIFY(!w->ui->startPumpB->isHidden());
        QVERIFY(w->ui->Tab_Figaro->isEnabled() == false);
        QVERIFY(w->ui->configuratorTabs->indexOf(w->ui->Tab_Figaro) < 0);
        QVERIFY(w->ui->configuratorTabs->indexOf(w->ui->Tab_Debug) < 0);
    }

    void shortLevelRecordIsLevelZero() {
        w->registerBoards(fields(kFull));
        w->responseImage.resetRequest(0x0070);
        w->responseImage.appendU8(9);
        w->addBoardPages();
        QCOMPARE(w->firmwareLevel, 0);
    }
};

QTEST_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
