// The one place where the host's error codes (errno) meet the component's messages.

#include "serial/platform/CommPlatform.h"

#include <cerrno>
#include <cstring>

namespace SerialPlatform {

namespace {
thread_local int lastError = 0;
} // namespace

int GetLastError() {
    return lastError;
}

void SetLastError(int code) {
    lastError = code;
}

std::string SysErrorMessage(int code) {
    char buffer[256];
    // The GNU strerror_r answers a pointer that need not be the buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

bool IsDeviceNotFound(int code) {
    // ENXIO: the node exists but no hardware answers behind it; ENODEV likewise for some drivers.
    return code == ENOENT || code == ENXIO || code == ENODEV;
}

bool DriverHasNo(int code) {
    return code == ENOTTY || code == EINVAL;
}

bool DeviceHasGone(int code) {
    // EIO: a hung-up terminal (its calls are cut off); ENODEV and ENXIO: the hardware behind an
    // open handle has been removed (a USB serial adapter pulled out).
    return code == EIO || code == ENODEV || code == ENXIO;
}

std::string ExplainOpenError(int code, const std::string& path) {
    if (IsDeviceNotFound(code)) {
        return "There is no device " + path +
               ": the adapter is not plugged in, or the port "
               "does not exist on this computer.";
    }
    switch (code) {
    case EACCES:
    case EPERM:
        return "No permission to use " + path +
               ": the user is not in the group that owns the device (usually \"dialout\").";
    case EBUSY:
    case EWOULDBLOCK:
        return "The device " + path + " is in use by another program.";
    case ENOTTY:
    case EINVAL:
        return path + " is not a serial device.";
    default:
        return "The device " + path + " cannot be opened: " + SysErrorMessage(code) + ".";
    }
}

} // namespace SerialPlatform
