#pragma once

#include "LineMonitorForm.h"
#include "SimulatedRadio.h"
#include "TempFolder.h"
#include "serial/FakeCommSystem.h"
#include "serial/PtyPair.h"

#include <q4471/framework/qt/QtFramework.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using Strings = std::vector<std::string>;

// Writes bytes to a pseudo-terminal's far end from a thread of its own, in pieces of `piece`
// bytes, as a line delivers them; the writes never block, so a monitor that stops reading cannot
// hang the test: destroying the writer stops it.
class TFarWriter {
public:
    TFarWriter(int master, std::string bytes, std::size_t piece);
    ~TFarWriter();
    TFarWriter(const TFarWriter&) = delete;
    TFarWriter& operator=(const TFarWriter&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The monitor's real window, offscreen. The far end of its line is either the simulated radio
// (StartRadio) or a bare pseudo-terminal the test plays itself (far). COM1 to COM4 point at paths
// that do not exist until a test says otherwise, so no test ever reaches a real serial device.
class LineMonitorTest : public ::testing::Test {
protected:
    LineMonitorTest();
    ~LineMonitorTest() override;
    // Every error of the port must end on the status line, none in the application's error box.
    void TearDown() override;

    void ShowWindow();
    // Starts the simulated radio, points COM1 at it and opens COM1 from the port box.
    void OpenRadio();
    // Opens the far pseudo-terminal by its path, typed into the port box.
    void OpenFar();

    QPushButton* Button(const char* name) const;
    QComboBox* Box(const char* name) const;
    QLineEdit* SendLine() const;
    QSpinBox* MemoryBox() const;
    void Click(const char* name) const;
    void Choose(const char* box, const QString& item) const;
    // Types `text` into the send line and presses Return.
    void SendTyped(const std::string& text) const;

    std::string Status() const;
    bool StatusStartsWith(const std::string& start) const;

    // Serves the Qt event loop (and with it the port's deliveries) until `done` or `within`.
    bool ServeUntil(const std::function<bool()>& done,
                    std::chrono::milliseconds within = std::chrono::seconds(30)) const;

    // The lines the view shows now, held-back ones not included.
    Strings ViewLines() const;
    // The text of the received (RX) or sent (TX) bytes, as the view shows it, joined up in order.
    std::string ShownText(const char* tag) const;

    TempFolder folder;
    PtyPair far;
    // For what a pseudo-terminal cannot do; the port uses them only when a test says so.
    ScriptedEvents events;
    FakeCommSystem fakeSystem;
    std::unique_ptr<radiosim::SimulatedRadio> radio;
    const q4471::QtFrameworkBinding binding;
    std::unique_ptr<TLineMonitorForm> form;
    Strings ErrorBoxes; // the messages the application's error box would have shown
};
