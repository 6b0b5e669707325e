#include "serial/platform/FileEntries.h"

#include <windows.h>

namespace SerialPlatform {

int64_t EntrySize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info)) {
        return -1;
    }
    return static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) |
                                info.nFileSizeLow);
}

} // namespace SerialPlatform
