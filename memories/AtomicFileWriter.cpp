#include "memories/AtomicFileWriter.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The file that writing to `fileName` would change: the final target of a symbolic link.
std::string ResolveTarget(const std::string& fileName) {
    std::string path = fileName;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t length = readlink(path.c_str(), link.data(), PATH_MAX);
        if (length < 0) {
            return path;
        }
        std::string linked(link.data(), static_cast<size_t>(length));
        if (linked.front() != '/') {
            std::vector<char> copy(path.begin(), path.end());
            copy.push_back('\0');
            linked = std::string(dirname(copy.data())) + '/' + linked;
        }
        path = linked;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    std::vector<char> copy(path.begin(), path.end());
    copy.push_back('\0');
    return dirname(copy.data());
}

// A new file gets the permissions any new file of the process gets. umask() cannot be read without
// changing it for every thread, so the kernel's report of it is read instead.
mode_t ProcessUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
    }
    return 022;
}

// The new file takes the place of the old one, so it gets the old one's owner and group as far as
// the process may give them: root both, others a group they belong to.
void KeepOwner(int descriptor, const struct stat& old) {
    if (fchown(descriptor, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly =
            fchown(descriptor, static_cast<uid_t>(-1), old.st_gid);
    }
}

} // namespace

TAtomicFileWriter::TAtomicFileWriter(WriteFunction write) : write_(std::move(write)) {}

TAtomicFileWriter::~TAtomicFileWriter() {
    Discard();
}

bool TAtomicFileWriter::Open(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    target_ = ResolveTarget(fileName);
    struct stat info {};
    const bool exists = stat(target_.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        return false; // e.g. a loop of links, which the rename would replace by the file
    }
    if (exists && (!S_ISREG(info.st_mode) || access(target_.c_str(), W_OK) != 0)) {
        return false; // a folder, a device, or a file we may not change
    }
    std::string pattern = FolderOf(target_) + "/.q4471-save-XXXXXX";
    descriptor_ = SerialPlatform::FileDescriptor(mkostemp(pattern.data(), O_CLOEXEC));
    if (!descriptor_.Valid()) {
        return false;
    }
    temporary_ = pattern;
    if (exists) {
        KeepOwner(descriptor_.Get(), info); // before the mode: a change of owner clears set-id bits
    }
    const mode_t mode = exists ? (info.st_mode & 07777) : (0666 & ~ProcessUmask());
    if (fchmod(descriptor_.Get(), mode) != 0) {
        Discard();
        return false;
    }
    return true;
}

bool TAtomicFileWriter::Write(const std::string& bytes) {
    size_t done = 0;
    while (!failed_ && done < bytes.size()) {
        const ssize_t written = write_(descriptor_.Get(), bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
        } else {
            done += static_cast<size_t>(written);
        }
    }
    return !failed_;
}

bool TAtomicFileWriter::Commit() {
    if (failed_ || !descriptor_.Valid() || fsync(descriptor_.Get()) != 0) {
        Discard();
        return false;
    }
    // Closed here, as its answer tells whether the content reached the file.
    if (close(descriptor_.Release()) != 0 || rename(temporary_.c_str(), target_.c_str()) != 0) {
        Discard();
        return false;
    }
    temporary_.clear();
    // Make the rename itself durable; the new content is complete either way.
    const SerialPlatform::FileDescriptor folder(
        open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        fsync(folder.Get());
    }
    return true;
}

void TAtomicFileWriter::Discard() {
    descriptor_ = SerialPlatform::FileDescriptor();
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}
