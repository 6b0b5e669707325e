#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How the traffic reads in the view and in a saved session: one line per 16 bytes,
//
//   12:34:56.789 RX  4D 45 4D 3A 55 53 52 3A ...      MEM:USR:<CR><LF>
//
// the time stamp on the first line of each run only, the direction on every line (RX received,
// TX sent, "--" a note of the monitor's own), the bytes in hex, then the same bytes as text with
// the unprintable ones made visible: <CR>, <LF>, otherwise \xNN, and a backslash as \\ so that
// the text reads back unambiguously.
namespace TrafficFormat {

inline constexpr std::size_t BytesPerLine = 16;
inline constexpr std::size_t StampWidth = 12; // "HH:MM:SS.mmm"
inline constexpr std::size_t HexWidth = BytesPerLine * 3 - 1;
// Where the text of the bytes starts on each line.
inline constexpr std::size_t TextColumn = StampWidth + 1 + 2 + 2 + HexWidth + 2;

enum class TDirection { Received, Sent };

// "HH:MM:SS.mmm" of a time of day in milliseconds after midnight (taken modulo one day).
std::string FormatStamp(int64_t msOfDay);

// The bytes one at a time as text: printable ASCII as itself, "\\" for a backslash, <CR>, <LF>,
// and \xNN for every other byte.
std::string VisibleText(std::string_view bytes);

// The lines of one run of bytes, joined by '\n' (none after the last); empty for no bytes.
std::string FormatRun(TDirection direction, int64_t msOfDay, std::string_view bytes);

// All the bytes of one exchange on one line: stamp, direction, hex, text (for a trace file).
std::string FormatExchange(TDirection direction, int64_t msOfDay, std::string_view bytes);

// A line of the monitor's own (a port opened, a line error), time-stamped like a run.
std::string FormatNote(int64_t msOfDay, std::string_view text);

// The driver's line-error flags in words, e.g. "framing error, character overrun"; a flag without
// a name appears in hex.
std::string LineErrorText(uint32_t errors);

} // namespace TrafficFormat
