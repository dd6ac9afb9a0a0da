// The 20 ms tick: receive, detect a complete answer, run the link step,
// consume, transmit, refresh the port list, run the session state.
#include "app/KVX_Configurator.h"
#include "link/LinkConstants.h"
#include "link/Status.h"
#include "ui_KVX_Configurator.h"
#include "workflows/Changes.h"

using namespace kvx;

namespace {

// The instrument echoes every attempt of a command, also one it leaves
// unanswered, and the receive text keeps everything since the last prompt. The
// answer is the one behind the last echo before the last prompt (a stray
// prompt may come before the echo), so the text is cut there; the echoes of earlier attempts would
// otherwise end up in field 0.
QString latestAnswer(const QString& rxText, const QString& commandWord) {
    const auto promptAt = rxText.lastIndexOf(kPrompt);
    const auto echoAt = promptAt < 0 ? -1 : rxText.lastIndexOf(commandWord, promptAt);
    return echoAt > 0 ? rxText.mid(echoAt) : rxText;
}

} // namespace

void KVX_Configurator::UpdateTicker() {
    // 1. Receive.
    if (serialPort->isOpen()) {
        const QByteArray in = serialPort->readAvailable();
        if (!in.isEmpty()) {
            lastActivityMs = elapsedMs();
            rxText.reserve(rxText.size() + in.size());
            for (const char byte : in) {
                if (byte == '\n')
                    continue;
                if (byte == '\0') {
                    nulSeen = 1;
                    continue;
                }
                rxText.append(QChar(static_cast<uchar>(byte)));
            }
        }

        // 2. Answer detection and console mirror.
        if (rxText.contains(kPrompt)) {
            QString copy = rxText;
            if (nulSeen) {
                copy.append(QLatin1String("<NUL>\r\n"));
                nulSeen = 0;
            }
            promptSeen = 1;
            mirrorAnswer(copy);
        } else if (rxText.size() > kRxLimit) {
            // A device that streams without ever sending a prompt: drop what
            // came and let the waiting link step count it as a failed attempt.
            rxText.clear();
            rxOverflowed = true;
        }
    }

    // 3. Link step. A port the system took away while linked (a resource
    // error: cable pulled, device gone) ends the link like any failure.
    const int stepBefore = linkStep;
    if (linkStep != LinkNone && linkStep != LinkOpen && !serialPort->isOpen() &&
        serialPort->fault() == DeviceFault::Lost)
        linkStep = LinkReset;
    runLinkStep();
    status->linkStepRan(stepBefore);

    // 4. Consume.
    if (promptSeen) {
        promptSeen = 0;
        rxText.clear();
    }

    // 5. Transmit.
    if (!txBytes.isEmpty()) {
        serialPort->write(txBytes);
        txBytes.clear();
    }

    // 6. Port list.
    refreshPortList();

    // 7. Session step.
    const int stateBefore = sessionState, linkBefore = linkStep;
    runSessionState();
    status->sessionStepRan(stateBefore, linkBefore);
}

bool KVX_Configurator::waitTimedOut() {
    if (rxOverflowed) {
        rxOverflowed = false;
        return true;
    }
    return elapsedMs() - lastActivityMs > kAnswerTimeoutMs;
}

bool KVX_Configurator::answerArrived(QLatin1String word) const {
    return promptSeen && rxText.contains(word) && rxText.contains(kPrompt);
}

