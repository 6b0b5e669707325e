#include "serial/platform/Win32Signals.h"

#include "serial/platform/Win32Errors.h"

#include <q4471/serial/SystemErrors.h>

#include <vector>
#include <windows.h>

namespace SerialPlatform {

TSignalHandle CreateSignal(bool manualReset, bool initiallySet) {
    const HANDLE event = CreateEventA(nullptr, manualReset, initiallySet, nullptr);
    if (event == nullptr) {
        FailWithSystemError();
        return {};
    }
    // The event object resets itself; the flag only describes it.
    return TSignalHandle{reinterpret_cast<std::intptr_t>(event), !manualReset};
}

void CloseSignal(TSignalHandle signal) {
    if (signal.Valid()) {
        ::CloseHandle(EventOf(signal));
    }
}

void SetSignal(TSignalHandle signal) {
    if (signal.Valid()) {
        SetEvent(EventOf(signal));
    }
}

void ResetSignal(TSignalHandle signal) {
    if (signal.Valid()) {
        ResetEvent(EventOf(signal));
    }
}

int WaitForSignals(std::span<const TSignalHandle> waited, uint32_t timeoutMs) {
    if (waited.empty() || waited.size() > MAXIMUM_WAIT_OBJECTS) {
        Fail(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::vector<HANDLE> events;
    events.reserve(waited.size());
    for (const TSignalHandle signal : waited) {
        if (!signal.Valid()) {
            Fail(ERROR_INVALID_HANDLE);
            return -1;
        }
        events.push_back(EventOf(signal));
    }
    // Answers the lowest position of the set ones, and resets only that one if it is auto-reset:
    // what the interface promises.
    const DWORD result =
        WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, timeoutMs);
    if (result < WAIT_OBJECT_0 + events.size()) {
        return static_cast<int>(result - WAIT_OBJECT_0);
    }
    if (result == WAIT_TIMEOUT) {
        return static_cast<int>(waited.size());
    }
    if (result == WAIT_FAILED) {
        FailWithSystemError();
    } else {
        Fail(ERROR_INVALID_HANDLE); // abandoned: only mutexes are, never an event
    }
    return -1;
}

} // namespace SerialPlatform
