#pragma once

// Helpers for the tests of the line-event waiter and its modem-line watcher: a receive loop in
// miniature, a count of the process's threads, and stand-ins for the driver's line calls where a
// pseudo-terminal has no modem lines and no counters.

#include "WaitUntil.h"
#include "serial/platform/CommPlatform.h"
#include "serial/platform/LinuxEventWaiter.h"
#include "serial/platform/LinuxModemWatcher.h"

#include <q4471/serial/LinuxFileDescriptor.h>
#include <q4471/serial/VaObjects.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <utility>
#include <vector>

// A receive loop in miniature: waits for line events on its own thread until the wait ends
// otherwise, recording every batch, how the wait ended and the error code left for it.
class WaitLoop {
public:
    // `stop` is the waiter's stop signal: set by the destructor of a loop that still waits, so
    // that a failing test ends instead of hanging.
    WaitLoop(std::unique_ptr<SerialPlatform::ICommEventWaiter> waiter, TVaWaitEvent& stop)
        : waiter_(std::move(waiter)), stop_(stop) {
        if (waiter_) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    ~WaitLoop() {
        if (thread_.joinable() && !ended_) {
            stop_.SetEvent();
        }
        Join();
    }
    WaitLoop(const WaitLoop&) = delete;
    WaitLoop& operator=(const WaitLoop&) = delete;

    bool Created() const { return waiter_ != nullptr; }
    int Wakeups() const { return wakeups_; }
    uint32_t LastMask() const { return lastMask_; }
    std::vector<uint32_t> Masks() const {
        std::lock_guard lock(mutex_);
        return masks_;
    }
    bool Ended() const { return ended_; }
    SerialPlatform::TCommWaitResult End() const { return end_; }
    int EndError() const { return endError_; }

    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // The waiter, once the loop has ended, for further calls; then its destruction.
    SerialPlatform::ICommEventWaiter& Waiter() { return *waiter_; }
    void Destroy() {
        Join();
        waiter_.reset();
    }

private:
    void Run() {
        for (;;) {
            uint32_t mask = 0;
            const SerialPlatform::TCommWaitResult result = waiter_->WaitCommEvent(mask);
            if (result != SerialPlatform::cwEvents) {
                endError_ = SerialPlatform::GetLastError();
                end_ = result;
                ended_ = true;
                return;
            }
            {
                std::lock_guard lock(mutex_);
                masks_.push_back(mask);
            }
            lastMask_ = mask;
            ++wakeups_;
        }
    }

    std::unique_ptr<SerialPlatform::ICommEventWaiter> waiter_;
    TVaWaitEvent& stop_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<uint32_t> masks_;
    std::atomic<int> wakeups_{0};
    std::atomic<uint32_t> lastMask_{0};
    std::atomic<SerialPlatform::TCommWaitResult> end_{SerialPlatform::cwFailed};
    std::atomic<int> endError_{0};
    std::atomic<bool> ended_{false};
};

// Calls the wait once more on another thread and answers how it ended, provided that it ended
// within `deadline`; a wait still blocked then is released with `stop` and counted as cwFailed,
// so that a waiter that blocks fails the test instead of hanging it.
struct PromptAnswer {
    SerialPlatform::TCommWaitResult result;
    int error;
    bool inTime;
};
inline PromptAnswer WaitAgain(SerialPlatform::ICommEventWaiter& waiter, TVaWaitEvent& stop,
                              std::chrono::milliseconds deadline = std::chrono::seconds(2)) {
    std::atomic<bool> done{false};
    SerialPlatform::TCommWaitResult result = SerialPlatform::cwFailed;
    int error = 0;
    std::thread caller([&] {
        uint32_t mask = 0;
        result = waiter.WaitCommEvent(mask);
        error = SerialPlatform::GetLastError();
        done = true;
    });
    const bool inTime = WaitUntil([&] { return done.load(); }, deadline);
    if (!inTime) {
        stop.SetEvent();
    }
    caller.join();
    return PromptAnswer{inTime ? result : SerialPlatform::cwFailed, error, inTime};
}

// Stand-ins for the driver's line calls (TIOCMIWAIT, TIOCMGET, TIOCGICOUNT). The test changes
// the lines and counters and wakes the stand-in wait as a UART's interrupt would; the wait blocks
// until a line change, the release signal or the test's rescue ends it.
class StandInDriver {
public:
    StandInDriver() : trigger_(eventfd(0, EFD_CLOEXEC)) {
        if (!trigger_.Valid()) {
            throw std::runtime_error("no eventfd");
        }
    }
    StandInDriver(const StandInDriver&) = delete;
    StandInDriver& operator=(const StandInDriver&) = delete;

    SerialPlatform::LineDriverCalls Calls() {
        SerialPlatform::LineDriverCalls calls;
        calls.waitForLineChange = [this](int, int lines) { return Wait(lines); };
        calls.readLines = [this](int, int& lines) {
            ++linesReadings_;
            if (const int answer = linesAnswer_.load()) {
                return answer;
            }
            lines = lines_.load();
            return 0;
        };
        calls.readCounters = [this](int, serial_icounter_struct& counters) {
            if (const int answer = countersAnswer_.load()) {
                return answer;
            }
            std::lock_guard lock(mutex_);
            counters = counters_;
            if (afterReading_) {
                std::exchange(afterReading_, nullptr)(counters_);
            }
            return 0;
        };
        return calls;
    }

