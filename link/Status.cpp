// The status bar messages. The ticker reports each link step and session step
// it ran; the transitions between steps say what happened (a port opened or
// refused, a handshake that failed, an exchange started or given up, a
// workflow that ended), and each gets one message.
#include "link/Status.h"

#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "ui_KVX_Configurator.h"
#include "workflows/ChainPlan.h"
#include "workflows/SessionStates.h"

#include <QProgressBar>
#include <QStatusBar>

namespace kvx {

namespace {

constexpr int kTries = kRetries + 1;

QString boardNames(const KVX_Configurator& w) {
    QStringList names;
    for (int i = 0; i < w.boardCount && i < int(w.boardKinds.size()); ++i) {
        switch (w.boardKinds[size_t(i)]) {
        case KindMain:
            names << QObject::tr("main board");
            break;
        case KindGas:
            names << QObject::tr("gas board");
            break;
        case KindPumpA:
            names << QObject::tr("Pump A");
            break;
        case KindPumpB:
            names << QObject::tr("Pump B");
            break;
        case KindPumpsCD:
            names << QObject::tr("Pumps C&D");
            break;
        default:
            break;
        }
    }
    return names.isEmpty() ? QObject::tr("no boards found") : names.join(QLatin1String(", "));
}

QChar pumpLetter(int pumpState) {
    return QChar('A' + (pumpState - kPumpCommandStates.first) / 2);
}

bool pumpStarts(int pumpState) {
    return (pumpState - kPumpCommandStates.first) % 2 == 0;
}

} // namespace

StatusReporter::StatusReporter(KVX_Configurator& window) : w(window) {
    bar = new QProgressBar;
    bar->setTextVisible(true);
    bar->setFormat(QStringLiteral("%v / %m"));
    // No taller than a line of the status bar, so the window's layout stays.
    bar->setMaximumHeight(w.statusBar()->fontMetrics().height());
    bar->setMaximumWidth(240);
    bar->hide();
    w.statusBar()->addPermanentWidget(bar);
    lastLinkStep = w.linkStep;
}

QString StatusReporter::message() const {
    return w.statusBar()->currentMessage();
}

void StatusReporter::show(const QString& text) {
    // No timeout: a message stands until the next one replaces it.
    w.statusBar()->showMessage(text);
}

StatusReporter::Chain StatusReporter::chainOf(int s) {
    switch (workflowOf(s)) {
    case Workflow::Read:
        return Chain::Read;
    case Workflow::Clock:
        return Chain::Clock;
    case Workflow::Calibration:
        return Chain::Calibration;
    case Workflow::Write:
        return Chain::Write;
    case Workflow::PumpCommand:
        return Chain::Pump;
    case Workflow::Connection:
    case Workflow::None:
        break;
    }
    return Chain::None;
}

QString StatusReporter::portName() const {
    // The port the link opened, even when the list has moved on since.
    return openedPort.isEmpty() ? w.ui->kvxComList->currentText() : openedPort;
}

QString StatusReporter::requestText() const {
    return QStringLiteral("0x%1").arg(w.requestImage.requestWord(), 4, 16, QLatin1Char('0'));
}

// ---- the link ------------------------------------------------------------------

void StatusReporter::linkStepRan(int before) {
    const int after = w.linkStep;
    const bool gone = !w.serialPort->isOpen() || w.serialPort->fault() == DeviceFault::Lost;
    if (before == LinkOpen)
        openedPort = w.ui->kvxComList->currentText();
    const QString port = portName();

    // Disconnect (or a Yes to the vanished-port question) set the farewell.
    if (before == LinkFarewell && lastLinkStep != LinkFarewell) {
        disconnecting = true;
        endChain();
        show(QObject::tr("Disconnecting from %1…").arg(port));
    }

    if (before == LinkOpen && after == LinkSendReset) {
        show(QObject::tr("Opened %1; waiting for the instrument's prompt…").arg(port));
    } else if (before == LinkOpen && after == LinkReset) {
        openFailed();
    } else if (before == LinkWaitPrompt && after == LinkReset) {
        show(gone ? QObject::tr("Lost %1 while waiting for the instrument's prompt: cable pulled "
                                "or instrument switched off.")
                        .arg(port)
                  : QObject::tr("No prompt from the instrument on %1 after %2 tries: is it "
                                "switched on and connected? Disconnected.")
                        .arg(port)
                        .arg(kTries));
    } else if (before == LinkWaitBoardList && after == LinkReset) {
        show(QObject::tr("No board list from the instrument on %1 after %2 tries. Disconnected.")
                 .arg(port)
                 .arg(kTries));
    } else if (before == LinkWaitBoardList && after == LinkFarewell) {
        const auto echoAt = w.rxText.lastIndexOf(kBoardListCommand);
        const auto fields =
            extractAnswer(w.rxText.mid(qMax(echoAt, qsizetype(0))), QString(kBoardListCommand))
                .size();
        show(QObject::tr("Unexpected board list from the instrument on %1: %2 fields instead of "
                         "%3. Disconnecting.")
                 .arg(port)
                 .arg(fields)
                 .arg(kBoardListFields));
    } else if (before == LinkWaitBoardList && after == LinkConnected) {
        show(QObject::tr("Connected to %1: %2. Reading the firmware level…")
                 .arg(port, boardNames(w)));
    } else if (before == LinkWaitAnswer && after == LinkReset) {
        exchangeGivenUp();
    } else if (after == LinkNone && before != LinkReset && before != LinkNone) {
        // The system took the device away while linked: the link was reset
        // within this very tick.
        if (before == LinkWaitAnswer || before == LinkSendRequest) {
            exchangeGivenUp();
        } else {
            endChain();
            show(QObject::tr("Lost %1: cable pulled or instrument switched off. Disconnected.")
                     .arg(port));
        }
        disconnecting = false;
    } else if (before == LinkReset) {
        endChain();
        if (disconnecting)
            show(QObject::tr("Disconnected from %1.").arg(port));
        disconnecting = false;
    }
    lastLinkStep = after;
    if (after == LinkNone)
        openedPort.clear();
}

void StatusReporter::openFailed() {
    const QString port = portName();
    if (w.serialPort->fault() == DeviceFault::InUse) {
        // The system's words for it ("Permission error while locking the
        // device", "Device or resource busy") would send the operator after
        // the port's permissions.
        show(QObject::tr("Could not open %1: it is in use by another program. Close that program, "
                         "then connect again.")
                 .arg(port));
        return;
    }
    QString reason = w.serialPort->faultText();
    if (reason.isEmpty())
        reason = QObject::tr("the port could not be opened");
    QString text = QObject::tr("Could not open %1: %2.").arg(port, reason);
#ifdef Q_OS_LINUX
    if (w.serialPort->fault() == DeviceFault::PermissionDenied) {
        // A serial device node belongs to a group (usually dialout); only its
        // members may open it, and a new membership counts from the next login.
        const PortGroup group = w.serialPort->portGroup();
        const QString name = group.name.isEmpty() ? QStringLiteral("dialout") : group.name;
        if (!group.inSession && !group.inAccount)
            text += QObject::tr(" Only members of the group %1, which owns the port, may open it: "
                                "add your user to it (sudo usermod -aG %1 $USER), then log out and "
                                "log in again.")
                        .arg(name);
        else if (!group.inSession)
            text += QObject::tr(" Your user was added to the group %1, which owns the port, after "
                                "this session began: log out and log in again.")
                        .arg(name);
    }
#endif
    show(text);
}

void StatusReporter::exchangeGivenUp() {
    const QString port = portName();
    const QString record = requestText();
    const QString command = w.commandWord;
    endChain();
    if (!w.serialPort->isOpen() || w.serialPort->fault() == DeviceFault::Lost) {
        QString why = w.serialPort->faultText();
        show(QObject::tr("Lost the instrument on %1 during record %2%3: cable pulled or "
                         "instrument switched off. Disconnected.")
                 .arg(port, record, why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
        return;
    }
    // promptSeen: the last attempt was answered, but not acceptably.
    show((w.promptSeen ? QObject::tr("Link given up: record %1 (%2) answered wrongly (checksum, "
                                     "length or read-back) after %3 tries. Disconnected.")
                       : QObject::tr("Link given up: record %1 (%2) not answered after %3 tries. "
                                     "Disconnected."))
             .arg(record, command)
             .arg(kTries));
}

void StatusReporter::portVanished() {
    show(QObject::tr("%1 has gone away: cable pulled or instrument switched off.").arg(portName()));
}

// ---- the workflows -------------------------------------------------------------

void StatusReporter::sessionStepRan(int stateBefore, int linkBefore) {
    auto finishedAt = [this](int state, int link) {
        if (chain == Chain::None || link != LinkIdle)
            return false;
        return chain == Chain::Pump ? done > 0 : chainOf(state) != chain;
    };
    // A slot may have recorded the next workflow between the ticks.
    if (finishedAt(stateBefore, linkBefore))
        finishChain();

    const bool started = linkBefore == LinkIdle && (w.linkStep == LinkGet || w.linkStep == LinkSet);
    if (started) {
        exchangeStarted(stateBefore);
        return;
    }
    if (finishedAt(w.sessionState, w.linkStep)) {
        finishChain();
        return;
    }
    const Chain next = chainOf(w.sessionState);
    if (next != Chain::None && next != Chain::Pump && next != chain)
        beginChain(next, w.sessionState);
}

void StatusReporter::beginChain(Chain kind, int issuingState) {
    chain = kind;
    chainState = issuingState;
    done = 0;
    switch (kind) {
    case Chain::Read:
        planned = plannedReadExchanges(w);
        break;
    case Chain::Write:
        planned = plannedWriteExchanges(w, issuingState);
        break;
    case Chain::Clock:
        planned = issuingState == kSetClock ? 2 : 1;
        break;
    default:
        planned = 1;
        break;
    }
    startedMs = w.elapsedMs();
}

void StatusReporter::exchangeStarted(int issuingState) {
    const Chain kind = chainOf(issuingState);
    if (kind == Chain::None)
        return; // the firmware level, part of connecting
    if (kind != chain || kind == Chain::Pump)
        beginChain(kind, issuingState);
    else if (kind == Chain::Write && done == 0)
        planned = plannedWriteExchanges(w, issuingState); // the prelude is known only now
    ++done;
    // A read finds out on the way whether the SEN55 and each pump are fitted.
    if (kind == Chain::Read)
        planned = plannedReadExchanges(w);
    planned = qMax(planned, done);
    bar->setRange(0, planned);
    bar->setValue(done);
    bar->show();
    show(progressText());
}

QString StatusReporter::progressText() const {
    QString what;
    switch (chain) {
    case Chain::Read:
        what = QObject::tr("Reading the configuration");
        break;
    case Chain::Write:
        what = QObject::tr("Writing the configuration");
        break;
    case Chain::Clock:
        what = chainState == kSetClock ? QObject::tr("Setting the instrument clock")
                                       : QObject::tr("Reading the instrument clock");
        break;
    case Chain::Calibration:
        what = QObject::tr("Sending the SCD30 calibration");
        break;
    case Chain::Pump:
        what = (pumpStarts(chainState) ? QObject::tr("Starting Pump %1")
                                       : QObject::tr("Stopping Pump %1"))
                   .arg(pumpLetter(chainState));
        break;
    case Chain::None:
        break;
    }
    return QObject::tr("%1: record %2 of %3 (%4)…")
        .arg(what)
        .arg(done)
        .arg(planned)
        .arg(requestText());
}

void StatusReporter::finishChain() {
    QString text;
    switch (chain) {
    case Chain::Read: {
        text = QObject::tr("Configuration read: %1 records in %2 s.")
                   .arg(done)
                   .arg(double(w.elapsedMs() - startedMs) / 1000.0, 0, 'f', 1);
        // Values the form cannot show, which an unedited write sends back as read.
        if (!w.keptAsRead.isEmpty())
            text += QObject::tr(" Kept as on the instrument: %1.")
                        .arg(w.keptAsRead.join(QLatin1String(", ")));
        break;
    }
    case Chain::Write:
        text = QObject::tr("Configuration written: %1 records, each confirmed by the instrument's "
                           "read-back.")
                   .arg(done);
        break;
    case Chain::Clock:
        text = (chainState == kSetClock ? QObject::tr("Instrument clock set; it now reads %1 UTC.")
                                        : QObject::tr("Instrument clock read: %1 UTC."))
                   .arg(w.ui->utcText->text());
        break;
    case Chain::Calibration:
        text = QObject::tr("SCD30 calibration to %1 ppm sent; calibrated %2.")
                   .arg(w.ui->scd30CalValue->value())
                   .arg(w.ui->scd30Calibrated->text());
        break;
    case Chain::Pump:
        text = (pumpStarts(chainState) ? QObject::tr("Pump %1 started; the instrument confirmed.")
                                       : QObject::tr("Pump %1 stopped; the instrument confirmed."))
                   .arg(pumpLetter(chainState));
        break;
    case Chain::None:
        return;
    }
    endChain();
    show(text);
}

void StatusReporter::endChain() {
    chain = Chain::None;
    bar->hide();
}

} // namespace kvx
