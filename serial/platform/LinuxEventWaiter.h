#pragma once

// The wait for line events: edge-triggered epoll on the device, so that bytes left unread do not
// wake the waiter again (a level-triggered poll would spin a core), plus the stop signal's
// eventfd; and, where the driver keeps interrupt counters and the mask asks for line errors or
// modem lines, a ticking timer that compares the counters.
// Events produced: EV_RXCHAR always; EV_ERR, EV_BREAK, EV_CTS, EV_DSR, EV_RLSD and EV_RING where
// the driver keeps counters (not on a pseudo-terminal). Never produced, as Linux does not show
// them: EV_RXFLAG (no event character without taking the bytes), EV_TXEMPTY (the transmit thread
// reports its drained queue itself), EV_RX80FULL, EV_PERR, EV_EVENT1 and EV_EVENT2.

#include "serial/platform/FileDescriptor.h"
#include "serial/platform/LinuxCommSystem.h"

namespace SerialPlatform {

class LinuxEventWaiter final : public ICommEventWaiter {
public:
    // nullptr with the error in GetLastError when epoll or the timer cannot be set up.
    static std::unique_ptr<LinuxEventWaiter> Create(LinuxCommSystem& system, THandle handle,
                                                    int stopEvent);

    TCommWaitResult WaitCommEvent(uint32_t& evtMask) override;

private:
    LinuxEventWaiter(LinuxCommSystem& system, THandle handle, FileDescriptor epoll,
                     FileDescriptor ticker, const serial_icounter_struct& counters);

    uint32_t CounterEvents();

    LinuxCommSystem& system_;
    THandle handle_;
    FileDescriptor epoll_;
    FileDescriptor ticker_; // invalid when the counters are not watched
    serial_icounter_struct counters_;
    bool hungUp_ = false;
};

} // namespace SerialPlatform
