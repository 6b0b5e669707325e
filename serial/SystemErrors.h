#pragma once

// The system's error codes as the component reports them: each call of the platform layer that
// fails leaves its code for GetLastError, and these tell what a code means.

#include <string>

namespace SerialPlatform {

// The error code of the calling thread's last failed call, and the way to set it (for the
// platform layer's implementations).
int GetLastError();
void SetLastError(int code);

// The system's text for an error code.
std::string SysErrorMessage(int code);
// Whether an open that failed with `code` means that there is no such device.
bool IsDeviceNotFound(int code);
// Whether a driver call that failed with `code` means that the driver lacks the feature (a
// pseudo-terminal has no modem lines and no error counters) rather than that the call went wrong.
bool DriverHasNo(int code);
// Whether a call on an open device that failed with `code` means that the device has gone away
// (hung up, or a USB adapter pulled out), so that every later call on it fails too.
bool DeviceHasGone(int code);

} // namespace SerialPlatform
