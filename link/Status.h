// The status bar: what the link and the workflows are doing, one message at a
// time, each standing until the next replaces it, with a progress bar while a
// workflow makes its exchanges. It only watches: the ticker tells it which link
// step and which session step just ran, and it never changes the link, the
// session or a widget of the form.
#pragma once

#include <QString>
#include <QStringList>

class KVX_Configurator;
class QProgressBar;

namespace kvx {

class StatusReporter {
public:
    explicit StatusReporter(KVX_Configurator& window);

    // After the tick's link step; `before` is the step it ran.
    void linkStepRan(int before);
    // After the tick's session step, with the session state, link step and
    // queued pump command as they were before it.
    void sessionStepRan(int stateBefore, int linkBefore, int queuedPumpBefore);
    // The connected port left the port list.
    void portVanished();

    QString message() const;
    QProgressBar* progressBar() const { return bar; }

    // What a workflow is.
    enum class Chain { None, Read, Write, Clock, Calibration, Pump };
    static Chain chainOf(int sessionState);

private:
    void show(const QString& text);
    void beginChain(Chain kind, int issuingState);
    void exchangeStarted(int issuingState);
    void finishChain();
    void endChain();
    void openFailed();
    void exchangeGivenUp();
    QString portName() const;
    QString requestText() const;
    QString progressText() const;

    KVX_Configurator& w;
    QProgressBar* bar = nullptr;
    Chain chain = Chain::None;
    int chainState = 0;   // the state that began the chain (which clock, which pump)
    int done = 0;         // exchanges started in this chain
    int planned = 0;      // exchanges the chain will make
    qint64 startedMs = 0; // when the chain began, on the window's monotonic clock
    int lastLinkStep = 0; // the link step as the last link step left it
    bool disconnecting = false;
};

} // namespace kvx
