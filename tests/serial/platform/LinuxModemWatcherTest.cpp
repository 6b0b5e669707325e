// The modem-line watcher with a blocking stand-in for TIOCMIWAIT (a pseudo-terminal has no modem
// lines to wait on): a change wakes it, and a stop releases it from the blocked wait by its
// signal. Without the signal the stop tests would hang; a rescue of the stand-in makes them fail
// instead.

#include "serial/platform/LinuxModemWatcher.h"

#include "LinuxEventWaiterSupport.h"
#include "PtyPair.h"
#include "WaitUntil.h"
#include "serial/platform/CommPlatform.h"
#include "serial/platform/LinuxCommSystem.h"
#include "serial/platform/LinuxEventWaiter.h"
#include "support/ProcessEntries.h"

#include <q4471/serial/CommCodes.h>
#include <q4471/serial/VaObjects.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>

using namespace SerialPlatform;
using namespace std::chrono_literals;

namespace {

// A deadline generous for a slow machine; a release that works takes milliseconds.
constexpr auto ReleaseDeadline = 10s;

constexpr int AllInputLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;

bool Readable(int fd, std::chrono::milliseconds wait) {
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, static_cast<int>(wait.count())) == 1 && (ready.revents & POLLIN) != 0;
}

// Runs `stop` on another thread and answers whether it finished within the deadline. If it did
// not, the stand-in is rescued so that the test ends (failing) instead of hanging.
bool FinishesInTime(const std::function<void()>& stop, StandInDriver& driver) {
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        stop();
        done = true;
    });
    const bool inTime = WaitUntil([&] { return done.load(); }, ReleaseDeadline);
    if (!inTime) {
        driver.Rescue();
    }
    stopper.join();
    return inTime;
}

} // namespace

TEST(ModemWatcherTest, ALineChangeWakesItsDescriptor) {
    StandInDriver driver;
    auto watcher = LinuxModemWatcher::Start(-1, TIOCM_CTS, driver.Calls().waitForLineChange);
    ASSERT_NE(watcher, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return driver.Blocked(); }));
    EXPECT_EQ(driver.WatchedLines(), TIOCM_CTS);
    EXPECT_FALSE(Readable(watcher->WakeDescriptor(), 0ms));

    driver.ChangeLines(TIOCM_CTS);
    EXPECT_TRUE(Readable(watcher->WakeDescriptor(), ReleaseDeadline));
    watcher->TakeWake();
    EXPECT_FALSE(Readable(watcher->WakeDescriptor(), 0ms));
    int error = 0;
    EXPECT_FALSE(watcher->Ended(error));

    // It waits again for the next change.
    ASSERT_TRUE(WaitUntil([&] { return driver.WaitsEntered() == 2 && driver.Blocked(); }));
    driver.ChangeLines(0);
    EXPECT_TRUE(Readable(watcher->WakeDescriptor(), ReleaseDeadline));
}

TEST(ModemWatcherTest, StopReleasesAWatcherBlockedInTheWait) {
    StandInDriver driver;
    const ThreadIdSet before = ThreadIds();
    auto watcher = LinuxModemWatcher::Start(-1, AllInputLines, driver.Calls().waitForLineChange);
    ASSERT_NE(watcher, nullptr);
    EXPECT_EQ(ThreadsStartedSince(before).size(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return driver.Blocked(); }));

    EXPECT_TRUE(FinishesInTime([&] { watcher.reset(); }, driver));
    EXPECT_GE(driver.Interruptions(), 1); // released by the signal, not by the rescue
    EXPECT_FALSE(driver.Blocked());
    EXPECT_EQ(driver.WaitsEntered(), 1);
    EXPECT_TRUE(WaitUntil([&] { return NoThreadStartedSince(before); }));
}

TEST(ModemWatcherTest, StopReleasesAWatcherThatEntersTheWaitAfterTheFirstSignal) {
    // The watcher has checked its stop flag and is on its way into the wait when the stop comes:
    // the first signal is spent before the blocking call begins, and only a later one releases
    // it.
    StandInDriver driver;
    driver.LingerBeforeWaiting(300ms);
    auto watcher = LinuxModemWatcher::Start(-1, AllInputLines, driver.Calls().waitForLineChange);
    ASSERT_NE(watcher, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return driver.Lingering(); }));

    EXPECT_TRUE(FinishesInTime([&] { watcher->Stop(); }, driver));
    EXPECT_GE(driver.LingerInterruptions(), 1); // signals that came before the wait
    EXPECT_GE(driver.Interruptions(), 1);       // and the one that released it
    EXPECT_EQ(driver.WaitsEntered(), 1);
    watcher->Stop(); // a second stop does nothing
}

