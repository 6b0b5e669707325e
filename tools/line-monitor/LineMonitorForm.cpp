#include "LineMonitorForm.h"

#include "EscapeText.h"
#include "LineMonitorClient.h"
#include "LineStatusDisplay.h"
#include "TrafficView.h"
#include "serial/diagnostics/PortHelp.h"
#include "serial/diagnostics/PortNames.h"

#include <q4471/framework/Counted.h>
#include <q4471/serial/DeviceNames.h>
#include <q4471/serial/SerialPortWatcher.h>
#include <q4471/serial/VaComm.h>

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QTime>
#include <QVBoxLayout>

using namespace q4471;
using namespace LineChoices;
using TrafficFormat::TDirection;

namespace {

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

template <class T, std::size_t N>
QComboBox* ChoiceBox(QWidget* parent, const char* name, const std::array<TChoice<T>, N>& choices,
                     T chosen) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (const TChoice<T>& choice : choices) {
        box->addItem(QLatin1String(choice.Label), static_cast<int>(choice.Value));
        if (choice.Value == chosen) {
            box->setCurrentIndex(box->count() - 1);
        }
    }
    return box;
}

template <class T> T Chosen(const QComboBox* box) {
    return static_cast<T>(box->currentData().toInt());
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, bool toggle = false) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setCheckable(toggle);
    return button;
}

