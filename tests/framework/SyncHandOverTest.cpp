#include <q4471/framework/Thread.h>
#include <q4471/framework/plain/PlainFramework.h>

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

using namespace q4471;

namespace {

// Serves the GUI thread until `condition` holds.
bool PumpUntil(const std::function<bool()>& condition) {
    return PlainFrameworkBinding::PumpUntil(condition, std::chrono::seconds(10));
}

// Waits without serving the GUI thread, so that a call handed to it cannot run meanwhile.
bool HoldsWithin(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(SyncHandOverTest, PostReturnsBeforeTheCallRunsAndTheCallsRunInOrder) {
    TSyncHandOver handOver;
    std::vector<int> ran; // GUI thread only
    std::atomic<int> posted{0};
    std::thread poster([&] {
        for (int call = 1; call <= 3; ++call) {
            ASSERT_TRUE(handOver.Post([&ran, call] { ran.push_back(call); }));
            ++posted;
        }
    });
    // The first returns at once; the second waits until the GUI thread has taken the first.
    ASSERT_TRUE(HoldsWithin([&] { return posted >= 1; }));
    EXPECT_EQ(posted.load(), 1);
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(PumpUntil([&] { return ran.size() == 3; }));
    poster.join();
    handOver.WaitIdle();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST(SyncHandOverTest, AWaitNestedInACallRunsOtherCallsButNotTheNextOfTheSameHandOver) {
    TSyncHandOver handOver;
    std::vector<std::string> log; // GUI thread only
    std::atomic<bool> secondPosted{false};
    std::atomic<bool> otherRan{false};
    std::thread poster([&] {
        handOver.Post([&] {
            log.push_back("first begins");
            std::thread other([&] { TThread::Synchronize([&] { otherRan = true; }); });
            // As a modal dialog's loop would: serve the GUI thread until the second call waits.
            const bool served = PumpUntil([&] { return otherRan && secondPosted; });
            other.join();
            log.push_back(served ? "first ends" : "first timed out");
        });
        handOver.Post([&] { log.push_back("second"); });
        secondPosted = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 3; }));
    poster.join();
    EXPECT_EQ(log, (std::vector<std::string>{"first begins", "first ends", "second"}));
}

TEST(SyncHandOverTest, WithdrawTakesBackWaitingCallsAndTellsACallRunningUpTheStack) {
    struct Case {
        const char* name;
        bool fromInsideTheCall; // withdrawn by the GUI thread inside the running call
    };
    for (const Case c : {Case{"from another thread", false}, Case{"from inside the call", true}}) {
        SCOPED_TRACE(c.name);
        TSyncHandOver handOver;
        int ran = 0;
        bool toldRunning = false;
        ASSERT_TRUE(handOver.Post([&] {
            ++ran;
            if (c.fromInsideTheCall) {
                toldRunning = handOver.Withdraw();
            }
        }));
        std::atomic<bool> laterAnswer{true};
        if (c.fromInsideTheCall) {
            ASSERT_TRUE(PumpUntil([&] { return ran == 1; }));
            laterAnswer = handOver.Post([&] { ++ran; });
        } else {
            // A second call waits until the first is taken, which the withdrawal ends.
            std::thread poster([&] { laterAnswer = handOver.Post([&] { ++ran; }); });
            EXPECT_FALSE(handOver.Withdraw());
            poster.join();
        }
        CheckSynchronize();
        handOver.WaitIdle();
        EXPECT_FALSE(laterAnswer);
        EXPECT_EQ(ran, c.fromInsideTheCall ? 1 : 0);
        EXPECT_EQ(toldRunning, c.fromInsideTheCall);
        EXPECT_EQ(PendingSyncCalls(), 0u);
    }
}

} // namespace
