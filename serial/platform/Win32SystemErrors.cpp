// The one place where Windows' error codes (GetLastError) meet the component's messages.

#include "serial/platform/Win32Errors.h"

#include <q4471/serial/SystemErrors.h>

#include <windows.h>

namespace SerialPlatform {

bool Fail(unsigned long code) {
    SetLastError(static_cast<int>(code));
    return false;
}

bool FailWithSystemError() {
    return Fail(::GetLastError());
}

std::string SysErrorMessage(int code) {
    char buffer[512];
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    // The system's texts end in a line break, which a message that goes on must not carry.
    while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' ||
                          buffer[length - 1] == ' ')) {
        --length;
    }
    if (length == 0) {
        return "Unknown error " + std::to_string(code);
    }
    return std::string(buffer, length);
}

bool IsDeviceNotFound(int code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

TOpenFailure OpenFailureOf(int code) {
    if (IsDeviceNotFound(code)) {
        return ofMissing;
    }
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? ofBusy : ofOther;
}

bool DriverHasNo(int code) {
    return code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
           code == ERROR_CALL_NOT_IMPLEMENTED;
}

bool DeviceHasGone(int code) {
    // What the drivers of USB serial adapters answer on a handle whose device was pulled out:
    // usbser.sys ERROR_ACCESS_DENIED, others ERROR_BAD_COMMAND or ERROR_GEN_FAILURE, the system
    // ERROR_DEVICE_NOT_CONNECTED or ERROR_DEVICE_REMOVED; Wine ERROR_NOT_READY for a terminal
    // that has hung up. A read at the end of a serial line, which has none otherwise
    // (ERROR_HANDLE_EOF), is a hang-up as well.
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_HANDLE_EOF:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}

} // namespace SerialPlatform
