#include "serial/platform/LinuxSignals.h"

#include <q4471/serial/SystemErrors.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace SerialPlatform {

namespace {

using Clock = std::chrono::steady_clock;

// The time left until `deadline`, for ppoll; never negative.
timespec Remaining(Clock::time_point deadline) {
    const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

// Called once poll found the signal set: answers whether this waiter got it (an auto-reset signal
// may have been taken by another waiter in between).
bool Take(TSignalHandle signal) {
    if (!signal.AutoReset) {
        return true;
    }
    uint64_t count = 0;
    ssize_t got;
    while ((got = read(DescriptorOf(signal), &count, sizeof count)) < 0 && errno == EINTR) {
    }
    return got >= 0;
}

int Fail(int code) {
    SetLastError(code);
    return -1;
}

} // namespace

TSignalHandle CreateSignal(bool manualReset, bool initiallySet) {
    const int fd = eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        SetLastError(errno);
        return {};
    }
    return TSignalHandle{fd, !manualReset};
}

void CloseSignal(TSignalHandle signal) {
    if (signal.Valid()) {
        close(DescriptorOf(signal));
    }
}

void SetSignal(TSignalHandle signal) {
    if (!signal.Valid()) {
        return;
    }
    // Adding to the counter keeps it non-zero, so setting a set signal changes nothing.
    const uint64_t one = 1;
    while (write(DescriptorOf(signal), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void ResetSignal(TSignalHandle signal) {
    if (!signal.Valid()) {
        return;
    }
    // One read returns the whole counter and sets it to 0; a clear signal answers EAGAIN.
    uint64_t count = 0;
    while (read(DescriptorOf(signal), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

int WaitForSignals(std::span<const TSignalHandle> waited, uint32_t timeoutMs) {
    if (waited.empty()) {
        return Fail(EINVAL);
    }
    std::vector<pollfd> fds;
    fds.reserve(waited.size());
    for (const TSignalHandle signal : waited) {
        if (!signal.Valid()) {
            return Fail(EBADF);
        }
        fds.push_back(pollfd{DescriptorOf(signal), POLLIN, 0});
    }
    const bool limited = timeoutMs != NoTimeLimit;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int timedOut = static_cast<int>(waited.size());
    for (;;) {
        timespec left{};
        if (limited) {
            left = Remaining(deadline);
        }
        const int ready = ppoll(fds.data(), fds.size(), limited ? &left : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue; // a signal handler ran; the wait goes on for the time that is left
            }
            return Fail(errno);
        }
        if (ready == 0) {
            return timedOut;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLERR | POLLNVAL)) != 0) {
                return Fail(EBADF);
            }
            if ((fds[i].revents & POLLIN) != 0 && Take(waited[i])) {
                return static_cast<int>(i);
            }
        }
        // Every signal found was an auto-reset one that another waiter took first.
        if (limited && Clock::now() >= deadline) {
            return timedOut;
        }
    }
}

} // namespace SerialPlatform
