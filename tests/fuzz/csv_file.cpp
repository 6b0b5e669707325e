// The CSV loader: any bytes as a file named .csv, read in pieces of a size the input decides.
// Reading never crashes; a refused file changes nothing; a memory changes only where some field
// of the file names its number (as it stands, or one less for a file that counts from 0), and
// then holds values of the editor's form. The loaded table, saved as CSV and loaded into fresh
// rows, comes back the same.

#include "FuzzSupport.h"
#include "TempFolder.h"
#include "memories/CsvFile.h"
#include "memories/SubAudibleTone.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>

namespace {

std::unique_ptr<TFuzzTable> table;
std::unique_ptr<TempFolder> folder;

void IgnoreStatus(const std::string&) {}

// Every whole number that stands alone between commas, quotes, line ends and blanks: a superset
// of the locations the file's rows name, whatever its columns.
std::set<long long> NumbersIn(const std::string& bytes) {
    std::set<long long> numbers;
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find_first_of(",\"\r\n", start);
        end = end == std::string::npos ? bytes.size() : end;
        std::string piece = bytes.substr(start, end - start);
        piece.erase(0, piece.find_first_not_of(" \t"));
        piece.erase(piece.find_last_not_of(" \t") + 1);
        long long number = 0;
        const char* last = piece.data() + piece.size();
        if (std::from_chars(piece.data(), last, number).ptr == last && !piece.empty()) {
            numbers.insert(number);
        }
        start = end + 1;
    }
    return numbers;
}

bool IsEditorFrequency(const std::string& text) {
    const size_t point = text.find('.');
    return point != std::string::npos && point > 0 && text.size() - point - 1 >= 3 &&
           text.size() - point - 1 <= 6 &&
           text.find_first_not_of("0123456789.") == std::string::npos &&
           text.find('.', point + 1) == std::string::npos;
}

void RequireEditorForm(int number, const TRowValues& values) {
    const std::string where = "memory " + std::to_string(number) + ": ";
    Require(IsEditorFrequency(values[2]), where + "RX Freq " + Quoted(values[2]));
    Require(values[1].empty() || IsEditorFrequency(values[1]),
            where + "TX Freq " + Quoted(values[1]));
    const std::string& mode = values[3];
    const std::string& code = values[4];
    const bool codeFits = mode == "OFF" ? code.empty()
                          : mode == "CTCSS"
                              ? CtcssToneOf(code) && CtcssText(*CtcssToneOf(code)) == code
                          : mode == "DCS" ? DcsCodeOf(code) && DcsText(*DcsCodeOf(code)) == code
                                          : false;
    Require(codeFits, where + "mode " + Quoted(mode) + " with Code " + Quoted(code));
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
    table->RequireExpected("resetting");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string loaded = folder->File("loaded.csv");
    WriteBytes(loaded, bytes);
    const size_t piece = 1 + size % 97;
    const auto read = [piece](int descriptor, void* buffer, size_t wanted) {
        return ::read(descriptor, buffer, std::min(wanted, piece));
    };
    const bool refused =
        !LoadAnyMemoryFile(table->Rows(), loaded, IgnoreStatus, read).refusal.empty();
    const std::set<long long> named = NumbersIn(bytes);
    for (int number = 1; number <= MemoryCount; ++number) {
        if (!table->Touched().test(number)) {
            continue;
        }
        Require(!refused, "a refused file changed memory " + std::to_string(number));
        Require(named.count(number) + named.count(number - 1) > 0,
                "memory " + std::to_string(number) + " changed, but the file does not name it");
        const TRowValues values = table->Actual(number);
        RequireEditorForm(number, values);
        table->Expect(number, values);
    }
    table->RequireExpected("loading");

    const std::string saved = folder->File("saved.csv");
    const TOutcome saving = SaveCsvFile(table->Rows(), saved, IgnoreStatus);
    Require(saving.succeeded, "saving failed");
    const TFileDetails& notWhole = saving.details;
    Require(notWhole.empty(), "a loaded memory could not be saved whole: " +
                                  (notWhole.empty() ? "" : notWhole.front()));
    // Into fresh rows, so that nothing left of the loaded values can pass for them.
    table->ResetRows();
    const TFileDetails reloaded =
        LoadAnyMemoryFile(table->Rows(), saved, IgnoreStatus, read).details;
    Require(reloaded.empty(),
            "the saved file did not load whole: " + (reloaded.empty() ? "" : reloaded.front()));
    table->RequireExpected("loading the saved file");
    return 0;
}
