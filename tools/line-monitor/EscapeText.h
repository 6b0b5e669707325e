#pragma once

#include <string>
#include <string_view>

// What a typed send line stands for: its bytes, or why it stands for none.
struct TEscapeResult {
    bool Ok = false;
    std::string Bytes;
    std::string Error; // for the status line; empty when Ok
};

// Turns a typed line into the bytes to send. "\r", "\n", "\\" and "\xNN" (two hex digits) stand
// for CR, LF, a backslash and any byte; every other character stands for itself. A backslash
// followed by anything else, or ending the line, is refused as a whole, so that a typo never
// sends half a command.
TEscapeResult ParseEscapes(std::string_view typed);
