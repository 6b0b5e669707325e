// The reasons a port did not open, as the user reads them: a missing device with the serial
// devices that do exist, no permission with the group to join, and the program holding it.
#include "serial/diagnostics/PortHelp.h"

#include "TempFolder.h"
#include "serial/PtyPair.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string Hint = "\nA port can be pointed at any device with Q4471_COM1 to Q4471_COM4.";

TEST(PortHelpTest, AMissingDeviceListsTheSerialDevicesThatExist) {
    const TempFolder empty;
    const TempFolder dev;
    fs::create_directories(dev.File("serial/by-id"));
    for (const char* node : {"ttyUSB1", "ttyUSB2", "ttyACM0", "ttyS9"}) {
        WriteBytes(dev.File(node), "");
    }
    fs::create_symlink("../../ttyUSB1", dev.File("serial/by-id/usb-FTDI_FT232R-if00-port0"));
    const std::string missing = "/nowhere/ttyUSB0";
    const std::string noDevice = "There is no device " + missing +
                                 ": the adapter is not plugged in, or the port does not exist on "
                                 "this computer.";
    EXPECT_EQ(ExplainOpenFailure(ENOENT, missing, {empty.Path(), "/proc", empty.Path()}),
              noDevice + "\nNo USB serial adapter is connected." + Hint);
    EXPECT_EQ(ExplainOpenFailure(ENXIO, missing, {dev.Path(), "/proc", empty.Path()}),
              noDevice + "\nSerial devices present: " + dev.File("ttyACM0") +
                  " (USB modem-class device), " + dev.File("ttyUSB1") + " (USB serial adapter), " +
                  dev.File("ttyUSB2") + " (USB serial adapter)." + Hint);
}

TEST(PortHelpTest, WithoutPermissionItNamesTheGroupThatOwnsTheDevice) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to become a user without it";
    }
    const PtyPair pty;
    struct stat info {};
    ASSERT_EQ(stat(pty.SlavePath().c_str(), &info), 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const SerialPlatform::FileDescriptor readEnd(pipeEnds[0]);
    SerialPlatform::FileDescriptor writeEnd(pipeEnds[1]);
    const pid_t child = fork();
    if (child == 0) {
        // As "nobody", the device's owner group and mode keep the open out.
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        const std::string text = !dropped  ? "could not drop root"
                                 : fd >= 0 ? "opened"
                                           : ExplainOpenFailure(errno, pty.SlavePath());
        (void)!write(writeEnd.Get(), text.data(), text.size());
        _exit(0);
    }
    writeEnd = SerialPlatform::FileDescriptor(); // the read below ends when the child's copy closes
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(readEnd.Get(), buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    waitpid(child, nullptr, 0);
    const std::string group = getgrgid(info.st_gid)->gr_name;
    EXPECT_EQ(text, "No permission to use " + pty.SlavePath() + ": it belongs to the group \"" +
                        group + "\". Join that group (sudo adduser $USER " + group +
                        "), then log out and in again.");
}

TEST(PortHelpTest, ADeviceInUseNamesTheProgramHoldingIt) {
    const PtyPair pty;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 3, pty.SlavePath().c_str(), O_RDWR | O_NOCTTY, 0);
    char program[] = "/bin/sleep";
    char seconds[] = "60";
    char* argv[] = {program, seconds, nullptr};
    pid_t holder = 0;
    ASSERT_EQ(posix_spawn(&holder, program, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // The holder has the device once its descriptor shows and it runs the program named.
    const std::string expected =
        "The device " + pty.SlavePath() + " is in use by another program: sleep (process " +
        std::to_string(holder) + "). Close it, then choose the port again.";
    std::string text;
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         text != expected && std::chrono::steady_clock::now() < deadline;) {
        text = ExplainOpenFailure(EBUSY, pty.SlavePath());
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(text, expected);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(ExplainOpenFailure(EBUSY, pty.SlavePath()),
              "The device " + pty.SlavePath() +
                  " is in use by another program. Close it, then choose the port again.");
}

} // namespace
