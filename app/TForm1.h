#pragma once

#include "app/FileDialog.h"
#include "app/PortReturn.h"
#include "memories/MemoryTable.h"
#include "memories/Q4471TransferThreads.h"
#include "memories/TableUndo.h"

#include <QMainWindow>
#include <memory>
#include <string>

namespace Ui {
class TForm1;
}
class QLabel;
class QProgressBar;
class QToolButton;
class TNumberBoxLook;
class TSerialPortWatcher;
class TSerialTrace;
class TTableCommands;
class TVaComm;
class TVerifyControl;

// The main window: the memory table in its scrolling panel, the menus and the status line.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    TForm1();
    ~TForm1() override;

    // Replaces the status line; may be called from any thread.
    void SetStatusText(const std::string& text);
    QString StatusText() const;

    const TMemoryRows& MemoryRows() const { return memoryRows_; }
    TFileDialog FileDlg;
    TVaComm& Comm() const { return *VaComm1; }

    // Closes the open port, if any, and opens port `port` (1 to 4 from the menu).
    void ComPortChange(int port);

    // Loads `fileName` as Load Existing File loads a chosen file (for a file named at start-up).
    void OpenFile(const QString& fileName);
    // Ends a running load, send or verify, keeping what it has done; the Stop button and Escape.
    void StopTransferClick();

private:
    // The status text, and beside it the transfer's progress, Stop and the offer to verify.
    void BuildStatusBar();
    // VaComm1 with its stored settings, closed, and the watch of the ports for its menu.
    void CreatePort();
    void BindMenuItems();
    void FormCreate();
    void NewBlankFile1Click();
    void ClearAllMemories1Click();
    void ClearMemoryRows();
    void SaveAs1Click();
    void LoadExistingFile1Click();
    void LoadChosenFile();
    // The error box of a refused file, or the details box of what a load or save could not do.
    void ShowFileOutcome(const TOutcome& outcome);
    void LoadFromQ44711Click();
    void SendFileToQ44711Click();
    void VerifyQ4471Click();
    void SendDifferingClick();
    void COM11Click() { ComPortChange(1); }
    void COM21Click() { ComPortChange(2); }
    void COM31Click() { ComPortChange(3); }
    void COM41Click() { ComPortChange(4); }

    void ApplyStoredCommSettings();
    void ShowPortTooltips(int failedPort = 0, int failure = 0);
    // Follows the ports coming and going: the items' tooltips, and the return of a lost port.
    void WatchPorts();
    void PortAppeared(const TSerialPortInfo& port);
    std::vector<TSerialPortInfo> PortsPresent() const;
    // The running transfer, or none. Only one may use the port at a time.
    TQ4471TransferThread* RunningTransfer() const;
    bool MayStartTransfer();
    // Says so on the status line when a transfer runs.
    bool RefuseDuringTransfer();
    // `ended` runs on the GUI thread with how the transfer ended, as its final status text shows.
    using TTransferEnded = std::function<void(const TOutcome& outcome)>;
    TQ4471TransferSetup TransferSetup(TTransferEnded ended);
    TQ4471Radio::TTrafficSink TrafficSink() const;
    // False when another transfer runs or no port is open (the status line says which).
    template <typename TTransferThread, typename... TArguments>
    bool StartTransfer(const std::string& startText, std::unique_ptr<TTransferThread>& thread,
                       TTransferEnded ended, TArguments&&... arguments);
    void StopTransfers();
    // Ends a running transfer and tells how far it got; empty when none was running.
    std::string StopRunningTransfer();
    void PortLost(const std::string& message);
    // Closes the port, if open, and says so in the trace; the offer to verify goes with it.
    void ClosePort();
    void ShowTransferControls(bool shown);

    // Connects a menu item; an error that escapes its handler goes to the application's error box.
    void Bind(QAction* item, void (TForm1::*handler)());
    void RunCommand(void (TForm1::*handler)());
    std::string ChosenFileName() const;

    std::unique_ptr<Ui::TForm1> ui_;
    QLabel* statusText_;
    QProgressBar* transferProgress_;
    QToolButton* stopTransfer_;
    std::unique_ptr<TSerialTrace> trace_; // none unless Q4471_TRACE asks for one
    std::unique_ptr<TVaComm> VaComm1;
    std::unique_ptr<TSerialPortWatcher> portWatcher_;
    TPortReturn portReturn_;
    std::unique_ptr<TLoadFromQ4471Thread> LoadThread;
    std::unique_ptr<TWriteToQ4471Thread> WriteThread;
    std::unique_ptr<TVerifyQ4471Thread> VerifyThread;
    std::unique_ptr<TNumberBoxLook> numberBoxLook_; // goes after the two that paint with it
    std::unique_ptr<TVerifyControl> verify_;
    THeaderLabels headerLabels_{};
    TMemoryRows memoryRows_;
    // Commands that change many memories record the table here first (TUndoStep).
    TTableUndo undo_;
    std::unique_ptr<TTableCommands> tableCommands_; // goes before the rows and the undo it uses
};

// The one main window, for the code that reaches it from elsewhere.
extern TForm1* Form1;
