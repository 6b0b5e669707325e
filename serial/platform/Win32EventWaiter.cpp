#include "serial/platform/Win32EventWaiter.h"

#include "serial/platform/Win32Errors.h"
#include "serial/platform/Win32Handle.h"
#include "serial/platform/Win32Signals.h"

#include <q4471/serial/SystemErrors.h>

#include <windows.h>

namespace SerialPlatform {

namespace {
// How long ending a pending wait may take, per way of ending it.
constexpr DWORD EndWaitMs = 1000;
} // namespace

// The overlapped record and the mask that the driver fills in while a wait runs.
struct Win32EventWaiter::Pending {
    Win32Handle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED overlapped{};
    DWORD mask = 0;
    bool running = false;
};

Win32EventWaiter::Win32EventWaiter(Win32CommSystem& system, THandle handle, TSignalHandle stopEvent,
                                   std::unique_ptr<Pending> pending)
    : system_(system), handle_(handle), stop_(stopEvent), pending_(std::move(pending)) {}

std::unique_ptr<Win32EventWaiter> Win32EventWaiter::Create(Win32CommSystem& system, THandle handle,
                                                           TSignalHandle stopEvent) {
    auto pending = std::make_unique<Pending>();
    pending->overlapped.hEvent = pending->done.Get();
    if (!pending->done.Valid()) {
        FailWithSystemError();
        return nullptr;
    }
    return std::unique_ptr<Win32EventWaiter>(
        new Win32EventWaiter(system, handle, stopEvent, std::move(pending)));
}

Win32EventWaiter::~Win32EventWaiter() {
    if (pending_->running) {
        // The driver writes the record and the mask until the wait has ended. Setting the mask
        // again ends it, on Windows and under Wine, whose serial waits CancelIoEx does not end;
        // CancelIoEx is the second try.
        OVERLAPPED& overlapped = pending_->overlapped;
        DWORD mask = 0;
        if (GetCommMask(handle_, &mask)) {
            ::SetCommMask(handle_, mask);
        }
        if (WaitForSingleObject(overlapped.hEvent, EndWaitMs) != WAIT_OBJECT_0) {
            CancelIoEx(handle_, &overlapped);
        }
        if (WaitForSingleObject(overlapped.hEvent, EndWaitMs) != WAIT_OBJECT_0) {
            pending_.release(); // still the driver's: left to it rather than freed under it
        }
    }
}

TCommWaitResult Win32EventWaiter::Failed(unsigned long code) {
    if (DeviceHasGone(static_cast<int>(code))) {
        Fail(code);
        return cwDeviceGone;
    }
    uint32_t waiting = 0;
    if (!system_.CountInput(handle_, waiting) && DeviceHasGone(GetLastError())) {
        return cwDeviceGone; // with the device's own code
    }
    Fail(code);
    return cwFailed;
}

TCommWaitResult Win32EventWaiter::WaitCommEvent(uint32_t& evtMask) {
    evtMask = 0;
    Pending& wait = *pending_;
    for (;;) {
        if (!wait.running) {
            // A stop comes first also when the driver would answer at once.
            if (WaitForSingleObject(EventOf(stop_), 0) == WAIT_OBJECT_0) {
                return cwStopped;
            }
            wait.mask = 0;
            if (::WaitCommEvent(handle_, &wait.mask, &wait.overlapped)) {
                if (wait.mask != 0) {
                    evtMask = wait.mask;
                    return cwEvents;
                }
                continue; // the mask was changed meanwhile
            }
            if (::GetLastError() != ERROR_IO_PENDING) {
                return Failed(::GetLastError());
            }
            wait.running = true;
        }
        // The stop signal first: when both are set, the stop wins, and the events stay with
        // the driver's finished wait for the next call.
        const HANDLE waited[] = {EventOf(stop_), wait.overlapped.hEvent};
        const DWORD woken = WaitForMultipleObjects(2, waited, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) {
            return cwStopped;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            return Failed(::GetLastError());
        }
        wait.running = false;
        DWORD unused = 0;
        if (!GetOverlappedResult(handle_, &wait.overlapped, &unused, FALSE)) {
            return Failed(::GetLastError());
        }
        if (wait.mask != 0) {
            evtMask = wait.mask;
            return cwEvents;
        }
        // A mask of 0: SetCommMask ended the wait; the next one waits for the new mask.
    }
}

} // namespace SerialPlatform
