#pragma once

#include <q4471/serial/LinuxFileDescriptor.h>

#include <functional>
#include <string>
#include <sys/types.h>
#include <unistd.h>

// Replaces a file only once its new content is safely on disk: the bytes go to a temporary file
// beside the target, which is flushed, synced and renamed over the target. Until Commit succeeds
// the target stays exactly as it was; a writer that is not committed removes its temporary.
// A symbolic link is followed, so the link stays and its target gets the new content; an existing
// target keeps its permission bits.
class TAtomicFileWriter {
public:
    using WriteFunction = std::function<ssize_t(int descriptor, const void* data, size_t size)>;

    explicit TAtomicFileWriter(WriteFunction write = ::write);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    // False when `fileName` cannot be written: empty, a folder, a missing folder, no permission.
    bool Open(const std::string& fileName);
    bool Write(const std::string& bytes);
    bool Commit();

private:
    void Discard();

    WriteFunction write_;
    std::string target_;
    std::string temporary_;
    SerialPlatform::FileDescriptor descriptor_;
    bool failed_ = false;
};
