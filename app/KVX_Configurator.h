// The configurator's one window. It owns the form, the serial link, the two
// record images and the two state codes that the 20 ms ticker advances.
//
// The members keep the names the rest of the program (and the tests) use; the
// code behind them lives with its subsystem:
//   link/       port list, connect/disconnect, the tick, link steps, discovery,
//               guidance pages
//   image/      record images, field encodings, board codecs, board clearing
//   workflows/  the session-state dispatcher, read, write, clock, pumps,
//               calibration, form interlocks
#pragma once

#include "image/ConfigImage.h"
#include "image/boards/ReadBack.h"
#include "link/Platform.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QTimer;
class Ui_KVX_Configurator;
namespace kvx {
class ChangeTracker;
class StatusReporter;
struct SessionNotes;
} // namespace kvx

class KVX_Configurator : public QMainWindow {
    Q_OBJECT

public:
    // The shipped program: system clock, QSerialPort, QSerialPortInfo.
    explicit KVX_Configurator(QWidget* parent = nullptr);
    // Tests and the demo launcher hand in their own platform pieces; any piece
    // left empty is taken from the system.
    explicit KVX_Configurator(kvx::Platform platform, QWidget* parent = nullptr);
    ~KVX_Configurator() override;

    // ---- state (public so that the subsystem code and the tests reach it) ----
    int sessionState = 1;
    int portCount = 0;
    std::unique_ptr<kvx::SerialDevice> serialPort;
    QString rxText;
    int linkStep = 1000;
    QByteArray txBytes;
    int nulSeen = 0;
    int promptSeen = 0;
    qint64 lastActivityMs = 0;
    int retriesLeft = 0;
    int boardCount = 0;
    std::array<int, 10> boardKinds{};
    int firmwareLevel = 0;
    QString commandWord;
    kvx::ConfigImage requestImage;
    kvx::ConfigImage responseImage;
    QTimer* ticker = nullptr;
    std::array<QString, 4> cartridgeIds;
    std::array<int, 4> alphasensePartners{};
    // Settings read that no control can change; a write sends them back.
    kvx::ReadBackState readBack;
    // The pump command (its session state) waiting for the link, 0 when none; dropped
    // when the link resets before it is sent.
    int queuedPumpState = 0;
    Ui_KVX_Configurator* ui = nullptr;

    // The receive text overflowed without a prompt since the wait began.
    bool rxOverflowed = false;
    qint64 farewellSentMs = 0;

    std::unique_ptr<kvx::Clock> clock;
    std::unique_ptr<kvx::PortSource> portSource;
    // The status bar's messages and progress (link/Status.cpp).
    std::unique_ptr<kvx::StatusReporter> status;
    // What the next Write would change: the change list, the marks on the
    // form and the count in the status bar (workflows/Changes.cpp).
    kvx::ChangeTracker* changes = nullptr;
    // What this connection did that a configuration record reports: the
    // instrument clock as last read or set, the last confirmed write
    // (workflows/Record.cpp). Forgotten when the link resets.
    std::unique_ptr<kvx::SessionNotes> notes;

    // Wall-clock time, for what the instrument is told (its clock, stamps).
    qint64 nowMs() const;
    // Monotonic milliseconds, for every wait and timeout: unaffected when the
    // computer's clock is set back or forward.
    qint64 elapsedMs() const;

    // ---- link (link/) ----
    void refreshPortList();
    void runLinkStep();
    void runExchangeWait(); // link step 9
    // True once per timeout (or receive overflow) of the current wait.
    bool waitTimedOut();
    bool answerArrived(QLatin1String commandWord) const;
    void openLink();      // link step 1
    void linkConnected(); // link step 996
    void resetLink();     // link step 999
    void mirrorAnswer(const QString& answer);
    void showReadyPage();
    void showConnectedPage();
    void registerBoards(const QStringList& fields);
    void addBoardPages(); // session state 3

    // ---- session states (workflows/) ----
    // Routes the session state code to its workflow; each workflow handles
    // its own family of codes (see the table in workflows/SessionStates.h).
    void runSessionState();
    void runConnectionState(); // in link/
    void runReadState();
    void runClockState();
    void runWriteState();
    void runCalibrationState();
    void runPumpState();
    bool linkIdle() const { return linkStep == 0; }
    // Starts an exchange with the request image as it stands (finished here).
    void startGet(quint16 requestWord, int nextState);
    void startSet(int nextState);
    // The one rule for starting a workflow (read, write, clock, calibration,
    // pump command): no workflow is recorded (session 0) on a connected link
    // that is idle or finishing a pump command's exchange. Every slot that records a session state
    // checks it first and again after each question it puts to the operator.
    bool canStartWorkflow() const;
    // While a workflow runs, Write, Read, Set/Read RTC, Calibrate and the pump
    // Start/Stop buttons are locked. The pump buttons show whether their pump
    // runs, so their states are held while locked and restored on unlock.
    void lockButtons();
    void unlockButtons();
    bool buttonsLocked = false;
    struct PumpButtonStates {
        bool start = false;
        bool stop = false;
    };
    std::array<PumpButtonStates, 4> heldPumpButtons{};
    // A modal Yes/No question, No the default, owned by the window. Returns
    // Yes or No, or Cancel when the window was destroyed while it was open
    // (the caller must then return at once without touching any member).
    // `informative` and `details` add Qt's informative and detailed texts.
    QMessageBox::StandardButton askYesNo(const QString& title, const QString& text,
                                         const QString& informative = QString(),
                                         const QString& details = QString());
    // Who answers the window's questions and takes its messages when nobody
    // sits at the window (the command line): when set, askYesNo and the
    // configuration files' messages hand it the box they built instead of
    // showing it, and take the button it returns as the operator's. Empty in
    // the window, where every box waits for the operator.
    std::function<QMessageBox::StandardButton(const QMessageBox& box)> answerer;

