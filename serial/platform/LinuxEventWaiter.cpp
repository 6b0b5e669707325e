#include "serial/platform/LinuxEventWaiter.h"

#include "serial/platform/LinuxLineCounters.h"
#include "serial/platform/LinuxSignals.h"

#include <q4471/serial/CommCodes.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <utility>

namespace SerialPlatform {

namespace {

enum Source : uint32_t { fromDevice, fromStop, fromWatcher };

// The events of the modem input lines.
constexpr uint32_t LineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
// The events that the interrupt counters show.
constexpr uint32_t CounterEvents = LineEvents | EV_BREAK | EV_ERR;

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

} // namespace

LineDriverCalls LineDriverCalls::Host() {
    LineDriverCalls calls;
    calls.waitForLineChange = LinuxModemWatcher::WaitForLineChange;
    calls.readLines = [](int fd, int& lines) {
        return ioctl(fd, TIOCMGET, &lines) == 0 ? 0 : errno;
    };
    calls.readCounters = [](int fd, serial_icounter_struct& counters) {
        return ReadCounters(fd, counters) ? 0 : GetLastError();
    };
    return calls;
}

LinuxEventWaiter::LinuxEventWaiter(LinuxCommSystem& system, THandle handle, LineDriverCalls calls,
                                   FileDescriptor epoll)
    : system_(system), handle_(handle), calls_(std::move(calls)), epoll_(std::move(epoll)) {}

LinuxEventWaiter::~LinuxEventWaiter() {
    watcher_.reset(); // stops and joins the thread before its eventfd and the epoll close
}

std::unique_ptr<LinuxEventWaiter> LinuxEventWaiter::Create(LinuxCommSystem& system, THandle handle,
                                                           TSignalHandle stopEvent,
                                                           LineDriverCalls calls) {
    FileDescriptor epoll(epoll_create1(EPOLL_CLOEXEC));
    if (!epoll.Valid()) {
        SetLastError(errno);
        return nullptr;
    }
    if (!Watch(epoll.Get(), handle, EPOLLIN | EPOLLET, fromDevice) ||
        !Watch(epoll.Get(), DescriptorOf(stopEvent), EPOLLIN, fromStop)) {
        return nullptr;
    }
    std::unique_ptr<LinuxEventWaiter> waiter(
        new LinuxEventWaiter(system, handle, std::move(calls), std::move(epoll)));
    if (!waiter->Prepare(system.EventMaskOf(handle))) {
        return nullptr;
    }
    return waiter;
}

bool LinuxEventWaiter::Prepare(uint32_t mask) {
    if ((mask & CounterEvents) != 0) {
        hasCounters_ = Answered(calls_.readCounters(handle_, counters_));
    }
    if ((mask & LineEvents) == 0) {
        return true;
    }
    hasLines_ = Answered(calls_.readLines(handle_, lines_));
    if (goneError_ != 0 || (!hasLines_ && !hasCounters_)) {
        return true; // no lines to tell a change by (a pseudo-terminal), or nothing left to watch
    }
    // The watcher counts changes from this waiter's own reading, so that none between the two
    // readings is missed.
    watcher_ = LinuxModemWatcher::Start(handle_, InputLinesOf(mask), calls_.waitForLineChange,
                                        hasCounters_ ? calls_.readCounters
                                                     : LinuxModemWatcher::CounterFunction(),
                                        hasCounters_ ? std::optional(counters_) : std::nullopt);
    if (!watcher_) {
        // EBUSY: the process uses the release signal itself; the lines are then compared on
        // each wake of another kind.
        return GetLastError() == EBUSY;
    }
    return Watch(epoll_.Get(), watcher_->WakeDescriptor(), EPOLLIN, fromWatcher);
}

bool LinuxEventWaiter::Answered(int code) {
    if (code == 0) {
        return true;
    }
    if (DeviceHasGone(code)) {
        if (goneError_ == 0) {
            goneError_ = code;
        }
    } else if (!DriverHasNo(code) && failure_ == 0) {
        failure_ = code;
    }
    return false;
}

void LinuxEventWaiter::TakeWatcherWake() {
    if (!watcher_) {
        return;
    }
    watcher_->TakeWake();
    int error = 0;
    if (watcher_->Ended(error)) {
        // The driver cannot wait for the lines (its first wait says so), or the device has gone,
        // or the wait failed: the lines are compared on the other wakes from now on.
        epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, watcher_->WakeDescriptor(), nullptr);
        watcher_.reset();
        Answered(error);
    }
}

