#include "MemoryFileFixture.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Strings = std::vector<std::string>;
using FileFailureTest = MemoryFileFixture;

const std::string OldContent = "1,old,,,0,\r\n2,content,,,1,\r\n";

// A writer's write call that fails once `budget` bytes have been written.
TAtomicFileWriter::WriteFunction FailingAfter(size_t budget, int error) {
    auto left = std::make_shared<size_t>(budget);
    return [left, error](int descriptor, const void* data, size_t size) -> ssize_t {
        if (*left == 0) {
            errno = error;
            return -1;
        }
        const ssize_t written = ::write(descriptor, data, std::min(size, *left));
        *left -= static_cast<size_t>(std::max<ssize_t>(written, 0));
        return written;
    };
}

void ExpectSaveFailedAndLeftTheFile(const std::string& file, const Strings& statuses, mode_t mode) {
    EXPECT_EQ(statuses, (Strings{"Opening " + file + " for writing...",
                                 "Unable to write " + file + ", exiting"}));
    EXPECT_EQ(ReadBytes(file), OldContent);
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
}

TEST_F(FileFailureTest, AFailedWriteLeavesTheFileAsItWasAndRemovesTheTemporary) {
    struct Failure {
        const char* what;
        TAtomicFileWriter::WriteFunction write;
    };
    const Failure failures[] = {
        {"disk full at once", FailingAfter(0, ENOSPC)},
        {"input/output error halfway", FailingAfter(700, EIO)},
        {"quota at the last byte", FailingAfter(ClearedTableFile().size() - 1, EDQUOT)},
        {"no progress", [](int, const void*, size_t) -> ssize_t { return 0; }},
    };
    ClearAll();
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        const std::string file = folder.File("kept.mem");
        WriteBytes(file, OldContent);
        ASSERT_EQ(chmod(file.c_str(), 0604), 0);
        EXPECT_FALSE(Save(file, failure.write));
        ExpectSaveFailedAndLeftTheFile(file, statuses, 0604);
        EXPECT_EQ(folder.Listing(), "kept.mem");
    }
}

TEST_F(FileFailureTest, AFailedSaveToANewNameCreatesNoFile) {
    const std::string file = folder.File("new.mem");
    EXPECT_FALSE(Save(file, FailingAfter(10, ENOSPC)));
    EXPECT_EQ(statuses.back(), "Unable to write " + file + ", exiting");
    EXPECT_EQ(folder.Listing(), "");
}

TEST_F(FileFailureTest, ShortAndInterruptedWritesAreCompleted) {
    auto interruptedOnce = std::make_shared<bool>(false);
    const TAtomicFileWriter::WriteFunction writes[] = {
        [](int descriptor, const void* data, size_t size) {
            return ::write(descriptor, data, std::min<size_t>(size, 3));
        },
        [interruptedOnce](int descriptor, const void* data, size_t size) -> ssize_t {
            if (!*interruptedOnce) {
                *interruptedOnce = true;
                errno = EINTR;
                return -1;
            }
            return ::write(descriptor, data, size);
        }};
    ClearAll();
    for (const auto& write : writes) {
        const std::string file = folder.File("short.mem");
        ASSERT_TRUE(Save(file, write));
        EXPECT_EQ(ReadBytes(file), ClearedTableFile());
    }
}

// A small tmpfs mounted for the test: a disk that really fills up. Needs root and mounting.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& path) : path_(path) {
        std::filesystem::create_directory(path_);
        if (geteuid() != 0) {
            error_ = "needs root";
        } else if (mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
            error_ = std::string("mount: ") + std::strerror(errno);
        }
    }
    ~SmallTmpfs() {
        if (error_.empty()) {
            umount2(path_.c_str(), MNT_DETACH);
        }
    }
    const std::string& Error() const { return error_; }

private:
    std::string path_;
    std::string error_;
};

