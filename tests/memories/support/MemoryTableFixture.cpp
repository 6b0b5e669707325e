#include "MemoryTableFixture.h"

#include "DistinctMemories.h"

std::vector<std::string> MemoryTableFixture::ValuesOf(int number) {
    return MemoryValuesOf(rows, number);
}

void MemoryTableFixture::SetValues(int number, const std::vector<std::string>& values) {
    SetMemoryValues(rows, number, values);
}
