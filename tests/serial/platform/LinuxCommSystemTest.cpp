#include "OtherProgram.h"
#include "PtyPair.h"
#include "WaitUntil.h"
#include "serial/platform/CommPlatform.h"
#include "support/ProcessEntries.h"

#include <q4471/serial/CommCodes.h>
#include <q4471/serial/VaObjects.h>

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace SerialPlatform;

namespace {

DCB Plain9600() {
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.fBinary = true;
    dcb.ByteSize = 8;
    return dcb;
}

class LinuxCommSystemTest : public testing::Test {
protected:
    void TearDown() override {
        if (handle_ != INVALID_HANDLE_VALUE) {
            system_.CloseHandle(handle_);
        }
    }
    THandle OpenPort() {
        handle_ = system_.CreateFile(pty_.SlavePath());
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << SysErrorMessage(GetLastError());
        return handle_;
    }
    // Counted both ways: the input count alone, then the whole status, which may have seen more
    // bytes arrive, never fewer.
    uint32_t Waiting() {
        uint32_t errors = 0;
        uint32_t inputOnly = 0;
        EXPECT_TRUE(system_.ClearCommInput(handle_, errors, inputOnly));
        COMSTAT stat;
        EXPECT_TRUE(system_.ClearCommError(handle_, errors, stat));
        EXPECT_LE(inputOnly, stat.cbInQue) << "the input count alone differs from the status's";
        return inputOnly;
    }

    ICommSystem& system_ = DefaultCommSystem();
    PtyPair pty_;
    THandle handle_ = INVALID_HANDLE_VALUE;
};

} // namespace

