#pragma once

// The operating system's serial services as the component sees them: the calls and records of
// the Windows serial interface. The component calls through ICommSystem and the neutral headers
// only, so that a test can stand in for the system (modem lines, line errors, a refused call)
// and another system can be put beneath it.
//
// The layers of serial/platform, which includes nothing of the component above it:
// - neutral, for every system: this header (the calls), the public headers it includes from
//   serial/ (CommCodes.h, the Windows codes with their values; CommRecords.h, the records;
//   DeviceNames.h, the settable resolver of port names; SystemErrors.h, what an error code
//   means), Signals.h (the signals that the waits watch), LastError.cpp (the thread's last
//   error), FileEntries.h, and DeviceNames.cpp;
// - Linux, in the files named Linux*: termios2, ioctls and epoll for the calls (LinuxCommSystem
//   with its LineSettings, LineCounters, EventWaiter and ModemWatcher), eventfds for the signals,
//   errno for the errors, stat for the entries, /dev for the default names, and the owner of
//   descriptors;
// - Windows, in the files named Win32*: the Win32 serial calls themselves on overlapped handles,
//   event objects for the signals, GetLastError's codes, GetFileAttributesEx, "\\.\" names.
//   Only those files include <windows.h>, after the neutral headers; the names that it makes
//   macros (CreateFile, GetDefaultCommConfig, INVALID_HANDLE_VALUE) are kept out of this header
//   whichever comes first. This folder's CMakeLists.txt chooses the layer.

#include "serial/platform/Signals.h"

#include <q4471/serial/CommCodes.h>
#include <q4471/serial/CommRecords.h>
#include <q4471/serial/DeviceNames.h>
#include <q4471/serial/SystemErrors.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#pragma push_macro("CreateFile")
#pragma push_macro("GetDefaultCommConfig")
#pragma push_macro("INVALID_HANDLE_VALUE")
#undef CreateFile
#undef GetDefaultCommConfig
#undef INVALID_HANDLE_VALUE

namespace SerialPlatform {

// How a wait for line events ended.
enum TCommWaitResult { cwEvents, cwStopped, cwDeviceGone, cwFailed };

// Waits for the line events of the handle's event mask (SetCommMask). Made once per receive
// loop; one thread waits on it at a time.
class ICommEventWaiter {
public:
    virtual ~ICommEventWaiter() = default;

    // Blocks until an event of the mask happens or the stop signal is set. cwEvents fills
    // `evtMask` with the events seen (never a bit the host cannot observe); cwStopped: the stop
    // signal is set; cwDeviceGone: the device hung up (a pulled USB adapter), so waiting again is
    // pointless; cwFailed: the wait itself failed, the error is in GetLastError.
    virtual TCommWaitResult WaitCommEvent(uint32_t& evtMask) = 0;
};

// What a probe of a device by name found (GetPortState).
enum TDeviceProbe { dpFree, dpMissing, dpBusy };

// The serial calls. Every call that answers bool answers false on failure and leaves the
// system's error code for GetLastError.
class ICommSystem {
public:
    virtual ~ICommSystem() = default;

    // Opens the device for reading and writing, exclusively (a second open of the same device,
    // from any process, is refused), with empty queues and no line processing: every byte
    // passes unchanged. A device that another program holds by the conventions of terminal
    // programs (an advisory flock, or the exclusive flag) is refused with EBUSY, also for root.
    // INVALID_HANDLE_VALUE on failure.
    virtual THandle CreateFile(const std::string& path) = 0;
    // Closes the device; unsent output is given a bounded time to drain, then discarded.
    virtual bool CloseHandle(THandle handle) = 0;

