#pragma once

// The signals on Windows: an event object each, which WaitForMultipleObjects watches beside the
// completion of a device's overlapped call.

#include "serial/platform/Signals.h"

namespace SerialPlatform {

// The event object's HANDLE of a signal.
inline void* EventOf(TSignalHandle signal) {
    return reinterpret_cast<void*>(signal.Native);
}

} // namespace SerialPlatform
