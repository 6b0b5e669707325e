// The record composer: any values in a row. The record names the row's memory in plain digits,
// and parses back to that row where the format can hold the values: no comma in a text, and a
// mode text among OFF, CTCSS and DCS (any other comes back as OFF).

#include "FuzzSupport.h"
#include "memories/RecordLine.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>

namespace {

std::unique_ptr<TFuzzTable> table;

bool FormatHolds(const TRowValues& values) {
    for (const std::string& value : values) {
        if (value.find(',') != std::string::npos) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartOffscreenApplication();
    table = std::make_unique<TFuzzTable>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    table->Reset();
    FuzzedDataProvider input(data, size);
    const int memory = input.ConsumeIntegralInRange(1, MemoryCount);
    TRowValues values;
    for (std::string& value : values) {
        value = input.ConsumeRandomLengthString(100);
    }
    if (input.ConsumeBool()) {
        values[3] = input.PickValueInArray({"OFF", "CTCSS", "DCS"});
    }
    table->Set(memory, values);
    table->Expect(memory, values);
    table->RequireExpected("setting the values");
    values = table->Expected(memory);

    std::string record;
    Require(ComposeRecord(table->Rows(), memory, record), "no record for memory 1 to 100");
    const std::string number = std::to_string(memory) + ",";
    Require(record.starts_with(number), Quoted(record) + " does not start with " + number);
    std::string none;
    Require(!ComposeRecord(table->Rows(), MemoryCount + 1, none), "a record for memory 101");

    // Into a fresh row, so that nothing left of the values can pass for them.
    table->ResetRows();
    ParseRecord(table->Rows(), record);
    const TExpectedParse expected = ExpectedParse(record);
    Require(expected.memory == memory, Quoted(record) + " names another memory");
    table->Expect(memory, expected.values);
    if (FormatHolds(values)) {
        const bool listed = values[3] == "OFF" || values[3] == "CTCSS" || values[3] == "DCS";
        values[3] = listed ? values[3] : "OFF";
        Require(expected.values == values, Quoted(record) + " does not hold its row's values");
    }
    table->RequireExpected("parsing the composed record " + Quoted(record));
    return 0;
}
