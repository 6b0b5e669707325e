#pragma once

#include "SimulatedRadio.h"
#include "TempFolder.h"
#include "app/TForm1.h"

#include <q4471/framework/qt/QtFramework.h>

#include <QAction>
#include <QProgressBar>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using Strings = std::vector<std::string>;

// The editor's real window, offscreen, with a simulated radio in this process behind COM1. COM2
// to COM4 point at paths that do not exist, so that no test ever reaches a real serial device.
class RadioLinkTest : public ::testing::Test {
protected:
    using Clock = std::chrono::steady_clock;

    RadioLinkTest();
    ~RadioLinkTest() override;
    // No command may end in the application's error box: the link reports on the status line.
    void TearDown() override;

    // How a test makes the radio misbehave.
    using Misbehaviour = std::function<void(radiosim::Behaviour&)>;

    // Starts the radio and builds the window; COM1 is the radio from then on.
    void StartRadio(const Misbehaviour& misbehave = {});
    // Puts a new radio in place of the old one, whose device is gone first. Only through
    // radioLink does COM1 then reach the new one: the same port coming back.
    void RestartRadio(const Misbehaviour& misbehave = {});
    // Starts the radio and opens COM1 through the menu.
    void ConnectRadio(const Misbehaviour& misbehave = {});

    // Runs a menu command, as a click on the item does.
    void Trigger(const char* item);
    QAction* Item(const char* name) const;
    std::string Status() const;
    QProgressBar* Progress() const;

    // Serves the calls that the transfer hands to the GUI thread, and nothing else, until `done`
    // answers true or `within` has passed; meanwhile every new status text is added to Statuses.
    // Serving them one by one is what lets no status text slip by unseen.
    bool ServeUntil(const std::function<bool()>& done,
                    std::chrono::milliseconds within = std::chrono::seconds(30));
    bool ServeUntilStatus(const std::string& text,
                          std::chrono::milliseconds within = std::chrono::seconds(30));
    // Serves until the transfer has ended with `text`: shown, and the progress bar gone.
    bool ServeUntilEnd(const std::string& text,
                       std::chrono::milliseconds within = std::chrono::seconds(30));
    // Serves until the radio has received `count` commands in all.
    bool ServeUntilCommands(std::size_t count,
                            std::chrono::milliseconds within = std::chrono::seconds(30));

    // The commands the radio received, without their CR.
    Strings Commands() const;
    // Commands() from the `from`-th on, less each command that repeats the one before only
    // because the radio's answer to that one came too late for the editor's wait: the editor
    // rightly asks again then, as it would of a real radio on a busy machine.
    Strings CommandsWithoutLateRetries(std::size_t from = 0) const;
    // The "ReadQ4471 Retry : k" texts a load or verify shows, as the radio's record says it was
    // asked from its `from`-th command on: one for each try that went unanswered before the next
    // try or for good; a text that repeats the one before shows once, as in Statuses.
    Strings RetryStatuses(std::size_t from = 0) const;
    static std::string Query(int memory) { return "MEM:USR:SET? " + std::to_string(memory); }
    static std::string Set(const std::string& record) { return "MEM:USR:SET " + record; }

    // Label, TX Freq, RX Freq, mode and Code of a row, as the window shows them.
    Strings ValuesOf(int number) const;
    void SetValues(int number, const Strings& values) const;
    // Closes the window and destroys it, as closing the program does.
    void CloseWindow();

    TempFolder folder;
    // Set before StartRadio, COM1 names this link to the radio's device instead of the device.
    std::string radioLink;
    std::unique_ptr<radiosim::SimulatedRadio> radio;
    const q4471::QtFrameworkBinding binding;
    std::unique_ptr<TForm1> form;
    Strings Statuses;   // each status text once, in the order shown, while ServeUntil runs
    Strings ErrorBoxes; // the messages the application's error box would have shown
};
