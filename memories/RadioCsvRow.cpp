#include "memories/RadioCsvRow.h"

#include "memories/CsvFields.h"
#include "memories/RadioFrequency.h"
#include "memories/SubAudibleTone.h"

#include <charconv>

namespace {

// The fields of the tone columns: Tone, rToneFreq, cToneFreq, DtcsCode, DtcsPolarity.
struct TToneFields {
    std::string tone;
    std::string rTone = "88.5";
    std::string cTone = "88.5";
    std::string dtcsCode = "023";
    std::string polarity = "NN";
};

TToneFields ToneFieldsOf(const TMemoryValues& values, std::vector<std::string>& problems) {
    TToneFields fields;
    if (values[mcMode] == "CTCSS") {
        if (const std::optional<int> tone = CtcssToneOf(values[mcCode])) {
            fields.tone = "TSQL";
            fields.rTone = fields.cTone = CtcssText(*tone);
        } else {
            problems.push_back("Code '" + values[mcCode] + "' is no standard CTCSS tone");
        }
    } else if (values[mcMode] == "DCS") {
        if (const std::optional<int> code = DcsCodeOf(values[mcCode])) {
            fields.tone = "DTCS";
            fields.dtcsCode = DcsText(*code);
        } else {
            problems.push_back("Code '" + values[mcCode] + "' is no standard DCS code");
        }
    }
    return fields;
}

std::optional<long long> IntegerOf(const std::string& text) {
    const std::string digits = Trimmed(text);
    long long value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// The tone of a row, or why a Q4471 cannot hold it.
std::string ReadTone(const TCsvHeader& header, const std::vector<std::string>& row,
                     TCsvMemory& memory) {
    TMemoryValues& values = memory.values;
    const auto field = [&](const char* column) { return header.Field(row, column); };
    const std::string* toneField = field("Tone");
    const std::string tone = toneField == nullptr ? "" : Trimmed(*toneField);
    values[mcMode] = "OFF";
    values[mcCode].clear();
    if (tone.empty()) {
        return {};
    }
    if (tone == "Tone" || tone == "TSQL") {
        const std::string* rTone = field("rToneFreq");
        const std::string* cTone = field("cToneFreq");
        // The format's rule; a file with one of the two columns only has it serve both.
        const std::string* used =
            tone == "Tone" ? (rTone ? rTone : cTone) : (cTone ? cTone : rTone);
        const std::optional<int> tenths = used ? CtcssToneOf(*used) : std::nullopt;
        if (!tenths) {
            return "Tone " + tone + " with '" + (used ? *used : "") + "', no standard CTCSS tone";
        }
        values[mcMode] = "CTCSS";
        values[mcCode] = CtcssText(*tenths);
        memory.sendOnlyTone = tone == "Tone";
        return {};
    }
    if (tone == "DTCS") {
        const std::string* codeField = field("DtcsCode");
        const std::optional<int> code = codeField ? DcsCodeOf(*codeField) : std::nullopt;
        if (!code) {
            return "DtcsCode '" + (codeField ? *codeField : "") + "' is no standard DCS code";
        }
        const std::string* polarity = field("DtcsPolarity");
        if (polarity != nullptr && !Trimmed(*polarity).empty() && Trimmed(*polarity) != "NN") {
            return "DtcsPolarity " + Trimmed(*polarity) + ": a Q4471 has only the normal one";
        }
        values[mcMode] = "DCS";
        values[mcCode] = DcsText(*code);
        return {};
    }
    return "tone mode " + tone + " cannot be held by a Q4471";
}

} // namespace

const std::vector<std::string>& RadioCsvColumns() {
    static const std::vector<std::string> columns{
        "Location",  "Name",      "Frequency", "Duplex",       "Offset",   "Tone",
        "rToneFreq", "cToneFreq", "DtcsCode",  "DtcsPolarity", "Mode",     "TStep",
        "Skip",      "Comment",   "URCALL",    "RPT1CALL",     "RPT2CALL", "DVCODE"};
    return columns;
}

std::optional<std::string> CsvFrequencyOf(const std::string& rxFreq) {
    if (const std::optional<long long> rx = HertzOf(rxFreq); rx && *rx > 0) {
        return SixDecimals(*rx);
    }
    return std::nullopt;
}

std::vector<std::string> ComposeCsvRow(int number, const TMemoryValues& values,
                                       std::vector<std::string>& problems) {
    const std::optional<std::string> frequency = CsvFrequencyOf(values[mcRxFreq]);
    if (!frequency) {
        problems.push_back("RX Freq '" + values[mcRxFreq] + "' is not a frequency in MHz");
    }
    const TDuplex duplex = DuplexOf(values[mcRxFreq], values[mcTxFreq]);
    if (!duplex.problem.empty()) {
        problems.push_back(duplex.problem);
    }
    const TToneFields tone = ToneFieldsOf(values, problems);
    return {std::to_string(number),
            Latin1ToUtf8(values[mcLabel]),
            frequency.value_or(""),
            duplex.duplex,
            duplex.offset,
            tone.tone,
            tone.rTone,
            tone.cTone,
            tone.dtcsCode,
            tone.polarity,
            "FM",
            "5.00",
            "",
            "",
            "",
            "",
            "",
            ""};
}

std::optional<TCsvHeader> TCsvHeader::Of(const std::vector<std::string>& fields) {
    TCsvHeader header;
    header.width_ = fields.size();
    for (size_t i = 0; i < fields.size(); ++i) {
        header.positions_.emplace(Trimmed(fields[i]), i); // the first of two equal names counts
    }
    if (header.positions_.count("Location") == 0 || header.positions_.count("Frequency") == 0) {
        return std::nullopt;
    }
    return header;
}

const std::string* TCsvHeader::Field(const std::vector<std::string>& row,
                                     const std::string& column) const {
    const auto found = positions_.find(column);
    if (found == positions_.end() || found->second >= row.size()) {
        return nullptr;
    }
    return &row[found->second];
}

bool ReadCsvRow(const TCsvHeader& header, const std::vector<std::string>& row, TCsvMemory& memory,
                std::string& problem) {
    if (row.size() < header.Width()) {
        problem = "it has " + std::to_string(row.size()) + " fields, the header names " +
                  std::to_string(header.Width());
        return false;
    }
    const std::string& locationField = *header.Field(row, "Location");
    const std::optional<long long> location = IntegerOf(locationField);
    if (!location) {
        problem = "Location '" + locationField + "' is not a whole number";
        return false;
    }
    // The radio is an FM radio: the other modes' memories (airband AM, HF sidebands, digital
    // voice) would be wrong in it.
    if (const std::string* mode = header.Field(row, "Mode")) {
        const std::string modeName = Trimmed(*mode);
        if (!modeName.empty() && modeName != "FM" && modeName != "NFM") {
            problem = "mode " + modeName + " cannot be held by a Q4471";
            return false;
        }
    }
    const std::string& frequencyField = *header.Field(row, "Frequency");
    const std::optional<long long> rx = HertzOf(frequencyField);
    if (!rx || *rx == 0) {
        problem = "Frequency '" + frequencyField + "' is not a frequency in MHz";
        return false;
    }
    memory = TCsvMemory();
    memory.location = *location;
    memory.values[mcRxFreq] = EditorFrequency(*rx);
    const std::string* duplex = header.Field(row, "Duplex");
    const std::string* offset = header.Field(row, "Offset");
    if (!TxFreqOf(*rx, duplex ? *duplex : "", offset ? *offset : "", memory.values[mcTxFreq],
                  problem)) {
        return false;
    }
    if (const std::string* name = header.Field(row, "Name")) {
        memory.values[mcLabel] = Utf8ToLatin1(*name, memory.replacedCharacters);
    }
    memory.droppedTone = ReadTone(header, row, memory);
    return true;
}
