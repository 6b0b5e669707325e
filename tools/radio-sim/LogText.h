#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace radiosim {

// Bytes as one printable ASCII line: CR, LF and backslash as \r, \n, \\; every other byte
// outside 0x20..0x7E as \xHH.
std::string EscapeBytes(std::string_view bytes);

// ISO 8601 UTC time with milliseconds: "2024-05-01T12:34:56.789Z".
std::string IsoTime(std::chrono::system_clock::time_point time);

} // namespace radiosim
