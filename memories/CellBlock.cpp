#include "memories/CellBlock.h"

#include <algorithm>

namespace {

// Where the quoted cell opened before `from` closes, or npos when it never does.
size_t ClosingQuote(const std::string& text, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] != '"') {
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '"') {
            ++i; // a doubled quote
            continue;
        }
        return i;
    }
    return std::string::npos;
}

std::string Unquoted(const std::string& text, size_t from, size_t to) {
    std::string cell;
    for (size_t i = from; i < to; ++i) {
        cell += text[i];
        i += text[i] == '"' ? 1 : 0;
    }
    return cell;
}

std::string Quoted(const std::string& value) {
    std::string cell = "\"";
    for (const char c : value) {
        cell += c == '"' ? "\"\"" : std::string(1, c);
    }
    return cell + '"';
}

} // namespace

bool IsCellBlock(const std::string& text) {
    return text.find_first_of("\t\r\n") != std::string::npos;
}

TCellBlock SplitCellBlock(const std::string& text) {
    TCellBlock block;
    std::vector<std::string> cells(1);
    bool cellStart = true;
    // Once a quote has found no end, no later one is looked for: each search would run to the
    // end of the text again.
    bool unclosed = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const size_t close =
            c == '"' && cellStart && !unclosed ? ClosingQuote(text, i + 1) : std::string::npos;
        unclosed = unclosed || (c == '"' && cellStart && close == std::string::npos);
        cellStart = c == '\t' || c == '\r' || c == '\n';
        if (close != std::string::npos) {
            cells.back() += Unquoted(text, i + 1, close);
            i = close; // what follows the closing quote joins the cell, as spreadsheets do
        } else if (c == '\t') {
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
        // A Label cell goes in last, fitted to the record line its row now makes.
        const bool label = column == mcLabel && fitting > 0;
        for (int cell = label ? 1 : 0; cell < fitting; ++cell) {
            WriteValue(*row, TMemoryColumn(column + cell), cells[static_cast<size_t>(cell)]);
        }
        if (label) {
            TMemoryValues values = ReadMemory(*row);
            values[mcLabel] = cells[0];
            const TFittedLabel fitted = FitLabel(number, values);
            outcome.labels.Add(fitted);
            WriteValue(*row, mcLabel, fitted.label);
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
            if (!value.empty() && value.front() == '"') {
                value = Quoted(value); // else a paste would take it for a quoted cell
            }
            text += (column == 0 ? "" : "\t") + value;
        }
        text += '\n';
    }
    return text;
}
