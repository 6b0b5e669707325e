#pragma once

// A signal of the operating system as the component's wait objects (TVaEvent) hold it.

#include <cstdint>

namespace SerialPlatform {

// One signal as each system fills it in: Linux an eventfd, readable exactly while the signal is
// set; Windows an event object's HANDLE. Wide enough for either; -1 is none.
struct TSignalHandle {
    std::intptr_t Native = -1;
    // Cleared by the wait that it ends. Windows' event object knows this itself; an eventfd
    // does not, so the handle carries it.
    bool AutoReset = false;

    bool Valid() const { return Native != -1; }
};

// A wait without a time limit.
inline constexpr uint32_t NoTimeLimit = 0xFFFFFFFF;

} // namespace SerialPlatform