    // Values a read found that the form cannot show, kept as on the
    // instrument by an unedited write ("logging interval 10 s"); filled by
    // each configuration read.
    QStringList keptAsRead;

    // ---- clearing of absent boards (image/boards/) ----
    void clearMainBoard();
    void clearGasBoard();
    void clearAlphasenseBoard();
    void clearFigaroBoard();
    void clearPumpA();
    void clearPumpB();
    void clearPumpsCD();

public slots:
    // Configuration files (workflows/ConfigFile.cpp): the File menu's two
    // commands without their file dialogs. Both do nothing and return false
    // unless a workflow could start now; Open changes nothing when the file
    // is not one it can take whole.
    bool saveConfigurationTo(const QString& path);
    bool openConfigurationFrom(const QString& path);
    // The configuration record (workflows/Record.cpp) without its file
    // dialog: with unwritten changes it asks first; a failed save says why.
    bool saveRecordTo(const QString& path);

    void UpdateTicker();
    void KVXConnectButtonPressed();
    void KVXDisconnectButtonPressed();
    void KVXWriteButtonPressed();
    void KVXReadButtonPressed();
    void KVXSetRTCPressed();
    void KVXReadRTCPressed();
    void SampleAlwaysPowerOnClicked();
    void SampleNextPowerOnClicked();
    void SampleSpecificTimeClicked();
    void SCD30CalButtonPressed();
    void Alphasense1GasModeChanged(bool checked);
    void Alphasense1ModeChanged(bool checked);
    void Alphasense2GasModeChanged(bool checked);
    void Alphasense2ModeChanged(bool checked);
    void Alphasense3GasModeChanged(bool checked);
    void Alphasense3ModeChanged(bool checked);
    void Alphasense4GasModeChanged(bool checked);
    void Alphasense4ModeChanged(bool checked);
    void SCD30ModeChanged(bool checked);
    void SGP41ModeChanged(bool checked);
    void SFA30ModeChanged(bool checked);
    void FigaroModeChanged(bool checked);
    void SEN55ModeChanged(int index);
    void PumpASampleStartClicked();
    void PumpADelayedStartClicked();
    void PumpASpecificDateTimeClicked();
    void PumpAFullSampleTimeClicked();
    void PumpAPartialSampleTimeClicked();
    void PumpBSampleStartClicked();
    void PumpBDelayedStartClicked();
    void PumpBSpecificDateTimeClicked();
    void PumpBFullSampleTimeClicked();
    void PumpBPartialSampleTimeClicked();
    void PumpCSampleStartClicked();
    void PumpCDelayedStartClicked();
    void PumpCSpecificDateTimeClicked();
    void PumpCFullSampleTimeClicked();
    void PumpCPartialSampleTimeClicked();
    void PumpDSampleStartClicked();
    void PumpDDelayedStartClicked();
    void PumpDSpecificDateTimeClicked();
    void PumpDFullSampleTimeClicked();
    void PumpDPartialSampleTimeClicked();
    void PumpCLogVSUPPLYChanged(bool checked);
    void PumpCLog3V3Changed(bool checked);
    void PumpCLogBMP390PChanged(bool checked);
    void PumpCLogBMP390TChanged(bool checked);
    void PumpCLogAtmoChanged(bool checked);
    void PumpDLogVSUPPLYChanged(bool checked);
    void PumpDLog3V3Changed(bool checked);
    void PumpDLogBMP390PChanged(bool checked);
    void PumpDLogBMP390TChanged(bool checked);
    void PumpDLogAtmoChanged(bool checked);
    void PumpAStartClicked();
    void PumpAStopClicked();
    void PumpBStartClicked();
    void PumpBStopClicked();
    void PumpCStartClicked();
    void PumpCStopClicked();
    void PumpDStartClicked();
    void PumpDStopClicked();

signals:
    // The workflow buttons were locked, unlocked, shown or hidden (told once
    // the events queued then are handled): commands that follow them look
    // again at whether they could start (app/Keyboard.cpp).
    void workflowButtonsChanged();

protected:
    // Closing with unwritten changes asks first.
    void closeEvent(QCloseEvent* event) override;

private:
    void construct();
    // The 61 form connections (app/form/Wiring.cpp).
    void connectForm();
    // True while a Disconnect confirmation is open (only one at a time).
    bool disconnectAsking = false;
    // The connected port's disappearance has already been put to the operator.
    bool vanishNoticed = false;
    // Last port list written to comPortOutputBox (rewritten only on change).
    QStringList shownPorts;
    bool shownPortsValid = false;
};
