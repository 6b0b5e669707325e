#include "serial/platform/FileEntries.h"

#include <sys/stat.h>

namespace SerialPlatform {

int64_t EntrySize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

} // namespace SerialPlatform
