// The device: its name, opening and closing in their order, and the seams of the port's threads.

#include "serial/VaCommEventThread.h"
#include "serial/VaCommFormat.h"
#include "serial/VaCommHandle.h"
#include "serial/VaCommWriteThread.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/framework/Application.h>
#include <q4471/serial/VaComm.h>

#include <memory>
#include <utility>

using namespace q4471;
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
    // Deliveries on the port's threads wait until Open has returned, so that no handler closes
    // or destroys the port under it.
    struct TOpening {
        TVaOwnDeliveries& deliveries;
        explicit TOpening(TVaOwnDeliveries& value) : deliveries(value) {
            deliveries.BeginOpening();
        }
        ~TOpening() { deliveries.EndOpening(); }
        TOpening(const TOpening&) = delete;
        TOpening& operator=(const TOpening&) = delete;
    } const opening(*ownDeliveries_);
    try {
        CreateHandle();
        deviceLostShown_ = false;
        heldErrors_ = 0;
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
        {
            const TLockGuard lock(globalLock_);
            DestroyThreads();
        }
        ReleaseThreads();
        DestroyHandle();
        throw;
    }
    lastOpenError_ = 0;
}

void TVaCustomComm::Close() {
    if (!handle_->BeginClose()) {
        return;
    }
    ++*closings_; // a delivery under way stops at its next step
    {
        const TLockGuard lock(globalLock_);
        DestroyThreads();
    }
    // Waiting for the threads needs every lock free: a delivery that the GUI thread is running
    // may be taking them.
    ReleaseThreads();
    DestroyHandle();
    DoClose();
}

void TVaCustomComm::CreateHandle() {
    const THandle handle = system_->CreateFile(GetDeviceNameEx());
    if (handle == INVALID_HANDLE_VALUE) {
        throw OpenError(GetDeviceName(), GetLastError());
    }
    handle_->Attach(handle);
}

void TVaCustomComm::DestroyHandle() {
    if (!Active()) {
        return;
    }
    handle_->BeginClose();
    // A direct write waiting for room lets go at once; then the calls still using the device
    // give it back, and no later call gets it.
    completionEvent_.SetEvent();
    system_->CloseHandle(handle_->Detach());
    completionEvent_.ResetEvent();
}

void TVaCustomComm::CreateThreads() {
    std::unique_ptr<TVaCommEventThread> eventThread;
    std::unique_ptr<TVaCommWriteThread> writeThread;
    if (eventMask_ != 0) {
        eventThread = std::make_unique<TVaCommEventThread>(this);
        eventThread->SetPriority(eventPriority_);
    }
    if (!directWrite_) {
        writeThread = std::make_unique<TVaCommWriteThread>(this);
        writeThread->SetPriority(writePriority_);
    }
    // Known and started in one step under the global lock: a handler on one of them (with
    // htPortThreads) may close the port at once, and that Close must find both threads started.
    const TLockGuard lock(globalLock_);
    {
        const TLockGuard slot(writeThreadMutex_);
        writeThread_ = writeThread.release();
    }
    eventThread_ = eventThread.release();
    if (TVaCommWriteThread* const started = WriteThreadHeldGlobally(); started != nullptr) {
        started->Start();
    }
    if (eventThread_ != nullptr) {
        eventThread_->Start();
    }
}

void TVaCustomComm::DestroyThreads() {
    if (eventThread_ != nullptr) {
        eventThread_->StopThread();
        stoppedThreads_.push_back(std::exchange(eventThread_, nullptr));
    }
    if (TVaCommWriteThread* const stopping = WriteThreadHeldGlobally(); stopping != nullptr) {
        // Writers waiting for room give up now; ReleaseThreads waits for them to leave.
        stopping->StopThread();
        const TLockGuard slot(writeThreadMutex_);
        stoppedThreads_.push_back(std::exchange(writeThread_, nullptr));
    }
    // A delivery held back by an Open in progress (a handler of OnOpen closing the port) goes.
    ownDeliveries_->Wake();
}

void TVaCustomComm::ReleaseThreads() {
    for (TVaCommThread* thread : std::exchange(stoppedThreads_, std::vector<TVaCommThread*>{})) {
        TVaCommThread::Release(thread);
    }
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
