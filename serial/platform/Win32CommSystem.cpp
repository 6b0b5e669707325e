#include "serial/platform/Win32CommSystem.h"

#include "serial/platform/Win32Errors.h"
#include "serial/platform/Win32EventWaiter.h"
#include "serial/platform/Win32Handle.h"
#include "serial/platform/Win32Records.h"
#include "serial/platform/Win32Signals.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>
#include <windows.h>

// The interface's own names; this file calls Windows' by their ANSI names.
#undef CreateFile
#undef GetDefaultCommConfig

namespace SerialPlatform {

namespace {

// How long closing waits for unsent output before discarding it: a peer that holds the flow
// control must not keep Close waiting.
constexpr auto DrainTime = std::chrono::milliseconds(500);
// A read starts only when ClearCommError counted bytes, so it completes at once with what waits;
// should the driver still leave it pending (Wine does with "return at once" time-outs when
// nothing waits, and another reader may have taken the counted bytes), it is given this long and
// then cancelled, keeping what came.
constexpr DWORD ReadGraceMs = 100;

// Wine over a Linux terminal counts only what the line discipline holds, at most this many bytes;
// the kernel keeps more behind them, which a read brings.
constexpr uint32_t LineDisciplineHolds = 4095;

// How long a cancelled write that the port no longer waits for may take to end.
constexpr DWORD CancelTimeMs = 1000;

// One completion event per thread for the reads and the waited writes, which run on the
// caller's thread and end before they return.
HANDLE CompletionEvent() {
    thread_local const Win32Handle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event.Valid()) {
        FailWithSystemError();
    }
    return event.Get();
}

// Cancels the overlapped call and waits until it has ended: the caller's buffer and record are
// free afterwards. Answers the bytes it moved.
DWORD CancelAndCollect(HANDLE handle, OVERLAPPED& overlapped) {
    CancelIoEx(handle, &overlapped); // ERROR_NOT_FOUND: it has just ended by itself
    DWORD moved = 0;
    GetOverlappedResult(handle, &overlapped, &moved, TRUE);
    return moved;
}

// Device paths compare as Windows compares them, without regard to case.
std::string DeviceKey(const std::string& path) {
    std::string key = path;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

HANDLE OpenDevice(const std::string& path, DWORD flags) {
    // No sharing: nobody else may open the device while this handle is open.
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags,
                       nullptr);
}

bool ReadState(HANDLE handle, DCB& dcb) {
    ::DCB win{};
    win.DCBlength = sizeof win;
    if (!::GetCommState(handle, &win)) {
        return FailWithSystemError();
    }
    dcb = FromWindowsDCB(win);
    return true;
}

} // namespace

struct Win32CommSystem::HeldWrite {
    OVERLAPPED overlapped{};
    std::vector<char> bytes; // the driver reads them while the write runs
    bool running = false;
    bool purged = false; // its bytes left the caller's queue with a purge: nothing to report
    DWORD sent = 0;      // what the ended write sent, for the next WriteFile to report
    DWORD failure = 0;

    Win32Handle done{CreateEventA(nullptr, TRUE, TRUE, nullptr)};

    HeldWrite() { overlapped.hEvent = done.Get(); }
    HeldWrite(const HeldWrite&) = delete; // the record points at the event
    HeldWrite& operator=(const HeldWrite&) = delete;
};

Win32CommSystem::Win32CommSystem() = default;
Win32CommSystem::~Win32CommSystem() = default;

