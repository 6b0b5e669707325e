#pragma once

#include "memories/MemoryTable.h"

// Commands that move memories from row to row. Each goes through the rows' getters and setters,
// one row at a time, as every other writer of the table does. Numbers outside 1 to 100 change
// nothing.

// Memories `number` to 99 move down one; memory 100's values are gone; `number` is cleared.
void InsertEmptyMemory(const TMemoryRows& rows, int number);
// Memories below `number` move up one; memory 100 is cleared.
void DeleteMemory(const TMemoryRows& rows, int number);
// Memories `first` and `second` trade places (Move Up and Move Down).
void SwapMemories(const TMemoryRows& rows, int first, int second);
