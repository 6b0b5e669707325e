// The one place where the host's error codes (errno) meet the component's messages.

#include <q4471/serial/SystemErrors.h>

#include <cerrno>
#include <cstring>

namespace SerialPlatform {

std::string SysErrorMessage(int code) {
    char buffer[256];
    // The GNU strerror_r answers a pointer that need not be the buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

bool IsDeviceNotFound(int code) {
    // ENXIO: the node exists but no hardware answers behind it; ENODEV likewise for some drivers.
    return code == ENOENT || code == ENXIO || code == ENODEV;
}

TOpenFailure OpenFailureOf(int code) {
    if (IsDeviceNotFound(code)) {
        return ofMissing;
    }
    if (code == EACCES || code == EPERM) {
        return ofNoPermission;
    }
    return code == EBUSY ? ofBusy : ofOther;
}

bool DriverHasNo(int code) {
    return code == ENOTTY || code == EINVAL;
}

bool DeviceHasGone(int code) {
    // EIO: a hung-up terminal (its calls are cut off); ENODEV and ENXIO: the hardware behind an
    // open handle has been removed (a USB serial adapter pulled out).
    return code == EIO || code == ENODEV || code == ENXIO;
}

} // namespace SerialPlatform
