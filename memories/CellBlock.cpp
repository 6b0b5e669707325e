#include "memories/CellBlock.h"

#include <algorithm>

bool IsCellBlock(const std::string& text) {
    return text.find_first_of("\t\r\n") != std::string::npos;
}

TCellBlock SplitCellBlock(const std::string& text) {
    TCellBlock block;
    std::vector<std::string> cells(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\t') {
            cells.emplace_back();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            block.push_back(std::move(cells));
            cells.assign(1, std::string());
        } else {
            cells.back() += c;
        }
    }
    if (cells.size() > 1 || !cells.back().empty()) {
        block.push_back(std::move(cells));
    }
    return block;
}

TPastedCells PasteCellBlock(const TMemoryRows& rows, const TCellBlock& block, int memory,
                            TMemoryColumn column) {
    TPastedCells outcome;
    for (size_t line = 0; line < block.size(); ++line) {
        const int number = memory + static_cast<int>(line);
        TMemoryRow* row = MemoryRowOf(rows, number);
        const auto& cells = block[line];
        const int fitting = row == nullptr ? 0
                                           : std::min<int>(static_cast<int>(cells.size()),
                                                           MemoryColumnCount - column);
        for (int cell = 0; cell < fitting; ++cell) {
            WriteValue(*row, TMemoryColumn(column + cell), cells[static_cast<size_t>(cell)]);
        }
        if (fitting > 0) {
            outcome.firstMemory = outcome.firstMemory == 0 ? number : outcome.firstMemory;
            outcome.lastMemory = number;
        }
        outcome.pasted += fitting;
        outcome.dropped += static_cast<int>(cells.size()) - fitting;
    }
    return outcome;
}

std::string CopyCellBlock(const TMemoryRows& rows, int first, int last) {
    std::string text;
    for (int number = std::max(first, 1); number <= std::min(last, MemoryCount); ++number) {
        const TMemoryValues values = ReadMemory(*rows[static_cast<size_t>(number)]);
        for (int column = 0; column < MemoryColumnCount; ++column) {
            std::string value = values[static_cast<size_t>(column)];
            std::replace_if(
                value.begin(), value.end(),
                [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
            text += (column == 0 ? "" : "\t") + value;
        }
        text += '\n';
    }
    return text;
}
