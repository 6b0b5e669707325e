#pragma once

/// @file
/// A signal of the operating system as the component's wait objects (TVaEvent) hold it.

#include <cstdint>

namespace SerialPlatform {

/// One signal as each system fills it in: Linux an eventfd, readable exactly while the signal is
/// set; Windows an event object's HANDLE. Wide enough for either; -1 is none. A plain value that
/// owns nothing: the wait object that holds the signal (TVaHandleObject) frees it, and a copy is
/// good only as long as that object lives.
struct TSignalHandle {
    /// The eventfd on Linux, the HANDLE on Windows; -1 for none.
    std::intptr_t Native = -1;
    /// Cleared by the wait that it ends. Windows' event object knows this itself; an eventfd
    /// does not, so the handle carries it.
    bool AutoReset = false;

    /// Whether the handle holds a signal.
    bool Valid() const { return Native != -1; }
};

/// A wait without a time limit, as a time limit in milliseconds (VaInfinite).
inline constexpr uint32_t NoTimeLimit = 0xFFFFFFFF;

} // namespace SerialPlatform
