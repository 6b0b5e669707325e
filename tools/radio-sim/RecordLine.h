#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace radiosim {

constexpr int MemoryCount = 100;
// Longest command or .mem line taken in; anything longer is garbage on the line, not a record.
constexpr std::size_t MaxLineLength = 4096;

// The memory number a record line names in its first field: plain decimal digits, 1 to 100.
// Anything else (empty, a sign, blanks, 0, 101) names no memory.
std::optional<int> MemoryNumberOf(std::string_view record);

// Parses plain decimal digits (no sign, no blanks) into an int; nullopt on anything else.
std::optional<int> ParseDecimal(std::string_view digits);

// What a freshly started editor composes for an untouched row: "n,,,,0,".
std::string BlankRecord(int number);

// The record with its first field replaced by `number` (the rest kept byte for byte).
std::string WithMemoryNumber(std::string_view record, int number);

} // namespace radiosim
