#include "memories/RecordLabel.h"

#include "memories/MemoryFile.h"
#include "memories/RecordFormat.h"

#include <q4471/framework/Counted.h>

using namespace q4471;

TFittedLabel FitLabel(int number, const TMemoryValues& values) {
    TFittedLabel fitted;
    std::string& label = fitted.label;
    bool gap = false; // a comma or line break was left out before the next character
    for (const char c : values[mcLabel]) {
        if (c == ',' || c == '\r' || c == '\n') {
            (c == ',' ? fitted.commaReplaced : fitted.lineBreakReplaced) = true;
            while (!label.empty() && label.back() == ' ') {
                label.pop_back();
            }
            gap = true;
            continue;
        }
        if (gap) {
            if (c == ' ') {
                continue;
            }
            if (!label.empty()) {
                label += ' ';
            }
            gap = false;
        }
        label += c;
    }
    const size_t length = JoinRecord(number, label, values[mcTxFreq], values[mcRxFreq],
                                     ModeDigitOf(values[mcMode]), values[mcCode])
                              .size();
    if (length > MemoryFileLineLimit) {
        const size_t others = length - label.size();
        label.resize(others < MemoryFileLineLimit ? MemoryFileLineLimit - others : 0);
        fitted.cut = true;
    }
    return fitted;
}

void TFittedLabels::Add(const TFittedLabel& fitted) {
    commas += fitted.commaReplaced ? 1 : 0;
    lineBreaks += fitted.lineBreakReplaced ? 1 : 0;
    cut += fitted.cut ? 1 : 0;
}

std::vector<std::string> TFittedLabels::Notes(const std::string& singular,
                                              const std::string& plural) const {
    std::vector<std::string> notes;
    if (commas > 0) {
        notes.push_back("commas replaced in " + Counted(size_t(commas), singular, plural));
    }
    if (lineBreaks > 0) {
        notes.push_back("line breaks replaced in " + Counted(size_t(lineBreaks), singular, plural));
    }
    if (cut > 0) {
        notes.push_back(Counted(size_t(cut), singular + " cut", plural + " cut"));
    }
    return notes;
}
