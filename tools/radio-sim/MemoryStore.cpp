#include "MemoryStore.h"

#include <stdexcept>

namespace radiosim {

MemoryStore::MemoryStore() {
    for (int number = 1; number <= MemoryCount; ++number) {
        records_[IndexOf(number)] = BlankRecord(number);
    }
}

std::size_t MemoryStore::IndexOf(int number) {
    if (number < 1 || number > MemoryCount) {
        throw std::out_of_range("memory number " + std::to_string(number) + " is outside 1 to 100");
    }
    return static_cast<std::size_t>(number - 1);
}

std::string MemoryStore::Record(int number) const {
    const std::size_t index = IndexOf(number);
    std::lock_guard lock(mutex_);
    return records_[index];
}

void MemoryStore::SetRecord(int number, std::string record) {
    const std::size_t index = IndexOf(number);
    std::lock_guard lock(mutex_);
    records_[index] = std::move(record);
}

bool MemoryStore::Store(std::string record) {
    const auto number = MemoryNumberOf(record);
    if (!number) {
        return false;
    }
    SetRecord(*number, std::move(record));
    return true;
}

std::array<std::string, MemoryCount> MemoryStore::Snapshot() const {
    std::lock_guard lock(mutex_);
    return records_;
}

} // namespace radiosim
