// The line-event waiter on real pseudo-terminal pairs; where a pseudo-terminal cannot show a
// condition (modem lines, counters, a failing driver call), stand-ins for the driver's line calls
// do, while the device's readability and hang-up stay real.

#include "serial/platform/LinuxEventWaiter.h"

#include "LinuxEventWaiterSupport.h"
#include "PtyPair.h"
#include "WaitUntil.h"
#include "serial/platform/CommPlatform.h"
#include "serial/platform/LinuxCommSystem.h"
#include "serial/platform/LinuxLineCounters.h"
#include "support/ProcessEntries.h"

#include <q4471/serial/CommCodes.h>
#include <q4471/serial/VaObjects.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

using namespace SerialPlatform;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t AllLineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
constexpr uint32_t EveryEvent = 0x1FFF;

// Time enough for a waiter to misbehave (wake when it must not) before the test looks.
constexpr auto QuietTime = 200ms;

// A port on the slave side of a pseudo-terminal pair, opened through its own LinuxCommSystem,
// with the event mask set.
class TestPort {
public:
    explicit TestPort(uint32_t mask) {
        handle_ = system_.CreateFile(pty_.SlavePath());
        if (handle_ != INVALID_HANDLE_VALUE && !system_.SetCommMask(handle_, mask)) {
            system_.CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }
    ~TestPort() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            system_.CloseHandle(handle_);
        }
    }
    TestPort(const TestPort&) = delete;
    TestPort& operator=(const TestPort&) = delete;

    bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }
    PtyPair& Pty() { return pty_; }
    TVaWaitEvent& Stop() { return stop_; }
    LinuxCommSystem& System() { return system_; }

    // The waiter as the component gets it.
    std::unique_ptr<ICommEventWaiter> HostWaiter() {
        return system_.CreateEventWaiter(handle_, stop_.Handle());
    }
    // A waiter whose line calls go to `driver`.
    std::unique_ptr<LinuxEventWaiter> StandInWaiter(StandInDriver& driver) {
        return LinuxEventWaiter::Create(system_, handle_, stop_.Handle(), driver.Calls());
    }

private:
    PtyPair pty_;
    LinuxCommSystem system_;
    TVaWaitEvent stop_;
    THandle handle_ = INVALID_HANDLE_VALUE;
};