TEST_F(LinuxCommSystemTest, ASecondOpenIsRefusedHereAndInAnotherProcess) {
    OpenPort();
    EXPECT_EQ(system_.CreateFile(pty_.SlavePath()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), EBUSY);
    EXPECT_EQ(system_.ProbeDevice(pty_.SlavePath()), dpBusy);

    const pid_t child = fork();
    if (child == 0) {
        const THandle other = DefaultCommSystem().CreateFile(pty_.SlavePath());
        _exit(other == INVALID_HANDLE_VALUE && GetLastError() == EBUSY ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_TRUE(system_.CloseHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
    EXPECT_EQ(system_.ProbeDevice(pty_.SlavePath()), dpFree);
    OpenPort();
}

TEST_F(LinuxCommSystemTest, APortAnotherProgramHoldsIsBusyAndKeepsItsHold) {
    // The conventions of terminal programs: root opens a device despite its exclusive flag.
    enum Hold { lock, exclusiveFlag };
    for (const Hold hold : {lock, exclusiveFlag}) {
        SCOPED_TRACE(hold == lock ? "flock" : "TIOCEXCL");
        OtherProgram other(pty_.SlavePath());
        OtherProgram third(pty_.SlavePath()); // opened before the flag is set
        ASSERT_TRUE(hold == lock ? other.TakeLock() : other.SetExclusive());
        EXPECT_EQ(system_.ProbeDevice(pty_.SlavePath()), dpBusy);
        EXPECT_EQ(system_.CreateFile(pty_.SlavePath()), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), EBUSY);
        EXPECT_EQ(third.ExclusiveFlag(), hold == exclusiveFlag);
        EXPECT_EQ(third.TakeLock(), hold == exclusiveFlag);
    }
    // And the port this process holds, others see held both ways, until it is closed.
    OtherProgram other(pty_.SlavePath());
    OpenPort();
    EXPECT_TRUE(other.ExclusiveFlag());
    EXPECT_FALSE(other.TakeLock());
    ASSERT_TRUE(system_.CloseHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
    EXPECT_FALSE(other.ExclusiveFlag());
    EXPECT_TRUE(other.TakeLock());
}

TEST_F(LinuxCommSystemTest, ProgramsReadingTheLineSeeItsRate) {
    OtherProgram other(pty_.SlavePath()); // stty or a terminal program, with tcgetattr
    OpenPort();
    // A rate without a standard code has none for tcgetattr; termios2 has it.
    const std::pair<uint32_t, unsigned> cases[] = {{9600, 9600}, {115200, 115200}, {7200, 0}};
    for (const auto& [rate, seen] : cases) {
        DCB dcb = Plain9600();
        dcb.BaudRate = rate;
        ASSERT_TRUE(system_.SetCommState(handle_, dcb));
        EXPECT_EQ(other.StandardRate(), seen) << rate;
        EXPECT_EQ(pty_.SlaveSettings().c_ospeed, rate);
    }
}

TEST_F(LinuxCommSystemTest, FailedOpensLeaveNoDescriptor) {
    const int before = OpenDescriptors();
    EXPECT_EQ(system_.CreateFile("/dev/q4471-no-such-port"), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(IsDeviceNotFound(GetLastError()));
    EXPECT_EQ(system_.ProbeDevice("/dev/q4471-no-such-port"), dpMissing);
    EXPECT_EQ(system_.CreateFile("/dev/null"), INVALID_HANDLE_VALUE); // not a terminal
    EXPECT_EQ(GetLastError(), ENOTTY);
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(LinuxCommSystemTest, APortOpensEmptyAndRawAndPassesEveryByte) {
    // A whole line, as the fresh slave is still canonical; it echoes it, with CR LF.
    const std::string stale = "stale bytes from before the open\n";
    pty_.Send(stale);
    ASSERT_TRUE(WaitUntil([&] { return pty_.SlaveInput() > 0; }));
    ASSERT_EQ(pty_.Receive(stale.size() + 1).size(), stale.size() + 1);
    OpenPort();
    EXPECT_EQ(Waiting(), 0u);
    ASSERT_TRUE(system_.SetCommState(handle_, Plain9600()));

    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<char>(i);
    }
    uint32_t written = 0;
    ASSERT_TRUE(system_.WriteFile(handle_, all.data(), 256, 1000, TSignalHandle(), written));
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(pty_.Receive(256), all);

    pty_.Send(all);
    std::string received(512, 'x');
    uint32_t read = 0;
    ASSERT_TRUE(WaitUntil([&] { return Waiting() == 256; }));
    ASSERT_TRUE(system_.ReadFile(handle_, received.data(), 512, read));
    received.resize(read);
    EXPECT_EQ(received, all);
    ASSERT_TRUE(system_.ReadFile(handle_, received.data(), 1, read));
    EXPECT_EQ(read, 0u); // nothing waits: at once, no error
}

TEST_F(LinuxCommSystemTest, SettingsAreWrittenAndReadBack) {
    OpenPort();
    DCB dcb = Plain9600();
    dcb.BaudRate = 7200;
    dcb.fOutX = true;
    dcb.XonChar = 'Q';
    dcb.XoffChar = 'S';
    dcb.EvtChar = '!';
    dcb.XonLim = 1024;
    dcb.XoffLim = 512;
    ASSERT_TRUE(system_.SetCommState(handle_, dcb));
    const termios2 tio = pty_.SlaveSettings();
    EXPECT_EQ(tio.c_ospeed, 7200u);
    EXPECT_NE(tio.c_iflag & IXON, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    DCB back{};
    ASSERT_TRUE(system_.GetDefaultCommConfig(pty_.SlavePath(), back));
    EXPECT_EQ(back.BaudRate, 7200u);
    EXPECT_TRUE(back.fOutX);
    EXPECT_EQ(back.XonChar, 'Q');
    EXPECT_EQ(back.EvtChar, '!');
    EXPECT_EQ(back.XoffLim, 512);

    DCB refused = dcb;
    refused.fRtsControl = RTS_CONTROL_TOGGLE;
    EXPECT_FALSE(system_.SetCommState(handle_, refused));
    EXPECT_EQ(GetLastError(), EINVAL);
    EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 7200u); // a refused record changes nothing

    // A closed device is looked at without keeping it.
    ASSERT_TRUE(system_.CloseHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(system_.GetDefaultCommConfig(pty_.SlavePath(), back));
    EXPECT_EQ(back.BaudRate, 7200u);
    EXPECT_FALSE(system_.GetDefaultCommConfig("/dev/q4471-no-such-port", back));
    EXPECT_EQ(GetLastError(), ENOENT);
}

TEST_F(LinuxCommSystemTest, APseudoTerminalHasNoLinesAndNoErrors) {
    OpenPort();
    uint32_t modem = 0xFF;
    EXPECT_TRUE(system_.GetCommModemStatus(handle_, modem));
    EXPECT_EQ(modem, 0u);
    uint32_t errors = 0xFF;
    COMSTAT stat;
    EXPECT_TRUE(system_.ClearCommError(handle_, errors, stat));
    EXPECT_EQ(errors, 0u);
    // An explicit line function that the driver lacks is an error.
    EXPECT_FALSE(system_.EscapeCommFunction(handle_, SETDTR));
    EXPECT_EQ(GetLastError(), ENOTTY);
    EXPECT_TRUE(system_.EscapeCommFunction(handle_, SETBREAK));
    EXPECT_TRUE(system_.EscapeCommFunction(handle_, CLRBREAK));
    EXPECT_TRUE(system_.EscapeCommFunction(handle_, RESETDEV));
    EXPECT_FALSE(system_.EscapeCommFunction(handle_, 42));
    EXPECT_FALSE(system_.PurgeComm(handle_, 0x10));
    EXPECT_FALSE(system_.SetCommTimeouts(handle_, COMMTIMEOUTS{0, 0, 100, 0, 0}));

    ASSERT_TRUE(system_.SetupComm(handle_, 4096, 2048));
    COMMPROP prop;
    ASSERT_TRUE(system_.GetCommProperties(handle_, prop));
    EXPECT_EQ(prop.dwCurrentRxQueue, 4096u);
    EXPECT_EQ(prop.dwMaxBaud, BAUD_USER);
}

TEST_F(LinuxCommSystemTest, SetXoffHoldsTheOutput) {
    OpenPort();
    ASSERT_TRUE(system_.EscapeCommFunction(handle_, SETXOFF));
    uint32_t errors = 0;
    COMSTAT stat;
    ASSERT_TRUE(system_.ClearCommError(handle_, errors, stat));
    EXPECT_EQ(stat.Flags & COMSTAT_XOFF_HOLD, COMSTAT_XOFF_HOLD);
    ASSERT_TRUE(system_.EscapeCommFunction(handle_, SETXON));
    ASSERT_TRUE(system_.ClearCommError(handle_, errors, stat));
    EXPECT_EQ(stat.Flags, 0u);
}

TEST_F(LinuxCommSystemTest, AWriteGivesUpAtItsTimeOrWhenCancelled) {
    OpenPort();
    const std::string big(200000, 'x'); // far more than a pseudo-terminal holds
    uint32_t written = 0;
    ASSERT_TRUE(system_.WriteFile(handle_, big.data(), big.size(), 100, TSignalHandle(), written));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, big.size());

    TVaWaitEvent cancel;
    cancel.SetEvent();
    ASSERT_TRUE(
        system_.WriteFile(handle_, big.data(), big.size(), 60000, cancel.Handle(), written));
    EXPECT_LT(written, big.size());
}

TEST_F(LinuxCommSystemTest, AVanishedDeviceIsAnErrorNotAnEmptyRead) {
    OpenPort();
    pty_.CloseMaster();
    char byte = 0;
    uint32_t read = 0;
    EXPECT_FALSE(system_.ReadFile(handle_, &byte, 1, read));
    EXPECT_EQ(GetLastError(), EIO);
    uint32_t written = 0;
    EXPECT_FALSE(system_.WriteFile(handle_, "a", 1, 100, TSignalHandle(), written));
    EXPECT_EQ(GetLastError(), EIO);
}
