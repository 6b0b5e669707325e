#pragma once

#include "RecordLine.h"

#include <array>
#include <mutex>
#include <string>

namespace radiosim {

// The radio's 100 memories, each one record line held byte for byte. Starts blank. Safe to use
// from the serving thread and from callers at the same time.
class MemoryStore {
public:
    MemoryStore();

    // Throws std::out_of_range for a number outside 1..100.
    std::string Record(int number) const;
    // Stores `record` verbatim as memory `number`, even if it names another memory; that is how a
    // test can make one memory answer with a foreign number. Throws std::out_of_range like Record.
    void SetRecord(int number, std::string record);
    // Stores `record` under the memory its first field names; false (nothing stored) when that
    // field names no memory 1..100.
    bool Store(std::string record);

    std::array<std::string, MemoryCount> Snapshot() const;

private:
    static std::size_t IndexOf(int number);

    mutable std::mutex mutex_;
    std::array<std::string, MemoryCount> records_;
};

} // namespace radiosim
