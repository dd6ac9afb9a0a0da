// Writing against the simulated instrument: a read followed by a write without
// any edit leaves every record as it was, and edits on every page come back
// when another window reads the instrument afresh.
#include "WorkflowRig.h"
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/PumpWidgets.h"
#include "tests/workflows/SimWindow.h"

#include <QtTest>

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
bool writeAll(SimWindow& sim) {
    DialogScript script({QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes,
                         QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes});
    sim.w->KVXWriteButtonPressed();
    return script.answered() >= 1 && sim.w->sessionState != 0 && sim.finish();
}

} // namespace

class WriteRoundTripTest : public QObject {
    Q_OBJECT

private slots:
    void readThenWriteChangesNothing_data() {
        QTest::addColumn<QString>("preset");
        for (const QString& name : kvx::sim::InstrumentConfig::presetNames())
            QTest::newRow(qPrintable(name)) << name;
    }
    void readThenWriteChangesNothing() {
        QFETCH(QString, preset);
        SimWindow sim(simPreset(preset));
        QVERIFY(sim.connectAndRead());
        const QMap<quint16, QByteArray> before = snapshot(*sim.instrument);
        sim.instrument->log().clear();
        QVERIFY(writeAll(sim));
        QVERIFY(!sim.requestedWords(kvx::kCfgSet).isEmpty());
        QCOMPARE(sim.w->linkStep, 0);
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
};

QTEST_MAIN(WriteRoundTripTest)
#include "tst_write_round_trip.moc"
