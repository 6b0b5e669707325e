#pragma once

#include <cstddef>
#include <string>

// "1 row skipped", "2 rows skipped": a count with the noun that fits it.
inline std::string Counted(size_t count, const std::string& singular, const std::string& plural) {
    return std::to_string(count) + ' ' + (count == 1 ? singular : plural);
}
