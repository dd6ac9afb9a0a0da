// A configuration read from the instrument and encoded straight back gives
// the records the instrument holds: nothing changes on a read followed by a
// write, including the Figaro settings that no control can reach.
#include "image/boards/AlphasenseCodec.h"
#include "image/boards/FilterPumpCodec.h"
#include "image/boards/GasBoardCodec.h"
#include "image/boards/MainBoardCodec.h"
#include "image/boards/PumpCodec.h"
#include "image/boards/SorbentPumpCodec.h"
#include "tests/support/SimRig.h"

#include <QtTest>

#include <functional>

using namespace kvx;
using namespace kvx::test;

namespace {

QByteArray imageBytes(const ConfigImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.bytes.data()), image.length);
}

ConfigImage asImage(const QByteArray& record) {
    ConfigImage image;
    image.length = quint16(record.size());
    for (int i = 0; i < record.size(); ++i)
        image.bytes[size_t(i)] = quint8(record.at(i));
    return image;
}

} // namespace

class WriteBackTest : public QObject {
    Q_OBJECT

    using Encoder = std::function<void(const Ui_KVX_Configurator&, ConfigImage&)>;

private slots:
    void readThenEncodeChangesNothing() {
        auto config = SimRig::load("full");
        config.gasLogging |= 0x3C; // the Figaro quantities logged
        config.figaro.range = 2;
        SimRig sim(config);
        QVERIFY(sim.connect());
        const Ui_KVX_Configurator& ui = *sim.window->ui;
        const ReadBackState& readBack = sim.window->readBack;
        QVERIFY(!ui.figaroMode->isEnabled()); // the page no connection shows

        // Records read and written with the same layout.
        const QList<QPair<quint16, Encoder>> same = {
            {0x0000, [&](const auto& u, auto& out) { encodeMainLoggingRecord(u, out, readBack); }},
            {0x0020, encodeUtcOffsetRecord},
            {0x0040, [&](const auto& u, auto& out) { encodeScheduleRecord(u, out, readBack); }},
            {0x40B6, encodeGasFanRecord},
            {0x4006, [&](const auto& u, auto& out) { encodeGasLoggingRecord(u, out, readBack); }},
            {0x40A6,
             [&](const auto& u, auto& out) { encodeAlphasenseLoggingRecord(u, out, readBack); }},
            {0x8002, [&](const auto& u,
                         auto& out) { encodeFilterPumpLoggingRecord(u, Pump::A, out, readBack); }},
            {0x8004, [&](const auto& u,
                         auto& out) { encodeFilterPumpLoggingRecord(u, Pump::B, out, readBack); }},
            {0xC001,
             [&](const auto& u, auto& out) { encodePumpsCDLoggingRecord(u, out, readBack); }},
        };
        for (const auto& [word, encode] : same) {
            ConfigImage out;
            encode(ui, out);
            QCOMPARE(imageBytes(out).toHex(), sim.instrument->readRecord(word)->toHex());
        }
        for (Pump pump : kAllPumps) {
            const PumpRecords& records = pumpRecords(pump);
            ConfigImage out;
            encodePumpStartRecord(ui, pump, out);
            QCOMPARE(imageBytes(out).toHex(), sim.instrument->readRecord(records.start)->toHex());
            encodePumpDurationRecord(ui, pump, out);
            QCOMPARE(imageBytes(out).toHex(),
                     sim.instrument->readRecord(records.duration)->toHex());
            // The flow record read carries the fitted flag before the rate.
            encodePumpFlowRecord(ui, pump, out);
            QCOMPARE(out.readU16(2), asImage(*sim.instrument->readRecord(records.flow)).readU16(3));
            QVERIFY(!pumpCartridgeChanged(ui, pump, sim.window->cartridgeIds));
        }

        // Figaro: mode and range as read, though the hidden controls could
        // not say so.
        ConfigImage out;
        encodeFigaroRecord(ui, out, readBack);
        QCOMPARE(imageBytes(out).toHex(), sim.instrument->readRecord(0x40C6)->left(4).toHex());

        // The sample ID goes out as 31 fixed characters.
        encodeSampleIdRecord(ui, out);
        QCOMPARE(out.readText(2), asImage(*sim.instrument->readRecord(0x0030)).readText(2));

        // Sensors: the mode words (and the SEN55 cleaning interval) as read.
        const ConfigImage sen55 = asImage(*sim.instrument->readRecord(0x0060));
        encodeSen55Record(ui, out);
        QCOMPARE(out.readU16(2), sen55.readU16(2));
        QCOMPARE(out.readU32(4), sen55.readU32(12));
        const QList<QPair<quint16, Encoder>> sensors = {
            {0x4016, encodeSgp41Record},
            {0x4026, encodeSfa30Record},
            {0x4036, [&](const auto& u, auto& out) { encodeScd30Record(u, out, readBack); }}};
        for (const auto& [word, encode] : sensors) {
            encode(ui, out);
            QCOMPARE(out.readU16(2), asImage(*sim.instrument->readRecord(word)).readU16(2));
        }
        encodeScd30Record(ui, out, readBack);
        QCOMPARE(out.readU16(4), asImage(*sim.instrument->readRecord(0x4036)).readU16(8));
    }
};

QTEST_MAIN(WriteBackTest)
#include "tst_write_back.moc"
