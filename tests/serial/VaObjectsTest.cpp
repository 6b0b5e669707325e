#include "serial/platform/LinuxSignals.h"

#include <q4471/serial/VaObjects.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uint32_t Generous = 10000; // ms; only a broken signal waits this long

bool Readable(const TVaEvent& event) {
    pollfd fd{SerialPlatform::DescriptorOf(event.Handle()), POLLIN, 0};
    return poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN) != 0;
}

TEST(VaEvent, ZeroWaitsFollowTheManualResetSignal) {
    TVaWaitEvent event;
    EXPECT_EQ(event.WaitFor(0), wrTimeout);
    EXPECT_FALSE(Readable(event));

    event.SetEvent();
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrSignaled); // a wait leaves it set
    EXPECT_TRUE(Readable(event));

    event.ResetEvent(); // once, after two sets
    EXPECT_EQ(event.WaitFor(0), wrTimeout);
    EXPECT_FALSE(Readable(event));
    EXPECT_EQ(event.LastError(), 0u);

    TVaEvent initiallySet(true, true, "ignored name");
    EXPECT_EQ(initiallySet.WaitFor(0), wrSignaled);
}

TEST(VaEvent, RealWaitTimesOutAfterItsTime) {
    TVaWaitEvent event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.WaitFor(50), wrTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(VaEvent, SetFromAnotherThreadWakesTheWaiterAndHandsOverData) {
    TVaWaitEvent event;
    int handedOver = 0; // plain: the signal must order it
    std::thread setter([&] {
        handedOver = 42;
        event.SetEvent();
    });
    EXPECT_EQ(event.WaitFor(VaInfinite), wrSignaled);
    EXPECT_EQ(handedOver, 42);
    setter.join();
}

TEST(VaEvent, AutoResetSignalIsTakenByOneWait) {
    TVaEvent event(false, true);
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrTimeout);

    // Two waiters, one set: one wakes and the signal is clear again for the other.
    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (event.WaitFor(Generous) == wrSignaled) {
            ++woken;
        }
    };
    std::thread first(waiter);
    std::thread second(waiter);
    event.SetEvent();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (woken == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(woken, 1);
    EXPECT_FALSE(Readable(event));
    event.SetEvent();
    first.join();
    second.join();
    EXPECT_EQ(woken, 2);
}

TEST(VaEvent, ListWaitAnswersTheFirstSetSignal) {
    TVaWaitEvent stop, purge, data;
    EXPECT_EQ(WaitForEvents({&stop, &purge, &data}, 0).Result, wrTimeout);

    data.SetEvent();
    purge.SetEvent();
    TVaWaitListResult result = WaitForEvents({&stop, &purge, &data}, 0);
    EXPECT_EQ(result.Result, wrSignaled);
    EXPECT_EQ(result.Index, 1u);
    result = WaitForEvents({&stop, &purge, &data}, 0);
    EXPECT_EQ(result.Index, 1u); // manual reset: still set

    purge.ResetEvent();
    data.ResetEvent();
    std::thread setter([&] { data.SetEvent(); });
    result = WaitForEvents({&stop, &purge, &data}, Generous);
    setter.join();
    EXPECT_EQ(result.Result, wrSignaled);
    EXPECT_EQ(result.Index, 2u);

    // An auto-reset signal that loses to an earlier one keeps its signal.
    TVaEvent pulse(false, true);
    result = WaitForEvents({&data, &pulse}, 0);
    EXPECT_EQ(result.Index, 0u);
    EXPECT_EQ(pulse.WaitFor(0), wrSignaled);

    EXPECT_EQ(WaitForEvents(std::span<TVaEvent* const>(), 0).Result, wrError);
}

TEST(VaEvent, FailedCreationAnswersErrorsAndDestroyClosesTheHandle) {
    // A signal made first also lets UBSan's type check learn the classes while it still has the
    // descriptors it needs itself; without them it reports the object under construction.
    int handle = -1;
    {
        TVaWaitEvent event;
        handle = SerialPlatform::DescriptorOf(event.Handle());
        ASSERT_GE(handle, 0);
    }
    EXPECT_EQ(fcntl(handle, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit none = saved;
    none.rlim_cur = static_cast<rlim_t>(lowestFree); // no further descriptor can be opened
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    TVaWaitEvent failed;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

    EXPECT_FALSE(failed.Handle().Valid());
    failed.SetEvent();
    failed.ResetEvent();
    EXPECT_EQ(failed.WaitFor(0), wrError);
    EXPECT_EQ(failed.LastError(), static_cast<uint32_t>(EMFILE));
    EXPECT_EQ(WaitForEvents({&failed}, 0).Error, static_cast<uint32_t>(EMFILE));
}

// Takes the lock twice on purpose: Clang's analysis counts no holds of a re-entrant lock.
void TakeAgainThenReleaseBoth() Q4471_NO_THREAD_SAFETY_ANALYSIS {
    TVaCriticalSection lock;
    TVaWaitEvent taken;
    lock.Acquire();
    lock.Enter(); // re-entrant: would deadlock otherwise
    lock.Release();
    std::thread other([&] {
        std::lock_guard guard(lock);
        taken.SetEvent();
    });
    EXPECT_EQ(taken.WaitFor(100), wrTimeout); // still held once
    lock.Leave();
    EXPECT_EQ(taken.WaitFor(Generous), wrSignaled);
    other.join();
}

TEST(VaCriticalSection, HolderMayTakeItAgainOthersWaitForTheLastRelease) {
    TakeAgainThenReleaseBoth();
}

} // namespace
