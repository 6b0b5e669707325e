#pragma once

// The few format patterns of the port, filled without the C library's printf: a device-name
// pattern comes from the user, and a stray conversion in it must not read random memory.

#include <q4471/serial/VaTypes.h>

#include <cstdint>
#include <string>
#include <string_view>

// `pattern` with its first "%d" replaced by `number` and each "%%" by "%".
std::string FormatNumber(std::string_view pattern, int64_t number);

// `pattern` with its first "%s" replaced by `text`.
std::string FormatText(std::string_view pattern, std::string_view text);

// A message with its "%d" and "%s" filled with a system error code and its text.
std::string FormatSystemError(std::string_view msg, int code, std::string_view text);

// The makers of every error the port raises, which give each its kind and code in one place.
// A failed system call: `msg` (of Vaconst.h) filled with `code` and its text.
EVaCommError CommError(std::string_view msg, int code);
// A refusal of the port's own: the plain message `msg`, no system code.
EVaCommError CommRefusal(std::string_view msg);
// An open of the device `name` that failed with `code`.
EVaCommError OpenError(const std::string& name, int code);
// The device `name` has gone, as the system's `code` tells.
EVaCommError DeviceLostError(const std::string& name, int code);
