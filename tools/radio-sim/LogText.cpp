#include "LogText.h"

#include <cstdio>
#include <ctime>

namespace radiosim {

std::string EscapeBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte == '\r') {
            text += "\\r";
        } else if (byte == '\n') {
            text += "\\n";
        } else if (value >= 0x20 && value <= 0x7E) {
            text += byte;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", value);
            text += hex;
        }
    }
    return text;
}

std::string IsoTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(time.time_since_epoch());
    const std::time_t seconds = duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const auto millis = static_cast<int>(sinceEpoch.count() % 1000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", millis);
    return text;
}

} // namespace radiosim
