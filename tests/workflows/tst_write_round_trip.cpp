// Writing against the simulated instrument: a read followed by a write without
// any edit leaves every record as it was, and edits on every page come back
// when another window reads the instrument afresh.
#include "WorkflowRig.h"
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/PumpWidgets.h"
#include "tests/support/SimRig.h"

#include <QtTest>
#include <QtWidgets>

using namespace kvx::test;
using kvx::Pump;

namespace {

// Every record the instrument answers cfg_get for, the clock excepted (it runs).
QList<quint16> readableWords() {
    QList<quint16> words = {0x0000, 0x0020, 0x0030, 0x0040, 0x0050, 0x0060, 0x0070,
                            0x4006, 0x4016, 0x4026, 0x4036, 0x4046, 0x4056, 0x4066,
                            0x4076, 0x40A6, 0x40B6, 0x40C6, 0xC001};
    for (Pump pump : kvx::kAllPumps) {
        const kvx::PumpRecords& r = kvx::pumpRecords(pump);
        words << r.flow << r.cartridge << r.install << r.run << r.volume << r.start << r.duration;
    }
    words << 0x8002 << 0x8004;
    return words;
}

QMap<quint16, QByteArray> snapshot(const kvx::sim::Instrument& instrument) {
    QMap<quint16, QByteArray> out;
    for (quint16 word : readableWords()) {
        if (const auto record = instrument.readRecord(word))
            out.insert(word, *record);
    }
    return out;
}

// Writes with Yes to the confirmation and to every warning.
bool writeAll(SimRig& sim) {
    DialogScript script({QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes,
                         QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes});
    sim.window->KVXWriteButtonPressed();
    return script.answered() >= 1 && sim.window->sessionState != 0 && sim.settle();
}

// What a page shows: every control that is shown and enabled on it (display
// fields are disabled), by object name.
QMap<QString, QVariant> pageValues(const Ui_KVX_Configurator& ui) {
    QMap<QString, QVariant> out;
    for (QWidget* page : {ui.Tab_Main, ui.Tab_Gas, ui.Tab_Alphasense, ui.Tab_PumpA, ui.Tab_PumpB,
                          ui.Tab_PumpC, ui.Tab_PumpD}) {
        for (QWidget* w : page->findChildren<QWidget*>()) {
            const QString name = w->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || !w->isEnabled() ||
                !w->isVisibleTo(page))
                continue;
            if (auto* e = qobject_cast<QDateTimeEdit*>(w))
                out.insert(name, e->dateTime());
            else if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable())
                out.insert(name, b->isChecked());
            else if (auto* i = qobject_cast<QSpinBox*>(w))
                out.insert(name, i->value());
            else if (auto* d = qobject_cast<QDoubleSpinBox*>(w))
                out.insert(name, d->value());
            else if (auto* c = qobject_cast<QComboBox*>(w))
                out.insert(name, c->currentText());
            else if (auto* l = qobject_cast<QLineEdit*>(w))
                out.insert(name, l->text());
        }
    }
    return out;
}

// "On MM/dd/yyyy @ hh:mm" (the stamp a write puts in the form) as the
// instrument's install text reads it back: "On M/d/yyyy @ h:mm".
QString asInstallText(const QString& stamp) {
    const QDateTime t = QDateTime::fromString(stamp.mid(3), QStringLiteral("MM/dd/yyyy @ hh:mm"));
    return t.isValid() ? QStringLiteral("On ") + t.toString(QStringLiteral("M/d/yyyy @ h:mm"))
                       : QStringLiteral("not a stamp: ") + stamp;
}

} // namespace

