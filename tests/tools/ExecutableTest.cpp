#include "PortClient.h"
#include "TestFiles.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

struct Pipe {
    SerialPlatform::FileDescriptor readEnd;
    SerialPlatform::FileDescriptor writeEnd;
};

Pipe MakePipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    return {SerialPlatform::FileDescriptor(ends[0]), SerialPlatform::FileDescriptor(ends[1])};
}

// The radio program run as a child process, its standard output and error on pipes.
class RadioProcess {
public:
    explicit RadioProcess(std::vector<std::string> arguments) {
        Pipe out = MakePipe();
        Pipe err = MakePipe();
        out_ = std::move(out.readEnd);
        err_ = std::move(err.readEnd);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out.writeEnd.Get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err.writeEnd.Get(), STDERR_FILENO);
        arguments.insert(arguments.begin(), RADIO_SIM_PROGRAM);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int failed =
            posix_spawn(&pid_, RADIO_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        // The write ends close as the constructor returns, so the reads see the child's end.
        if (failed != 0) {
            throw std::runtime_error("cannot start " RADIO_SIM_PROGRAM);
        }
    }

    ~RadioProcess() {
        if (!status_) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // Standard output up to its first line end, or all of it if it ends first.
    std::string FirstLine() { return ReadPipe(out_.Get(), true); }
    std::string ErrorText() { return ReadPipe(err_.Get(), false); }

    // The exit status, or nullopt if the process has not ended within a generous deadline.
    std::optional<int> Wait() {
        if (!status_) {
            const SerialPlatform::FileDescriptor exited(
                static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
            pollfd ended{exited.Get(), POLLIN, 0};
            if (::poll(&ended, 1, 10000) == 1) {
                int status = 0;
                ::waitpid(pid_, &status, 0);
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return status_;
    }

private:
    static std::string ReadPipe(int fd, bool lineOnly) {
        std::string text;
        pollfd readable{fd, POLLIN, 0};
        char byte;
        while (::poll(&readable, 1, 10000) == 1 && ::read(fd, &byte, 1) == 1) {
            if (lineOnly && byte == '\n') {
                break;
            }
            text += byte;
        }
        return text;
    }

    pid_t pid_ = -1;
    SerialPlatform::FileDescriptor out_;
    SerialPlatform::FileDescriptor err_;
    std::optional<int> status_;
};

TEST(RadioProgramTest, PrintsTheDeviceFirstSavesOnRequestAndExitsCleanlyOnSigterm) {
    TempFolder dir;
    const std::string saved = dir.File("saved.mem");
    const std::string link = dir.File("radio");
    RadioProcess radio({"--log", dir.File("radio.log"), "--save", saved, "--link", link});
    const std::string device = radio.FirstLine();
    ASSERT_TRUE(device.starts_with("/dev/pts/")) << device;
    EXPECT_EQ(std::filesystem::read_symlink(link), device);

    PortClient port(device);
    port.Write("MEM:USR:SET 1,FIRST,,,0,\r");
    EXPECT_EQ(port.Ask("MEM:USR:SET? 1\r", 14), "1,FIRST,,,0,\r\n");
    radio.Signal(SIGUSR1);
    EXPECT_NE(WaitForLogLine(dir.File("radio.log"),
                             [](const std::string& line) {
                                 return line.find("memories saved to") != std::string::npos;
                             }),
              "");
    EXPECT_TRUE(ReadBytes(saved).starts_with("1,FIRST,,,0,\r\n2,,,,0,\r\n"));

    port.Write("MEM:USR:SET 2,SECOND,,,0,\r");
    EXPECT_EQ(port.Ask("MEM:USR:SET? 2\r", 15), "2,SECOND,,,0,\r\n");
    radio.Signal(SIGTERM);
    EXPECT_EQ(radio.Wait(), 0);
    EXPECT_TRUE(ReadBytes(saved).starts_with("1,FIRST,,,0,\r\n2,SECOND,,,0,\r\n3,,,,0,\r\n"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(RadioProgramTest, ExplainsABadCommandLineAndRefusesToRun) {
    RadioProcess badValue({"--noise", "2"});
    EXPECT_EQ(badValue.FirstLine(), "");
    EXPECT_EQ(badValue.Wait(), 2);
    EXPECT_NE(badValue.ErrorText().find("--noise needs a probability from 0 to 1"),
              std::string::npos);

    RadioProcess unknown({"--fast"});
    EXPECT_EQ(unknown.Wait(), 2);
    EXPECT_NE(unknown.ErrorText().find("unknown option '--fast'"), std::string::npos);

    RadioProcess missingFile({"--load", "/nonexistent/in.mem"});
    EXPECT_EQ(missingFile.Wait(), 1);
    EXPECT_NE(missingFile.ErrorText().find("cannot open '/nonexistent/in.mem'"), std::string::npos);

    RadioProcess help({"--help"});
    EXPECT_EQ(help.FirstLine(), "Usage: q4471-radio-sim [OPTION]...");
    EXPECT_EQ(help.Wait(), 0);
}

} // namespace
