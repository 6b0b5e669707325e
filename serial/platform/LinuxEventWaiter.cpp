#include "serial/platform/LinuxEventWaiter.h"

#include "serial/Vaconst.h"
#include "serial/platform/LineCounters.h"

#include <cerrno>
#include <cstdint>
#include <sys/epoll.h>
#include <sys/timerfd.h>

namespace SerialPlatform {

namespace {

enum Source : uint32_t { fromDevice, fromStop, fromTicker };

// The events that only the interrupt counters show.
constexpr uint32_t counterEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR;

// How often the counters are compared: a line change is seen within this time.
constexpr long tickNanoseconds = 20'000'000;

bool Watch(int epoll, int fd, uint32_t events, Source source) {
    epoll_event event{};
    event.events = events;
    event.data.u32 = source;
    if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

FileDescriptor StartTicker() {
    FileDescriptor ticker(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
    const itimerspec period{{0, tickNanoseconds}, {0, tickNanoseconds}};
    if (!ticker.Valid() || timerfd_settime(ticker.Get(), 0, &period, nullptr) != 0) {
        SetLastError(errno);
        return FileDescriptor();
    }
    return ticker;
}

} // namespace

LinuxEventWaiter::LinuxEventWaiter(LinuxCommSystem& system, THandle handle, FileDescriptor epoll,
                                   FileDescriptor ticker, const serial_icounter_struct& counters)
    : system_(system), handle_(handle), epoll_(std::move(epoll)), ticker_(std::move(ticker)),
      counters_(counters) {}

std::unique_ptr<LinuxEventWaiter> LinuxEventWaiter::Create(LinuxCommSystem& system, THandle handle,
                                                           int stopEvent) {
    FileDescriptor epoll(epoll_create1(EPOLL_CLOEXEC));
    if (!epoll.Valid()) {
        SetLastError(errno);
        return nullptr;
    }
    if (!Watch(epoll.Get(), handle, EPOLLIN | EPOLLET, fromDevice) ||
        !Watch(epoll.Get(), stopEvent, EPOLLIN, fromStop)) {
        return nullptr;
    }
    serial_icounter_struct counters{};
    FileDescriptor ticker;
    if ((system.EventMaskOf(handle) & counterEvents) != 0 && ReadCounters(handle, counters)) {
        ticker = StartTicker();
        if (!ticker.Valid() || !Watch(epoll.Get(), ticker.Get(), EPOLLIN, fromTicker)) {
            return nullptr;
        }
    }
    return std::unique_ptr<LinuxEventWaiter>(
        new LinuxEventWaiter(system, handle, std::move(epoll), std::move(ticker), counters));
}

uint32_t LinuxEventWaiter::CounterEvents() {
    uint64_t expirations = 0;
    if (read(ticker_.Get(), &expirations, sizeof expirations) < 0) {
        return 0;
    }
    serial_icounter_struct now{};
    if (!ReadCounters(handle_, now)) {
        return 0;
    }
    const uint32_t events = EventsBetween(counters_, now);
    counters_ = now;
    return events;
}

TCommWaitResult LinuxEventWaiter::WaitCommEvent(uint32_t& evtMask) {
    evtMask = 0;
    for (;;) {
        if (hungUp_) {
            return cwDeviceGone;
        }
        epoll_event ready[3];
        const int count = epoll_wait(epoll_.Get(), ready, 3, -1);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetLastError(errno);
            return cwFailed;
        }
        uint32_t events = 0;
        for (int i = 0; i < count; ++i) {
            switch (ready[i].data.u32) {
            case fromStop:
                return cwStopped;
            case fromDevice:
                if ((ready[i].events & EPOLLIN) != 0) {
                    events |= EV_RXCHAR;
                }
                if ((ready[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
                    hungUp_ = true; // reported at the next wait, after what came with it
                }
                break;
            default:
                events |= CounterEvents();
                break;
            }
        }
        events &= system_.EventMaskOf(handle_);
        if (events != 0) {
            evtMask = events;
            return cwEvents;
        }
    }
}

} // namespace SerialPlatform
