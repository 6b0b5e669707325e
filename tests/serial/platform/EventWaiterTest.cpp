#include "PtyPair.h"
#include "WaitUntil.h"
#include "serial/VaObjects.h"
#include "serial/Vaconst.h"
#include "serial/platform/CommPlatform.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace SerialPlatform;

namespace {

// A receive loop in miniature: waits for line events until stopped, counting its wake-ups.
class Waiter {
public:
    Waiter(THandle handle, TVaWaitEvent& stop)
        : waiter_(DefaultCommSystem().CreateEventWaiter(handle, stop.Handle())) {
        if (waiter_) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    ~Waiter() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool Created() const { return waiter_ != nullptr; }
    int Wakeups() const { return wakeups_; }
    uint32_t LastMask() const { return lastMask_; }
    TCommWaitResult End() const { return end_; }
    bool Ended() const { return ended_; }

private:
    void Run() {
        for (;;) {
            uint32_t mask = 0;
            const TCommWaitResult result = waiter_->WaitCommEvent(mask);
            if (result != cwEvents) {
                end_ = result;
                ended_ = true;
                return;
            }
            lastMask_ = mask;
            ++wakeups_;
        }
    }

    std::unique_ptr<ICommEventWaiter> waiter_;
    std::thread thread_;
    std::atomic<int> wakeups_{0};
    std::atomic<uint32_t> lastMask_{0};
    std::atomic<TCommWaitResult> end_{cwFailed};
    std::atomic<bool> ended_{false};
};

class EventWaiterTest : public testing::Test {
protected:
    void SetUp() override {
        handle_ = system_.CreateFile(pty_.SlavePath());
        ASSERT_NE(handle_, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(system_.SetCommMask(handle_, EV_RXCHAR | EV_ERR | EV_CTS));
    }
    void TearDown() override { system_.CloseHandle(handle_); }

    ICommSystem& system_ = DefaultCommSystem();
    PtyPair pty_;
    THandle handle_ = INVALID_HANDLE_VALUE;
    TVaWaitEvent stop_;
};

} // namespace

TEST_F(EventWaiterTest, SleepsWhileBytesStayUnreadAndWakesForNewOnes) {
    Waiter waiter(handle_, stop_);
    ASSERT_TRUE(waiter.Created());
    pty_.Send("12345");
    ASSERT_TRUE(WaitUntil([&] { return waiter.Wakeups() >= 1; }));
    EXPECT_EQ(waiter.LastMask(), EV_RXCHAR); // no bits a pseudo-terminal cannot show

    // The five bytes stay unread; the waiter must not wake for them again. Give it time to
    // misbehave: a level-triggered wait would wake thousands of times meanwhile.
    const int settled = waiter.Wakeups();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(waiter.Wakeups(), settled);
    EXPECT_EQ(pty_.SlaveInput(), 5);

    pty_.Send("6");
    EXPECT_TRUE(WaitUntil([&] { return waiter.Wakeups() > settled; }));

    const auto stopped = std::chrono::steady_clock::now();
    stop_.SetEvent();
    ASSERT_TRUE(WaitUntil([&] { return waiter.Ended(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(1));
    EXPECT_EQ(waiter.End(), cwStopped);
}

TEST_F(EventWaiterTest, TheStopSignalWinsOverWaitingBytes) {
    pty_.Send("abc");
    ASSERT_TRUE(WaitUntil([&] { return pty_.SlaveInput() == 3; }));
    stop_.SetEvent();
    Waiter waiter(handle_, stop_);
    ASSERT_TRUE(WaitUntil([&] { return waiter.Ended(); }));
    EXPECT_EQ(waiter.End(), cwStopped);
}

TEST_F(EventWaiterTest, AHangUpEndsTheWaiting) {
    Waiter waiter(handle_, stop_);
    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return waiter.Ended(); }));
    EXPECT_EQ(waiter.End(), cwDeviceGone);
}