// Fills the file system that holds `fileName` to the last byte.
void FillUp(const std::string& fileName) {
    const SerialPlatform::FileDescriptor descriptor(
        open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(descriptor.Valid());
    const std::string block(4096, 'f');
    for (size_t chunk = block.size(); chunk > 0; chunk /= 2) {
        while (write(descriptor.Get(), block.data(), chunk) == static_cast<ssize_t>(chunk)) {
        }
    }
}

TEST_F(FileFailureTest, AFullDiskLeavesTheFileAsItWas) {
    const std::string disk = folder.File("disk");
    const SmallTmpfs tmpfs(disk);
    if (!tmpfs.Error().empty()) {
        GTEST_SKIP() << "no tmpfs for the test: " << tmpfs.Error();
    }
    const std::string file = disk + "/kept.mem";
    WriteBytes(file, OldContent);
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    FillUp(disk + "/filler");
    ClearAll();
    EXPECT_FALSE(Save(file));
    ExpectSaveFailedAndLeftTheFile(file, statuses, 0644);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk),
                            std::filesystem::directory_iterator()),
              2); // the file and the filler, no temporary
    // With room again the same save goes through.
    std::filesystem::remove(disk + "/filler");
    EXPECT_TRUE(Save(file));
    EXPECT_EQ(ReadBytes(file), ClearedTableFile());
}

// Answers whether a writer may open `fileName` for a user without special rights. Root, who may
// write into any folder, asks from a child process that has given up its rights; the child first
// makes sure it can see the file's folder at all.
bool WriterOpensAsUser(const std::string& fileName, const std::string& folderName) {
    if (geteuid() != 0) {
        TAtomicFileWriter writer;
        return writer.Open(fileName);
    }
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0 || access(folderName.c_str(), R_OK | X_OK)) {
            _exit(2);
        }
        bool opened = false;
        {
            TAtomicFileWriter writer; // gone before the exit, with its temporary
            opened = writer.Open(fileName);
        }
        _exit(opened ? 1 : 0);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 2) << "status " << status;
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST_F(FileFailureTest, AFolderWithoutWritePermissionLeavesTheFileAsItWas) {
    const std::string locked = folder.File("locked");
    std::filesystem::create_directory(locked);
    const std::string file = locked + "/kept.mem";
    WriteBytes(file, OldContent);
    ASSERT_EQ(chmod(file.c_str(), 0666), 0); // the file itself anyone may write
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    EXPECT_FALSE(WriterOpensAsUser(file, locked));
    EXPECT_FALSE(WriterOpensAsUser(locked + "/new.mem", locked));
    EXPECT_EQ(ReadBytes(file), OldContent);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked),
                            std::filesystem::directory_iterator()),
              1); // no temporary, no new file
}

TEST_F(FileFailureTest, AReadErrorStopsLoadingAndTheLinesBeforeStayAppliedOnce) {
    const std::string file = folder.File("unreadable.mem");
    const std::string head = "5,first,,,0,\r\n5,second,,,1,\r\n6,par";
    WriteBytes(file, head + "tial,,,2,\r\n7,after,,,2,\r\n");
    auto calls = std::make_shared<int>(0);
    const TLineReader::ReadFunction failingRead = [calls, &head](int descriptor, void* data,
                                                                 size_t size) -> ssize_t {
        if ((*calls)++ == 0) {
            return ::read(descriptor, data, std::min(size, head.size()));
        }
        errno = EIO;
        return -1;
    };
    ClearAll();
    Load(file, failingRead);
    EXPECT_EQ(ValuesOf(5), (Strings{"second", "", "", "CTCSS", ""}));
    EXPECT_EQ(Row(6).GetLabel(), "---");
    EXPECT_EQ(Row(7).GetLabel(), "---");
    EXPECT_EQ(statuses, (Strings{"Opening " + file + " for reading...",
                                 "Reading " + file + " stopped: line 3 could not be read"}));
}

TEST_F(FileFailureTest, AnInterruptedReadIsRepeated) {
    const std::string file = folder.File("interrupted.mem");
    WriteBytes(file, "8,read,,,1,\r\n");
    auto interrupted = std::make_shared<bool>(false);
    Load(file, [interrupted](int descriptor, void* data, size_t size) -> ssize_t {
        if (!*interrupted) {
            *interrupted = true;
            errno = EINTR;
            return -1;
        }
        return ::read(descriptor, data, size);
    });
    EXPECT_EQ(Row(8).GetLabel(), "read");
    EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
}

} // namespace
