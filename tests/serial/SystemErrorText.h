#pragma once

// What the component's messages end in when a system call fails: the system's own code and text,
// which differ between Linux and Windows, so the tests build them rather than spell them.

#include <q4471/serial/SystemErrors.h>

#include <cerrno>
#include <string>

// `message` ended as the component ends it with a system error: " (code), text".
inline std::string WithSystemError(std::string message, int code) {
    message += " (";
    message += std::to_string(code);
    message += "), ";
    message += SerialPlatform::SysErrorMessage(code);
    return message;
}

#ifdef _WIN32
// A pseudo-terminal whose master has hung up, as Wine answers for it: ERROR_NOT_READY.
inline constexpr int HungUpError = 21;
// A failed open that means the device is missing, beside ERROR_FILE_NOT_FOUND:
// ERROR_PATH_NOT_FOUND.
inline constexpr int NoHardwareError = 3;
#else
inline constexpr int HungUpError = EIO;
// A device node without hardware behind it.
inline constexpr int NoHardwareError = ENXIO;
#endif
