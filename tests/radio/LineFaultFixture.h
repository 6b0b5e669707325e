#pragma once

#include "RadioLinkFixture.h"

#include <chrono>
#include <string>

// For LineFaultTest::TableDeviation: each row holds either the user's or the radio's values.
constexpr int WholeRows = -1;

// The editor's window and a radio behind COM1's link, with a table the user has filled and a
// radio that holds other values: after a fault on the line each row must show either what the
// user had or what the radio really holds for it.
class LineFaultTest : public RadioLinkTest {
protected:
    LineFaultTest();

    // Connects a radio with `misbehave`; the user's values fill the table and the radio holds
    // memories labelled `radioLabel` + n.
    void ConnectAndFill(const Misbehaviour& misbehave, const std::string& radioLabel = "R");
    void FillRadio(const std::string& label) const;

    static Strings UserValues(int number);
    static Strings RadioValues(int number, const std::string& label = "R");

    // Rows 1 to `radioRows` hold the radio's values and every other row the user's; with
    // WholeRows, each row holds one or the other. With a `shift`, the radio's values sit that
    // many rows lower. The empty text when so, else what differs.
    std::string TableDeviation(int radioRows, int shift = 0) const;

    // The process's CPU time over one second while the calls to the GUI thread are served.
    std::chrono::microseconds CpuOverOneSecond();

    // Runs a menu command and serves until the transfer has ended; false if it did not within
    // `within`.
    bool RunTransfer(const char* command, std::chrono::seconds within = std::chrono::seconds(60));
    // The next command works: a load fills rows 1 to 3 with what the radio holds now; a send
    // brings the user's rows 1 to 3 into the radio.
    void ExpectCommandWorks(const char* command);
};
