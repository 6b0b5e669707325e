#include "serial/diagnostics/TrafficFormat.h"

#include <q4471/framework/Counted.h>
#include <q4471/serial/Vaconst.h>

#include <array>
#include <cstdio>
#include <vector>

using namespace q4471;

namespace TrafficFormat {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr int64_t MsPerDay = 24LL * 60 * 60 * 1000;

void AppendHex(std::string& out, unsigned char byte) {
    out += HexDigits[byte >> 4];
    out += HexDigits[byte & 0x0F];
}

void AppendVisible(std::string& out, unsigned char byte) {
    if (byte == '\\') {
        out += "\\\\";
    } else if (byte >= 0x20 && byte <= 0x7E) {
        out += static_cast<char>(byte);
    } else if (byte == '\r') {
        out += "<CR>";
    } else if (byte == '\n') {
        out += "<LF>";
    } else {
        out += "\\x";
        AppendHex(out, byte);
    }
}

std::string_view Tag(TDirection direction) {
    return direction == TDirection::Sent ? "TX" : "RX";
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (at > 0) {
            out += ' ';
        }
        AppendHex(out, static_cast<unsigned char>(bytes[at]));
    }
}

} // namespace

std::string FormatStamp(int64_t msOfDay) {
    int64_t ms = msOfDay % MsPerDay;
    if (ms < 0) {
        ms += MsPerDay;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                  static_cast<int>(ms % 1000));
    return text;
}

std::string VisibleText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        AppendVisible(text, static_cast<unsigned char>(byte));
    }
    return text;
}

std::string FormatRun(TDirection direction, int64_t msOfDay, std::string_view bytes) {
    std::string out;
    const std::size_t lines = (bytes.size() + BytesPerLine - 1) / BytesPerLine;
    out.reserve(lines * (TextColumn + 2 * BytesPerLine + 1));
    const std::string stamp = FormatStamp(msOfDay);
    for (std::size_t first = 0; first < bytes.size(); first += BytesPerLine) {
        if (first > 0) {
            out += '\n';
        }
        // Later lines of a run leave the stamp blank, so that the eye finds where runs begin.
        out += first == 0 ? stamp : std::string(StampWidth, ' ');
        out += ' ';
        out += Tag(direction);
        out += "  ";
        const std::string_view part = bytes.substr(first, BytesPerLine);
        const std::size_t hexStart = out.size();
        AppendHexBytes(out, part);
        out.append(HexWidth - (out.size() - hexStart) + 2, ' ');
        for (const char byte : part) {
            AppendVisible(out, static_cast<unsigned char>(byte));
        }
    }
    return out;
}

std::string FormatExchange(TDirection direction, int64_t msOfDay, std::string_view bytes) {
    std::string line = FormatStamp(msOfDay);
    line += ' ';
    line += Tag(direction);
    line += "  ";
    AppendHexBytes(line, bytes);
    line += "  ";
    line += VisibleText(bytes);
    return line;
}

std::string FormatNote(int64_t msOfDay, std::string_view text) {
    std::string line = FormatStamp(msOfDay);
    line += " --  ";
    line += text;
    return line;
}

std::string LineErrorText(uint32_t errors) {
    struct TName {
        uint32_t Flag;
        const char* Text;
    };
    static constexpr std::array<TName, 6> Names{{{CE_FRAME, "framing error"},
                                                 {CE_RXPARITY, "parity error"},
                                                 {CE_OVERRUN, "character overrun"},
                                                 {CE_RXOVER, "input queue overflow"},
                                                 {CE_BREAK, "break"},
                                                 {CE_TXFULL, "output queue full"}}};
    std::vector<std::string> parts;
    uint32_t unnamed = errors;
    for (const TName& name : Names) {
        if ((errors & name.Flag) != 0) {
            parts.emplace_back(name.Text);
            unnamed &= ~name.Flag;
        }
    }
    if (unnamed != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", unnamed);
        parts.emplace_back(hex);
    }
    return Joined(parts, ", ");
}

} // namespace TrafficFormat
