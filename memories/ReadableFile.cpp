#include "memories/ReadableFile.h"

#include <fcntl.h>
#include <sys/stat.h>

SerialPlatform::FileDescriptor OpenForReading(const std::string& fileName) {
    struct stat info {};
    if (stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return SerialPlatform::FileDescriptor();
    }
    SerialPlatform::FileDescriptor descriptor(
        open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (descriptor.Valid() && (fstat(descriptor.Get(), &info) != 0 || !S_ISREG(info.st_mode))) {
        return SerialPlatform::FileDescriptor();
    }
    return descriptor;
}
