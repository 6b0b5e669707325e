#include "memories/RowEdits.h"

#include "memories/MemoryValues.h"

namespace {

bool IsMemory(int number) {
    return number >= 1 && number <= MemoryCount;
}

TMemoryRow& RowAt(const TMemoryRows& rows, int number) {
    return *rows[static_cast<size_t>(number)];
}

// Row `to` takes the values of row `from`.
void CopyMemory(const TMemoryRows& rows, int from, int to) {
    WriteMemory(RowAt(rows, to), ReadMemory(RowAt(rows, from)));
}

} // namespace

void InsertEmptyMemory(const TMemoryRows& rows, int number) {
    if (!IsMemory(number)) {
        return;
    }
    for (int to = MemoryCount; to > number; --to) {
        CopyMemory(rows, to - 1, to);
    }
    WriteMemory(RowAt(rows, number), ClearedMemory);
}

void DeleteMemory(const TMemoryRows& rows, int number) {
    if (!IsMemory(number)) {
        return;
    }
    for (int to = number; to < MemoryCount; ++to) {
        CopyMemory(rows, to + 1, to);
    }
    WriteMemory(RowAt(rows, MemoryCount), ClearedMemory);
}

void SwapMemories(const TMemoryRows& rows, int first, int second) {
    if (!IsMemory(first) || !IsMemory(second)) {
        return;
    }
    const TMemoryValues kept = ReadMemory(RowAt(rows, first));
    CopyMemory(rows, second, first);
    WriteMemory(RowAt(rows, second), kept);
}
