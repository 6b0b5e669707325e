#pragma once

#include "memories/MemoryValues.h"

#include <string>
#include <vector>

// A Label brought from elsewhere (a CSV Name, a pasted cell) made into one the record line can
// carry. The record has no quoting, so a comma or a line break would split the memory in a memory
// file and in the radio; and a memory file line holds at most 79 characters, so a longer record
// would make the file stop loading at its line. Typed Labels are left as they are.
struct TFittedLabel {
    std::string label;
    bool commaReplaced = false;
    bool lineBreakReplaced = false;
    bool cut = false; // to label.size() characters
};

// Each comma or line break, with the blanks around it, becomes one blank (none at either end),
// and the Label is cut so that the record line of memory `number` with `values` fits a memory
// file line.
TFittedLabel FitLabel(int number, const TMemoryValues& values);

// How many Labels were changed to fit, each counted once per change it needed.
struct TFittedLabels {
    int commas = 0;
    int lineBreaks = 0;
    int cut = 0;

    void Add(const TFittedLabel& fitted);
    // What was counted, for a status line: "commas replaced in 2 names", "1 name cut".
    std::vector<std::string> Notes(const std::string& singular, const std::string& plural) const;
};
