#include "app/TForm1.h"

#include "app/FileDetailsBox.h"
#include "app/FileDrop.h"
#include "app/NumberBoxLook.h"
#include "app/SerialTrace.h"
#include "app/TableCommands.h"
#include "app/VerifyControl.h"
#include "memories/CsvFile.h"
#include "serial/diagnostics/PortHelp.h"
#include "serial/diagnostics/PortNames.h"
#include "ui_TForm1.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>
#include <q4471/serial/DeviceNames.h>
#include <q4471/serial/SerialPortWatcher.h>
#include <q4471/serial/VaComm.h>

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>

using namespace q4471;

TForm1* Form1 = nullptr;

// The window's resources live in a static library, whose unreferenced initialiser the linker
// would drop. (The macro declares a function of the global namespace.)
static void InitResources() {
    Q_INIT_RESOURCE(app);
}

TForm1::TForm1() : FileDlg(this), ui_(std::make_unique<Ui::TForm1>()) {
    Form1 = this;
    InitResources();
    ui_->setupUi(this);
    // The form description keeps only the size of a main window; the screen position is that of
    // the outer frame, as move() places a window.
    move(187, 114);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    BuildStatusBar();
    CreatePort();
    BindMenuItems();
    new TFileDrop(this, [this](const QString& fileName) { OpenFile(fileName); });
    FormCreate();
}

void TForm1::BuildStatusBar() {
    statusText_ = new QLabel(ui_->StatusBar);
    // Shown as given: a file name or a radio's answer may hold what reads like a markup tag.
    statusText_->setTextFormat(Qt::PlainText);
    ui_->StatusBar->addWidget(statusText_, 1);
    // Shown only while a transfer runs: memory n of 100.
    transferProgress_ = new QProgressBar(ui_->StatusBar);
    transferProgress_->setRange(0, MemoryCount);
    transferProgress_->setFormat(QStringLiteral("%v of %m"));
    transferProgress_->setMaximumWidth(110);
    transferProgress_->setAccessibleName(QStringLiteral("Transfer progress"));
    ui_->StatusBar->addPermanentWidget(transferProgress_);
    stopTransfer_ = new QToolButton(ui_->StatusBar);
    stopTransfer_->setText(QStringLiteral("Stop"));
    stopTransfer_->setToolTip(QStringLiteral("Stop the transfer (Esc)"));
    ui_->StatusBar->addPermanentWidget(stopTransfer_);
    connect(stopTransfer_, &QToolButton::clicked, this,
            [this] { RunCommand(&TForm1::StopTransferClick); });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            [this] { RunCommand(&TForm1::StopTransferClick); });
    numberBoxLook_ = std::make_unique<TNumberBoxLook>(memoryRows_);
    verify_ = std::make_unique<TVerifyControl>(
        ui_->StatusBar, memoryRows_, *numberBoxLook_,
        [this] { RunCommand(&TForm1::VerifyQ4471Click); },
        [this] { RunCommand(&TForm1::SendDifferingClick); });
    ShowTransferControls(false);
}

void TForm1::CreatePort() {
    trace_ = TSerialTrace::FromEnvironment();
    UseEditorPortNames();
    VaComm1 = std::make_unique<TVaComm>(nullptr);
    ApplyStoredCommSettings();
    // The status line, not an error box, says that the device has gone.
    VaComm1->OnDeviceLost = [this](TObject*, const std::string& message) { PortLost(message); };
    ui_->ComPort1->setToolTipsVisible(true);
    WatchPorts();
    ShowPortTooltips();
}

void TForm1::BindMenuItems() {
    Bind(ui_->NewBlankFile1, &TForm1::NewBlankFile1Click);
    Bind(ui_->LoadFromQ44711, &TForm1::LoadFromQ44711Click);
    Bind(ui_->SendFileToQ44711, &TForm1::SendFileToQ44711Click);
    Bind(ui_->COM11, &TForm1::COM11Click);
    Bind(ui_->COM21, &TForm1::COM21Click);
    Bind(ui_->COM31, &TForm1::COM31Click);
    Bind(ui_->COM41, &TForm1::COM41Click);
    Bind(ui_->LoadExistingFile1, &TForm1::LoadExistingFile1Click);
    Bind(ui_->SaveAs1, &TForm1::SaveAs1Click);
    Bind(ui_->ClearAllMemories1, &TForm1::ClearAllMemories1Click);
}

