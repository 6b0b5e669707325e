#include "serial/platform/LinuxModemWatcher.h"

#include <q4471/serial/SystemErrors.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <system_error>

namespace SerialPlatform {

namespace {

// How long Stop waits for the thread to leave before it sends the signal again.
constexpr auto ReleaseRetry = std::chrono::milliseconds(2);

// The release signal's handler: its only task is to end the call it interrupts with EINTR.
void IgnoreRelease(int) {}

std::mutex handlerMutex;

} // namespace

int LinuxModemWatcher::WaitForLineChange(int fd, int lines) {
    return ioctl(fd, TIOCMIWAIT, static_cast<unsigned long>(lines)) == 0 ? 0 : errno;
}

int LinuxModemWatcher::ReleaseSignal() {
    // A real-time signal from the top of the range; the C library keeps the lowest ones.
    return SIGRTMAX - 3;
}

bool LinuxModemWatcher::InstallReleaseHandler(int signal) {
    std::lock_guard lock(handlerMutex);
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) {
        return false;
    }
    const bool plain = (current.sa_flags & SA_SIGINFO) == 0;
    if (plain && current.sa_handler == IgnoreRelease) {
        return (current.sa_flags & SA_RESTART) == 0;
    }
    if (!plain || current.sa_handler != SIG_DFL) {
        return false; // the signal belongs to someone else
    }
    struct sigaction release {};
    release.sa_handler = IgnoreRelease;
    sigemptyset(&release.sa_mask);
    release.sa_flags = 0; // no SA_RESTART: the interrupted call must answer EINTR
    return sigaction(signal, &release, nullptr) == 0;
}

std::unique_ptr<LinuxModemWatcher>
LinuxModemWatcher::Start(int fd, int lines, WaitFunction wait, CounterFunction readCounters,
                         std::optional<serial_icounter_struct> since) {
    if (!InstallReleaseHandler(ReleaseSignal())) {
        SetLastError(EBUSY);
        return nullptr;
    }
    FileDescriptor wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.Valid()) {
        SetLastError(errno);
        return nullptr;
    }
    std::unique_ptr<LinuxModemWatcher> watcher(new LinuxModemWatcher(
        fd, lines, std::move(wait), std::move(readCounters), since, std::move(wake)));
    try {
        watcher->thread_ = std::thread([raw = watcher.get()] { raw->Run(); });
    } catch (const std::system_error& error) {
        SetLastError(error.code().value());
        return nullptr;
    }
    return watcher;
}

LinuxModemWatcher::LinuxModemWatcher(int fd, int lines, WaitFunction wait,
                                     CounterFunction readCounters,
                                     std::optional<serial_icounter_struct> since,
                                     FileDescriptor wake)
    : fd_(fd), lines_(lines), wait_(std::move(wait)), readCounters_(std::move(readCounters)),
      since_(since), wake_(std::move(wake)) {}

LinuxModemWatcher::~LinuxModemWatcher() {
    Stop();
}

void LinuxModemWatcher::Run() {
    // Only the release signal reaches this thread (the C library keeps its own signals open).
    sigset_t blocked;
    sigfillset(&blocked);
    sigdelset(&blocked, ReleaseSignal());
    pthread_sigmask(SIG_SETMASK, &blocked, nullptr);

    // The counters as of the last wake (or the start): a change after that reading that no wait
    // saw shows as a difference before the next wait.
    serial_icounter_struct seen{};
    if (since_) {
        seen = *since_;
    } else {
        ReadCounters(seen);
    }
    int error = 0;
    while (!stop_.load(std::memory_order_acquire)) {
        if (serial_icounter_struct now{}; ReadCounters(now)) {
            if (WatchedLinesChanged(seen, now)) {
                Wake();
            }
            seen = now;
        }
        const int result = wait_(fd_, lines_);
        if (result == 0) {
            // Read before the wake, so that the waiter, which reads after it, sees at least this.
            ReadCounters(seen);
            Wake();
        } else if (result != EINTR) {
            error = result;
            break;
        }
        // EINTR: the release signal (or a spurious one); the flag tells which.
    }
    if (error != 0) {
        endError_.store(error, std::memory_order_relaxed);
        ended_.store(true, std::memory_order_release);
        Wake();
    }
    {
        std::lock_guard lock(mutex_);
        hasLeft_ = true;
    }
    left_.notify_all();
}

bool LinuxModemWatcher::ReadCounters(serial_icounter_struct& counters) {
    if (!readCounters_) {
        return false;
    }
    if (readCounters_(fd_, counters) != 0) {
        // The driver keeps none, or the device has gone, which the waiter finds out itself.
        readCounters_ = nullptr;
        return false;
    }
    return true;
}

bool LinuxModemWatcher::WatchedLinesChanged(const serial_icounter_struct& before,
                                            const serial_icounter_struct& after) const {
    const auto changed = [&](int line, int serial_icounter_struct::*counter) {
        return (lines_ & line) != 0 && before.*counter != after.*counter;
    };
    return changed(TIOCM_CTS, &serial_icounter_struct::cts) ||
           changed(TIOCM_DSR, &serial_icounter_struct::dsr) ||
           changed(TIOCM_RNG, &serial_icounter_struct::rng) ||
           changed(TIOCM_CD, &serial_icounter_struct::dcd);
}

void LinuxModemWatcher::Wake() {
    const uint64_t one = 1;
    // Only an overflow of the counter (2^64 - 2 wakes not taken) could refuse; it stays readable.
    [[maybe_unused]] const ssize_t written = write(wake_.Get(), &one, sizeof one);
}

void LinuxModemWatcher::TakeWake() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(wake_.Get(), &count, sizeof count);
}

bool LinuxModemWatcher::Ended(int& error) const {
    if (!ended_.load(std::memory_order_acquire)) {
        return false;
    }
    error = endError_.load(std::memory_order_relaxed);
    return true;
}

void LinuxModemWatcher::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    stop_.store(true, std::memory_order_release);
    {
        std::unique_lock lock(mutex_);
        // The thread may have checked the flag just before it entered the wait, and a signal
        // that came before the call began was spent on nothing: send it until the thread has
        // left.
        while (!hasLeft_) {
            pthread_kill(thread_.native_handle(), ReleaseSignal());
            left_.wait_for(lock, ReleaseRetry);
        }
    }
    thread_.join();
}

} // namespace SerialPlatform
