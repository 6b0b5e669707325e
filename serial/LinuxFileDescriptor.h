#pragma once

/// @file
/// The owner of a Linux file descriptor, FileDescriptor. Linux only.

#include <q4471/serial/OwnedHandle.h>

#include <unistd.h>

namespace SerialPlatform {

/// What OwnedHandle needs to know of a file descriptor.
struct DescriptorCalls {
    /// A descriptor is an int.
    using Handle = int;
    /// The value that holds no descriptor.
    static constexpr int none = -1;
    /// Whether `fd` is a descriptor: any value from 0 up.
    static bool IsHandle(int fd) { return fd >= 0; }
    /// Closes `fd` with close(2); an error of the close is not reported.
    static void Close(int fd) { ::close(fd); }
};

/// A file descriptor that is closed with its owner, on every way out. The platform layer, the
/// memory files, the tests and the benchmarks hold their descriptors in it.
using FileDescriptor = OwnedHandle<DescriptorCalls>;

} // namespace SerialPlatform
