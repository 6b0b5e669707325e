#pragma once

// Free of <windows.h>, as the component's headers are.

#include <q4471/serial/OwnedHandle.h>

namespace SerialPlatform {

struct Win32HandleCalls {
    using Handle = void*;
    static constexpr Handle none = nullptr;
    // Events answer null when they cannot be made, files INVALID_HANDLE_VALUE.
    static bool IsHandle(Handle handle) {
        return handle != nullptr && handle != reinterpret_cast<Handle>(-1);
    }
    static void Close(Handle handle);
};

// The Windows layer, and the Windows tests and benchmarks, hold their handles in it.
using Win32Handle = OwnedHandle<Win32HandleCalls>;

} // namespace SerialPlatform
