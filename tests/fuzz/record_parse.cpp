// The record parser: any line into the table. The line must change exactly the row its memory
// number names, to exactly the fields the format gives, or nothing; it raises only for a memory
// number that is no integer. The row it filled composes a record that parses back to that row.

#include "FuzzSupport.h"
#include "memories/RecordLine.h"

#include <q4471/framework/Exception.h>

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace q4471;

namespace {

std::unique_ptr<TFuzzTable> table;

// Parses `line`, requiring the effect the format describes.
void ParseAsDescribed(const std::string& line, const std::string& context) {
    const TExpectedParse expected = ExpectedParse(line);
    std::string error;
    try {
        ParseRecord(table->Rows(), line);
    } catch (const EConvertError& raised) {
        error = raised.Message();
    }
    const std::string wanted =
        expected.raises ? "'" + expected.numberField + "' is not a valid integer value" : "";
    Require(error == wanted,
            context + ": raised " + Quoted(error) + ", expected " + Quoted(wanted));
    if (expected.memory != 0) {
        table->Expect(expected.memory, expected.values);
    }
    table->RequireExpected(context);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartOffscreenApplication();
    table = std::make_unique<TFuzzTable>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    table->Reset();
    const std::string line(reinterpret_cast<const char*>(data), size);
    ParseAsDescribed(line, "parsing " + Quoted(line));

    const int memory = ExpectedParse(line).memory;
    if (memory == 0) {
        return 0;
    }
    // Values from a parsed line hold no comma: the record composed from them gives them back,
    // an empty mode text as "OFF".
    TRowValues roundTrip = table->Expected(memory);
    roundTrip[3] = roundTrip[3].empty() ? "OFF" : roundTrip[3];
    std::string record;
    Require(ComposeRecord(table->Rows(), memory, record), "no record for a filled row");
    ParseAsDescribed(record, "parsing the composed record " + Quoted(record));
    Require(table->Expected(memory) == roundTrip,
            "the composed record " + Quoted(record) + " does not give its row back");
    return 0;
}
