#pragma once

#include <unistd.h>
#include <utility>

namespace SerialPlatform {

// Owns a descriptor and closes it on every way out. The one owner of descriptors in the project:
// the platform layer, the memory files, the tests and the benchmarks hold theirs in it.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        FileDescriptor old(std::exchange(fd_, std::exchange(other.fd_, -1)));
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Hands the descriptor over; this object no longer closes it.
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

} // namespace SerialPlatform
