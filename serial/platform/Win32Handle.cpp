#include "serial/platform/Win32Handle.h"

#include <windows.h>

namespace SerialPlatform {

void Win32HandleCalls::Close(Handle handle) {
    ::CloseHandle(handle);
}

} // namespace SerialPlatform