void KVX_Configurator::runLinkStep() {
    switch (linkStep) {
    case LinkOpen:
        openLink();
        break;
    case LinkSendReset:
        txBytes.append(kResetSequence);
        lastActivityMs = elapsedMs();
        retriesLeft = kRetries;
        rxOverflowed = false;
        linkStep = LinkWaitPrompt;
        break;
    case LinkWaitPrompt:
        if (waitTimedOut()) {
            // The reset sequence is not repeated; the wait just starts again.
            if (retriesLeft == 0) {
                linkStep = LinkReset;
            } else {
                --retriesLeft;
                lastActivityMs = elapsedMs();
            }
        } else if (promptSeen && rxText.contains(kPrompt)) {
            retriesLeft = kRetries;
            linkStep = LinkSendBoardList;
        }
        break;
    case LinkSendBoardList:
        txBytes.append(kBoardListCommand.data(), kBoardListCommand.size());
        txBytes.append('\r');
        lastActivityMs = elapsedMs();
        linkStep = LinkWaitBoardList;
        break;
    case LinkWaitBoardList:
        if (waitTimedOut()) {
            if (retriesLeft == 0) {
                linkStep = LinkReset;
            } else {
                --retriesLeft;
                linkStep = LinkSendBoardList;
            }
        } else if (answerArrived(kBoardListCommand)) {
            const QStringList fields = extractAnswer(
                latestAnswer(rxText, QString(kBoardListCommand)), QString(kBoardListCommand));
            if (fields.size() == kBoardListFields) {
                registerBoards(fields);
                firmwareLevel = 0;
                linkStep = LinkConnected;
            } else {
                linkStep = LinkFarewell;
            }
        }
        break;
    case LinkConnected:
        linkConnected();
        break;
    case LinkGet:
    case LinkSet:
        commandWord = linkStep == LinkGet ? kCfgGet : kCfgSet;
        retriesLeft = kRetries;
        rxOverflowed = false;
        linkStep = LinkSendRequest;
        break;
    case LinkSendRequest:
        txBytes.append(requestLine(requestImage, commandWord));
        lastActivityMs = elapsedMs();
        linkStep = LinkWaitAnswer;
        break;
    case LinkWaitAnswer:
        runExchangeWait();
        break;
    case LinkFarewell:
        txBytes.append(kFarewell);
        lastActivityMs = elapsedMs();
        farewellSentMs = lastActivityMs;
        linkStep = LinkFarewellWait;
        break;
    case LinkFarewellWait: {
        // Wait out a quiet second; a device that never falls silent cannot
        // hold the link open beyond a few seconds.
        const qint64 now = elapsedMs();
        if (now - lastActivityMs > kFarewellWaitMs || now - farewellSentMs > kFarewellCapMs)
            linkStep = LinkReset;
        break;
    }
    case LinkReset:
        resetLink();
        break;
    default:
        break;
    }
}

void KVX_Configurator::runExchangeWait() {
    auto retryOr = [this](int giveUpStep) {
        if (retriesLeft == 0) {
            linkStep = giveUpStep;
        } else {
            --retriesLeft;
            linkStep = LinkSendRequest;
        }
    };
    if (waitTimedOut()) {
        retryOr(LinkReset);
        return;
    }
    if (!promptSeen || !rxText.contains(commandWord) || !rxText.contains(kPrompt))
        return;
    // Only the answer behind the echo of the very line sent counts: a late
    // answer to an earlier request must never be taken for this record.
    QString sentLine = QString::fromLatin1(requestLine(requestImage, commandWord));
    sentLine.chop(1); // the carriage return
    // Searched back from the last prompt: a stray prompt ahead of the echo
    // must not hide the answer behind it.
    const auto echoAt = rxText.lastIndexOf(sentLine, rxText.lastIndexOf(kPrompt));
    if (echoAt < 0)
        return;
    const QStringList fields = extractAnswer(rxText.mid(echoAt), commandWord);
    switch (parseAnswer(fields, commandWord, requestImage, responseImage)) {
    case Verdict::Valid:
        linkStep = LinkIdle;
        // The instrument answers a write with the record it stored.
        if (commandWord == kCfgSet)
            changes->stored(requestImage);
        break;
    case Verdict::Invalid:
        retryOr(LinkReset);
        break;
    case Verdict::NoData:
        if (retriesLeft != 0) {
            --retriesLeft;
            linkStep = LinkSendRequest;
        } else if (requestImage.requestWord() == kFirmwareLevelRecord) {
            // An instrument without a firmware level record is level 0.
            responseImage.length = 0;
            linkStep = LinkIdle;
        } else {
            linkStep = LinkReset;
        }
        break;
    }
}

void KVX_Configurator::mirrorAnswer(const QString& answer) {
    QTextEdit* console = ui->kvxOutputBox;
    if (console->document()->characterCount() > kConsoleLimit)
        console->clear();
    console->insertPlainText(answer);
    console->ensureCursorVisible();
}
