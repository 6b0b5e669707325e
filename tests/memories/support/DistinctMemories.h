#pragma once

#include "memories/MemoryTable.h"

#include <functional>
#include <string>
#include <vector>

// A table whose memories all differ, to see where each one went after a command.

// "L7", "T7", "R7", "CTCSS", "C7" for memory 7; even memories have "DCS".
std::vector<std::string> DistinctMemory(int number);
void FillDistinct(const TMemoryRows& rows);
// Label, TX Freq, RX Freq, mode and Code of memory `number`, as the getters return them.
std::vector<std::string> MemoryValuesOf(const TMemoryRows& rows, int number);
void SetMemoryValues(const TMemoryRows& rows, int number, const std::vector<std::string>& values);
// Checks that memory n holds DistinctMemory(source(n)), or a cleared row where source(n) is 0.
void ExpectMovedFrom(const TMemoryRows& rows, const std::function<int(int)>& source);
