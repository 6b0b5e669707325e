#pragma once

#include "memories/MemoryValues.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// One memory as a row of the CSV layout that the hobby's radio programs share: a header row names
// the columns, and a memory's TX frequency and tone are spread over several of them.

// The columns written, in order.
const std::vector<std::string>& RadioCsvColumns();

// The Frequency column's text for an RX Freq, or none when it is not a frequency.
std::optional<std::string> CsvFrequencyOf(const std::string& rxFreq);

// The row of memory `number`, in the order of RadioCsvColumns, with the Name in UTF-8. A value
// that cannot be written as the format's number is left out (its column keeps the default) and
// `problems` gets why.
std::vector<std::string> ComposeCsvRow(int number, const TMemoryValues& values,
                                       std::vector<std::string>& problems);

// Where the columns stand in a file, by the names of its header row.
class TCsvHeader {
public:
    // None when the fields name no Location and Frequency column.
    static std::optional<TCsvHeader> Of(const std::vector<std::string>& fields);

    size_t Width() const { return width_; }
    // The field of `column` in `row`, or none when the file has no such column.
    const std::string* Field(const std::vector<std::string>& row, const std::string& column) const;

private:
    std::map<std::string, size_t> positions_;
    size_t width_ = 0;
};

// A data row as read: the location it names and the memory it holds.
struct TCsvMemory {
    long long location = 0;
    TMemoryValues values;
    std::string droppedTone; // why the row's tone was left out, or empty
    // A send-only tone (Tone) held as CTCSS, which also listens for it.
    bool sendOnlyTone = false;
    int replacedCharacters = 0;
};

// Reads a data row; false with `problem` set when it cannot be read, or holds a memory a Q4471
// cannot (a Mode other than FM or NFM).
bool ReadCsvRow(const TCsvHeader& header, const std::vector<std::string>& row, TCsvMemory& memory,
                std::string& problem);
