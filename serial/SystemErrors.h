#pragma once

/// @file
/// The system's error codes as the component reports them: each call of the platform layer that
/// fails leaves its code for GetLastError, and these tell what a code means. The codes are the
/// system's own: errno values on Linux, Windows' error codes (GetLastError's) on Windows.

#include <q4471/framework/Export.h>

#include <string>

namespace SerialPlatform {

///@{
/// The error code of the calling thread's last failed call, and the way to set it (for the
/// platform layer's implementations). Each thread has its own, kept apart from errno and from
/// Windows' own last error, which calls between a failure and its report may change; 0 until a
/// call fails; a call that succeeds need not clear it.
Q4471_API int GetLastError();
Q4471_API void SetLastError(int code);
///@}

/// The system's text for an error code (Linux: strerror_r; Windows: FormatMessage, or
/// "Unknown error N" for a code it has no text for).
Q4471_API std::string SysErrorMessage(int code);
/// Whether an open that failed with `code` means that there is no such device. Linux: ENOENT,
/// ENXIO (a node with no hardware behind it), ENODEV; Windows: ERROR_FILE_NOT_FOUND,
/// ERROR_PATH_NOT_FOUND.
Q4471_API bool IsDeviceNotFound(int code);
/// Why an open failed, as a program acts on it.
enum TOpenFailure { ofOther, ofMissing, ofNoPermission, ofBusy };
/// The reason of an open that failed with `code`. Linux: IsDeviceNotFound's codes missing, EACCES
/// and EPERM no permission, EBUSY busy; Windows: IsDeviceNotFound's codes missing,
/// ERROR_ACCESS_DENIED and ERROR_SHARING_VIOLATION busy (how Windows answers for a port that
/// another program holds).
Q4471_API TOpenFailure OpenFailureOf(int code);
/// Whether a driver call that failed with `code` means that the driver lacks the feature (a
/// pseudo-terminal has no modem lines and no error counters) rather than that the call went wrong.
/// Linux: ENOTTY, EINVAL; Windows: ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED,
/// ERROR_CALL_NOT_IMPLEMENTED.
Q4471_API bool DriverHasNo(int code);
/// Whether a call on an open device that failed with `code` means that the device has gone away
/// (hung up, or a USB adapter pulled out), so that every later call on it fails too. Linux: EIO,
/// ENODEV, ENXIO; Windows: the codes its drivers give for that (ERROR_DEVICE_REMOVED,
/// ERROR_ACCESS_DENIED, ERROR_HANDLE_EOF and others).
Q4471_API bool DeviceHasGone(int code);

} // namespace SerialPlatform
