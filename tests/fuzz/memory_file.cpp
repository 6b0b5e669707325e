// The memory-file loader: any bytes as a file, read in pieces of a size the input decides. The
// table must end as the file's lines applied in order make it, reading must stop at a line longer
// than 79 characters or at a memory number that is no integer, and the status line must say how
// it ended. The loaded table saved again loads back to the same table where the file can hold it:
// a saved line may be longer than a line may be when read.

#include "FuzzSupport.h"
#include "TempFolder.h"
#include "memories/MemoryFile.h"

#include <q4471/framework/Exception.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using namespace q4471;

namespace {

std::unique_ptr<TFuzzTable> table;
std::unique_ptr<TempFolder> folder;
std::vector<std::string> statuses;

void RecordStatus(const std::string& text) {
    statuses.push_back(text);
}

// How a load must end: its last status text or the error's message, and the line it stopped at.
struct TExpectedLoad {
    std::string ending;
    bool raises = false;
    int stoppedAt = 0; // the line too long to be read, or 0
};

// Applies the lines of `bytes` to the expected table as the file format reads them.
TExpectedLoad ExpectLoad(const std::string& bytes, const std::string& fileName) {
    size_t start = 0;
    for (int lineNumber = 1; start < bytes.size(); ++lineNumber) {
        size_t end = bytes.find('\n', start);
        const size_t next = end == std::string::npos ? bytes.size() : end + 1;
        end = end == std::string::npos ? bytes.size() : end;
        if (end > start && end < bytes.size() && bytes[end - 1] == '\r') {
            --end;
        }
        const std::string line = bytes.substr(start, end - start);
        if (line.size() > MemoryFileLineLimit) {
            return {"Reading " + fileName + " stopped: line " + std::to_string(lineNumber) +
                        " is longer than 79 characters",
                    false, lineNumber};
        }
        const TExpectedParse expected = ExpectedParse(line);
        if (expected.raises) {
            return {"'" + expected.numberField + "' is not a valid integer value", true};
        }
        if (expected.memory != 0) {
            table->Expect(expected.memory, expected.values);
        }
        start = next;
    }
    return {"Closing " + fileName + ", reading successful"};
}

// Loads `fileName`, reading at most `piece` bytes at a time; answers the last status text, or
// the message of the error raised.
std::string Load(const std::string& fileName, size_t piece, bool& raised) {
    statuses.clear();
    raised = false;
    try {
        LoadMemoryFile(table->Rows(), fileName, RecordStatus,
                       [piece](int descriptor, void* data, size_t size) {
                           return ::read(descriptor, data, std::min(size, piece));
                       });
    } catch (const EConvertError& error) {
        raised = true;
        Require(statuses.size() == 1, "a status text after the error");
        return error.Message();
    }
    Require(statuses.size() == 2, "not two status texts");
    return statuses.back();
}

// Loads `fileName` as `expected` says, reading pieces of `piece` bytes at most.
void RequireLoad(const std::string& fileName, size_t piece, const TExpectedLoad& expected) {
    bool raised = false;
    const std::string ended = Load(fileName, piece, raised);
    Require(statuses.front() == "Opening " + fileName + " for reading...", "no opening text");
    Require(ended == expected.ending && raised == expected.raises,
            "loading ended with " + Quoted(ended) + ", expected " + Quoted(expected.ending));
    table->RequireExpected("loading " + fileName);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartOffscreenApplication();
    table = std::make_unique<TFuzzTable>();
    folder = std::make_unique<TempFolder>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    table->Reset();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string loaded = folder->File("loaded.mem");
    WriteBytes(loaded, bytes);
    const size_t piece = 1 + size % 97;
    RequireLoad(loaded, piece, ExpectLoad(bytes, loaded));

    std::array<TRowValues, MemoryCount + 1> before;
    for (int number = 1; number <= MemoryCount; ++number) {
        before[number] = table->Expected(number);
        before[number][3] = before[number][3].empty() ? "OFF" : before[number][3];
    }
    const std::string saved = folder->File("saved.mem");
    statuses.clear();
    Require(SaveMemoryFile(table->Rows(), saved, RecordStatus).succeeded, "saving failed");
    // Into fresh rows, so that nothing left of the loaded values can pass for them.
    table->Reset();
    const TExpectedLoad reload = ExpectLoad(ReadBytes(saved), saved);
    Require(!reload.raises, "a saved line names no integer memory");
    const int heldBack = reload.stoppedAt == 0 ? MemoryCount + 1 : reload.stoppedAt;
    for (int number = 1; number < heldBack; ++number) {
        Require(table->Expected(number) == before[number],
                "memory " + std::to_string(number) + " does not load back from the saved file");
    }
    RequireLoad(saved, piece, reload);
    return 0;
}