    virtual bool SetCommState(THandle handle, const DCB& dcb) = 0;
    // The device's current settings, from the open handle when this process has the device
    // open, otherwise from a short non-exclusive look at it.
    virtual bool GetDefaultCommConfig(const std::string& path, DCB& dcb) = 0;
    virtual bool SetCommTimeouts(THandle handle, const COMMTIMEOUTS& timeouts) = 0;
    virtual bool SetupComm(THandle handle, uint32_t inQueue, uint32_t outQueue) = 0;
    virtual bool SetCommMask(THandle handle, uint32_t evtMask) = 0;
    virtual bool PurgeComm(THandle handle, uint32_t flags) = 0;
    // Reads and clears the line-error flags (CE_*) and fills the status record.
    virtual bool ClearCommError(THandle handle, uint32_t& errors, COMSTAT& stat) = 0;
    // ClearCommError for a caller that wants only `cbInQue`, as every read of what waits does: a
    // system that asks the driver for each part of the status separately asks only for that.
    virtual bool ClearCommInput(THandle handle, uint32_t& errors, uint32_t& inQue) {
        COMSTAT stat{};
        const bool cleared = ClearCommError(handle, errors, stat);
        inQue = stat.cbInQue;
        return cleared;
    }
    virtual bool GetCommModemStatus(THandle handle, uint32_t& modemStat) = 0;
    virtual bool EscapeCommFunction(THandle handle, uint32_t func) = 0;
    virtual bool GetCommProperties(THandle handle, COMMPROP& prop) = 0;

    // Reads at most `count` bytes that are already waiting; never waits. `read` is 0 when
    // nothing waits. A device that has gone away is a failure (EIO), not an empty read.
    virtual bool ReadFile(THandle handle, void* buffer, uint32_t count, uint32_t& read) = 0;
    // Writes all `count` bytes, waiting for room at most `timeoutMs` milliseconds in all, or
    // until the signal `cancelEvent` is set. On return the call no longer touches `buffer`;
    // `written` < `count` means the time ran out or the write was cancelled (the bytes counted
    // in `written` are on their way).
    virtual bool WriteFile(THandle handle, const void* buffer, uint32_t count, uint32_t timeoutMs,
                           TSignalHandle cancelEvent, uint32_t& written) = 0;

    // Waits until input can be read, or the device reports a hang-up (the next read tells it),
    // at most `timeoutMs` milliseconds, or until the signal `cancelEvent` is set. Answers 1 for
    // input, 0 when the time ran out or the wait was cancelled, -1 on failure (GetLastError).
    virtual int WaitInput(THandle handle, uint32_t timeoutMs, TSignalHandle cancelEvent) = 0;
    // How many bytes at the front of what the last WriteFile was given the device has taken
    // without WriteFile reporting them yet (a write that runs on in the driver, or has ended
    // since): they are on their way, and the caller hands them to the next WriteFile unchanged,
    // which reports them. 0 where a write reports everything it took.
    virtual uint32_t UnreportedWrite(THandle handle) = 0;
    // How many bytes may wait beyond the `cbInQue` that ClearCommError counted: a driver whose
    // count stops at a limit holds more behind it. 0 where the count is exact.
    virtual uint32_t UncountedInput(uint32_t counted) = 0;
    // Waits until the device can take more output, or until one of the signals `wakers` is set.
    // Answers the position of the first set signal, wakers.size() when the device has room or
    // reports a hang-up (the next write tells which), -1 on failure (GetLastError).
    virtual int WaitWriteRoom(THandle handle, std::span<const TSignalHandle> wakers) = 0;

    // A waiter for the line events of `handle`, stopped by the signal `stopEvent`. nullptr on
    // failure.
    virtual std::unique_ptr<ICommEventWaiter> CreateEventWaiter(THandle handle,
                                                                TSignalHandle stopEvent) = 0;

    // Tries whether the device could be opened now, and leaves it closed and as it was.
    virtual TDeviceProbe ProbeDevice(const std::string& path) = 0;
};

// The host's implementation, used by every component unless a test gives one another.
ICommSystem& DefaultCommSystem();

} // namespace SerialPlatform

#pragma pop_macro("INVALID_HANDLE_VALUE")
#pragma pop_macro("GetDefaultCommConfig")
#pragma pop_macro("CreateFile")
