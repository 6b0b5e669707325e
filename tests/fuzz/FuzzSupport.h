#pragma once

// What the fuzz targets on the memory table share: the offscreen application, a table that knows
// what each of its rows should hold, and the record format as its description states it, written
// apart from the product's parser so that each checks the other.

#include "memories/MemoryTable.h"

#include <QScrollArea>
#include <array>
#include <bitset>
#include <string>

// Ends the run with `what` when a property does not hold: libFuzzer keeps the input as a crash.
void Require(bool holds, const std::string& what);

// The one application object of the process, offscreen (call from LLVMFuzzerInitialize).
void StartOffscreenApplication();

// Label, TX Freq, RX Freq, mode text and Code, as the row's getters return them.
using TRowValues = std::array<std::string, 5>;
inline const TRowValues FreshRow{"", "", "", "OFF", ""};

// A memory table as the window builds it, with the values every row should hold.
class TFuzzTable {
public:
    TFuzzTable();

    const TMemoryRows& Rows() const { return rows_; }
    const TRowValues& Expected(int number) const { return expected_[static_cast<size_t>(number)]; }
    // Memory `number` should hold `values` as a row keeps them: a row's box has no line ends,
    // and turns each LF or CR LF into a blank.
    void Expect(int number, const TRowValues& values);
    TRowValues Actual(int number) const;
    void Set(int number, const TRowValues& values);

    // Every row and its expectation back to the freshly built values, so that each input starts
    // from the same table and a finding replays. Only rows that hold something else are written.
    void Reset();
    // The rows back to the freshly built values; the expectations stay.
    void ResetRows();
    // The rows whose texts changed since the last check.
    const std::bitset<MemoryCount + 1>& Touched() const { return touched_; }
    // Every row holds what it should; `context` tells when, in the report. Only the rows whose
    // texts or expectations changed since the last check are read: the others hold what they did.
    void RequireExpected(const std::string& context);

private:
    QScrollArea panel_;
    TMemoryRows rows_;
    std::array<TRowValues, MemoryCount + 1> expected_;
    std::array<TRowValues, MemoryCount + 1> held_; // what each row was last seen to hold
    std::bitset<MemoryCount + 1> touched_;
};

// What parsing a record line must do, by the format's description.
struct TExpectedParse {
    bool raises = false; // the memory number field is no integer
    std::string numberField;
    int memory = 0; // the row that receives the values; 0 when none does
    TRowValues values;
};
TExpectedParse ExpectedParse(const std::string& line);

// Shows the bytes of a text with the unprintable ones escaped, for reports.
std::string Quoted(const std::string& text);
