#include "serial/VaObjects.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

TVaHandleObject::~TVaHandleObject() {
    if (handle_ >= 0) {
        close(handle_);
    }
}

TVaEvent::TVaEvent(bool manualReset, bool initialState, const std::string& /*name*/)
    : TVaEvent(manualReset, [initialState] {
          const int fd = eventfd(initialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
          return Creation{fd, fd < 0 ? errno : 0};
      }()) {}

TVaEvent::TVaEvent(bool manualReset, Creation creation)
    : TVaHandleObject(creation.fd), manualReset_(manualReset), creationError_(creation.error) {}

void TVaEvent::SetEvent() {
    if (Handle() < 0) {
        return;
    }
    setCount_.fetch_add(1, std::memory_order_release);
    // Adding to the counter keeps it non-zero, so setting a set signal changes nothing.
    const uint64_t one = 1;
    while (write(Handle(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TVaEvent::ResetEvent() {
    if (Handle() < 0) {
        return;
    }
    // One read returns the whole counter and sets it to 0; a clear signal answers EAGAIN.
    uint64_t count = 0;
    while (read(Handle(), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool TVaEvent::TakeSignal() {
    if (!manualReset_) {
        uint64_t count = 0;
        ssize_t got;
        while ((got = read(Handle(), &count, sizeof count)) < 0 && errno == EINTR) {
        }
        if (got < 0) {
            return false;
        }
    }
    setCount_.load(std::memory_order_acquire);
    return true;
}

TVaEventWaitResult TVaEvent::WaitFor(uint32_t timeout) {
    TVaEvent* self = this;
    const TVaWaitListResult result = WaitForEvents(std::span<TVaEvent* const>(&self, 1), timeout);
    if (result.Result == wrError) {
        SetLastError(result.Error);
    }
    return result.Result;
}

namespace {

using Clock = std::chrono::steady_clock;

// The time left until `deadline`, for ppoll; never negative.
timespec Remaining(Clock::time_point deadline) {
    const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

} // namespace

TVaWaitListResult WaitForEvents(std::span<TVaEvent* const> events, uint32_t timeout) {
    if (events.empty()) {
        return {wrError, 0, EINVAL};
    }
    std::vector<pollfd> fds;
    fds.reserve(events.size());
    for (TVaEvent* event : events) {
        if (event->Handle() < 0) {
            return {wrError, 0, static_cast<uint32_t>(event->creationError_)};
        }
        fds.push_back(pollfd{event->Handle(), POLLIN, 0});
    }
    const bool limited = timeout != VaInfinite;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout);
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
            return {wrError, 0, static_cast<uint32_t>(errno)};
        }
        if (ready == 0) {
            return {wrTimeout, 0, 0};
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLERR | POLLNVAL)) != 0) {
                return {wrError, 0, EBADF};
            }
            if ((fds[i].revents & POLLIN) != 0 && events[i]->TakeSignal()) {
                return {wrSignaled, i, 0};
            }
        }
        // Every signal found was an auto-reset one that another waiter took first.
        if (limited && Clock::now() >= deadline) {
            return {wrTimeout, 0, 0};
        }
    }
}
