#pragma once

// The serial calls carried out on Linux: a tty opened non-blocking, termios2 for the settings,
// ioctls for queues, lines and counters, epoll for the line events.

#include "serial/platform/CommPlatform.h"

#include <linux/serial.h>
#include <map>
#include <mutex>

namespace SerialPlatform {

class LinuxCommSystem final : public ICommSystem {
public:
    THandle CreateFile(const std::string& path) override;
    bool CloseHandle(THandle handle) override;
    bool SetCommState(THandle handle, const DCB& dcb) override;
    bool GetDefaultCommConfig(const std::string& path, DCB& dcb) override;
    bool SetCommTimeouts(THandle handle, const COMMTIMEOUTS& timeouts) override;
    bool SetupComm(THandle handle, uint32_t inQueue, uint32_t outQueue) override;
    bool SetCommMask(THandle handle, uint32_t evtMask) override;
    bool PurgeComm(THandle handle, uint32_t flags) override;
    bool ClearCommError(THandle handle, uint32_t& errors, COMSTAT& stat) override;
    bool ClearCommInput(THandle handle, uint32_t& errors, uint32_t& inQue) override;
    bool GetCommModemStatus(THandle handle, uint32_t& modemStat) override;
    bool EscapeCommFunction(THandle handle, uint32_t func) override;
    bool GetCommProperties(THandle handle, COMMPROP& prop) override;
    bool ReadFile(THandle handle, void* buffer, uint32_t count, uint32_t& read) override;
    bool WriteFile(THandle handle, const void* buffer, uint32_t count, uint32_t timeoutMs,
                   TSignalHandle cancelEvent, uint32_t& written) override;
    int WaitInput(THandle handle, uint32_t timeoutMs, TSignalHandle cancelEvent) override;
    uint32_t UnreportedWrite(THandle handle) override;
    uint32_t UncountedInput(uint32_t counted) override;
    int WaitWriteRoom(THandle handle, std::span<const TSignalHandle> wakers) override;
    std::unique_ptr<ICommEventWaiter> CreateEventWaiter(THandle handle,
                                                        TSignalHandle stopEvent) override;
    TDeviceProbe ProbeDevice(const std::string& path) override;

    // The event mask last set on the handle; 0 for a handle that is not open.
    uint32_t EventMaskOf(THandle handle);

private:
    // What Linux does not keep for an open device and this layer keeps instead.
    struct PortState {
        DCB written; // the last record written, for the members termios has no place for
        bool hasWritten = false;
        uint32_t evtMask = 0;
        uint32_t inQueue = 0; // the queue sizes asked for (Linux's are fixed)
        uint32_t outQueue = 0;
        serial_icounter_struct counters{}; // the readings at the last ClearCommError
        bool hasCounters = false;
        bool xoffHold = false; // output stopped by SETXOFF
    };

    // Runs `action` on the handle's state under the lock; false with EBADF for a handle that is
    // not open.
    template <class Action> bool WithPort(THandle handle, Action action);
    bool ReadDeviceSettings(int fd, DCB& dcb);
    // The line errors since the last reading, from the counters of a driver that keeps them.
    bool ReadLineErrors(THandle handle, const PortState& known, uint32_t& errors);

    std::mutex mutex_;
    std::map<THandle, PortState> ports_;
};

} // namespace SerialPlatform
