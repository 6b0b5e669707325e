// The calling thread's last error, on every system.

#include <q4471/serial/SystemErrors.h>

namespace SerialPlatform {

namespace {
// Kept apart from the system's own (errno, Windows' last error), which the runtime's calls between
// a failure and its report (locks, allocations) may change.
thread_local int lastError = 0;
} // namespace

int GetLastError() {
    return lastError;
}

void SetLastError(int code) {
    lastError = code;
}

} // namespace SerialPlatform
