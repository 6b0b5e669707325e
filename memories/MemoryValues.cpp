#include "memories/MemoryValues.h"

bool IsEmptyMemory(const TMemoryValues& values) {
    return (values[mcLabel].empty() || values[mcLabel] == ClearedMemory[mcLabel]) &&
           values[mcTxFreq].empty() && values[mcRxFreq].empty() &&
           (values[mcMode].empty() || values[mcMode] == ClearedMemory[mcMode]) &&
           values[mcCode].empty();
}

std::string ReadValue(TMemoryRow& row, TMemoryColumn column) {
    switch (column) {
    case mcLabel:
        return row.GetLabel();
    case mcTxFreq:
        return row.GetTxFreq();
    case mcRxFreq:
        return row.GetRxFreq();
    case mcMode:
        return row.GetMode();
    case mcCode:
        break;
    }
    return row.GetCode();
}

void WriteValue(TMemoryRow& row, TMemoryColumn column, const std::string& value) {
    switch (column) {
    case mcLabel:
        return row.SetLabel(value);
    case mcTxFreq:
        return row.SetTxFreq(value);
    case mcRxFreq:
        return row.SetRxFreq(value);
    case mcMode:
        return row.SetMode(value);
    case mcCode:
        break;
    }
    row.SetCode(value);
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
