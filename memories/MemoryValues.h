#pragma once

#include "memories/MemoryTable.h"

#include <array>
#include <string>

// The five values of a memory, in the table's column order.
enum TMemoryColumn { mcLabel, mcTxFreq, mcRxFreq, mcMode, mcCode };
inline constexpr int MemoryColumnCount = 5;
using TMemoryValues = std::array<std::string, MemoryColumnCount>;

// What "Clear All Memories" leaves in a row.
inline const TMemoryValues ClearedMemory{"---", "", "", "OFF", ""};

// A memory that holds nothing worth keeping: as built, or as cleared.
bool IsEmptyMemory(const TMemoryValues& values);

// One value, or all five, through the row's getters and setters (and so under its lock).
std::string ReadValue(TMemoryRow& row, TMemoryColumn column);
void WriteValue(TMemoryRow& row, TMemoryColumn column, const std::string& value);
TMemoryValues ReadMemory(TMemoryRow& row);
// Sets only the values that differ: setting a box's text also ends the undo of its typing.
void WriteMemory(TMemoryRow& row, const TMemoryValues& values);