// Stops the loop and checks that it answers cwStopped promptly.
void ExpectStoppedPromptly(TestPort& port, WaitLoop& loop) {
    const auto stopped = std::chrono::steady_clock::now();
    port.Stop().SetEvent();
    ASSERT_TRUE(WaitUntil([&] { return loop.Ended(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 1s);
    EXPECT_EQ(loop.End(), cwStopped);
}

} // namespace

TEST(EventWaiterTest, SleepsWhileBytesStayUnreadAndWakesForNewOnes) {
    TestPort port(EV_RXCHAR | EV_ERR | EV_CTS);
    ASSERT_TRUE(port.Open());
    WaitLoop loop(port.HostWaiter(), port.Stop());
    ASSERT_TRUE(loop.Created());
    port.Pty().Send("12345");
    ASSERT_TRUE(WaitUntil([&] { return loop.Wakeups() >= 1; }));
    EXPECT_EQ(loop.LastMask(), EV_RXCHAR); // no bits a pseudo-terminal cannot show

    // The five bytes stay unread; the waiter must not wake for them again. Give it time to
    // misbehave: a level-triggered wait would wake thousands of times meanwhile.
    const int settled = loop.Wakeups();
    std::this_thread::sleep_for(QuietTime);
    EXPECT_EQ(loop.Wakeups(), settled);
    EXPECT_EQ(port.Pty().SlaveInput(), 5);

    port.Pty().Send("6");
    EXPECT_TRUE(WaitUntil([&] { return loop.Wakeups() > settled; }));
    std::this_thread::sleep_for(QuietTime);
    EXPECT_EQ(loop.Wakeups(), settled + 1);
    for (const uint32_t mask : loop.Masks()) {
        EXPECT_EQ(mask, EV_RXCHAR);
    }

    ExpectStoppedPromptly(port, loop);
}

TEST(EventWaiterTest, TheStopSignalWinsOverWaitingBytes) {
    TestPort port(EV_RXCHAR);
    ASSERT_TRUE(port.Open());
    port.Pty().Send("abc");
    ASSERT_TRUE(WaitUntil([&] { return port.Pty().SlaveInput() == 3; }));
    port.Stop().SetEvent();
    WaitLoop loop(port.HostWaiter(), port.Stop());
    ASSERT_TRUE(WaitUntil([&] { return loop.Ended(); }));
    EXPECT_EQ(loop.End(), cwStopped);
    EXPECT_EQ(loop.Wakeups(), 0);
}

TEST(EventWaiterTest, AMaskedOutBitIsNeverReported) {
    // Bytes arrive, but the mask asks for everything except them.
    TestPort port(EveryEvent & ~EV_RXCHAR);
    ASSERT_TRUE(port.Open());
    WaitLoop loop(port.HostWaiter(), port.Stop());
    ASSERT_TRUE(loop.Created());
    port.Pty().Send("abc");
    ASSERT_TRUE(WaitUntil([&] { return port.Pty().SlaveInput() == 3; }));
    port.Pty().Send("def");
    std::this_thread::sleep_for(QuietTime);
    EXPECT_EQ(loop.Wakeups(), 0);
    EXPECT_FALSE(loop.Ended());
    ExpectStoppedPromptly(port, loop);
}

TEST(EventWaiterTest, APseudoTerminalShowsNoLineEventsAndGetsNoWatcher) {
    TestPort port(EveryEvent);
    ASSERT_TRUE(port.Open());
    auto real = port.HostWaiter();
    ASSERT_NE(real, nullptr);
    EXPECT_FALSE(static_cast<LinuxEventWaiter&>(*real).WatchingLines()); // TIOCMGET: ENOTTY
    WaitLoop loop(std::move(real), port.Stop());
    port.Pty().Send("x");
    ASSERT_TRUE(WaitUntil([&] { return loop.Wakeups() >= 1; }));
    std::this_thread::sleep_for(QuietTime);
    EXPECT_EQ(loop.Masks(), std::vector<uint32_t>{EV_RXCHAR});
    ExpectStoppedPromptly(port, loop);
}

TEST(EventWaiterTest, NoWaiterWithoutADeviceToWaitOn) {
    TestPort port(EV_RXCHAR);
    ASSERT_TRUE(port.Open());
    const int descriptors = OpenDescriptors();
    EXPECT_EQ(port.System().CreateEventWaiter(INVALID_HANDLE_VALUE, port.Stop().Handle()), nullptr);
    EXPECT_EQ(GetLastError(), EBADF);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST(EventWaiterTest, LeavesNoDescriptorAndNoThreadBehind) {
    struct Row {
        std::string name;
        bool standIns; // with stand-ins the modem-line watcher runs
    };
    for (const Row& row : {Row{"host calls on a pseudo-terminal", false},
                           Row{"stand-ins with a modem-line watcher", true}}) {
        SCOPED_TRACE(row.name);
        TestPort port(EV_RXCHAR | AllLineEvents);
        ASSERT_TRUE(port.Open());
        StandInDriver driver;
        const int descriptors = OpenDescriptors();
        const ThreadIdSet before = ThreadIds();
        {
            std::unique_ptr<ICommEventWaiter> waiter;
            if (row.standIns) {
                waiter = port.StandInWaiter(driver);
            } else {
                waiter = port.HostWaiter();
            }
            ASSERT_NE(waiter, nullptr);
            EXPECT_EQ(ThreadsStartedSince(before).size(), row.standIns ? 1u : 0u);
            WaitLoop loop(std::move(waiter), port.Stop());
            port.Pty().Send("x");
            ASSERT_TRUE(WaitUntil([&] { return loop.Wakeups() >= 1; }));
            if (row.standIns) {
                ASSERT_TRUE(WaitUntil([&] { return driver.Blocked(); }));
            }
            ExpectStoppedPromptly(port, loop);
            loop.Destroy();
        }
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_TRUE(WaitUntil([&] { return NoThreadStartedSince(before); }))
            << ThreadsStartedSince(before).size() << " threads left running";
    }
}

// A device that goes away: the wait answers cwDeviceGone with the system's error code, and every
// later wait answers the same at once.
TEST(EventWaiterTest, ADeviceThatGoesAwayEndsTheWaiting) {
    struct Row {
        std::string name;
        bool standIns;
        uint32_t mask;
        std::function<void(PtyPair&, StandInDriver&)> goAway;
        int error;
    };
    const Row table[] = {
        {"the master closes (a hang-up has no error code of its own)", false, EveryEvent,
         [](PtyPair& pty, StandInDriver&) { pty.CloseMaster(); }, EIO},
        {"the master closes, stand-in lines and counters", true, EveryEvent,
         [](PtyPair& pty, StandInDriver&) { pty.CloseMaster(); }, EIO},
        {"the master closes, mask without EV_RXCHAR", false, EV_CTS | EV_ERR,
         [](PtyPair& pty, StandInDriver&) { pty.CloseMaster(); }, EIO},
        {"the watcher's wait answers ENODEV", true, EV_RXCHAR | EV_CTS,
         [](PtyPair&, StandInDriver& driver) {
             driver.AnswerWaitWith(ENODEV);
             driver.WakeWait();
         },
         ENODEV},
        {"the counters answer ENXIO when bytes wake the waiter", true, EV_RXCHAR | EV_ERR,
         [](PtyPair& pty, StandInDriver& driver) {
             driver.AnswerCountersWith(ENXIO);
             pty.Send("x");
         },
         ENXIO},
        {"the lines answer EIO when a line change wakes the waiter", true, EV_DSR,
         [](PtyPair&, StandInDriver& driver) {
             driver.AnswerLinesWith(EIO);
             driver.ChangeLines(TIOCM_DSR);
         },
         EIO},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        TestPort port(row.mask);
        ASSERT_TRUE(port.Open());
        StandInDriver driver;
        std::unique_ptr<ICommEventWaiter> waiter;
        if (row.standIns) {
            waiter = port.StandInWaiter(driver);
        } else {
            waiter = port.HostWaiter();
        }
        WaitLoop loop(std::move(waiter), port.Stop());
        ASSERT_TRUE(loop.Created());
        row.goAway(port.Pty(), driver);
        ASSERT_TRUE(WaitUntil([&] { return loop.Ended(); }));
        EXPECT_EQ(loop.End(), cwDeviceGone);
        EXPECT_EQ(loop.EndError(), row.error) << SysErrorMessage(loop.EndError());
        EXPECT_TRUE(DeviceHasGone(loop.EndError()));
        for (int again = 0; again < 2; ++again) {
            const PromptAnswer answer = WaitAgain(loop.Waiter(), port.Stop());
            EXPECT_TRUE(answer.inTime);
            EXPECT_EQ(answer.result, cwDeviceGone);
            EXPECT_EQ(answer.error, row.error);
        }
    }
}

TEST(EventWaiterTest, EventsThatComeWithTheDeviceGoingAwayAreDeliveredFirst) {
    TestPort port(EV_RXCHAR | EV_ERR | EV_RLSD);
    ASSERT_TRUE(port.Open());
    StandInDriver driver;
    driver.SetLinesQuietly(TIOCM_CD | TIOCM_DSR);
    WaitLoop loop(port.StandInWaiter(driver), port.Stop());
    ASSERT_TRUE(loop.Created());
    ASSERT_TRUE(WaitUntil([&] { return driver.Blocked(); }));

    // The adapter is pulled: the carrier drops, a frame error is counted, and the driver's wait
    // answers that the device has gone.
    driver.ChangeCounters([](serial_icounter_struct& c) { ++c.frame; });
    driver.SetLinesQuietly(TIOCM_DSR);
    driver.AnswerWaitWith(EIO);
    driver.WakeWait();

    ASSERT_TRUE(WaitUntil([&] { return loop.Ended(); }));
    EXPECT_EQ(loop.Masks(), std::vector<uint32_t>{EV_ERR | EV_RLSD});
    EXPECT_EQ(loop.End(), cwDeviceGone);
    EXPECT_EQ(loop.EndError(), EIO);
}

// Line events from the stand-in driver: the lines change and the watcher's wait returns, as a
// UART's modem-status interrupt would make it; line errors and breaks come with a byte.
TEST(EventWaiterTest, LineChangesAndCountersGiveTheBitsOfTheMask) {
    constexpr uint32_t LineMask = EV_RXCHAR | AllLineEvents;
    struct Row {
        std::string name;
        uint32_t mask;
        int linesBefore;
        std::function<void(PtyPair&, StandInDriver&)> happen;
        uint32_t expected; // 0: nothing is reported
    };
    const Row table[] = {
        {"CTS rises", LineMask, 0, [](PtyPair&, StandInDriver& d) { d.ChangeLines(TIOCM_CTS); },
         EV_CTS},
        {"DSR and carrier fall together", LineMask, TIOCM_DSR | TIOCM_CD,
         [](PtyPair&, StandInDriver& d) { d.ChangeLines(0); }, EV_DSR | EV_RLSD},
        {"the ring starts", LineMask, TIOCM_DSR,
         [](PtyPair&, StandInDriver& d) { d.ChangeLines(TIOCM_DSR | TIOCM_RNG); }, EV_RING},
        {"CTS pulses: the line looks the same, its counter grew", LineMask, TIOCM_CTS,
         [](PtyPair&, StandInDriver& d) {
             d.ChangeCounters([](serial_icounter_struct& c) { c.cts += 2; });
             d.WakeWait();
         },
         EV_CTS},
        {"ring and CTS change, the mask has only CTS", EV_RXCHAR | EV_CTS, 0,
         [](PtyPair&, StandInDriver& d) { d.ChangeLines(TIOCM_RNG | TIOCM_CTS); }, EV_CTS},
        {"the ring starts, not in the mask", EV_RXCHAR | EV_CTS | EV_DSR, 0,
         [](PtyPair&, StandInDriver& d) { d.ChangeLines(TIOCM_RNG); }, 0},
        {"the output lines change", LineMask, 0,
         [](PtyPair&, StandInDriver& d) { d.ChangeLines(TIOCM_DTR | TIOCM_RTS); }, 0},
        {"a frame error comes with its byte", EV_RXCHAR | EV_ERR, 0,
         [](PtyPair& pty, StandInDriver& d) {
             d.ChangeCounters([](serial_icounter_struct& c) { ++c.frame; });
             pty.Send(std::string(1, '\0'));
         },
         EV_RXCHAR | EV_ERR},
        {"an overrun, the mask without EV_RXCHAR", EV_ERR | EV_BREAK, 0,
         [](PtyPair& pty, StandInDriver& d) {
             d.ChangeCounters([](serial_icounter_struct& c) { ++c.overrun; });
             pty.Send("y");
         },
         EV_ERR},
        {"a break comes with its byte", EV_RXCHAR | EV_BREAK | EV_ERR, 0,
         [](PtyPair& pty, StandInDriver& d) {
             d.ChangeCounters([](serial_icounter_struct& c) { ++c.brk; });
             pty.Send(std::string(1, '\0'));
         },
         EV_RXCHAR | EV_BREAK},
        {"a parity error, the mask without EV_ERR", EV_RXCHAR, 0,
         [](PtyPair& pty, StandInDriver& d) {
             d.ChangeCounters([](serial_icounter_struct& c) { ++c.parity; });
             pty.Send("z");
         },
         EV_RXCHAR},
        {"a parity error alone, the mask without EV_ERR", EV_BREAK, 0,
         [](PtyPair& pty, StandInDriver& d) {
             d.ChangeCounters([](serial_icounter_struct& c) { ++c.parity; });
             pty.Send("z");
         },
         0},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        TestPort port(row.mask);
        ASSERT_TRUE(port.Open());
        StandInDriver driver;
        driver.SetLinesQuietly(row.linesBefore);
        auto waiter = port.StandInWaiter(driver);
        ASSERT_NE(waiter, nullptr);
        const bool watching = (row.mask & AllLineEvents) != 0;
        EXPECT_EQ(waiter->WatchingLines(), watching);
        WaitLoop loop(std::move(waiter), port.Stop());
        if (watching) {
            ASSERT_TRUE(WaitUntil([&] { return driver.Blocked(); }));
            EXPECT_EQ(driver.WatchedLines(), InputLinesOf(row.mask)); // what TIOCMIWAIT is given
        }
        row.happen(port.Pty(), driver);
        if (row.expected != 0) {
            ASSERT_TRUE(WaitUntil([&] { return loop.Wakeups() >= 1; }));
        }
        std::this_thread::sleep_for(QuietTime);
        EXPECT_EQ(loop.Masks(), row.expected != 0 ? std::vector<uint32_t>{row.expected}
                                                  : std::vector<uint32_t>{});
        ExpectStoppedPromptly(port, loop);
    }
}

TEST(EventWaiterTest, WithoutTheDriversWaitLineChangesAreSeenAtTheNextWake) {
    TestPort port(EV_RXCHAR | EV_CTS | EV_DSR);
    ASSERT_TRUE(port.Open());
    StandInDriver driver;
    driver.AnswerWaitWith(ENOTTY); // TIOCMGET answers, TIOCMIWAIT does not
    WaitLoop loop(port.StandInWaiter(driver), port.Stop());
    ASSERT_TRUE(loop.Created());
    // The watcher's end wakes the waiter, which then reads the lines for the second time.
    ASSERT_TRUE(WaitUntil([&] { return driver.LinesReadings() >= 2; }));
    EXPECT_EQ(driver.WaitsEntered(), 1);

    driver.SetLinesQuietly(TIOCM_CTS); // nothing can wake the waiter for this
    std::this_thread::sleep_for(QuietTime);
    EXPECT_EQ(loop.Wakeups(), 0);

    port.Pty().Send("x");
    ASSERT_TRUE(WaitUntil([&] { return loop.Wakeups() >= 1; }));
    driver.SetLinesQuietly(TIOCM_CTS | TIOCM_DSR);
    port.Pty().Send("y");
    ASSERT_TRUE(WaitUntil([&] { return loop.Wakeups() >= 2; }));
    std::this_thread::sleep_for(QuietTime);
    EXPECT_EQ(loop.Masks(), (std::vector<uint32_t>{EV_RXCHAR | EV_CTS, EV_RXCHAR | EV_DSR}));
    EXPECT_EQ(driver.WaitsEntered(), 1); // the watcher ended at its first answer
    ExpectStoppedPromptly(port, loop);
}

TEST(EventWaiterTest, AFailedDriverCallIsReportedOnceAndTheWaitGoesOn) {
    TestPort port(EV_RXCHAR | EV_ERR);
    ASSERT_TRUE(port.Open());
    StandInDriver driver;
    WaitLoop first(port.StandInWaiter(driver), port.Stop());
    ASSERT_TRUE(first.Created());
    driver.AnswerCountersWith(EPERM); // neither "has none" nor "gone"
    port.Pty().Send("x");
    ASSERT_TRUE(WaitUntil([&] { return first.Ended(); }));
    // The byte is delivered first, then the failure.
    EXPECT_EQ(first.Masks(), std::vector<uint32_t>{EV_RXCHAR});
    EXPECT_EQ(first.End(), cwFailed);
    EXPECT_EQ(first.EndError(), EPERM);

    // The next wait waits again (the counters are no longer read) and sees new bytes.
    std::atomic<bool> done{false};
    uint32_t mask = 0;
    TCommWaitResult result = cwFailed;
    std::thread again([&] {
        result = first.Waiter().WaitCommEvent(mask);
        done = true;
    });
    std::this_thread::sleep_for(QuietTime);
    EXPECT_FALSE(done);
    port.Pty().Send("y");
    EXPECT_TRUE(WaitUntil([&] { return done.load(); }));
    if (!done) {
        port.Stop().SetEvent();
    }
    again.join();
    EXPECT_EQ(result, cwEvents);
    EXPECT_EQ(mask, EV_RXCHAR);
}
