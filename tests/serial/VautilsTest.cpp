#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>
#include <q4471/framework/plain/PlainFramework.h>
#include <q4471/serial/Vautils.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace q4471;

namespace {

using namespace std::chrono_literals;

TEST(VaTimer, ExpiresStrictlyAfterItsDurationAcrossTheWrap) {
    TVaTimeEvent timer;
    InitTimerAt(timer, 1000, 5000);
    EXPECT_FALSE(TimerExpiredAt(timer, 6000));
    EXPECT_TRUE(TimerExpiredAt(timer, 6001));

    InitTimerAt(timer, 0, 7);
    EXPECT_FALSE(TimerExpiredAt(timer, 7));
    EXPECT_TRUE(TimerExpiredAt(timer, 8));

    InitTimerAt(timer, 1000, 0xFFFFFF00); // 256 ms before the counter wraps
    EXPECT_FALSE(TimerExpiredAt(timer, 0xFFFFFFFF));
    EXPECT_FALSE(TimerExpiredAt(timer, 0xFFFFFF00u + 1000u)); // wrapped to 0x2E8
    EXPECT_TRUE(TimerExpiredAt(timer, 0xFFFFFF00u + 1001u));
}

TEST(VaTimer, RealTimerExpiresWithTheClock) {
    TVaTimeEvent timer;
    const auto start = std::chrono::steady_clock::now();
    InitTimer(timer, 20);
    EXPECT_FALSE(TimerExpiredAt(timer, timer.Start + 20));
    EXPECT_GT(TimerRemaining(timer), 0u);
    EXPECT_LE(TimerRemaining(timer), 21u);
    // A wait of what remains ends with the timer expired.
    std::this_thread::sleep_for(std::chrono::milliseconds(TimerRemaining(timer)));
    while (!TimerExpired(timer) && std::chrono::steady_clock::now() - start < 10s) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(TimerExpired(timer));
    EXPECT_EQ(TimerRemaining(timer), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
    InitTimer(timer, -1); // the longest timer still leaves a limited wait
    EXPECT_LT(TimerRemaining(timer), 0xFFFFFFFFu);
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

TEST(VaSysDelay, WaitsItsTimeWithoutBurningACore) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = ThreadCpuMs();
    SysDelay(300, false);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_LT(ThreadCpuMs() - cpuBefore, 150.0);

    const auto negative = std::chrono::steady_clock::now();
    SysDelay(-1, false);
    EXPECT_LT(std::chrono::steady_clock::now() - negative, 5s);
}

TEST(VaSysDelay, RunsCallsHandedToTheGuiThreadMeanwhile) {
    PlainFrameworkBinding framework;
    std::atomic<bool> calling{false};
    std::atomic<bool> ran{false};
    std::thread worker([&] {
        calling = true;
        TThread::Synchronize([&] { ran = true; });
    });
    while (!calling) {
        std::this_thread::yield();
    }
    // Short delays until the call has run: only a delay that runs it ends the loop in time.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ran && std::chrono::steady_clock::now() < deadline) {
        SysDelay(20, true);
    }
    EXPECT_TRUE(ran);
    PlainFrameworkBinding::PumpUntil([&] { return ran.load(); }); // frees the worker regardless
    worker.join();
}

TEST(VaSysDelay, LetsTheGuiDispatchItsMessagesOnlyWhenAsked) {
    int pumped = 0;
    Application::SetMessagePump([&](int timeoutMs) {
        ++pumped;
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    });
    SysDelay(30, false);
    EXPECT_EQ(pumped, 0);
    SysDelay(30, true);
    EXPECT_GE(pumped, 1);
    Application::SetMessagePump(nullptr);
}

TEST(VaHelpers, BitTestsMinimumAndShownCharacter) {
    EXPECT_TRUE(BitOn(0x80, 0x81));
    EXPECT_FALSE(BitOn(0x02, 0x81));
    EXPECT_TRUE(BitOff(0x02, 0x81));
    EXPECT_FALSE(BitOff(0x80, 0x81));
    EXPECT_FALSE(BitOn(INT32_MIN, INT32_MIN | 1)); // bit 31 alone counts as no bit
    EXPECT_EQ(MinInteger(5, -3), -3);
    EXPECT_EQ(MinInteger(-3, 5), -3);
    EXPECT_EQ(CN('\0'), ' ');
    EXPECT_EQ(CN('A'), 'A');
}

TEST(VaHelpers, FreeObjectClearsTheVariableBeforeDestroying) {
    struct Watched {
        Watched*& variable;
        bool& clearedFirst;
        ~Watched() { clearedFirst = variable == nullptr; }
    };
    bool clearedFirst = false;
    Watched* object = nullptr;
    object = new Watched{object, clearedFirst};
    FreeObject(object);
    EXPECT_EQ(object, nullptr);
    EXPECT_TRUE(clearedFirst);
    FreeObject(object); // nothing held: nothing happens
}

TEST(VaHelpers, AddPathSlashAppendsOneDelimiter) {
    EXPECT_EQ(AddPathSlash(""), "");
    EXPECT_EQ(AddPathSlash("/tmp"), "/tmp/");
    EXPECT_EQ(AddPathSlash("/tmp/"), "/tmp/");
}

TEST(VaHelpers, GetFileSizeOfRealEntries) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("va-size-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "data.bin";
    std::ofstream(file, std::ios::binary) << std::string(123, 'x');

    EXPECT_EQ(GetFileSize(file.string()), 123);
    EXPECT_GE(GetFileSize(dir.string()), 0); // any kind of entry
    EXPECT_EQ(GetFileSize((dir / "missing").string()), -1);
    EXPECT_EQ(GetFileSize(""), -1);

    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    EXPECT_EQ(GetFileSize("data.bin"), 123);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}

} // namespace
