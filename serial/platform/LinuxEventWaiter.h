#pragma once

// The wait for line events, built from what the device offers, without any polling:
// - edge-triggered epoll on the device, so that bytes left unread do not wake the waiter again
//   (a level-triggered wait would spin a core);
// - the stop signal's eventfd;
// - where the driver can wait for modem-line changes (TIOCMIWAIT) and the mask asks for them, a
//   modem-line watcher (LinuxModemWatcher) whose eventfd wakes the epoll when a line changes.
// On every wake the driver's interrupt counters (TIOCGICOUNT: line errors, breaks, line changes)
// and the modem lines (TIOCMGET) are compared with their last readings. Where the driver has
// TIOCMGET but no TIOCMIWAIT, line changes are therefore seen at the next wake of another kind;
// where it has neither (a pseudo-terminal), line events are never reported. Which events Linux
// delivers, and how, is written where the mask is applied (LinuxEventWaiter.cpp).
//
// A waiter must be destroyed before its handle is closed: its watcher thread waits on the handle.

#include "serial/platform/LinuxCommSystem.h"
#include "serial/platform/LinuxModemWatcher.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <functional>
#include <linux/serial.h>
#include <memory>
#include <optional>

namespace SerialPlatform {

// How the waiter reaches the driver's lines and counters. Each call answers 0, or the error code
// (DriverHasNo: the driver lacks the feature; DeviceHasGone: the device went away). A test gives
// stand-ins where a pseudo-terminal has no lines and no counters.
struct LineDriverCalls {
    // TIOCMIWAIT: waits for a change of the given modem input lines (run by the watcher thread).
    LinuxModemWatcher::WaitFunction waitForLineChange;
    // TIOCMGET: the present modem lines (TIOCM_*).
    std::function<int(int fd, int& lines)> readLines;
    // TIOCGICOUNT: the interrupt counters.
    std::function<int(int fd, serial_icounter_struct& counters)> readCounters;

    // The host's ioctls.
    static LineDriverCalls Host();
};

class LinuxEventWaiter final : public ICommEventWaiter {
public:
    // What to watch follows the handle's event mask at this moment: counters only when the mask
    // asks for line errors, breaks or modem lines; the modem lines and their watcher only when it
    // asks for modem lines. Every wake reports the bits of the mask as it is then.
    // nullptr with the error in GetLastError when epoll, the eventfd or the watcher's thread
    // cannot be set up. A device that is already gone gives a waiter that answers cwDeviceGone.
    static std::unique_ptr<LinuxEventWaiter>
    Create(LinuxCommSystem& system, THandle handle, TSignalHandle stopEvent,
           LineDriverCalls calls = LineDriverCalls::Host());

    // Stops and joins the watcher thread; closes the epoll and the watcher's eventfd.
    ~LinuxEventWaiter() override;
    LinuxEventWaiter(const LinuxEventWaiter&) = delete;
    LinuxEventWaiter& operator=(const LinuxEventWaiter&) = delete;

    TCommWaitResult WaitCommEvent(uint32_t& evtMask) override;

    // Whether a modem-line watcher thread runs (for tests; not while a wait runs).
    bool WatchingLines() const { return watcher_ != nullptr; }

private:
    LinuxEventWaiter(LinuxCommSystem& system, THandle handle, LineDriverCalls calls,
                     FileDescriptor epoll);

    // What one return of the epoll wait found: the stop signal, the device readable or hung up,
    // a modem line's change from the watcher.
    struct Wake {
        bool stop = false;
        bool input = false;
        bool hungUp = false;
        bool lines = false;
    };

    bool Prepare(uint32_t mask);
    // The end that an earlier wake recorded: a gone device, every time; a failed driver call,
    // once.
    std::optional<TCommWaitResult> RecordedEnd();
    // Waits for the next wake; false with the error in GetLastError when the wait failed.
    bool AwaitWake(Wake& wake);
    // The events a wake brought, before the mask; records a hang-up as the device gone.
    uint32_t WokenEvents(const Wake& wake);
    // Classifies the answer of a driver call: true for 0; otherwise records a gone device or a
    // failure to report, and answers false.
    bool Answered(int code);
    void TakeWatcherWake();
    uint32_t DriverEvents();
    uint32_t InputEvents(bool hungUp);

    LinuxCommSystem& system_;
    const THandle handle_;
    const LineDriverCalls calls_;
    FileDescriptor epoll_;
    std::unique_ptr<LinuxModemWatcher> watcher_;
    bool hasCounters_ = false;
    serial_icounter_struct counters_{};
    bool hasLines_ = false;
    int lines_ = 0;
    int goneError_ = 0; // non-zero once the device has gone: the error code to report
    int failure_ = 0;   // a failed driver call, reported as cwFailed by the next wait
};

} // namespace SerialPlatform
