#include "RecordLine.h"

#include <charconv>

namespace radiosim {

namespace {

std::string_view FirstField(std::string_view record) {
    return record.substr(0, record.find(','));
}

} // namespace

std::optional<int> ParseDecimal(std::string_view digits) {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> MemoryNumberOf(std::string_view record) {
    const auto number = ParseDecimal(FirstField(record));
    if (!number || *number < 1 || *number > MemoryCount) {
        return std::nullopt;
    }
    return number;
}

std::string BlankRecord(int number) {
    return std::to_string(number) + ",,,,0,";
}

std::string WithMemoryNumber(std::string_view record, int number) {
    const std::size_t comma = record.find(',');
    std::string result = std::to_string(number);
    if (comma != std::string_view::npos) {
        result.append(record.substr(comma));
    }
    return result;
}

} // namespace radiosim