template <class Action> bool Win32CommSystem::WithPort(THandle handle, Action action) {
    std::lock_guard lock(mutex_);
    const auto port = ports_.find(handle);
    if (port == ports_.end()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return action(port->second);
}

bool Win32CommSystem::HoldsDevice(const std::string& device) {
    return std::any_of(ports_.begin(), ports_.end(),
                       [&](const auto& port) { return port.second.device == device; });
}

THandle Win32CommSystem::CreateFile(const std::string& path) {
    const std::string device = DeviceKey(path);
    {
        // Windows refuses a second open of a port itself; Wine lets it through, so a port this
        // process holds is refused here as Windows would.
        std::lock_guard lock(mutex_);
        if (HoldsDevice(device)) {
            Fail(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    }
    Win32Handle port(OpenDevice(path, FILE_FLAG_OVERLAPPED));
    if (!port.Valid()) {
        FailWithSystemError();
        return INVALID_HANDLE_VALUE;
    }
    auto held = std::make_unique<HeldWrite>();
    // Only a serial device has a state. Writing it back changes nothing on Windows; under Wine
    // it is what turns the terminal's line editing and echo off, which a pseudo-terminal has
    // until then. Bytes that came while the port was closed are stale: a port opens empty.
    const HANDLE handle = port.Get();
    ::DCB state{};
    state.DCBlength = sizeof state;
    const bool ready =
        (held->done.Valid() && ::GetCommState(handle, &state) && ::SetCommState(handle, &state) &&
         ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR)) ||
        FailWithSystemError();
    if (!ready) {
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard lock(mutex_);
    ports_[handle] = PortState{device, 0, false, std::move(held)};
    return port.Release(); // the component's from here, closed by CloseHandle
}

void Win32CommSystem::Drain(THandle handle, HeldWrite& held) {
    const auto deadline = std::chrono::steady_clock::now() + DrainTime;
    const auto left = [&] {
        return std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                          deadline - std::chrono::steady_clock::now())
                                          .count());
    };
    if (held.running) {
        WaitForSingleObject(held.overlapped.hEvent, static_cast<DWORD>(left()));
    }
    DWORD errors = 0;
    ::COMSTAT stat{};
    while (::ClearCommError(handle, &errors, &stat) && stat.cbOutQue > 0 && left() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
    if (held.running) {
        CancelIoEx(handle, &held.overlapped);
        held.running = WaitForSingleObject(held.overlapped.hEvent, CancelTimeMs) != WAIT_OBJECT_0;
    }
}

bool Win32CommSystem::CloseHandle(THandle handle) {
    std::unique_ptr<HeldWrite> held;
    {
        std::lock_guard lock(mutex_);
        const auto port = ports_.find(handle);
        if (port == ports_.end()) {
            return Fail(ERROR_INVALID_HANDLE);
        }
        held = std::move(port->second.held);
        ports_.erase(port);
    }
    Drain(handle, *held);
    const bool closed = ::CloseHandle(handle) || FailWithSystemError();
    if (held->running) {
        held.release(); // the driver never let go of it: left to it rather than freed under it
    }
    return closed;
}

bool Win32CommSystem::SetCommState(THandle handle, const DCB& dcb) {
    // Read first, so that the members the component has no place for keep the driver's values.
    ::DCB win{};
    win.DCBlength = sizeof win;
    if (!::GetCommState(handle, &win)) {
        return FailWithSystemError();
    }
    ToWindowsDCB(dcb, win);
    if (!::SetCommState(handle, &win)) {
        return FailWithSystemError();
    }
    return WithPort(handle, [&](PortState& port) {
        port.stripNulls = dcb.fNull;
        return true;
    });
}

bool Win32CommSystem::GetDefaultCommConfig(const std::string& path, DCB& dcb) {
    // Read from the device itself rather than by GetDefaultCommConfigA, which asks the port's
    // configuration provider (serialui.dll; Wine crashes in it unless that was loaded before).
    {
        std::lock_guard lock(mutex_);
        const std::string device = DeviceKey(path);
        for (const auto& [handle, port] : ports_) {
            if (port.device == device) {
                return ReadState(handle, dcb);
            }
        }
    }
    const Win32Handle device(OpenDevice(path, 0));
    return device.Valid() ? ReadState(device.Get(), dcb) : FailWithSystemError();
}

bool Win32CommSystem::SetCommTimeouts(THandle handle, const COMMTIMEOUTS& timeouts) {
    ::COMMTIMEOUTS win{};
    ToWindowsTimeouts(timeouts, win);
    return ::SetCommTimeouts(handle, &win) || FailWithSystemError();
}

bool Win32CommSystem::SetupComm(THandle handle, uint32_t inQueue, uint32_t outQueue) {
    return ::SetupComm(handle, inQueue, outQueue) || FailWithSystemError();
}

bool Win32CommSystem::SetCommMask(THandle handle, uint32_t evtMask) {
    return ::SetCommMask(handle, evtMask) || FailWithSystemError();
}

bool Win32CommSystem::PurgeComm(THandle handle, uint32_t flags) {
    if (!::PurgeComm(handle, flags)) {
        return FailWithSystemError();
    }
    if ((flags & PURGE_TXABORT) == 0) {
        return true;
    }
    // Windows ends the held write with the abort; Wine's purge leaves it running.
    return WithPort(handle, [&](PortState& port) {
        HeldWrite& held = *port.held;
        if (HeldWriteRuns(handle, held, false)) {
            // Not waited for under the lock: the write ends by itself soon, and the next write
            // or WaitWriteRoom sees it end.
            CancelIoEx(handle, &held.overlapped);
            held.purged = true;
        }
        held.sent = 0;
        return true;
    });
}

bool Win32CommSystem::ClearCommError(THandle handle, uint32_t& errors, COMSTAT& stat) {
    errors = 0;
    stat = COMSTAT{};
    DWORD found = 0;
    ::COMSTAT win{};
    if (!::ClearCommError(handle, &found, &win)) {
        return FailWithSystemError();
    }
    stat = FromWindowsComStat(win);
    return WithPort(handle, [&](PortState& port) {
        errors = found | std::exchange(port.keptErrors, 0);
        return true;
    });
}

bool Win32CommSystem::GetCommModemStatus(THandle handle, uint32_t& modemStat) {
    DWORD lines = 0;
    if (!::GetCommModemStatus(handle, &lines)) {
        return FailWithSystemError();
    }
    modemStat = lines;
    return true;
}

bool Win32CommSystem::EscapeCommFunction(THandle handle, uint32_t func) {
    return ::EscapeCommFunction(handle, func) || FailWithSystemError();
}

bool Win32CommSystem::GetCommProperties(THandle handle, COMMPROP& prop) {
    ::COMMPROP win{};
    if (!::GetCommProperties(handle, &win)) {
        return FailWithSystemError();
    }
    prop = FromWindowsCommProp(win);
    return true;
}

bool Win32CommSystem::CountInput(THandle handle, uint32_t& waiting) {
    bool moreMayBeHeld = false;
    return Count(handle, waiting, moreMayBeHeld);
}

bool Win32CommSystem::Count(THandle handle, uint32_t& waiting, bool& moreMayBeHeld) {
    DWORD errors = 0;
    ::COMSTAT stat{};
    if (!::ClearCommError(handle, &errors, &stat)) {
        return FailWithSystemError();
    }
    waiting = stat.cbInQue;
    return WithPort(handle, [&](PortState& port) {
        port.keptErrors |= errors;
        port.moreMayBeHeld |= waiting >= LineDisciplineHolds;
        moreMayBeHeld = port.moreMayBeHeld;
        return true;
    });
}

bool Win32CommSystem::ReadFile(THandle handle, void* buffer, uint32_t count, uint32_t& read) {
    read = 0;
    // Started only when bytes wait, so that it does not wait itself. It asks for all the caller
    // wants, not only the counted bytes. Wine over a Linux terminal counts only the line
    // discipline's bytes, and the kernel moves those it holds behind them along after each read:
    // once a count has reached the limit, a read is tried also when the count shows nothing.
    // Wine tries it before it leaves it pending, so a pending one found nothing and is not waited
    // for.
    uint32_t waiting = 0;
    bool moreMayBeHeld = false;
    if (!Count(handle, waiting, moreMayBeHeld)) {
        return false;
    }
    if (count == 0 || (waiting == 0 && !moreMayBeHeld)) {
        return true;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = CompletionEvent();
    if (overlapped.hEvent == nullptr) {
        return false;
    }
    DWORD got = 0;
    // A read that ended at once is not waited for: under Wine each wait asks its server.
    const bool ended = ::ReadFile(handle, buffer, count, nullptr, &overlapped);
    if (!ended && ::GetLastError() != ERROR_IO_PENDING) {
        return FailWithSystemError();
    }
    const DWORD grace = waiting > 0 ? ReadGraceMs : 0;
    if (!ended && WaitForSingleObject(overlapped.hEvent, grace) != WAIT_OBJECT_0) {
        got = CancelAndCollect(handle, overlapped);
    } else if (!GetOverlappedResult(handle, &overlapped, &got, FALSE)) {
        return FailWithSystemError();
    }
    // Windows' driver drops received zero bytes itself when fNull asks for it; Wine ignores
    // fNull, so the layer drops them, which finds none left behind Windows' driver.
    return WithPort(handle, [&](PortState& port) {
        port.moreMayBeHeld = port.moreMayBeHeld && got > 0;
        auto* bytes = static_cast<char*>(buffer);
        read = port.stripNulls
                   ? static_cast<uint32_t>(std::remove(bytes, bytes + got, '\0') - bytes)
                   : got;
        return true;
    });
}

bool Win32CommSystem::HeldWriteRuns(THandle handle, HeldWrite& held, bool wait) {
    if (!held.running) {
        return false;
    }
    DWORD moved = 0;
    if (!GetOverlappedResult(handle, &held.overlapped, &moved, wait)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_IO_INCOMPLETE) {
            return true;
        }
        if (code != ERROR_OPERATION_ABORTED) { // a purge's abort is no failure
            held.failure = code;
        }
    }
    held.running = false;
    held.sent = std::exchange(held.purged, false) ? 0 : moved;
    return false;
}

bool Win32CommSystem::WriteHeld(THandle handle, HeldWrite& held, const void* buffer, uint32_t count,
                                uint32_t& written) {
    if (HeldWriteRuns(handle, held, false)) {
        return true; // the driver has no room until the held write ends
    }
    if (held.failure != 0) {
        return Fail(std::exchange(held.failure, 0));
    }
    const DWORD sent = std::exchange(held.sent, 0);
    const auto* bytes = static_cast<const char*>(buffer);
    // The caller hands the same bytes again until they are reported sent; a queue that changed
    // meanwhile (a purge) gets no report of bytes it no longer holds.
    const DWORD reported = sent > 0 && sent <= count &&
                                   std::equal(held.bytes.begin(), held.bytes.begin() + sent, bytes)
                               ? sent
                               : 0;
    written = reported;
    if (reported == count) {
        return true;
    }
    // What was appended behind the ended write goes out in the same call, so that a queue
    // filled while the line was held takes one more write, not two.
    held.bytes.assign(bytes + reported, bytes + count);
    const auto size = static_cast<DWORD>(held.bytes.size());
    DWORD moved = 0;
    if (::WriteFile(handle, held.bytes.data(), size, nullptr, &held.overlapped)) {
        if (!GetOverlappedResult(handle, &held.overlapped, &moved, FALSE)) {
            return Refused(held, reported);
        }
        written = reported + moved;
        return true;
    }
    if (::GetLastError() != ERROR_IO_PENDING) {
        return Refused(held, reported);
    }
    // The driver has the bytes; they count as sent when the write ends, as the transmit
    // queue keeps them until then, and WaitWriteRoom waits for that end.
    held.running = true;
    return true;
}

bool Win32CommSystem::Refused(HeldWrite& held, DWORD reported) {
    if (reported == 0) {
        return FailWithSystemError();
    }
    // The bytes that did go are reported now; the failure comes with the next call.
    held.failure = ::GetLastError();
    return true;
}

bool Win32CommSystem::WriteWaiting(THandle handle, const void* buffer, uint32_t count,
                                   uint32_t timeoutMs, TSignalHandle cancelEvent,
                                   uint32_t& written) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CompletionEvent();
    if (overlapped.hEvent == nullptr) {
        return false;
    }
    if (!::WriteFile(handle, buffer, count, nullptr, &overlapped)) {
        if (::GetLastError() != ERROR_IO_PENDING) {
            return FailWithSystemError();
        }
        const HANDLE waited[] = {overlapped.hEvent, EventOf(cancelEvent)};
        const DWORD woken =
            WaitForMultipleObjects(cancelEvent.Valid() ? 2 : 1, waited, FALSE, timeoutMs);
        if (woken != WAIT_OBJECT_0) {
            // Out of time, or cancelled: what went out counts, the rest is taken back.
            written = CancelAndCollect(handle, overlapped);
            return true;
        }
    }
    DWORD moved = 0;
    if (!GetOverlappedResult(handle, &overlapped, &moved, FALSE)) {
        return FailWithSystemError();
    }
    written = moved;
    return true;
}

bool Win32CommSystem::WriteFile(THandle handle, const void* buffer, uint32_t count,
                                uint32_t timeoutMs, TSignalHandle cancelEvent, uint32_t& written) {
    written = 0;
    if (timeoutMs == 0) {
        // "What fits now": a Windows driver takes no bytes but the whole write, so it is left
        // running with a copy of the bytes: 0 written now, and the next call, once it has ended
        // (WaitWriteRoom waits for that), reports what it sent. Cancelling it at once instead
        // would send next to nothing per call.
        std::lock_guard lock(mutex_);
        const auto port = ports_.find(handle);
        if (port == ports_.end()) {
            return Fail(ERROR_INVALID_HANDLE);
        }
        return count == 0 || WriteHeld(handle, *port->second.held, buffer, count, written);
    }
    if (count == 0) {
        return WithPort(handle, [](PortState&) { return true; });
    }
    return WriteWaiting(handle, buffer, count, timeoutMs, cancelEvent, written);
}

int Win32CommSystem::WaitInput(THandle handle, uint32_t timeoutMs, TSignalHandle cancelEvent) {
    // Windows tells of arriving input only through WaitCommEvent, which belongs to the port's
    // receive thread (one wait per handle); so the input queue is looked at every few
    // milliseconds instead, sleeping on the cancel signal in between.
    constexpr ULONGLONG Step = 2;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        uint32_t waiting = 0;
        if (!CountInput(handle, waiting)) {
            return -1;
        }
        const ULONGLONG now = GetTickCount64();
        if (waiting > 0) {
            return 1;
        }
        if (now >= end) {
            return 0;
        }
        const auto pause = static_cast<DWORD>(std::min(Step, end - now));
        if (cancelEvent.Valid()) {
            if (WaitForSingleObject(EventOf(cancelEvent), pause) == WAIT_OBJECT_0) {
                return 0;
            }
        } else {
            Sleep(pause);
        }
    }
}

