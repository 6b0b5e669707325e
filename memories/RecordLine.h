#pragma once

#include "memories/MemoryTable.h"

#include <string>

// Builds the record line of memory `number` from its row. Fails for a number the table has no row
// for (above 100, and below 1).
bool ComposeRecord(const TMemoryRows& rows, int number, std::string& record);

// Writes a record line into the row of the memory it names: all five values, or nothing when the
// first field is empty or names no memory of the table. Raises EConvertError when the first field
// is not an integer; no row has changed then.
void ParseRecord(const TMemoryRows& rows, const std::string& line);