QLabel* Caption(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TLineMonitorForm::TLineMonitorForm() {
    setWindowTitle(QStringLiteral("Q4471 Line Monitor"));
    UseEditorPortNames();
    comm_ = std::make_unique<TVaComm>(nullptr);
    // Writes go through the transmit thread: the window never waits for the line.
    comm_->SetDirectWrite(false);
    comm_->SetMonitorEvents({ceBreak, ceCts, ceDsr, ceError, ceRing, ceRlsd, ceRxChar});
    comm_->OnError = [this](TObject*, int32_t errors) {
        LineErrorsReported(static_cast<uint32_t>(errors));
    };
    client_ = std::make_unique<TLineMonitorClient>(nullptr);
    client_->OnData = [this](PVaData data, int32_t count) { DataArrived(data, count); };
    client_->OnLine = [this](uint32_t evtMask) { LineEvents(evtMask); };
    client_->SetComm(comm_.get());

    WatchPorts();
    BuildControls();
    ConnectControls();
    comm_->SetDisplay(leds_);
    ApplyLineSettings(*comm_, ChosenSettings());
    PortStateChanged();
    ShowCounters();
    resize(920, 600);
}

TLineMonitorForm::~TLineMonitorForm() {
    portWatcher_.reset(); // its news would reach a window half gone
    // The port stops its threads and deliveries before the client and the display go.
    comm_.reset();
    client_.reset();
}

void TLineMonitorForm::BuildControls() {
    auto* client = new QWidget(this);
    auto* rows = new QVBoxLayout(client);
    // Made in the order of the window, which is the order of the keyboard's focus.
    rows->addLayout(PortRow(client));
    rows->addLayout(LineRow(client));
    rows->addLayout(ControlRow(client));
    view_ = new TTrafficView(client);
    view_->setObjectName(QStringLiteral("TrafficView"));
    rows->addWidget(view_, 1);
    rows->addLayout(SendRow(client));
    rows->addLayout(ToolRow(client));
    setCentralWidget(client);

    status_ = new QLabel(statusBar());
    status_->setObjectName(QStringLiteral("StatusText"));
    // A port's error text may quote a device name that reads like markup.
    status_->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(status_, 1);
    view_->OnFlushed = [this] { ShowCounters(); };
}

QHBoxLayout* TLineMonitorForm::PortRow(QWidget* client) {
    portBox_ = new QComboBox(client);
    portBox_->setObjectName(QStringLiteral("PortBox"));
    portBox_->setEditable(true);
    portBox_->setInsertPolicy(QComboBox::NoInsert);
    portBox_->setMinimumContentsLength(28);
    FillPortBox();
    openButton_ = Button(client, "OpenButton", tr("&Open"));
    closeButton_ = Button(client, "CloseButton", tr("&Close"));
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(Caption(client, tr("&Port"), portBox_));
    portRow->addWidget(portBox_, 1);
    portRow->addWidget(openButton_);
    portRow->addWidget(closeButton_);
    return portRow;
}

QHBoxLayout* TLineMonitorForm::LineRow(QWidget* client) {
    const TLineSettings defaults;
    rateBox_ = new QComboBox(client);
    rateBox_->setObjectName(QStringLiteral("RateBox"));
    for (const TVaBaudrate rate : Rates()) {
        rateBox_->addItem(QString::number(VaBaudrateValues[rate]), static_cast<int>(rate));
        if (rate == defaults.Rate) {
            rateBox_->setCurrentIndex(rateBox_->count() - 1);
        }
    }
    dataBitsBox_ = ChoiceBox(client, "DataBitsBox", DataBits, defaults.Databits);
    parityBox_ = ChoiceBox(client, "ParityBox", Parities, defaults.Parity);
    stopBitsBox_ = ChoiceBox(client, "StopBitsBox", StopBits, defaults.Stopbits);
    flowBox_ = ChoiceBox(client, "FlowBox", Flows, defaults.Flow);
    auto* lineRow = new QHBoxLayout;
    lineRow->addWidget(Caption(client, tr("&Rate"), rateBox_));
    lineRow->addWidget(rateBox_);
    lineRow->addWidget(Caption(client, tr("Data &bits"), dataBitsBox_));
    lineRow->addWidget(dataBitsBox_);
    lineRow->addWidget(Caption(client, tr("P&arity"), parityBox_));
    lineRow->addWidget(parityBox_);
    lineRow->addWidget(Caption(client, tr("S&top bits"), stopBitsBox_));
    lineRow->addWidget(stopBitsBox_);
    lineRow->addWidget(Caption(client, tr("&Flow control"), flowBox_));
    lineRow->addWidget(flowBox_);
    lineRow->addStretch(1);
    return lineRow;
}

QHBoxLayout* TLineMonitorForm::ControlRow(QWidget* client) {
    leds_ = new TLineStatusDisplay(nullptr, client);
    leds_->setObjectName(QStringLiteral("LineStatus"));
    leds_->setFixedSize(316, 18);
    dtrButton_ = Button(client, "DtrButton", tr("&DTR"), true);
    rtsButton_ = Button(client, "RtsButton", tr("RT&S"), true);
    breakButton_ = Button(client, "BreakButton", tr("Brea&k"), true);
    purgeButton_ = Button(client, "PurgeButton", tr("P&urge"));
    auto* controlRow = new QHBoxLayout;
    controlRow->addWidget(leds_);
    controlRow->addSpacing(12);
    controlRow->addWidget(dtrButton_);
    controlRow->addWidget(rtsButton_);
    controlRow->addWidget(breakButton_);
    controlRow->addWidget(purgeButton_);
    controlRow->addStretch(1);
    return controlRow;
}

QHBoxLayout* TLineMonitorForm::SendRow(QWidget* client) {
    sendLine_ = new QLineEdit(client);
    sendLine_->setObjectName(QStringLiteral("SendLine"));
    sendLine_->setPlaceholderText(
        tr("Text to send; \\r CR, \\n LF, \\\\ backslash, \\xNN any byte"));
    sendButton_ = Button(client, "SendButton", tr("S&end"));
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(Caption(client, tr("Se&nd line"), sendLine_));
    sendRow->addWidget(sendLine_, 1);
    sendRow->addWidget(sendButton_);
    return sendRow;
}

QHBoxLayout* TLineMonitorForm::ToolRow(QWidget* client) {
    memoryBox_ = new QSpinBox(client);
    memoryBox_->setObjectName(QStringLiteral("MemoryBox"));
    memoryBox_->setRange(1, 100);
    queryButton_ = Button(client, "QueryButton", tr("&Query memory"));
    counters_ = new QLabel(client);
    counters_->setObjectName(QStringLiteral("Counters"));
    saveButton_ = Button(client, "SaveButton", tr("Sa&ve traffic..."));
    clearButton_ = Button(client, "ClearButton", tr("C&lear view"));
    auto* toolRow = new QHBoxLayout;
    toolRow->addWidget(Caption(client, tr("&Memory"), memoryBox_));
    toolRow->addWidget(memoryBox_);
    toolRow->addWidget(queryButton_);
    toolRow->addSpacing(12);
    toolRow->addWidget(counters_, 1);
    toolRow->addWidget(saveButton_);
    toolRow->addWidget(clearButton_);
    return toolRow;
}

void TLineMonitorForm::ConnectControls() {
    const auto onClick = [this](QPushButton* button, void (TLineMonitorForm::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    const auto onToggle = [this](QPushButton* button, void (TLineMonitorForm::*handler)(bool)) {
        connect(button, &QPushButton::toggled, this,
                [this, handler](bool on) { Guarded([&] { (this->*handler)(on); }); });
    };
    onClick(openButton_, &TLineMonitorForm::OpenClick);
    onClick(closeButton_, &TLineMonitorForm::CloseClick);
    onToggle(dtrButton_, &TLineMonitorForm::DtrToggled);
    onToggle(rtsButton_, &TLineMonitorForm::RtsToggled);
    onToggle(breakButton_, &TLineMonitorForm::BreakToggled);
    onClick(purgeButton_, &TLineMonitorForm::PurgeClick);
    onClick(sendButton_, &TLineMonitorForm::SendClick);
    onClick(queryButton_, &TLineMonitorForm::QueryClick);
    onClick(saveButton_, &TLineMonitorForm::SaveClick);
    onClick(clearButton_, &TLineMonitorForm::ClearClick);
    connect(sendLine_, &QLineEdit::returnPressed, this,
            [this] { Guarded([this] { SendClick(); }); });
    for (QComboBox* box : {rateBox_, dataBitsBox_, parityBox_, stopBitsBox_, flowBox_}) {
        connect(box, &QComboBox::currentIndexChanged, this,
                [this] { Guarded([this] { SettingsChanged(); }); });
    }
}

void TLineMonitorForm::Guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        ShowStatus(error.what());
    }
}

void TLineMonitorForm::ShowStatus(const std::string& text) {
    status_->setText(FromLocal(text));
}

QString TLineMonitorForm::StatusText() const {
    return status_->text();
}

int64_t TLineMonitorForm::NowMs() {
    return QTime::currentTime().msecsSinceStartOfDay();
}

TLineSettings TLineMonitorForm::ChosenSettings() const {
    TLineSettings settings;
    settings.Rate = Chosen<TVaBaudrate>(rateBox_);
    settings.Databits = Chosen<TVaDatabits>(dataBitsBox_);
    settings.Parity = Chosen<TVaParity>(parityBox_);
    settings.Stopbits = Chosen<TVaStopbits>(stopBitsBox_);
    settings.Flow = Chosen<TFlow>(flowBox_);
    settings.Dtr = dtrButton_->isChecked();
    settings.Rts = rtsButton_->isChecked();
    return settings;
}

void TLineMonitorForm::WatchPorts() {
    portWatcher_ = std::make_unique<TSerialPortWatcher>();
    portWatcher_->SetFolders(EditorPortFolders());
    const auto news = [this](const char* what) {
        return [this, what](TObject*, const TSerialPortInfo& port) {
            FillPortBox();
            if (what != nullptr) {
                ShowStatus(what + port.Device + " (" + PortIdentity(port) + ")");
            }
        };
    };
    portWatcher_->OnArrived = news("Port arrived: ");
    portWatcher_->OnLeft = news("Port left: ");
    portWatcher_->OnChanged = news(nullptr);
    try {
        portWatcher_->Start();
    } catch (const Exception& error) {
        ShowStatus(error.Message()); // the box keeps the ports present at start
    }
}

void TLineMonitorForm::FillPortBox() {
    const QString typed = portBox_->currentText();
    const int chosen = portBox_->currentIndex();
    const bool itemChosen = chosen >= 0 && typed == portBox_->itemText(chosen);
    const QSignalBlocker quiet(portBox_);
    portBox_->clear();
    for (const TPortItem& item : PortItems(portWatcher_->Ports())) {
        portBox_->addItem(FromLocal(item.Name + "  (" + item.Detail + ")"), FromLocal(item.Name));
    }
    if (itemChosen || typed.isEmpty()) {
        portBox_->setCurrentIndex(std::max(chosen, 0));
    } else {
        portBox_->setEditText(typed);
    }
}

std::string TLineMonitorForm::ChosenPort() const {
    const QString typed = portBox_->currentText().trimmed();
    const int chosen = portBox_->currentIndex();
    if (chosen >= 0 && portBox_->currentText() == portBox_->itemText(chosen)) {
        return portBox_->itemData(chosen).toString().toStdString();
    }
    return typed.toLocal8Bit().toStdString();
}

void TLineMonitorForm::OpenPort(const std::string& nameOrPath) {
    portBox_->setEditText(FromLocal(nameOrPath));
    Guarded([this] { OpenClick(); });
}

void TLineMonitorForm::OpenClick() {
    const std::string name = ChosenPort();
    if (name.empty()) {
        ShowStatus("Choose a port, or type the path of a device, then Open.");
        return;
    }
    if (comm_->Active()) {
        CloseClick();
    }
    // The user's name stands as it is: a "%" in a path is no placeholder.
    comm_->SetDeviceName(DeviceNamePattern(name));
    comm_->SetPortNum(0);
    const std::string device = SerialPlatform::DeviceNodeFor(name);
    portBox_->setToolTip(FromLocal(name + " is " + device));
    const TLineSettings settings = ChosenSettings();
    try {
        ApplyLineSettings(*comm_, settings);
        comm_->Open();
    } catch (...) {
        if (comm_->LastOpenError() != 0) {
            portBox_->setToolTip(FromLocal(ExplainOpenFailure(comm_->LastOpenError(), device)));
        }
        PortStateChanged();
        throw;
    }
    portName_ = name;
    // A pick made while closed is written with the settings; break is always off after opening.
    const QSignalBlocker quiet(breakButton_);
    breakButton_->setChecked(false);
    PortStateChanged();
    const std::string text = "Opened " + name + (device != name ? " (" + device + ")" : "") +
                             " at " + DescribeLine(settings);
    Note(text);
    ShowStatus(text);
    FillPortBox();
}

void TLineMonitorForm::CloseClick() {
    if (!comm_->Active()) {
        ShowStatus("The port is closed already.");
        return;
    }
    comm_->Close();
    {
        const QSignalBlocker quiet(breakButton_);
        breakButton_->setChecked(false);
    }
    PortStateChanged();
    Note("Closed " + portName_);
    ShowStatus("Closed " + portName_);
}

void TLineMonitorForm::PortStateChanged() {
    const bool open = comm_->Active();
    closeButton_->setEnabled(open);
    breakButton_->setEnabled(open);
    purgeButton_->setEnabled(open);
}

void TLineMonitorForm::SettingsChanged() {
    if (!comm_->Active()) {
        return; // written when the port opens
    }
    const TLineSettings settings = ChosenSettings();
    ApplyLineSettings(*comm_, settings);
    const std::string text = "Line set to " + DescribeLine(settings);
    Note(text);
    ShowStatus(text);
}

void TLineMonitorForm::DtrToggled(bool on) {
    SetControlLine("DTR", dtrButton_, &TVaCustomComm::SetDTR, on);
}

void TLineMonitorForm::RtsToggled(bool on) {
    SetControlLine("RTS", rtsButton_, &TVaCustomComm::SetRTS, on);
}

void TLineMonitorForm::SetControlLine(const char* name, QPushButton* button,
                                      void (TVaCustomComm::*set)(bool), bool on) {
    try {
        ((*comm_).*set)(on);
    } catch (...) {
        // The line keeps its state, and so does the button that shows it.
        const QSignalBlocker quiet(button);
        button->setChecked(!on);
        throw;
    }
    const std::string line(name);
    const char* state = on ? "on" : "off";
    ShowStatus(comm_->Active() ? line + " " + state
                               : line + " will be " + state + " when the port opens");
}

void TLineMonitorForm::BreakToggled(bool on) {
    try {
        comm_->SetBreak(on);
    } catch (...) {
        const QSignalBlocker quiet(breakButton_);
        breakButton_->setChecked(!on);
        throw;
    }
    Note(on ? "break on" : "break off");
    ShowStatus(on ? "Break on: the line is held in the break state" : "Break off");
}

void TLineMonitorForm::PurgeClick() {
    comm_->PurgeReadWrite();
    Note("purged");
    ShowStatus("Purged the input and output queues");
}

void TLineMonitorForm::SendClick() {
    const TEscapeResult typed = ParseEscapes(sendLine_->text().toUtf8().toStdString());
    if (!typed.Ok) {
        ShowStatus("Nothing sent: " + typed.Error);
        return;
    }
    if (typed.Bytes.empty()) {
        ShowStatus("Nothing to send: type the text to send first.");
        return;
    }
    Send(typed.Bytes);
}

void TLineMonitorForm::QueryClick() {
    Send("MEM:USR:SET? " + std::to_string(memoryBox_->value()) + "\r");
}

void TLineMonitorForm::Send(const std::string& bytes) {
    if (!comm_->Active()) {
        ShowStatus("Nothing sent: no port is open.");
        return;
    }
    if (!comm_->WriteText(bytes)) {
        ShowStatus("Nothing sent: the port did not take the " + std::to_string(bytes.size()) +
                   " bytes.");
        return;
    }
    bytesOut_ += static_cast<int64_t>(bytes.size());
    view_->AddLines(TrafficFormat::FormatRun(TDirection::Sent, NowMs(), bytes));
    ShowCounters();
    ShowStatus("Sent " + Counted(bytes.size(), "byte", "bytes"));
}

void TLineMonitorForm::DataArrived(const char* data, int32_t count) {
    bytesIn_ += count;
    view_->AddLines(TrafficFormat::FormatRun(
        TDirection::Received, NowMs(), std::string_view(data, static_cast<std::size_t>(count))));
}

void TLineMonitorForm::LineEvents(uint32_t evtMask) {
    if ((evtMask & EV_BREAK) != 0) {
        Note("break received");
    }
}

void TLineMonitorForm::LineErrorsReported(uint32_t errors) {
    ++lineErrors_;
    Note("line error: " + TrafficFormat::LineErrorText(errors));
    ShowCounters();
}

void TLineMonitorForm::Note(const std::string& text) {
    view_->AddLines(TrafficFormat::FormatNote(NowMs(), text));
}

void TLineMonitorForm::ShowCounters() {
    counters_->setText(tr("In: %1 bytes   Out: %2 bytes   Line errors: %3")
                           .arg(bytesIn_)
                           .arg(bytesOut_)
                           .arg(lineErrors_));
}

void TLineMonitorForm::SaveClick() {
    QFileDialog dialog(this, tr("Save the traffic"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(tr("Text files (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(QStringLiteral("traffic.txt"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        SaveTraffic(dialog.selectedFiles().constFirst());
    }
}

void TLineMonitorForm::SaveTraffic(const QString& path) {
    view_->Flush();
    if (view_->document()->isEmpty()) {
        ShowStatus("Nothing to save: the view is empty.");
        return;
    }
    const QByteArray text = view_->toPlainText().toUtf8() + '\n';
    const std::string shown = QFile::encodeName(path).toStdString();
    // Written whole or not at all: a failed save leaves an older file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        ShowStatus("Could not save the traffic to " + shown + ": " +
                   file.errorString().toStdString());
        return;
    }
    std::string saved =
        "Saved " + std::to_string(view_->blockCount()) + " lines of traffic to " + shown;
    if (view_->Trimmed()) {
        saved += " (the view keeps the newest " + std::to_string(TTrafficView::MaxLines) +
                 " lines; older ones were dropped)";
    }
    ShowStatus(saved);
}

void TLineMonitorForm::ClearClick() {
    view_->ClearLines();
    ShowStatus("View cleared");
}
