#pragma once

// The serial calls carried out by Windows' own: a device opened overlapped and exclusively, each
// call passed to its namesake, and the waits the interface promises built from overlapped
// operations, their completion events and the caller's signals.

#include "serial/platform/CommPlatform.h"

#include <map>
#include <memory>
#include <mutex>

// Kept free of the macros of <windows.h>, as CommPlatform.h is.
#pragma push_macro("CreateFile")
#pragma push_macro("GetDefaultCommConfig")
#undef CreateFile
#undef GetDefaultCommConfig

namespace SerialPlatform {

class Win32CommSystem final : public ICommSystem {
public:
    Win32CommSystem();
    ~Win32CommSystem() override;
    Win32CommSystem(const Win32CommSystem&) = delete;
    Win32CommSystem& operator=(const Win32CommSystem&) = delete;

    THandle CreateFile(const std::string& path) override;
    bool CloseHandle(THandle handle) override;
    bool SetCommState(THandle handle, const DCB& dcb) override;
    bool GetDefaultCommConfig(const std::string& path, DCB& dcb) override;
    bool SetCommTimeouts(THandle handle, const COMMTIMEOUTS& timeouts) override;
    bool SetupComm(THandle handle, uint32_t inQueue, uint32_t outQueue) override;
    bool SetCommMask(THandle handle, uint32_t evtMask) override;
    bool PurgeComm(THandle handle, uint32_t flags) override;
    bool ClearCommError(THandle handle, uint32_t& errors, COMSTAT& stat) override;
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

    // The bytes waiting in the input queue. The line errors that asking clears are kept for
    // ClearCommError; a device that has gone away fails.
    bool CountInput(THandle handle, uint32_t& waiting);

private:
    // CountInput, also telling whether bytes may wait behind the count.
    bool Count(THandle handle, uint32_t& waiting, bool& moreMayBeHeld);
    // The write that WriteFile without time limit leaves to the driver (see WriteFile).
    struct HeldWrite;
    struct PortState {
        std::string device;      // the path opened, for GetDefaultCommConfig and the exclusive open
        uint32_t keptErrors = 0; // line errors that ReadFile's status check read and cleared
        bool stripNulls = false; // fNull of the record written last (see ReadFile)
        std::unique_ptr<HeldWrite> held;
        // A count stopped at a line discipline's limit and no read has found the driver empty
        // since: bytes may wait that no count shows (see ReadFile).
        bool moreMayBeHeld = false;
    };

    // Runs `action` on the handle's state under the lock; false with ERROR_INVALID_HANDLE for a
    // handle that is not open.
    template <class Action> bool WithPort(THandle handle, Action action);
    bool HoldsDevice(const std::string& device);
    // Ends the held write's bookkeeping once it has finished; answers whether it still runs.
    // A failure of it is kept for the next WriteFile.
    bool HeldWriteRuns(THandle handle, HeldWrite& held, bool wait);
    bool WriteHeld(THandle handle, HeldWrite& held, const void* buffer, uint32_t count,
                   uint32_t& written);
    // A write that the driver refused at once: a failure, unless bytes of the ended write are
    // reported with it; then the failure waits for the next WriteFile.
    static bool Refused(HeldWrite& held, unsigned long reported);
    bool WriteWaiting(THandle handle, const void* buffer, uint32_t count, uint32_t timeoutMs,
                      TSignalHandle cancelEvent, uint32_t& written);
    void Drain(THandle handle, HeldWrite& held);

    std::mutex mutex_;
    std::map<THandle, PortState> ports_;
};

} // namespace SerialPlatform

#pragma pop_macro("GetDefaultCommConfig")
#pragma pop_macro("CreateFile")
