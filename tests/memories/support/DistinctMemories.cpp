#include "DistinctMemories.h"

#include <gtest/gtest.h>

std::vector<std::string> DistinctMemory(int number) {
    const std::string n = std::to_string(number);
    return {"L" + n, "T" + n, "R" + n, number % 2 ? "CTCSS" : "DCS", "C" + n};
}

void FillDistinct(const TMemoryRows& rows) {
    for (int number = 1; number <= MemoryCount; ++number) {
        SetMemoryValues(rows, number, DistinctMemory(number));
    }
}

std::vector<std::string> MemoryValuesOf(const TMemoryRows& rows, int number) {
    TMemoryRow& row = *rows[static_cast<size_t>(number)];
    return {row.GetLabel(), row.GetTxFreq(), row.GetRxFreq(), row.GetMode(), row.GetCode()};
}

void SetMemoryValues(const TMemoryRows& rows, int number, const std::vector<std::string>& values) {
    TMemoryRow& row = *rows[static_cast<size_t>(number)];
    row.SetLabel(values.at(0));
    row.SetTxFreq(values.at(1));
    row.SetRxFreq(values.at(2));
    row.SetMode(values.at(3));
    row.SetCode(values.at(4));
}

void ExpectMovedFrom(const TMemoryRows& rows, const std::function<int(int)>& source) {
    const std::vector<std::string> cleared{"---", "", "", "OFF", ""};
    for (int number = 1; number <= MemoryCount; ++number) {
        const int from = source(number);
        ASSERT_EQ(MemoryValuesOf(rows, number), from == 0 ? cleared : DistinctMemory(from))
            << "memory " << number;
    }
}