    // A line change as the driver reports it: the lines become `lines`, the wait returns.
    void ChangeLines(int lines) {
        lines_ = lines;
        WakeWait();
    }
    // Lets the counters grow (`change` runs under the lock), without waking the wait.
    template <class Change> void ChangeCounters(Change change) {
        std::lock_guard lock(mutex_);
        change(counters_);
    }
    // Lets the counters grow just after the next reading of them: a change that comes right after
    // a reader has looked.
    void ChangeCountersAfterNextReading(std::function<void(serial_icounter_struct&)> change) {
        std::lock_guard lock(mutex_);
        afterReading_ = std::move(change);
    }
    void SetLinesQuietly(int lines) { lines_ = lines; }
    // Ends the wait, which answers as AnswerWaitWith says (0: a change).
    void WakeWait() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(trigger_.Get(), &one, sizeof one);
    }
    // The answers of the calls from now on: 0 as above, otherwise this error code.
    void AnswerWaitWith(int code) { waitAnswer_ = code; }
    void AnswerLinesWith(int code) { linesAnswer_ = code; }
    void AnswerCountersWith(int code) { countersAnswer_ = code; }
    // Before blocking, the wait sleeps this long through any signal: a release signal that comes
    // meanwhile is spent before the blocking call begins.
    void LingerBeforeWaiting(std::chrono::milliseconds time) { linger_ = time.count(); }

    // Releases a wait that nothing else released (for a failing test, so that it does not hang):
    // the wait answers ECANCELED.
    void Rescue() {
        rescued_ = true;
        WakeWait();
    }

    int WaitsEntered() const { return waitsEntered_; }
    // How often the lines were read (TIOCMGET): once when the waiter is made, then once a wake.
    int LinesReadings() const { return linesReadings_; }
    bool Lingering() const { return lingering_; }
    bool Blocked() const { return blocked_; }
    int Interruptions() const { return interruptions_; }
    int LingerInterruptions() const { return lingerInterruptions_; }
    int WatchedLines() const { return watchedLines_; }

private:
    int Wait(int lines) {
        watchedLines_ = lines;
        ++waitsEntered_;
        if (const int answer = waitAnswer_.load()) {
            return answer;
        }
        if (const long linger = linger_.load(); linger > 0) {
            lingering_ = true;
            timespec left{linger / 1000, (linger % 1000) * 1'000'000};
            while (nanosleep(&left, &left) != 0 && errno == EINTR) {
                ++lingerInterruptions_;
            }
        }
        // Blocks as TIOCMIWAIT does: a signal ends the wait with EINTR if its handler was
        // installed without SA_RESTART, and the wait goes on otherwise. After `GiveUp` the wait
        // answers ETIMEDOUT, so that a watcher that no signal releases fails a test instead of
        // hanging it.
        const auto end = std::chrono::steady_clock::now() + GiveUp;
        blocked_ = true;
        int answer = ETIMEDOUT;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd trigger{trigger_.Get(), POLLIN, 0};
            const int ready = poll(&trigger, 1, static_cast<int>(left.count()));
            if (ready > 0) {
                uint64_t count = 0;
                [[maybe_unused]] const ssize_t got = read(trigger_.Get(), &count, sizeof count);
                answer = rescued_ ? ECANCELED : waitAnswer_.load();
                break;
            }
            if (ready < 0 && errno != EINTR) {
                answer = errno;
                break;
            }
            if (ready < 0) {
                ++interruptions_;
                if (!RestartsCalls()) {
                    answer = EINTR;
                    break;
                }
            }
        }
        blocked_ = false;
        return answer;
    }

    // Whether the release signal's handler asks for interrupted calls to be restarted.
    static bool RestartsCalls() {
        struct sigaction current {};
        sigaction(SerialPlatform::LinuxModemWatcher::ReleaseSignal(), nullptr, &current);
        return (current.sa_flags & SA_RESTART) != 0;
    }

    static constexpr auto GiveUp = std::chrono::seconds(30);

    const SerialPlatform::FileDescriptor trigger_;
    std::atomic<bool> rescued_{false};
    std::atomic<int> lines_{0};
    std::mutex mutex_;
    serial_icounter_struct counters_{};
    std::function<void(serial_icounter_struct&)> afterReading_; // under mutex_
    std::atomic<int> waitAnswer_{0};
    std::atomic<int> linesAnswer_{0};
    std::atomic<int> countersAnswer_{0};
    std::atomic<long> linger_{0};
    std::atomic<bool> lingering_{false};
    std::atomic<int> waitsEntered_{0};
    std::atomic<int> linesReadings_{0};
    std::atomic<bool> blocked_{false};
    std::atomic<int> interruptions_{0};
    std::atomic<int> lingerInterruptions_{0};
    std::atomic<int> watchedLines_{0};
};
