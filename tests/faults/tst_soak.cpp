// Soak: one window through many connect / read / edit / write / read-back /
// disconnect cycles, each against a freshly plugged simulated instrument with
// a fault drawn at random (fixed seed). A recoverable fault still writes and
// reads back what was written; a fatal one drops the link with the pages
// cleared. (kvx-bench measures how resident memory grows over such cycles.)
//
// KVX_SOAK_CYCLES sets the number of cycles (default 200), KVX_SOAK_SEED the seed.
#include "tests/support/SimRig.h"

#include <QtTest>

#include <random>

using namespace kvx;
using namespace kvx::test;

namespace {

// Each confirmation on the offscreen platform warns about size hints; over
// hundreds of cycles that would use up the test's warning allowance.
QtMessageHandler testHandler = nullptr;
void dropSizeHintNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains("propagateSizeHints"))
        testHandler(type, context, text);
}

// The faults of a cycle ('#' is drawn from [lo, hi], '@' is the command the
// fault aims at) and whether the write must succeed (1), must fail (0) or may
// do either (-1).
struct Draw {
    const char* json;
    int lo, hi, outcome;
};
const Draw kDraws[] = {
    {"{}", 0, 0, 1},
    {R"({"nulBytes":true,"lineFeeds":true})", 0, 0, 1},
    {R"({"garbageBytes":#})", 1, 12, 1},
    {R"({"chunkSize":#,"chunkDelayMs":25})", 1, 8, 1},
    {R"({"answerDelayMs":#})", 0, 450, 1},
    {R"({"noAnswerFirst":#,"only":"@"})", 1, 3, 1},
    {R"({"badCrcFirst":#,"only":"@"})", 1, 3, 1},
    {R"({"badCountFirst":#,"only":"@"})", 1, 3, 1},
    {R"({"noAnswerFirst":4,"only":"cfg_set"})", 0, 0, 0},
    {R"({"badCrcFirst":4,"only":"@"})", 0, 0, 0},
    {R"({"boardListFields":20})", 0, 0, 0},
    {R"({"cablePulledAfter":#})", 1, 160, -1},
    {R"({"endlessAfter":#})", 0, 160, -1},
};

} // namespace

class SoakTest : public QObject {
    Q_OBJECT

private slots:
    void cycles() {
        testHandler = qInstallMessageHandler(dropSizeHintNotes);
        int cycles = qEnvironmentVariableIntValue("KVX_SOAK_CYCLES");
        cycles = cycles > 0 ? cycles : 200;
        std::mt19937 rng(qEnvironmentVariableIsSet("KVX_SOAK_SEED")
                             ? qEnvironmentVariableIntValue("KVX_SOAK_SEED")
                             : 20250307);
        const auto pick = [&](int lo, int hi) {
            return std::uniform_int_distribution<int>(lo, hi)(rng);
        };
        const QStringList presets = {"full", "full", "mixed", "legacy", "minimal"};
        SimRig rig("full");
        DialogScript yes({}, QMessageBox::Yes);
        int verified = 0, fallBacks = 0;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            auto config = SimRig::load(presets.at(pick(0, int(presets.size()) - 1)));
            const Draw& d = kDraws[pick(0, int(std::size(kDraws)) - 1)];
            const QString faults = QString(d.json)
                                       .replace('#', QString::number(pick(d.lo, d.hi)))
                                       .replace('@', pick(0, 1) ? "cfg_set" : "cfg_get");
            QVERIFY(
                config.faults.read(QJsonDocument::fromJson(faults.toLatin1()).object(), nullptr));
            const QString where = QString("cycle %1 (%2, %3)").arg(cycle).arg(config.name, faults);
            rig.plug(config);
            bool wrote = false;
            if (rig.connect(30000)) {
                applyEdits(rig.w(), QString("sampleID=soak-%1 durationHours=%2 logInterval#%3 "
                                            "mainLogVBUS pumpCFlowRate=%4")
                                        .arg(pick(0, 99999))
                                        .arg(pick(0, 23))
                                        .arg(pick(0, 3))
                                        .arg(pick(0, 2000) / 10.0));
                rig.w().KVXWriteButtonPressed();
                wrote = rig.settle(30000);
                const QMap<QString, QString> written = formValues(rig.w());
                if (wrote && (rig.w().KVXReadButtonPressed(), rig.settle(30000))) {
                    const QMap<QString, QString> back = formValues(rig.w());
                    QVERIFY2(back == written,
                             qPrintable(where + ":\n" + differences(written, back)));
                    ++verified;
                }
            }
            QVERIFY2(d.outcome < 0 || wrote == (d.outcome == 1), qPrintable(where));
            if (rig.w().linkStep != LinkNone)
                rig.w().KVXDisconnectButtonPressed();
            else
                ++fallBacks;
            QVERIFY2(rig.fallBack() > 0, qPrintable(where));
            const QString problems = fallenBackProblems(rig.w());
            QVERIFY2(problems.isEmpty(), qPrintable(where + ": " + problems));
        }
        qInstallMessageHandler(testHandler);
        QVERIFY(verified > 0);
        QVERIFY(cycles < 50 || fallBacks > 0);
        qInfo("%d verified, %d fall-backs", verified, fallBacks);
    }
};

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"
