#pragma once

#include "serial/OwnedHandle.h"

#include <unistd.h>

namespace SerialPlatform {

struct DescriptorCalls {
    using Handle = int;
    static constexpr int none = -1;
    static bool IsHandle(int fd) { return fd >= 0; }
    static void Close(int fd) { ::close(fd); }
};

// The platform layer, the memory files, the tests and the benchmarks hold their descriptors in it.
using FileDescriptor = OwnedHandle<DescriptorCalls>;

} // namespace SerialPlatform
