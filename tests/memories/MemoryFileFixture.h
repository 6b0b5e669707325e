#pragma once

#include "MemoryTableFixture.h"
#include "TempFolder.h"
#include "memories/MemoryFile.h"

#include <string>
#include <vector>

// A memory table, a temporary folder for real files, and the status texts the file operations
// show, in order.
class MemoryFileFixture : public MemoryTableFixture {
protected:
    TStatusSink Status() {
        return [this](const std::string& text) { statuses.push_back(text); };
    }
    bool Save(const std::string& fileName,
              const TAtomicFileWriter::WriteFunction& write = ::write) {
        statuses.clear();
        return SaveMemoryFile(rows, fileName, Status(), write).succeeded;
    }
    void Load(const std::string& fileName, const TLineReader::ReadFunction& read = ::read) {
        statuses.clear();
        LoadMemoryFile(rows, fileName, Status(), read);
    }
    void ClearAll() {
        for (int n = 1; n <= 100; ++n) {
            Row(n).Clear();
        }
    }
    // Every memory's values, to see what a load changed.
    std::vector<std::vector<std::string>> Table() {
        std::vector<std::vector<std::string>> table;
        for (int n = 1; n <= 100; ++n) {
            table.push_back(ValuesOf(n));
        }
        return table;
    }

    TempFolder folder;
    std::vector<std::string> statuses;
};

// The 100 lines a cleared table saves to.
inline std::string ClearedTableFile() {
    std::string bytes;
    for (int n = 1; n <= 100; ++n) {
        bytes += std::to_string(n) + ",---,,,0,\r\n";
    }
    return bytes;
}