uint32_t LinuxEventWaiter::DriverEvents() {
    uint32_t events = 0;
    if (hasCounters_) {
        serial_icounter_struct now{};
        hasCounters_ = Answered(calls_.readCounters(handle_, now));
        if (hasCounters_) {
            events |= EventsBetween(counters_, now);
            counters_ = now;
        }
    }
    if (hasLines_) {
        int now = 0;
        hasLines_ = Answered(calls_.readLines(handle_, now));
        if (hasLines_) {
            events |= LineEventsBetween(lines_, now);
            lines_ = now;
        }
    }
    return events;
}

uint32_t LinuxEventWaiter::InputEvents(bool hungUp) {
    if (!hungUp) {
        return EV_RXCHAR;
    }
    // A hung-up terminal reports itself readable whether or not bytes can still be read; only
    // bytes that really wait are an event.
    int waiting = 0;
    if (ioctl(handle_, FIONREAD, &waiting) != 0) {
        Answered(errno);
        return 0;
    }
    return waiting > 0 ? EV_RXCHAR : 0;
}

TCommWaitResult LinuxEventWaiter::WaitCommEvent(uint32_t& evtMask) {
    evtMask = 0;
    for (;;) {
        if (const std::optional<TCommWaitResult> recorded = RecordedEnd()) {
            return *recorded;
        }
        Wake wake;
        if (!AwaitWake(wake)) {
            return cwFailed;
        }
        if (wake.stop) {
            return cwStopped;
        }
        const uint32_t woken = WokenEvents(wake);
        // The mask. Linux delivers:
        // - EV_RXCHAR: new input readable (edge-triggered epoll on the device; bytes left unread
        //   do not count again);
        // - EV_CTS, EV_DSR, EV_RLSD, EV_RING: a change of the line, seen by the differences of
        //   the interrupt counters (TIOCGICOUNT) or of the lines themselves (TIOCMGET), woken by
        //   the modem-line watcher (TIOCMIWAIT) where the driver has it, otherwise at the next
        //   wake of another kind; never where the driver has neither (a pseudo-terminal);
        // - EV_ERR: growth of the frame, overrun, parity or buffer-overrun counter; EV_BREAK:
        //   growth of the break counter (TIOCGICOUNT; never where the driver keeps none).
        // Never delivered, as Linux does not show them: EV_RXFLAG (no event character without
        // taking the bytes), EV_TXEMPTY (the transmit thread reports its drained queue itself),
        // EV_RX80FULL, EV_PERR, EV_EVENT1 and EV_EVENT2.
        // Only the bits of the handle's event mask are reported; a wake without one waits again
        // (events that came with a hang-up are reported before the device counts as gone).
        const uint32_t events = woken & system_.EventMaskOf(handle_);
        if (events != 0) {
            evtMask = events;
            return cwEvents;
        }
    }
}

std::optional<TCommWaitResult> LinuxEventWaiter::RecordedEnd() {
    if (goneError_ != 0) {
        SetLastError(goneError_);
        return cwDeviceGone;
    }
    if (failure_ != 0) {
        SetLastError(std::exchange(failure_, 0));
        return cwFailed;
    }
    return std::nullopt;
}

bool LinuxEventWaiter::AwaitWake(Wake& wake) {
    epoll_event ready[3];
    int count = 0;
    while ((count = epoll_wait(epoll_.Get(), ready, 3, -1)) < 0) {
        if (errno != EINTR) {
            SetLastError(errno);
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        switch (ready[i].data.u32) {
        case fromStop:
            wake.stop = true;
            break;
        case fromDevice:
            wake.input = (ready[i].events & EPOLLIN) != 0;
            wake.hungUp = (ready[i].events & (EPOLLHUP | EPOLLERR)) != 0;
            break;
        default:
            wake.lines = true;
            break;
        }
    }
    return true;
}

uint32_t LinuxEventWaiter::WokenEvents(const Wake& wake) {
    if (wake.lines) {
        TakeWatcherWake();
    }
    // A line error or a break comes with a byte in the input queue, so the device's
    // readability wakes the wait for them; a line change wakes it through the watcher.
    uint32_t events = DriverEvents();
    if (wake.input) {
        events |= InputEvents(wake.hungUp);
    }
    if (wake.hungUp && goneError_ == 0) {
        goneError_ = EIO; // the hang-up itself carries no error code
    }
    return events;
}

} // namespace SerialPlatform
