#include "EscapeText.h"

namespace {

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

TEscapeResult Refuse(std::string error) {
    return TEscapeResult{false, {}, std::move(error)};
}

// Columns count from 1, as a user counts the characters of the line.
std::string Column(std::size_t index) {
    return std::to_string(index + 1);
}

} // namespace

// GCC 12 at -O3 reports a false -Wrestrict inside std::string concatenation (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEscapeResult ParseEscapes(std::string_view typed) {
    TEscapeResult result{true, {}, {}};
    result.Bytes.reserve(typed.size());
    for (std::size_t at = 0; at < typed.size(); ++at) {
        if (typed[at] != '\\') {
            result.Bytes += typed[at];
            continue;
        }
        if (at + 1 == typed.size()) {
            return Refuse("A lone \"\\\" ends the line at column " + Column(at) +
                          ": write \\\\ for a backslash.");
        }
        const char kind = typed[at + 1];
        switch (kind) {
        case 'r':
            result.Bytes += '\r';
            break;
        case 'n':
            result.Bytes += '\n';
            break;
        case '\\':
            result.Bytes += '\\';
            break;
        case 'x': {
            const int high = at + 2 < typed.size() ? HexDigit(typed[at + 2]) : -1;
            const int low = at + 3 < typed.size() ? HexDigit(typed[at + 3]) : -1;
            if (high < 0 || low < 0) {
                const std::string_view written = typed.substr(at, 4);
                return Refuse("\"" + std::string(written) + "\" at column " + Column(at) +
                              " needs two hex digits, as in \\x0D.");
            }
            result.Bytes += static_cast<char>(high * 16 + low);
            at += 2;
            break;
        }
        default:
            return Refuse("Unknown escape \"\\" + std::string(1, kind) + "\" at column " +
                          Column(at) + ": use \\r, \\n, \\\\ or \\xNN.");
        }
        ++at;
    }
    return result;
}
#pragma GCC diagnostic pop
