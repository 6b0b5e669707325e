#include "serial/VaCommFormat.h"

std::string FormatNumber(std::string_view pattern, int64_t number) {
    std::string result;
    bool filled = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                result += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 'd' && !filled) {
                result += std::to_string(number);
                filled = true;
                ++i;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}

std::string FormatText(std::string_view pattern, std::string_view text) {
    std::string result(pattern);
    if (const auto at = result.find("%s"); at != std::string::npos) {
        result.replace(at, 2, text);
    }
    return result;
}

std::string FormatSystemError(std::string_view msg, int code, std::string_view text) {
    // The text goes in last, so that a "%d" in it stays as it is.
    std::string withCode(msg);
    if (const auto at = withCode.find("%d"); at != std::string::npos) {
        withCode.replace(at, 2, std::to_string(code));
    }
    return FormatText(withCode, text);
}