TEST(ModemWatcherTest, AFailedWaitEndsTheWatcherAndWakesItsDescriptor) {
    struct Row {
        std::string name;
        int error;
    };
    for (const Row& row :
         {Row{"the driver cannot wait for lines", ENOTTY},
          Row{"the driver refuses the request", EINVAL}, Row{"the device hung up", EIO},
          Row{"the adapter was pulled", ENODEV}, Row{"another failure", EPERM}}) {
        SCOPED_TRACE(row.name);
        StandInDriver driver;
        driver.AnswerWaitWith(row.error);
        const ThreadIdSet before = ThreadIds();
        auto watcher = LinuxModemWatcher::Start(-1, TIOCM_DSR, driver.Calls().waitForLineChange);
        ASSERT_NE(watcher, nullptr);
        EXPECT_TRUE(Readable(watcher->WakeDescriptor(), ReleaseDeadline));
        int error = 0;
        ASSERT_TRUE(WaitUntil([&] { return watcher->Ended(error); }));
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(driver.WaitsEntered(), 1); // it does not try again
        EXPECT_TRUE(FinishesInTime([&] { watcher.reset(); }, driver));
        EXPECT_TRUE(WaitUntil([&] { return NoThreadStartedSince(before); }));
    }
}

TEST(ModemWatcherTest, ThePseudoTerminalsDriverHasNoWaitForLines) {
    PtyPair pty;
    const FileDescriptor slave(open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(slave.Valid());
    const int code = LinuxModemWatcher::WaitForLineChange(slave.Get(), AllInputLines);
    EXPECT_TRUE(DriverHasNo(code)) << SysErrorMessage(code);

    auto watcher =
        LinuxModemWatcher::Start(slave.Get(), AllInputLines, LinuxModemWatcher::WaitForLineChange);
    ASSERT_NE(watcher, nullptr);
    int error = 0;
    ASSERT_TRUE(WaitUntil([&] { return watcher->Ended(error); }));
    EXPECT_TRUE(DriverHasNo(error));
}

TEST(ModemWatcherTest, TheReleaseHandlerIsInstalledOnlyOverTheDefault) {
    const int unused = SIGRTMAX - 6;
    const int taken = SIGRTMAX - 7;
    ASSERT_NE(unused, LinuxModemWatcher::ReleaseSignal());
    ASSERT_NE(taken, LinuxModemWatcher::ReleaseSignal());
    signal(unused, SIG_DFL);
    signal(taken, SIG_IGN);

    EXPECT_TRUE(LinuxModemWatcher::InstallReleaseHandler(unused));
    struct sigaction installed {};
    ASSERT_EQ(sigaction(unused, nullptr, &installed), 0);
    EXPECT_NE(installed.sa_handler, SIG_DFL);
    EXPECT_NE(installed.sa_handler, SIG_IGN);
    EXPECT_EQ(installed.sa_flags & (SA_RESTART | SA_SIGINFO), 0);
    EXPECT_TRUE(LinuxModemWatcher::InstallReleaseHandler(unused)); // again: already in place

    EXPECT_FALSE(LinuxModemWatcher::InstallReleaseHandler(taken));
    struct sigaction left {};
    ASSERT_EQ(sigaction(taken, nullptr, &left), 0);
    EXPECT_EQ(left.sa_handler, SIG_IGN);

    signal(unused, SIG_DFL);
    signal(taken, SIG_DFL);

    // The watcher's own signal, once a watcher has started.
    StandInDriver driver;
    driver.AnswerWaitWith(ENOTTY);
    ASSERT_NE(LinuxModemWatcher::Start(-1, TIOCM_CTS, driver.Calls().waitForLineChange), nullptr);
    struct sigaction release {};
    ASSERT_EQ(sigaction(LinuxModemWatcher::ReleaseSignal(), nullptr, &release), 0);
    EXPECT_NE(release.sa_handler, SIG_DFL);
    EXPECT_EQ(release.sa_flags & SA_RESTART, 0);
}

// The waiter with a watcher in the stand-in, on a pseudo-terminal whose mask asks for the modem
// lines.
class EventWaiterWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle = system.CreateFile(pty.SlavePath());
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(system.SetCommMask(handle, EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING));
    }
    void TearDown() override { system.CloseHandle(handle); }

    PtyPair pty;
    LinuxCommSystem system;
    THandle handle = INVALID_HANDLE_VALUE;
};

