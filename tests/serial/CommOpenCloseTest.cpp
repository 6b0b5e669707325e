#include "CommFixture.h"
#include "ScopedPortNames.h"
#include "SystemErrorText.h"
#include "support/ProcessEntries.h"

#include <q4471/framework/plain/PlainFramework.h>

#include <cerrno>
#include <chrono>

#ifndef _WIN32
#include "OtherProgram.h"
#endif

using namespace q4471;
using namespace SerialPlatform;

TEST_F(CommTest, OpenAndCloseFireTheirEventsOnce) {
    std::vector<std::string> events;
    comm_.OnOpen = [&](TObject* sender) {
        EXPECT_EQ(sender, &comm_);
        events.push_back("open");
    };
    comm_.OnClose = [&](TObject*) { events.push_back("close"); };
    comm_.Close(); // closed: nothing
    comm_.Open();
    EXPECT_TRUE(comm_.Active());
    EXPECT_EQ(ErrorOf([&] { comm_.Open(); }), "Can't perform this operation while port is open");
    EXPECT_TRUE(comm_.Active());
    comm_.Close();
    comm_.Close();
    EXPECT_FALSE(comm_.Active());
    EXPECT_EQ(events, (std::vector<std::string>{"open", "close"}));

    // A failing close handler reaches the caller of Close, with the port closed all the same.
    comm_.OnClose = [](TObject*) { throw EVaCommError("close handler failed"); };
    comm_.Open();
    EXPECT_EQ(ErrorOf([&] { comm_.Close(); }), "close handler failed");
    EXPECT_FALSE(comm_.Active());
}

TEST_F(CommTest, OpenConfiguresTheDeviceInItsOrder) {
    UseFake();
    comm_.Open();
    // The receive thread's wait for line events comes last.
    EXPECT_EQ(fake_.calls,
              (std::vector<std::string>{"CreateFile", "SetCommState", "SetupComm",
                                        "SetCommTimeouts", "SetCommMask", "CreateEventWaiter"}));
    EXPECT_EQ(comm_.LastOpenError(), 0);
}

TEST_F(CommTest, AFailedOpenRollsBackAndLeavesNoDescriptor) {
    UseFake();
    const std::pair<FakeCall, std::string> steps[] = {
        {FakeCall::SetCommState, WithSystemError("Error writing dcb", EIO)},
        {FakeCall::SetupComm, WithSystemError("Error initializing buffers", EIO)},
        {FakeCall::SetCommTimeouts, WithSystemError("Error setting timeouts", EIO)},
        {FakeCall::SetCommMask, WithSystemError(" Error setting EventMask", EIO)},
    };
    const int before = OpenDescriptors();
    bool opened = false;
    comm_.OnOpen = [&](TObject*) { opened = true; };
    for (const auto& [call, message] : steps) {
        fake_.failures = {{call, EIO}};
        fake_.calls.clear();
        EXPECT_EQ(ErrorOf([&] { comm_.Open(); }), message);
        EXPECT_FALSE(comm_.Active());
        EXPECT_EQ(fake_.calls.back(), "CloseHandle");
        EXPECT_EQ(comm_.LastOpenError(), EIO);
        EXPECT_EQ(OpenDescriptors(), before);
    }
    EXPECT_FALSE(opened);
    // The device is free again.
    fake_.failures.clear();
    comm_.Open();
    EXPECT_TRUE(comm_.Active());
}