uint32_t Win32CommSystem::UnreportedWrite(THandle handle) {
    uint32_t unreported = 0;
    WithPort(handle, [&](PortState& port) {
        HeldWrite& held = *port.held;
        unreported = HeldWriteRuns(handle, held, false) ? static_cast<uint32_t>(held.bytes.size())
                                                        : held.sent;
        return true;
    });
    return unreported;
}

uint32_t Win32CommSystem::UncountedInput(uint32_t counted) {
    // A Windows driver counts every byte it holds; Wine over a Linux terminal passes on the line
    // discipline's count, which stops at 4095 with more behind it. Reads take only what the
    // driver has, so allowing for more costs nothing where the count is exact.
    constexpr uint32_t TtyBufferLimit = 640 * 1024;
    return counted >= LineDisciplineHolds ? TtyBufferLimit : 0;
}

int Win32CommSystem::WaitWriteRoom(THandle handle, std::span<const TSignalHandle> wakers) {
    HANDLE heldDone = nullptr;
    const bool known = WithPort(handle, [&](PortState& port) {
        if (HeldWriteRuns(handle, *port.held, false)) {
            heldDone = port.held->overlapped.hEvent;
        }
        return true;
    });
    if (!known) {
        return -1;
    }
    std::vector<HANDLE> waited;
    for (const TSignalHandle waker : wakers) {
        waited.push_back(EventOf(waker));
    }
    if (heldDone == nullptr) {
        // Room now; a set waker still comes first, as the interface promises.
        if (waited.empty()) {
            return 0;
        }
        const DWORD set =
            WaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(), FALSE, 0);
        return set < WAIT_OBJECT_0 + waited.size() ? static_cast<int>(set - WAIT_OBJECT_0)
                                                   : static_cast<int>(wakers.size());
    }
    // The closing thread stops this one (a waker) before it closes the handle, so the held
    // write's event outlives the wait.
    waited.push_back(heldDone);
    const DWORD woken =
        WaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(), FALSE, INFINITE);
    if (woken < WAIT_OBJECT_0 + waited.size()) {
        return static_cast<int>(woken - WAIT_OBJECT_0);
    }
    FailWithSystemError();
    return -1;
}

std::unique_ptr<ICommEventWaiter> Win32CommSystem::CreateEventWaiter(THandle handle,
                                                                     TSignalHandle stopEvent) {
    if (!WithPort(handle, [](PortState&) { return true; })) {
        return nullptr;
    }
    return Win32EventWaiter::Create(*this, handle, stopEvent);
}

TDeviceProbe Win32CommSystem::ProbeDevice(const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        if (HoldsDevice(DeviceKey(path))) {
            return dpBusy; // see CreateFile
        }
    }
    if (Win32Handle(OpenDevice(path, 0)).Valid()) {
        return dpFree;
    }
    return IsDeviceNotFound(static_cast<int>(::GetLastError())) ? dpMissing : dpBusy;
}

ICommSystem& DefaultCommSystem() {
    static Win32CommSystem system;
    return system;
}

} // namespace SerialPlatform
