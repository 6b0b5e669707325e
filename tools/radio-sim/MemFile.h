#pragma once

#include "MemoryStore.h"

#include <string>

namespace radiosim {

struct MemFileSummary {
    int stored = 0;  // lines stored into a memory (a later line for the same memory wins)
    int ignored = 0; // non-empty lines naming no memory 1..100, or longer than MaxLineLength
};

// Reads a .mem file (CR LF or LF line ends, any order) into `store`; memories the file does not
// name keep their records. Throws std::runtime_error if the file cannot be read.
MemFileSummary ReadMemFile(const std::string& path, MemoryStore& store);

// Writes the 100 records as CR LF lines. The file is replaced only once it is completely written,
// so a failed save never destroys the previous one. Throws std::runtime_error on failure.
void WriteMemFile(const std::string& path, const MemoryStore& store);

} // namespace radiosim
