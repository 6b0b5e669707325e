// The device: its name, opening and closing in their order, and the seams of the port's threads.

#include "framework/Application.h"
#include "serial/VaComm.h"
#include "serial/VaCommFormat.h"

#include <mutex>

using namespace SerialPlatform;

std::string TVaCustomComm::GetDeviceName() const {
    return FormatNumber(deviceName_, portNum_);
}

std::string TVaCustomComm::GetDeviceNameEx() const {
    return DeviceNodeFor(GetDeviceName());
}

void TVaCustomComm::Open() {
    CheckOpen();
    SetLastError(0);
    try {
        CreateHandle();
        if (Active()) {
            SetDCB();
            UpdateBuffers();
            UpdateTimeouts();
            UpdateEventMask();
            CreateThreads();
            DoOpen();
        }
    } catch (...) {
        lastOpenError_ = GetLastError();
        // A thread started before the failure must let go of the device before it closes.
        DestroyThreads();
        DestroyHandle();
        throw;
    }
    lastOpenError_ = 0;
}

void TVaCustomComm::Close() {
    if (!Active()) {
        return;
    }
    {
        std::lock_guard lock(globalLock_);
        DestroyThreads();
    }
    DestroyHandle();
    DoClose();
}

void TVaCustomComm::CreateHandle() {
    const THandle handle = system_->CreateFile(GetDeviceNameEx());
    if (handle == INVALID_HANDLE_VALUE) {
        const int code = GetLastError();
        if (IsDeviceNotFound(code)) {
            throw EVaCommError(FormatText(sErrDeviceNotFound, GetDeviceName()));
        }
        throw EVaCommError(FormatText(sErrOpenDevice, GetDeviceName()) +
                           FormatSystemError(sErrOpenDeviceCode, code, SysErrorMessage(code)));
    }
    handle_ = handle;
}

void TVaCustomComm::DestroyHandle() {
    if (!Active()) {
        return;
    }
    // A direct write waiting for room lets go at once; then no reader, writer or status query
    // can be using the descriptor while it is closed.
    completionEvent_.SetEvent();
    {
        std::lock_guard global(globalLock_);
        std::lock_guard write(writeLock_);
        system_->CloseHandle(handle_.exchange(INVALID_HANDLE_VALUE));
    }
    completionEvent_.ResetEvent();
}

void TVaCustomComm::CreateThreads() {
    // The receive thread starts here when EventMask() is not 0 (with EventPriority), and the
    // transmit thread when DirectWrite is false (with WritePriority); they come with their own
    // module. Until then an open port runs no thread.
}

void TVaCustomComm::DestroyThreads() {
    // Stops the threads that CreateThreads started; none yet.
}

void TVaCustomComm::DoOpen() {
    if (!OnOpen) {
        return;
    }
    try {
        OnOpen(this);
    } catch (...) {
        Application::HandleException();
    }
}

void TVaCustomComm::DoClose() {
    if (OnClose && !InState(csDestroying)) {
        OnClose(this);
    }
}

int32_t GetPortState(int32_t port) {
    switch (DefaultCommSystem().ProbeDevice(DeviceNodeFor(FormatNumber("COM%d", port)))) {
    case dpFree:
        return 1;
    case dpMissing:
        return 2;
    default:
        return 0;
    }
}
