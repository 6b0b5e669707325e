#pragma once

#include "LineChoices.h"
#include "serial/diagnostics/TrafficFormat.h"

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TLineMonitorClient;
class TSerialPortWatcher;
class TTrafficView;
class TVaComm;
class TLineStatusDisplay;

// The line monitor's window: a port with its line settings, the traffic in both directions as it
// happens, a send line, the line functions, counters and the LED line-status display. It uses
// the serial component as an application would: the port writes through its transmit thread,
// the display is attached as the port's Display, and the bytes come to a client of the port.
// Every error of the port ends on the status line; none ends the program.
class TLineMonitorForm : public QMainWindow {
public:
    TLineMonitorForm();
    ~TLineMonitorForm() override;

    // Replaces the status line.
    void ShowStatus(const std::string& text);
    QString StatusText() const;

    // Puts `nameOrPath` in the port box and opens it, as typing it and pressing Open does.
    void OpenPort(const std::string& nameOrPath);
    // Writes the traffic as the view shows it to `path`; the outcome goes to the status line.
    void SaveTraffic(const QString& path);

    TVaComm& Comm() const { return *comm_; }
    TTrafficView& View() const { return *view_; }
    int64_t BytesIn() const { return bytesIn_; }
    int64_t BytesOut() const { return bytesOut_; }
    int64_t LineErrors() const { return lineErrors_; }

private:
    void BuildControls();
    // The window's rows, top to bottom: the port, the line settings, the modem lines with their
    // buttons, the line to send, and the tools beside the counters.
    QHBoxLayout* PortRow(QWidget* client);
    QHBoxLayout* LineRow(QWidget* client);
    QHBoxLayout* ControlRow(QWidget* client);
    QHBoxLayout* SendRow(QWidget* client);
    QHBoxLayout* ToolRow(QWidget* client);
    void ConnectControls();
    // Runs a user's command; an error of the port goes to the status line.
    void Guarded(const std::function<void()>& command);

    void OpenClick();
    void CloseClick();
    void SettingsChanged();
    void DtrToggled(bool on);
    void RtsToggled(bool on);
    // Sets DTR or RTS; a refusal leaves the line, and its button, as they were.
    void SetControlLine(const char* name, QPushButton* button, void (TVaCustomComm::*set)(bool),
                        bool on);
    void BreakToggled(bool on);
    void PurgeClick();
    void SendClick();
    void QueryClick();
    void SaveClick();
    void ClearClick();

    void Send(const std::string& bytes);
    void DataArrived(const char* data, int32_t count);
    void LineEvents(uint32_t evtMask);
    void LineErrorsReported(uint32_t errors);
    void Note(const std::string& text);

    LineChoices::TLineSettings ChosenSettings() const;
    // The COM name of the chosen item, or the name or path typed in.
    std::string ChosenPort() const;
    // Keeps the port box current as ports come and go, and says so on the status line.
    void WatchPorts();
    void FillPortBox();
    void PortStateChanged();
    void ShowCounters();
    static int64_t NowMs();

    std::unique_ptr<TVaComm> comm_;
    std::unique_ptr<TLineMonitorClient> client_;
    std::unique_ptr<TSerialPortWatcher> portWatcher_;
    std::string portName_; // the name the port was opened with, for the messages

    QComboBox* portBox_ = nullptr;
    QComboBox* rateBox_ = nullptr;
    QComboBox* dataBitsBox_ = nullptr;
    QComboBox* parityBox_ = nullptr;
    QComboBox* stopBitsBox_ = nullptr;
    QComboBox* flowBox_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    TLineStatusDisplay* leds_ = nullptr;
    QPushButton* dtrButton_ = nullptr;
    QPushButton* rtsButton_ = nullptr;
    QPushButton* breakButton_ = nullptr;
    QPushButton* purgeButton_ = nullptr;
    TTrafficView* view_ = nullptr;
    QLineEdit* sendLine_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QSpinBox* memoryBox_ = nullptr;
    QPushButton* queryButton_ = nullptr;
    QLabel* counters_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QLabel* status_ = nullptr;

    int64_t bytesIn_ = 0;
    int64_t bytesOut_ = 0;
    int64_t lineErrors_ = 0;
};
