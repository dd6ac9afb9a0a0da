// Fuzz target for the receive path of the 20 ms engine: arbitrary byte streams
// fed tick by tick into a main window built around a scripted serial device,
// mixed with well-formed answers (echo, fields, correct CRC, prompt) to the
// line last sent so that the input gets past the checks and drives the link
// and session machines deep into the read, write, clock, pump and calibration
// workflows.
//
// Checked on every tick: the receive text stays within its bound, the
// instrument console stays within its limit plus one answer, everything
// queued goes out in that tick as whole command lines, and the link step is
// one the engine knows.
#include "app/KVX_Configurator.h"
#include "image/ConfigImage.h"
#include "link/LinkConstants.h"
#include "tests/support/TestPlatform.h"
#include "ui_KVX_Configurator.h"
#include "workflows/WriteWorkflow.h"

#include <QApplication>
#include <QTextDocument>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

namespace {

using kvx::test::Rig;

[[noreturn]] void fail(const char* what, long long value) {
    std::fprintf(stderr, "engine invariant broken: %s (%lld)\n", what, value);
    std::abort();
}

bool knownLinkStep(int step) {
    return (step >= 0 && step <= 9) || (step >= 996 && step <= 1000);
}

QApplication& application() {
    static int argc = 1;
    static char name[] = "fuzz_engine_receive";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

class Harness {
public:
    Harness() {
        *rig.ports = {QStringLiteral("ttyFUZZ0")};
        rig.device->onWrite = [this](const QByteArray& bytes) {
            ++writesThisTick;
            lastWrite = bytes;
            unanswered = true;
        };
        w = std::make_unique<KVX_Configurator>(rig.platform());
        w->ticker->stop();
        tick(); // the port list
    }

    // One input: the window starts disconnected, as after any link reset
    // (building a window per input would cost most of the fuzzing time), and
    // Connect is pressed.
    void run(FuzzedDataProvider& input) {
        in = &input;
        if (w->linkStep != kvx::LinkNone)
            w->resetLink();
        rig.device->refuseOpen = false;
        rig.device->incoming.clear();
        w->ui->kvxOutputBox->clear();
        w->rxText.clear();
        w->nulSeen = 0;
        lastWrite.clear();
        unanswered = false;
        ticks = 0;
        consoleBefore = 0;
        consoleAllowance = 0;
        tick(); // the Ready page
        w->KVXConnectButtonPressed();
        tick();
        // Once the input is used up every choice reads as zero, the clean
        // course: the session goes on undisturbed for a while, so that what a
        // disturbance left behind is carried through the rest of the read.
        for (int tail = 0; ticks < 20000 && (in->remaining_bytes() > 0 || tail < 70);) {
            if (in->remaining_bytes() == 0)
                ++tail;
            step();
        }
        in = nullptr;
    }

private:
    void tick() {
        const qint64 pending = w->rxText.size() + rig.device->incoming.size();
        writesThisTick = 0;
        w->UpdateTicker();
        rig.clock.advance(kvx::kTickMs);
        ++ticks;

        if (w->rxText.size() > kvx::kRxLimit)
            fail("receive text beyond its bound", w->rxText.size());
        // The console may exceed its limit by the last answer inserted.
        const int console = w->ui->kvxOutputBox->document()->characterCount();
        if (console != consoleBefore)
            consoleAllowance = pending;
        consoleBefore = console;
        if (console > kvx::kConsoleLimit + 1 + consoleAllowance + 16)
            fail("console beyond its limit plus one answer", console);
        if (!w->txBytes.isEmpty())
            fail("queued bytes left unsent", w->txBytes.size());
        if (writesThisTick > 1)
            fail("more than one write in a tick", writesThisTick);
        if (writesThisTick == 1 && !lastWrite.endsWith('\r'))
            fail("a write that is not whole command lines", lastWrite.size());
        if (!knownLinkStep(w->linkStep))
            fail("unknown link step", w->linkStep);
    }

    // The well-formed answer to the line last written: its echo, an answer
    // of the kind the command expects and the prompt.
    QByteArray answerToLastLine() {
        const QByteArray line = lastWrite;
        QByteArray answer = line; // the echo ends with its carriage return
        if (line.endsWith("show_boards_cal\r")) {
            static const char* const types[] = {"Main", "Gas", "Filter", "Sorbent", "main", "x"};
            // Mostly the list of a fully fitted instrument, so that the read
            // has every page to walk; otherwise fields from the input.
            if (in->ConsumeIntegralInRange(0, 3) != 3)
                return answer +
                       "0,Main,M1,1,Sorbent,S7,2,Filter,F2,3,x,x,4,Filter,F4,5,x,x,6,Gas,G9"
                       "\rcli> ";
            QByteArrayList fields;
            const int count = in->ConsumeBool() ? 21 : in->ConsumeIntegralInRange(0, 24);
            for (int i = 0; i < count; ++i) {
                switch (i % 3) {
                case 0:
                    fields << QByteArray::number(in->ConsumeBool() ? i / 3
                                                                   : in->ConsumeIntegral<int>());
                    break;
                case 1:
                    fields << types[in->ConsumeIntegralInRange<size_t>(0, std::size(types) - 1)];
                    break;
                default:
                    fields << QByteArray::fromStdString(in->ConsumeRandomLengthString(12));
                    break;
                }
            }
            answer += fields.join(',');
        } else if (line.endsWith("cfg_get\r") || line.endsWith("cfg_set\r")) {
            answer += recordAnswer(line);
        }
        answer += "\rcli> ";
        return answer;
    }

    // "count,words...,crc" carrying the request word of `line` (so that the
    // session takes it as the record it asked for) or, for a write, the very
    // record sent, which the engine accepts as the read-back.
    QByteArray recordAnswer(const QByteArray& line) {
        const QList<QByteArray> items = line.trimmed().split(' ');
        QByteArray image;
        if (items.size() >= 4) {
            const bool echoRecord = line.endsWith("cfg_set\r") && !in->ConsumeBool();
            const int words = int(items.size()) - 3;
            for (int i = words; i >= 1; --i) {
                const quint16 word = quint16(items.at(i).toUInt());
                image.append(char(word >> 8)).append(char(word & 0xFF));
                if (!echoRecord)
                    break; // the request word alone, the rest comes from the input
            }
            if (!echoRecord) {
                // The data bytes come from a generator seeded by the input:
                // cheap in input bytes, so that inputs reach far into the read.
                // A full record by default: a high firmware level, pumps fitted.
                const int extra = 62 - in->ConsumeIntegralInRange(0, 62);
                std::minstd_rand bytes(in->ConsumeIntegral<quint16>() + 1u);
                for (int i = 0; i < extra; ++i)
                    image.append(char(bytes() & 0xFF));
                if (image.size() % 2)
                    image.append('\0');
            }
        }
        int countDelta = 0;
        if (in->ConsumeIntegralInRange(0, 15) == 15)
            countDelta = in->ConsumeBool() ? 2 : -2;
        QByteArrayList fields{QByteArray::number(image.size() + countDelta)};
        for (int i = 0; i + 1 < image.size(); i += 2)
            fields << QByteArray::number((quint8(image[i]) << 8) | quint8(image[i + 1]));
        const int spoil = in->ConsumeIntegralInRange(0, 15) == 15 ? 1 : 0;
        fields << QByteArray::number((kvx::crc16Modbus(image) + spoil) & 0xFFFF);
        return fields.join(',');
    }

    void step() {
        // Half the operations answer well, so that inputs get far into the
        // read; the rest disturb the line. Zero bytes choose the undisturbed
        // course throughout: a run of zeros is a clean session.
        const int op = in->ConsumeIntegralInRange(0, 17);
        switch (op < 9 ? 0 : op - 8) {
        case 0: // well-formed answer, maybe split over two ticks
        {
            // The instrument answers what it was sent: give the engine the
            // ticks it needs to send its next line.
            for (int i = 0; i < 3 && !unanswered; ++i)
                tick();
            unanswered = false;
            QByteArray answer = answerToLastLine();
            // Line feeds and NULs may turn up anywhere; the engine drops them.
            while (in->remaining_bytes() > 0 && in->ConsumeIntegralInRange(0, 3) == 3) {
                const int at = in->ConsumeIntegralInRange<int>(0, int(answer.size()));
                answer.insert(at, in->ConsumeBool() ? '\n' : '\0');
            }
            const int cut = in->ConsumeIntegralInRange<int>(0, int(answer.size()));
            rig.device->incoming += answer.left(cut);
            if (in->ConsumeBool())
                tick();
            rig.device->incoming += answer.mid(cut);
            tick();
            break;
        }
        case 2: // raw bytes
            rig.device->incoming += QByteArray::fromStdString(
                in->ConsumeRandomLengthString(size_t(in->ConsumeIntegralInRange(1, 512))));
            tick();
            break;
        case 3: // ticks go by
            for (int i = in->ConsumeIntegralInRange(1, 30); i > 0; --i)
                tick();
            break;
        case 4: // a long silence: timeouts and resends
            rig.clock.advance(in->ConsumeIntegralInRange(0, 1200));
            tick();
            break;
        case 5: // a flood without a prompt
            rig.device->incoming += QByteArray(in->ConsumeIntegralInRange(0, 12000), '7');
            tick();
            break;
        case 6: // prompt fragments, NULs and line feeds
        {
            static const char* const bits[] = {
                "cli> ",   "\rcli> ",         "cli>", "\0", "\n", "\r", "cfg_get",
                "cfg_set", "show_boards_cal", ","};
            const size_t pick = in->ConsumeIntegralInRange<size_t>(0, std::size(bits) - 1);
            rig.device->incoming += pick == 3 ? QByteArray(1, '\0') : QByteArray(bits[pick]);
            tick();
            break;
        }
        case 7: // the operator: what the buttons do once confirmed
            operate(in->ConsumeIntegralInRange(0, 7));
            tick();
            break;
        case 8: // the port refuses to open or goes away
            if (in->ConsumeBool())
                rig.device->refuseOpen = !rig.device->refuseOpen;
            else
                rig.device->open = false;
            tick();
            break;
        default:
            tick();
            break;
        }
    }

    void operate(int what) {
        switch (what) {
        case 0:
            w->KVXConnectButtonPressed();
            break;
        case 1:
            w->KVXReadRTCPressed();
            break;
        case 2:
            w->KVXSetRTCPressed();
            break;
        case 3: // Read Configuration after its Yes
            w->lockButtons();
            w->sessionState = 100;
            break;
        case 4: // Disconnect after its Yes
            if (w->linkStep != kvx::LinkNone)
                w->linkStep = kvx::LinkFarewell;
            break;
        case 5: // Write Configuration after its Yes to every box
            w->lockButtons();
            w->sessionState = kvx::writeEntryState(*w);
            break;
        case 6: // the SCD30 calibration after its Yes
            w->lockButtons();
            w->sessionState = 798;
            break;
        default: // a pump's Start or Stop button
        {
            using Slot = void (KVX_Configurator::*)();
            static const Slot pumps[] = {
                &KVX_Configurator::PumpAStartClicked, &KVX_Configurator::PumpAStopClicked,
                &KVX_Configurator::PumpBStartClicked, &KVX_Configurator::PumpBStopClicked,
                &KVX_Configurator::PumpCStartClicked, &KVX_Configurator::PumpCStopClicked,
                &KVX_Configurator::PumpDStartClicked, &KVX_Configurator::PumpDStopClicked};
            (w.get()->*pumps[in->ConsumeIntegralInRange<size_t>(0, std::size(pumps) - 1)])();
            break;
        }
        }
    }

    FuzzedDataProvider* in = nullptr;
    Rig rig;
    std::unique_ptr<KVX_Configurator> w;
    QByteArray lastWrite;
    bool unanswered = false;
    int writesThisTick = 0;
    int ticks = 0;
    int consoleBefore = 0;
    qint64 consoleAllowance = 0;
};

} // namespace

// fontconfig keeps caches for the life of the process, filled as text is
// first laid out; they are not leaks of the program.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    application();
    static Harness* harness = new Harness;
    FuzzedDataProvider in(data, size);
    harness->run(in);
    return 0;
}
