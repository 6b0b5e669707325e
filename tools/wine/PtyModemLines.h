#pragma once

// The modem lines of a pseudo-terminal, which has none: one small file per pair, named by the
// slave's number, in the directory that Q4471_MODEM_LINES names. The shim preloaded into Wine's
// processes keeps the port's DTR and RTS there and answers the port's questions from it; the peer
// drives CTS, DSR, RING and carrier in it. A lock makes each change whole, as both sides change
// the same file.

#include <q4471/serial/LinuxFileDescriptor.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace PtyModemLines {

inline constexpr const char* DirectoryVariable = "Q4471_MODEM_LINES";

inline std::string FileFor(const std::string& directory, unsigned slaveNumber) {
    return directory + "/pts-" + std::to_string(slaveNumber);
}

// The file of the pair whose slave `fd` is, when a directory is named and the pair has one.
inline std::optional<std::string> FileOfSlave(int fd) {
    constexpr unsigned PtySlaveMajor = 136;
    const char* directory = std::getenv(DirectoryVariable);
    struct stat status {};
    if (directory == nullptr || fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode) ||
        major(status.st_rdev) != PtySlaveMajor) {
        return std::nullopt;
    }
    std::string path = FileFor(directory, minor(status.st_rdev));
    if (access(path.c_str(), F_OK) != 0) {
        return std::nullopt;
    }
    return path;
}

// Raises and drops lines (TIOCM_* bits); answers the lines after the change, or -1 when the file
// cannot be read.
inline int Update(const std::string& path, int raise, int drop) {
    const SerialPlatform::FileDescriptor fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.Valid() || flock(fd.Get(), LOCK_EX) != 0) {
        return -1;
    }
    char text[16] = {};
    if (pread(fd.Get(), text, sizeof text - 1, 0) < 0) {
        return -1;
    }
    const int lines = (std::atoi(text) | raise) & ~drop;
    // A fixed width, so that a write never leaves digits of a longer old value behind.
    std::snprintf(text, sizeof text, "%10d\n", lines);
    return pwrite(fd.Get(), text, 11, 0) == 11 ? lines : -1;
}

inline int Read(const std::string& path) {
    return Update(path, 0, 0);
}

// Makes the file of a new pair with every line down; false when it cannot.
inline bool Create(const std::string& path) {
    const SerialPlatform::FileDescriptor fd(
        open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return fd.Valid() && Update(path, 0, 0) == 0;
}

} // namespace PtyModemLines
