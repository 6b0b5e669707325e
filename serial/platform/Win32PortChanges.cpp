// News of serial ports on Windows: a change of the registry's list of serial devices, which every
// serial driver updates as its ports come and go, signalled to an event: no polling.

#include "serial/platform/SerialPortSystem.h"
#include "serial/platform/Win32Errors.h"
#include "serial/platform/Win32Signals.h"

#include <q4471/serial/SystemErrors.h>

#include <windows.h>

namespace SerialPlatform {

namespace {

// A burst of changes is taken as one once quiet this long, waited out at most BurstCapMs.
constexpr DWORD QuietMs = 100;
constexpr DWORD BurstCapMs = 1000;

class TWin32PortChangeWaiter : public IPortChangeWaiter {
public:
    explicit TWin32PortChangeWaiter(TSignalHandle stop) : stop_(EventOf(stop)) {}

    ~TWin32PortChangeWaiter() override {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
        if (changed_ != nullptr) {
            ::CloseHandle(changed_);
        }
    }

    // The whole device map is watched: SERIALCOMM itself exists only while a port does.
    bool Start() {
        changed_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (changed_ == nullptr) {
            return FailWithSystemError();
        }
        const LONG opened =
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP", 0, KEY_NOTIFY, &key_);
        if (opened != ERROR_SUCCESS) {
            key_ = nullptr;
            return Fail(static_cast<unsigned long>(opened));
        }
        return Arm();
    }

    TPortWaitResult WaitForChange(std::vector<std::string>&) override {
        switch (Wait(INFINITE)) {
        case WAIT_OBJECT_0:
            return pwStopped;
        case WAIT_OBJECT_0 + 1:
            break;
        default:
            FailWithSystemError();
            return pwFailed;
        }
        // Armed again before the burst is taken, so that nothing after it goes unnoticed.
        for (DWORD waited = 0; Arm() && waited < BurstCapMs; waited += QuietMs) {
            const DWORD result = Wait(QuietMs);
            if (result == WAIT_OBJECT_0) {
                return pwStopped;
            }
            if (result != WAIT_OBJECT_0 + 1) {
                break;
            }
        }
        return pwChanged;
    }

private:
    bool Arm() {
        const LONG armed = RegNotifyChangeKeyValue(
            key_, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, changed_, TRUE);
        return armed == ERROR_SUCCESS || Fail(static_cast<unsigned long>(armed));
    }

    DWORD Wait(DWORD timeoutMs) {
        const HANDLE waited[] = {stop_, changed_};
        return WaitForMultipleObjects(2, waited, FALSE, timeoutMs);
    }

    const HANDLE stop_;
    HANDLE changed_ = nullptr;
    HKEY key_ = nullptr;
};

} // namespace

std::unique_ptr<IPortChangeWaiter> CreatePortChangeWaiter(const TSerialSystemFolders&,
                                                          TSignalHandle stop) {
    auto waiter = std::make_unique<TWin32PortChangeWaiter>(stop);
    return waiter->Start() ? std::move(waiter) : nullptr;
}

} // namespace SerialPlatform
