#pragma once

// The wait for line events on Windows: an overlapped WaitCommEvent, watched beside the stop
// signal. A wait that the stop signal ends stays with the driver and is taken up by the next
// WaitCommEvent, so that no event is lost; the destructor cancels it.
//
// Under Wine, WaitCommEvent on a pseudo-terminal fails at once with ERROR_OPERATION_ABORTED
// unless the terminal answers the modem-line ioctls (the Wine test harness preloads a shim for
// them): the waiter reports that failure as it is rather than working around it. A wait on a
// pseudo-terminal whose other side hung up fails alike under Wine; the waiter tells that case by
// asking the device, which then fails too, and reports the device gone.
//
// Wine reports EV_RXCHAR for every wait that starts while bytes wait unread, where Windows
// reports their arrival once; the component reads what came at each EV_RXCHAR.

#include "serial/platform/Win32CommSystem.h"

#include <memory>

namespace SerialPlatform {

class Win32EventWaiter final : public ICommEventWaiter {
public:
    // nullptr with the error in GetLastError when the completion event cannot be made.
    static std::unique_ptr<Win32EventWaiter> Create(Win32CommSystem& system, THandle handle,
                                                    TSignalHandle stopEvent);

    ~Win32EventWaiter() override;
    Win32EventWaiter(const Win32EventWaiter&) = delete;
    Win32EventWaiter& operator=(const Win32EventWaiter&) = delete;

    TCommWaitResult WaitCommEvent(uint32_t& evtMask) override;

private:
    struct Pending;
    Win32EventWaiter(Win32CommSystem& system, THandle handle, TSignalHandle stopEvent,
                     std::unique_ptr<Pending> pending);

    // The end of a failed wait: cwDeviceGone when the device has gone away, otherwise cwFailed;
    // the code in GetLastError.
    TCommWaitResult Failed(unsigned long code);

    Win32CommSystem& system_;
    const THandle handle_;
    const TSignalHandle stop_;
    std::unique_ptr<Pending> pending_;
};

} // namespace SerialPlatform