TForm1::~TForm1() {
    // A transfer must let go of the table and the port before they go.
    StopTransfers();
    portWatcher_.reset(); // its news would reach a window half gone
    if (trace_ && VaComm1->Active()) {
        trace_->Closed(*VaComm1);
    }
    VaComm1.reset();
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::Bind(QAction* item, void (TForm1::*handler)()) {
    connect(item, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
}

void TForm1::RunCommand(void (TForm1::*handler)()) {
    try {
        (this->*handler)();
    } catch (...) {
        Application::HandleException();
    }
}

void TForm1::FormCreate() {
    headerLabels_ = BuildHeaderLabels(ui_->Client);
    BuildMemoryRows(ui_->MemoriesSb, memoryRows_);
    tableCommands_ = std::make_unique<TTableCommands>(
        ui_->MemoriesSb, memoryRows_, undo_, *numberBoxLook_,
        TTableCommandsHost{[this](const std::string& text) { SetStatusText(text); },
                           [this] { return RunningTransfer() != nullptr; },
                           [this] { return RefuseDuringTransfer(); }});
    verify_->WatchRows();
}

void TForm1::SetStatusText(const std::string& text) {
    TThread::Synchronize([&] {
        statusText_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    });
}

QString TForm1::StatusText() const {
    return statusText_->text();
}

void TForm1::ClearAllMemories1Click() {
    const TUndoStep undoStep(undo_, memoryRows_, "Clear All Memories");
    ClearMemoryRows();
}

void TForm1::ClearMemoryRows() {
    for (int number = 1; number <= MemoryCount; ++number) {
        memoryRows_[static_cast<size_t>(number)]->Clear();
    }
    verify_->TableReplaced();
}

void TForm1::NewBlankFile1Click() {
    const TUndoStep undoStep(undo_, memoryRows_, "New Blank File");
    ClearMemoryRows();
}

std::string TForm1::ChosenFileName() const {
    return QFile::encodeName(FileDlg.FileName).toStdString();
}

void TForm1::SaveAs1Click() {
    TFileType type = TFileType::Memory;
    if (!FileDlg.ExecuteSave(type)) {
        return;
    }
    const TStatusSink status = [this](const std::string& text) { SetStatusText(text); };
    ShowFileOutcome(type == TFileType::Memory
                        ? SaveMemoryFile(memoryRows_, ChosenFileName(), status)
                        : SaveCsvFile(memoryRows_, ChosenFileName(), status));
}

void TForm1::LoadExistingFile1Click() {
    if (FileDlg.Execute()) {
        LoadChosenFile();
    }
}

void TForm1::LoadChosenFile() {
    verify_->TableReplaced();
    const TUndoStep undoStep(undo_, memoryRows_, "Load Existing File");
    ShowFileOutcome(LoadAnyMemoryFile(memoryRows_, ChosenFileName(),
                                      [this](const std::string& text) { SetStatusText(text); }));
}

void TForm1::ShowFileOutcome(const TOutcome& outcome) {
    if (!outcome.refusal.empty()) {
        Application::ShowException(Exception(outcome.refusal));
    }
    ShowFileDetails(this, QString::fromStdString(outcome.statusText), outcome.details);
}

void TForm1::OpenFile(const QString& fileName) {
    // As if chosen in the dialog: Save As then proposes the same file.
    FileDlg.FileName = fileName;
    RunCommand(&TForm1::LoadChosenFile);
}

void TForm1::ApplyStoredCommSettings() {
    TVaComm& comm = *VaComm1;
    comm.BeginLoading();
    comm.SetBaudrate(br9600);
    TVaFlowControl noFlowControl; // all flags off, DTR and RTS held off
    comm.SetFlowControl(noFlowControl);
    comm.SetDeviceName("COM%d");
    comm.SetDirectWrite(true);
    comm.Loaded();
}

void TForm1::WatchPorts() {
    portWatcher_ = std::make_unique<TSerialPortWatcher>();
    portWatcher_->SetFolders(EditorPortFolders());
    portWatcher_->OnArrived = [this](TObject*, const TSerialPortInfo& port) { PortAppeared(port); };
    // udev may add the stable name that tells a returning cable a moment after its node.
    portWatcher_->OnChanged = portWatcher_->OnArrived;
    portWatcher_->OnLeft = [this](TObject*, const TSerialPortInfo&) { ShowPortTooltips(); };
    try {
        portWatcher_->Start();
    } catch (const Exception& error) {
        // The tooltips then tell what was present when each port was chosen.
        SetStatusText(error.Message());
    }
}

std::vector<TSerialPortInfo> TForm1::PortsPresent() const {
    return portWatcher_->Active() ? portWatcher_->Ports() : ListSerialPorts(EditorPortFolders());
}

void TForm1::PortAppeared(const TSerialPortInfo& port) {
    ShowPortTooltips();
    const int returned = portReturn_.Returned(port);
    if (returned == 0 || VaComm1->Active() || RunningTransfer() != nullptr) {
        return;
    }
    ComPortChange(returned);
    if (VaComm1->Active()) {
        SetStatusText(port.StableNames.front() + " is back: Port " + std::to_string(returned) +
                      " reopened");
    }
}

void TForm1::ShowPortTooltips(int failedPort, int failure) {
    QAction* const items[] = {ui_->COM11, ui_->COM21, ui_->COM31, ui_->COM41};
    const std::vector<TSerialPortInfo> ports = PortsPresent();
    for (int port = 1; port <= 4; ++port) {
        std::string tip = EditorPortDescription(port, ports);
        if (port == failedPort) {
            tip += '\n';
            const std::string device = SerialPlatform::DeviceNodeFor("COM" + std::to_string(port));
            tip += ExplainOpenFailure(failure, device, EditorPortFolders());
        }
        items[port - 1]->setToolTip(QString::fromLocal8Bit(tip.data(), qsizetype(tip.size())));
    }
}

void TForm1::ComPortChange(int port) {
    // The port must not change under a running exchange: the transfer stops first.
    const std::string stopped = StopRunningTransfer();
    std::string portText;
    try {
        ClosePort();
        VaComm1->SetPortNum(port);
        VaComm1->Open();
        if (trace_) {
            trace_->Opened(*VaComm1);
        }
        portText = "Port " + std::to_string(VaComm1->PortNum()) + " Selected";
        portReturn_.Opened(port, SerialPlatform::DeviceNodeFor("COM" + std::to_string(port)),
                           PortsPresent());
        ShowPortTooltips();
    } catch (const Exception& error) {
        portReturn_.Forget();
        if (trace_) {
            trace_->OpenFailed(*VaComm1, error.Message());
        }
        ShowPortTooltips(port, VaComm1->LastOpenError());
        portText = "Port " + std::to_string(port) + " Unavailable";
    }
    SetStatusText(portText);
    if (!stopped.empty()) {
        // The transfer's end must show, and so must the port's new state.
        SetStatusText(stopped + ": the Com Port was changed (" + portText + ")");
    }
}

TQ4471TransferThread* TForm1::RunningTransfer() const {
    for (TQ4471TransferThread* thread : {static_cast<TQ4471TransferThread*>(LoadThread.get()),
                                         static_cast<TQ4471TransferThread*>(WriteThread.get()),
                                         static_cast<TQ4471TransferThread*>(VerifyThread.get())}) {
        if (thread != nullptr && thread->Running()) {
            return thread;
        }
    }
    return nullptr;
}

void TForm1::StopTransfers() {
    // Destroying a transfer thread stops it and waits, serving its calls to the GUI thread.
    LoadThread.reset();
    WriteThread.reset();
    VerifyThread.reset();
    ShowTransferControls(false);
}

void TForm1::ShowTransferControls(bool shown) {
    transferProgress_->setVisible(shown);
    stopTransfer_->setVisible(shown);
    verify_->TransferRunning(shown);
}

void TForm1::StopTransferClick() {
    if (const std::string stopped = StopRunningTransfer(); !stopped.empty()) {
        SetStatusText(stopped);
    }
}

std::string TForm1::StopRunningTransfer() {
    TQ4471TransferThread* running = RunningTransfer();
    if (running == nullptr) {
        return {};
    }
    const std::string transfer = running->Name();
    running->RequestStop();
    running->WaitFor(); // serves the calls the thread hands over meanwhile
    // Read once the thread has ended: it may have finished a memory, or the whole transfer and
    // shown its final text, while stopping.
    const int done = running->MemoriesDone();
    const bool endedOnItsOwn = running->FinalStatusShown();
    StopTransfers();
    if (endedOnItsOwn) {
        return {};
    }
    return transfer + " stopped " +
           (done == 0 ? std::string("before the first memory")
                      : "after memory " + std::to_string(done));
}

void TForm1::ClosePort() {
    verify_->Withdraw();
    if (!VaComm1->Active()) {
        return;
    }
    VaComm1->Close();
    if (trace_) {
        trace_->Closed(*VaComm1);
    }
}

void TForm1::PortLost(const std::string& message) {
    const std::string stopped = StopRunningTransfer();
    // Nothing more can pass through the port; closing it lets go of the device at once.
    ClosePort();
    portReturn_.Lost();
    SetStatusText((stopped.empty() ? "" : stopped + ": ") + message +
                  "; choose the port again once the device is back");
}

bool TForm1::RefuseDuringTransfer() {
    if (RunningTransfer() == nullptr) {
        return false;
    }
    SetStatusText("A transfer with the Q4471 is running: wait until it has finished");
    return true;
}

bool TForm1::MayStartTransfer() {
    if (RefuseDuringTransfer()) {
        return false;
    }
    if (!VaComm1->Active()) {
        SetStatusText("No Com Port is open: choose the radio's port in the Com Port menu first");
        return false;
    }
    return true;
}

TQ4471TransferSetup TForm1::TransferSetup(TTransferEnded ended) {
    transferProgress_->setValue(0);
    ShowTransferControls(true);
    return TQ4471TransferSetup{memoryRows_,
                               *VaComm1,
                               [this](const std::string& text) { SetStatusText(text); },
                               [this](int memory) {
                                   TThread::Synchronize(
                                       [this, memory] { transferProgress_->setValue(memory); });
                               },
                               [this, ended = std::move(ended)](const TOutcome& outcome) {
                                   SetStatusText(outcome.statusText);
                                   if (ended) {
                                       ended(outcome);
                                   }
                                   ShowTransferControls(false);
                               },
                               TrafficSink()};
}

TQ4471Radio::TTrafficSink TForm1::TrafficSink() const {
    if (!trace_) {
        return {};
    }
    TSerialTrace* trace = trace_.get();
    return {[trace](std::string_view bytes, bool whole) { trace->Sent(bytes, whole); },
            [trace](std::string_view bytes) { trace->Received(bytes); }};
}

template <typename TTransferThread, typename... TArguments>
bool TForm1::StartTransfer(const std::string& startText, std::unique_ptr<TTransferThread>& thread,
                           TTransferEnded ended, TArguments&&... arguments) {
    if (!MayStartTransfer()) {
        return false;
    }
    SetStatusText(startText);
    thread.reset(); // the finished one of the same kind
    thread = std::make_unique<TTransferThread>(TransferSetup(std::move(ended)),
                                               std::forward<TArguments>(arguments)...);
    return true;
}

void TForm1::LoadFromQ44711Click() {
    if (!MayStartTransfer()) {
        return;
    }
    // Taken as the load starts: undo gives back the table as it was then, also when the load
    // ended or was stopped part way.
    undo_.Record(memoryRows_, "Load From Q4471");
    StartTransfer("Loading from Q4471...", LoadThread, {});
    verify_->TableReplaced();
}

void TForm1::SendFileToQ44711Click() {
    if (StartTransfer("Sending to Q4471...", WriteThread,
                      [this](const TOutcome& sent) { verify_->SendEnded(sent.succeeded); })) {
        verify_->SendStarted();
    }
}

void TForm1::VerifyQ4471Click() {
    if (StartTransfer(
            "Verifying Q4471...", VerifyThread,
            [this](const TOutcome& verified) { verify_->VerifyEnded(verified.succeeded); },
            verify_->DifferenceSink())) {
        verify_->VerifyStarted();
    }
}

void TForm1::SendDifferingClick() {
    if (StartTransfer(
            "Sending differing memories to Q4471...", WriteThread,
            [this](const TOutcome& sent) { verify_->SendEnded(sent.succeeded); },
            verify_->Differing())) {
        verify_->SendStarted();
    }
}
