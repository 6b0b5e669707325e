#pragma once

#include "memories/MemoryValues.h"
#include "memories/RecordLabel.h"

#include <string>
#include <vector>

// Blocks of cells as spreadsheets copy and paste them: one line per row, cells separated by tabs.
using TCellBlock = std::vector<std::vector<std::string>>;

// Text for a block rather than a single value: it holds a tab or a line end.
bool IsCellBlock(const std::string& text);

// Lines end at CR LF, LF or CR; the line end after the last line adds no row. A cell that starts
// with a double quote is quoted as spreadsheets copy it: it holds tabs and line ends up to the
// closing quote, and a doubled quote in it is one. A quote that is never closed is a character,
// and so are the quotes that open cells after it.
TCellBlock SplitCellBlock(const std::string& text);

struct TPastedCells {
    int pasted = 0;
    int dropped = 0; // past memory 100 or past the Code column
    int firstMemory = 0;
    int lastMemory = 0;
    TFittedLabels labels; // Labels changed so that the record line carries them
};

// Writes the block through the row setters, its first cell into memory `memory` at `column`, rows
// going down and cells to the right; what would fall outside the table is dropped and counted. A
// Label cell is fitted to the record line (FitLabel) once its row's other cells are in.
TPastedCells PasteCellBlock(const TMemoryRows& rows, const TCellBlock& block, int memory,
                            TMemoryColumn column);

// Memories `first` to `last`, one line each: Label, TX Freq, RX Freq, mode and Code separated by
// tabs, each line ended by LF. A tab or line end inside a value becomes a blank, so that every
// value stays in its own cell; a value that starts with a double quote is quoted.
std::string CopyCellBlock(const TMemoryRows& rows, int first, int last);