TEST_F(CommTest, AMissingDeviceIsReportedByItsPortName) {
#ifdef _WIN32
    // The pty peer maps the pairs of the tests that run at once from COM5 up.
    constexpr int Port = 4;
#else
    constexpr int Port = 7;
#endif
    const std::string name = "COM" + std::to_string(Port);
    const std::string notFound = "Specified device not found (" + name + ").";
    const int before = OpenDescriptors();
    comm_.SetDeviceName("COM%d");
    comm_.SetPortNum(Port);
    {
        const ScopedPortNames names(name, "/dev/q4471-no-such-port");
        EXPECT_EQ(ErrorOf([&] { comm_.Open(); }), notFound);
        EXPECT_EQ(comm_.LastOpenError(), ENOENT);
    }
    EXPECT_EQ(ErrorOf([&] { comm_.Open(); }), notFound);
    EXPECT_EQ(GetPortState(Port), 2);
    // A node without hardware behind it counts as missing too.
    UseFake();
    fake_.failures = {{FakeCall::CreateFile, NoHardwareError}};
    EXPECT_EQ(ErrorOf([&] { comm_.Open(); }), notFound);
    EXPECT_EQ(OpenDescriptors(), before);
}

// Another program holds the device by the conventions of Linux terminal programs (an advisory
// lock, the exclusive flag); Wine lets a second exclusive open of a port succeed.
#ifndef _WIN32
TEST_F(CommTest, APortHeldByAnotherIsRefusedWithTheReason) {
    const ScopedPortNames names("COM5", pty_.SlavePath());
    EXPECT_EQ(GetPortState(5), 1);
    // Held by another port, or by a terminal program's lock or exclusive flag.
    enum Holder { anotherPort, terminalLock, exclusiveFlag };
    for (const Holder holder : {anotherPort, terminalLock, exclusiveFlag}) {
        SCOPED_TRACE(holder);
        OtherProgram program(pty_.SlavePath());
        if (holder == anotherPort) {
            comm_.Open();
        } else {
            ASSERT_TRUE(holder == terminalLock ? program.TakeLock() : program.SetExclusive());
        }
        EXPECT_EQ(GetPortState(5), 0);
        TVaComm other(nullptr);
        other.SetDeviceName("COM%d");
        other.SetPortNum(5);
        EXPECT_EQ(ErrorOf([&] { other.Open(); }),
                  "Can't open specified device COM5 (Error 16, Device or resource busy)");
        EXPECT_EQ(other.LastOpenError(), EBUSY);
        comm_.Close();
    }
    EXPECT_EQ(GetPortState(5), 1);
    comm_.Open();
    EXPECT_TRUE(comm_.Active());
}
#endif

TEST_F(CommTest, AFailingOpenHandlerIsShownAndTheOpenStands) {
    PlainFrameworkBinding framework;
    comm_.OnOpen = [](TObject*) { throw EVaCommError("handler failed"); };
    comm_.Open();
    EXPECT_TRUE(comm_.Active());
    EXPECT_EQ(framework.ShownErrors(), (std::vector<std::string>{"handler failed"}));
}

TEST_F(CommTest, DestructionClosesWithoutOnClose) {
    bool closed = false;
    {
        TVaComm comm(nullptr);
        comm.SetDeviceName(pty_.SlavePath());
        comm.OnClose = [&](TObject*) { closed = true; };
        comm.Open();
    }
    EXPECT_FALSE(closed);
    comm_.Open(); // the device was let go
    EXPECT_TRUE(comm_.Active());
}

TEST_F(CommTest, LoadingOpensAnAutoOpenPortOutsideTheDesigner) {
    comm_.BeginLoading();
    comm_.SetAutoOpen(true);
    comm_.SetDesigning(true);
    comm_.Loaded();
    EXPECT_FALSE(comm_.Active());
    comm_.SetDesigning(false);
    comm_.Loaded();
    EXPECT_TRUE(comm_.Active());
}

TEST_F(CommTest, ClosingDoesNotWaitForOutputThePeerHolds) {
    comm_.FlowControl().SetXonXoffOut(true);
    comm_.Buffers().SetReadTimeout(100);
    comm_.Open();
    pty_.Send("\x13"); // XOFF: the port must stop sending
    EXPECT_FALSE(comm_.WriteText(std::string(100000, 'x')));
    const auto start = std::chrono::steady_clock::now();
    comm_.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}
