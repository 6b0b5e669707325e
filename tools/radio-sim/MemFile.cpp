#include "MemFile.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace radiosim {

namespace {

std::runtime_error FileError(const std::string& action, const std::string& path, int error) {
    return std::runtime_error("cannot " + action + " '" + path + "': " + std::strerror(error));
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void TakeLine(std::string& line, bool tooLong, MemoryStore& store, MemFileSummary& summary) {
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    if (line.size() > MaxLineLength) {
        tooLong = true;
    }
    if (line.empty() && !tooLong) {
        return;
    }
    if (!tooLong && store.Store(line)) {
        ++summary.stored;
    } else {
        ++summary.ignored;
    }
}

} // namespace

MemFileSummary ReadMemFile(const std::string& path, MemoryStore& store) {
    FilePtr file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        throw FileError("open", path, errno);
    }
    MemFileSummary summary;
    std::string line;
    bool tooLong = false;
    for (int c = std::getc(file.get()); c != EOF; c = std::getc(file.get())) {
        if (c == '\n') {
            TakeLine(line, tooLong, store, summary);
            line.clear();
            tooLong = false;
        } else if (line.size() <= MaxLineLength) { // one byte more leaves room for the CR
            line.push_back(static_cast<char>(c));
        } else {
            tooLong = true;
        }
    }
    if (std::ferror(file.get())) {
        throw FileError("read", path, errno);
    }
    TakeLine(line, tooLong, store, summary);
    return summary;
}

void WriteMemFile(const std::string& path, const MemoryStore& store) {
    const std::string partPath = path + ".part" + std::to_string(getpid());
    SerialPlatform::FileDescriptor descriptor(
        ::open(partPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!descriptor.Valid()) {
        throw FileError("write", path, errno);
    }
    FilePtr file(fdopen(descriptor.Get(), "wb"));
    if (!file) {
        const int error = errno;
        ::unlink(partPath.c_str());
        throw FileError("write", path, error);
    }
    const int fd = descriptor.Release(); // the stream closes it from here on
    for (const std::string& record : store.Snapshot()) {
        std::fwrite(record.data(), 1, record.size(), file.get());
        std::fputs("\r\n", file.get());
    }
    int error = 0;
    const auto check = [&error](bool succeeded) {
        if (!succeeded && error == 0) {
            error = errno != 0 ? errno : EIO;
        }
    };
    check(std::fflush(file.get()) == 0 && !std::ferror(file.get()));
    check(::fsync(fd) == 0);
    check(std::fclose(file.release()) == 0);
    if (error == 0) {
        check(::rename(partPath.c_str(), path.c_str()) == 0);
    }
    if (error != 0) {
        ::unlink(partPath.c_str());
        throw FileError("write", path, error);
    }
}

} // namespace radiosim