class WriteRoundTripTest : public QObject {
    Q_OBJECT

private slots:
    void readThenWriteChangesNothing_data() {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<bool>("figaroSet");
        for (const QString& name : kvx::sim::InstrumentConfig::presetNames())
            QTest::newRow(qPrintable(name)) << name << false;
        // Figaro quantities logged and a range no hidden control can show.
        QTest::newRow("full, Figaro set") << "full" << true;
    }
    void readThenWriteChangesNothing() {
        QFETCH(QString, preset);
        QFETCH(bool, figaroSet);
        auto config = SimRig::load(preset);
        if (figaroSet) {
            config.gasLogging |= 0x3C;
            config.figaro.range = 7; // no button for it
        }
        SimRig sim(config);
        QVERIFY(sim.connect());
        const QMap<quint16, QByteArray> before = snapshot(*sim.instrument);
        sim.instrument->log().clear();
        QVERIFY(writeAll(sim));
        QVERIFY(!sim.requestedWords(kvx::kCfgSet).isEmpty());
        QCOMPARE(sim.window->linkStep, 0);
        const QMap<quint16, QByteArray> after = snapshot(*sim.instrument);
        QCOMPARE(after.keys(), before.keys());
        QStringList changed;
        for (quint16 word : before.keys()) {
            if (after[word] != before[word])
                changed << QStringLiteral("%1 became %2")
                               .arg(QString::fromLatin1(before[word].toHex()),
                                    QString::fromLatin1(after[word].toHex()));
        }
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join(QStringLiteral("; "))));
    }

    void editsOnEveryPageComeBack() {
        SimRig sim(QStringLiteral("full"));
        QVERIFY(sim.connect());
        Ui_KVX_Configurator& ui = *sim.window->ui;
        const QMap<QString, QVariant> asRead = pageValues(ui);

        // Main board.
        ui.tzOffset->setValue(-3.5);
        ui.sampleID->setText(QStringLiteral("edited sample 7"));
        ui.specificTime->click();
        ui.startDateTime->setDateTime(QDateTime(QDate(2025, 5, 2), QTime(10, 20), Qt::UTC));
        ui.durationDays->setValue(3);
        ui.durationHours->setValue(4);
        ui.durationMinutes->setValue(15);
        ui.logInterval->setCurrentIndex(3);
        ui.stopState->setCurrentIndex(0);
        ui.sampleHalt->click();
        ui.sen55Mode->setCurrentIndex(1);
        ui.sen55Interval->setValue(500);
        ui.mainLogVBUS->click();
        ui.mainLogAccelerometer->click();
        ui.mainLogSEN55_PM10->click();
        // Gas board and Alphasense.
        ui.sgp41Mode->click();
        ui.sfa30Mode->click();
        ui.scd30Compensation->setCurrentIndex(1);
        ui.gasFanState->click();
        ui.gasLog5V0->click();
        ui.gasLogSFA30T->click();
        ui.as1Mode_3->click();
        ui.as4Mode_3->click();
        ui.as3_NO2_Algorithm->setCurrentIndex(ui.as3_NO2_Algorithm->findText("Algorithm #4"));
        ui.alphasenseLogAS1Algorithm1->click();
        ui.alphasenseLogAS2Raw->click();
        // Pumps.
        // Choosing the specific sample start made every pump's date editor
        // editable; the pumps keep their own start options.
        ui.pumpADelayedStart->click();
        ui.pumpDSampleStart->click();
        ui.pumpAFlowRate->setValue(1.5);
        ui.pumpACartID->setText(QStringLiteral("FC-NEW-A1"));
        ui.pumpADelayDays->setValue(1);
        ui.pumpADelayHours->setValue(3);
        ui.pumpADelayMinutes->setValue(4);
        ui.pumpADurationHours->setValue(6);
        ui.pumpADurationMinutes->setValue(30);
        ui.pumpADurationDays->setValue(0);
        ui.pumpALogAtmo->click();
        ui.pumpBFlowRate->setValue(2.25);
        ui.pumpBStartDateTime->setDateTime(QDateTime(QDate(2025, 5, 3), QTime(12, 0), Qt::UTC));
        ui.pumpBPartialSample->click();
        ui.pumpBDurationHours->setValue(2);
        ui.pumpBLogFlowV->click();
        ui.pumpCFlowRate->setValue(75.5);
        ui.pumpCDelayedStart->click();
        ui.pumpCDelayHours->setValue(1);
        ui.pumpCPartialSample->click();
        ui.pumpCDurationHours->setValue(5);
        ui.pumpDFlowRate->setValue(10.25);
        ui.pumpDCartID->setText(QStringLiteral("ST-D-NEW"));
        ui.pumpDLogAtmo->click(); // mirrored on Pump C's page
        ui.pumpDLogFlowM->click();

        const QMap<QString, QVariant> edited = pageValues(ui);
        int changed = 0;
        for (auto it = edited.cbegin(); it != edited.cend(); ++it)
            changed += asRead.value(it.key()) != it.value() ? 1 : 0;
        QVERIFY2(changed >= 45, qPrintable(QString::number(changed)));

        QVERIFY(writeAll(sim));
        QCOMPARE(sim.window->linkStep, 0);

        SimRig later(sim.instrument, sim.now() + 1000); // a later session
        QVERIFY(later.connect());
        const QMap<QString, QVariant> reread = pageValues(*later.window->ui);
        QStringList differ;
        for (auto it = edited.cbegin(); it != edited.cend(); ++it) {
            if (reread.value(it.key()) != it.value())
                differ << QStringLiteral("%1: %2 read back as %3")
                              .arg(it.key(), it.value().toString(),
                                   reread.value(it.key()).toString());
        }
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join(QStringLiteral("; "))));
        // The new cartridges carry the stamp of the write.
        QCOMPARE(later.window->ui->pumpAInstall->text(), asInstallText(ui.pumpAInstall->text()));
        QCOMPARE(later.window->ui->pumpDInstall->text(), asInstallText(ui.pumpDInstall->text()));
        QCOMPARE(later.window->ui->pumpBInstall->text(), ui.pumpBInstall->text());
    }
};

QTEST_MAIN(WriteRoundTripTest)
#include "tst_write_round_trip.moc"
