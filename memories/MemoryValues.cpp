#include "memories/MemoryValues.h"

namespace {

struct TColumnAccess {
    void (TMemoryRow::*set)(const std::string&);
    std::string (TMemoryRow::*get)();
};

const TColumnAccess ColumnAccess[MemoryColumnCount] = {
    {&TMemoryRow::SetLabel, &TMemoryRow::GetLabel},
    {&TMemoryRow::SetTxFreq, &TMemoryRow::GetTxFreq},
    {&TMemoryRow::SetRxFreq, &TMemoryRow::GetRxFreq},
    {&TMemoryRow::SetMode, &TMemoryRow::GetMode},
    {&TMemoryRow::SetCode, &TMemoryRow::GetCode},
};

} // namespace

bool IsEmptyMemory(const TMemoryValues& values) {
    return (values[mcLabel].empty() || values[mcLabel] == ClearedMemory[mcLabel]) &&
           values[mcTxFreq].empty() && values[mcRxFreq].empty() &&
           (values[mcMode].empty() || values[mcMode] == ClearedMemory[mcMode]) &&
           values[mcCode].empty();
}

std::string ReadValue(TMemoryRow& row, TMemoryColumn column) {
    return (row.*ColumnAccess[column].get)();
}

void WriteValue(TMemoryRow& row, TMemoryColumn column, const std::string& value) {
    (row.*ColumnAccess[column].set)(value);
}

TMemoryValues ReadMemory(TMemoryRow& row) {
    TMemoryValues values;
    for (int column = 0; column < MemoryColumnCount; ++column) {
        values[column] = ReadValue(row, TMemoryColumn(column));
    }
    return values;
}

void WriteMemory(TMemoryRow& row, const TMemoryValues& values) {
    const TMemoryValues current = ReadMemory(row);
    for (int column = 0; column < MemoryColumnCount; ++column) {
        if (current[column] != values[column]) {
            WriteValue(row, TMemoryColumn(column), values[column]);
        }
    }
}