TEST_F(EventWaiterWatcherTest, StopAnswersPromptlyWhileTheWatcherIsBlocked) {
    TVaWaitEvent stop;
    StandInDriver driver;
    const int descriptors = OpenDescriptors();
    const ThreadIdSet before = ThreadIds();
    {
        auto waiter = LinuxEventWaiter::Create(system, handle, stop.Handle(), driver.Calls());
        ASSERT_NE(waiter, nullptr);
        ASSERT_TRUE(waiter->WatchingLines());
        WaitLoop loop(std::move(waiter), stop);
        ASSERT_TRUE(WaitUntil([&] { return driver.Blocked(); }));

        driver.ChangeLines(TIOCM_CTS | TIOCM_CD);
        ASSERT_TRUE(WaitUntil([&] { return loop.Wakeups() == 1; }));
        EXPECT_EQ(loop.LastMask(), EV_CTS | EV_RLSD);
        ASSERT_TRUE(WaitUntil([&] { return driver.WaitsEntered() == 2 && driver.Blocked(); }));

        const auto stopped = std::chrono::steady_clock::now();
        stop.SetEvent();
        ASSERT_TRUE(WaitUntil([&] { return loop.Ended(); }));
        EXPECT_LT(std::chrono::steady_clock::now() - stopped, 1s);
        EXPECT_EQ(loop.End(), cwStopped);
        EXPECT_TRUE(driver.Blocked()); // the stop did not need the watcher

        // Destroying the waiter releases the watcher from its wait and joins it.
        EXPECT_TRUE(FinishesInTime([&] { loop.Destroy(); }, driver));
        EXPECT_GE(driver.Interruptions(), 1);
    }
    EXPECT_TRUE(WaitUntil([&] { return NoThreadStartedSince(before); }));
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// A change that no wait of the driver sees: it comes after one wait has ended and before the next
// has begun, or before the first.
TEST_F(EventWaiterWatcherTest, AChangeBetweenTwoWaitsIsReportedWhereTheDriverCounts) {
    struct Row {
        std::string name;
        bool countersKept;
        bool beforeFirstWait; // otherwise right after the wake of a change on another line
        uint32_t reported;
    };
    for (const Row& row : {
             Row{"after a wake", true, false, EV_CTS | EV_DSR},
             Row{"between the waiter's first reading and the first wait", true, true, EV_DSR},
             // As TIOCMIWAIT alone allows: the change that ends the wait, by the lines.
             Row{"no counters: the lines tell the change that ends a wait", false, false, EV_CTS},
         }) {
        SCOPED_TRACE(row.name);
        TVaWaitEvent stop;
        StandInDriver driver;
        if (!row.countersKept) {
            driver.AnswerCountersWith(ENOTTY);
        }
        const auto growDsr = [](serial_icounter_struct& counters) { ++counters.dsr; };
        if (row.beforeFirstWait) {
            driver.ChangeCountersAfterNextReading(growDsr);
        }
        WaitLoop loop(LinuxEventWaiter::Create(system, handle, stop.Handle(), driver.Calls()),
                      stop);
        ASSERT_TRUE(loop.Created());
        ASSERT_TRUE(WaitUntil([&] { return driver.Blocked(); }));
        int waits = 1;
        if (!row.beforeFirstWait) {
            driver.ChangeCountersAfterNextReading(growDsr);
            driver.ChangeCounters([](serial_icounter_struct& counters) { ++counters.cts; });
            driver.ChangeLines(TIOCM_CTS);
            waits = 2;
        }
        const auto reported = [&] {
            uint32_t all = 0;
            for (const uint32_t mask : loop.Masks()) {
                all |= mask;
            }
            return all;
        };
        EXPECT_TRUE(WaitUntil([&] { return reported() == row.reported; })) << reported();
        EXPECT_TRUE(WaitUntil([&] { return driver.WaitsEntered() == waits && driver.Blocked(); }));
        stop.SetEvent();
        EXPECT_TRUE(FinishesInTime([&] { loop.Destroy(); }, driver));
        EXPECT_EQ(reported(), row.reported);
    }
}
