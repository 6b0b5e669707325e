#include "memories/RecordFormat.h"

#include <q4471/framework/Exception.h>

#include <charconv>
#include <cstdint>

using namespace q4471;

std::string JoinRecord(int number, const std::string& label, const std::string& txFreq,
                       const std::string& rxFreq, const std::string& modeDigit,
                       const std::string& code) {
    return std::to_string(number) + ',' + label + ',' + txFreq + ',' + rxFreq + ',' + modeDigit +
           ',' + code;
}

TRecordFields SplitRecord(const std::string& line) {
    TRecordFields fields;
    std::string* const leading[] = {&fields.number, &fields.label, &fields.txFreq, &fields.rxFreq,
                                    &fields.mode};
    size_t start = 0;
    for (std::string* field : leading) {
        const size_t comma = line.find(',', start);
        if (comma == std::string::npos) {
            return fields; // this field and all later ones stay empty
        }
        *field = line.substr(start, comma - start);
        start = comma + 1;
    }
    const size_t end = line.find(',', start);
    fields.code = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return fields;
}

std::string ModeDigitOf(const std::string& modeText) {
    if (modeText == "CTCSS") {
        return "1";
    }
    if (modeText == "DCS") {
        return "2";
    }
    return "0";
}

std::string ModeTextOf(const std::string& modeField) {
    if (modeField.find('0') != std::string::npos) {
        return "OFF";
    }
    if (modeField.find('1') != std::string::npos) {
        return "CTCSS";
    }
    if (modeField.find('2') != std::string::npos) {
        return "DCS";
    }
    return "";
}

int StrToInt(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    const char* begin = text.data() + (first == std::string::npos ? text.size() : first);
    const char* const end = text.data() + text.size();
    if (begin != end && *begin == '+') {
        ++begin; // from_chars takes a minus sign only
        if (begin != end && *begin == '-') {
            begin = end; // "+-5" is no number
        }
    }
    int32_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end) {
        throw EConvertError("'" + text + "' is not a valid integer value");
    }
    return value;
}
