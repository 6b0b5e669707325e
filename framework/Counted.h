#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace q4471 {

// The status texts' counts and lists, written one way everywhere.

// "1 row skipped", "2 rows skipped": a count with the noun that fits it.
inline std::string Counted(size_t count, const std::string& singular, const std::string& plural) {
    return std::to_string(count) + ' ' + (count == 1 ? singular : plural);
}

// "a, b, c": the items with `separator` between them.
inline std::string Joined(const std::vector<std::string>& items, std::string_view separator) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : separator);
        text += items[i];
    }
    return text;
}

// "Read 3 memories from f; 1 row skipped, 2 tones dropped": notes added to a status text, the
// first after a semicolon; nothing when there are none.
inline void AppendNotes(std::string& text, const std::vector<std::string>& notes) {
    if (!notes.empty()) {
        text += "; " + Joined(notes, ", ");
    }
}

} // namespace q4471
