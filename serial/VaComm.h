#pragma once

#include "framework/Thread.h"
#include "serial/VaClasses.h"
#include "serial/VaCommHandle.h"
#include "serial/VaObjects.h"
#include "serial/VaPrst.h"
#include "serial/VaTypes.h"
#include "serial/Vaconst.h"
#include "serial/platform/CommPlatform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TVaCommThread;
class TVaCommEventThread;
class TVaCommWriteThread;
class TVaDispatcher;
class TVaDisplay;

// Event handlers of the port; each gets the port first. All run on the GUI thread.
using TNotifyEvent = std::function<void(TObject* sender)>;
using TVaCommErrorEvent = std::function<void(TObject* sender, int32_t errors)>;
// The device has gone (a pulled adapter, a hung-up line); `message` says which and why.
using TVaCommDeviceLostEvent = std::function<void(TObject* sender, const std::string& message)>;
using TVaCommRxCharEvent = std::function<void(TObject* sender, int32_t count)>;
// A run of received bytes, valid only during the call that hands it over.
using PVaData = const char*;
using TVaCommRxBufEvent = std::function<void(TObject* sender, PVaData data, int32_t count)>;
// The shape of a client's line notification; no property of the port has it.
using TVaCommLineEvent = std::function<void(TObject* sender, uint32_t evtMask)>;

// What GetCommStatus reads: the line-error flags (cleared by reading them) and the driver's
// communications status.
struct TVaCommStatus {
    uint32_t Errors = 0;
    SerialPlatform::COMSTAT Status;
};

// The asynchronous serial port: one device of the operating system with its line settings, flow
// control, characters, queue sizes and watched line events. Settings applied at once are written
// to the open device; the others are refused while the port is open. Direct reads and writes
// (DirectWrite true) run on the caller's thread: a read answers at once with what has arrived, a
// write waits at most Buffers().ReadTimeout() for the device to take all bytes.
//
// While the port is open, a receive thread waits for the watched line events and hands each
// batch to the GUI thread, where the port raises its notifications, feeds its clients and
// refreshes its display. With DirectWrite false, writes are queued instead (WriteBuf answers once
// the bytes are in the queue; a write larger than the queue goes in piece by piece as the line
// makes room, and fails only once the line has stood still for Buffers().WriteTimeout()) and a
// transmit thread sends them, reporting a drained queue and failed writes as line events.
//
// Threads: the settings, Open and the destructor belong to the owner's thread. Close, reads,
// writes, status queries, line functions and purges may come from any thread, and from inside the
// port's own handlers. Lock order: the global lock, then the write lock, then the short-held leaf
// locks: the handle's (TVaCommHandle), or writeThreadMutex_ and inside it the transmit thread's
// own. Nothing takes them the other way round, and none is held while waiting for a signal, the
// device or the GUI thread (a direct write waits for room under the write lock, but Close cancels
// that wait first; a queued write waits for room holding none).
class TVaCustomComm : public TVaComponent {
public:
    explicit TVaCustomComm(TComponent* owner);
    ~TVaCustomComm() override;

    // Opens and configures the device and starts the threads; raises EVaCommError on failure,
    // leaving the port closed with no handle left open.
    void Open();
    // Stops the threads and closes the device; nothing when closed or being closed by another
    // call. Once it returns, the port's threads no longer use the device, the port or the GUI
    // thread, and no delivery reaches a handler or client; called from inside one, the rest of
    // that delivery is dropped.
    void Close();
    bool Active() const { return handle_.Valid(); }
    void Loaded() override;
    // Raises "Can't perform this operation while port is open" when Active.
    void CheckOpen() const;

    // The name for messages: DeviceName formatted with PortNum ("COM3").
    std::string GetDeviceName() const;
    // The device node that is opened (see SerialPlatform::DeviceNodeFor).
    std::string GetDeviceNameEx() const;
    // The system's error code of the last Open that failed, 0 after one that succeeded:
    // the reason for the user.
    int LastOpenError() const { return lastOpenError_; }

    // Copies a device-control record into the properties. On an open port a record whose flow
    // limits differ from Buffers' raises "Can't perform this operation while port is open" and
    // changes nothing.
    void ReadDCB(const SerialPlatform::DCB& dcb);
    // Loads the device's current settings into the properties, whole or not at all (ReadDCB).
    void ResetPortParameters();
    // Reads the port's capability record; raises on a closed port.
    void GetProperties();
    const SerialPlatform::COMMPROP& Properties() const { return properties_; }

    // Properties.
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    TVaBaudrate Baudrate() const { return baudrate_; }
    void SetBaudrate(TVaBaudrate value);
    TVaParity Parity() const { return parity_; }
    void SetParity(TVaParity value);
    TVaDatabits Databits() const { return databits_; }
    void SetDatabits(TVaDatabits value);
    TVaStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TVaStopbits value);
    TVaEventChars& EventChars() { return *eventChars_; }
    const TVaEventChars& EventChars() const { return *eventChars_; }
    void SetEventChars(const TVaEventChars& value) { eventChars_->Assign(value); }
    TVaFlowControl& FlowControl() { return *flowControl_; }
    const TVaFlowControl& FlowControl() const { return *flowControl_; }
    void SetFlowControl(const TVaFlowControl& value) { flowControl_->Assign(value); }
    TVaCommOptions Options() const { return options_; }
    void SetOptions(TVaCommOptions value);
    TVaPortInt PortNum() const { return portNum_; }
    void SetPortNum(TVaPortInt value);
    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& value);
    TVaCommEvents MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TVaCommEvents value);
    TVaBuffers& Buffers() { return *buffers_; }
    const TVaBuffers& Buffers() const { return *buffers_; }
    void SetBuffers(const TVaBuffers& value);
    TThreadPriority EventPriority() const { return eventPriority_; }
    void SetEventPriority(TThreadPriority value);
    TThreadPriority WritePriority() const { return writePriority_; }
    void SetWritePriority(TThreadPriority value);
    bool DirectWrite() const { return directWrite_; }
    void SetDirectWrite(bool value);
    bool UpdateDCB() const { return updateDCB_; }
    void SetUpdateDCB(bool value);
    int32_t UserBaudrate() const { return userBaudrate_; }
    void SetUserBaudrate(int32_t value);

    TNotifyEvent OnOpen, OnClose;
    TNotifyEvent OnCts, OnDsr, OnRlsd, OnRing, OnBreak;
    TVaCommErrorEvent OnError;
    TVaCommRxCharEvent OnRxChar;
    TVaCommRxBufEvent OnRxBuf;
    TNotifyEvent OnRxFlag, OnTxEmpty, OnPErr, OnRx80Full, OnEvent1, OnEvent2;
    // Takes the place of the application's error box when the device has gone; the handler may
    // close the port.
    TVaCommDeviceLostEvent OnDeviceLost;

    // Clients and display.
    const std::vector<TVaDispatcher*>& Clients() const { return clients_; }
    bool ControlsEnabled() const { return controlsEnabled_; }
    void EnableControls() { controlsEnabled_ = true; }
    void DisableControls() { controlsEnabled_ = false; }
    void InsertClient(TVaDispatcher* dispatcher);
    void RemoveClient(TVaDispatcher* dispatcher);
    void DestroyClients();
    TVaDisplay* Display() const { return display_; }
    void SetDisplay(TVaDisplay* value);
    void UpdateDisplay();
    void Notification(TComponent* component, TOperation operation) override;

    // A batch of line events, on the GUI thread: the received data, then the other events in
    // their fixed order. The transmit thread hands its drained-queue and write-error masks to
    // HandleLineEvent directly.
    virtual void HandleDataEvent();
    virtual void HandleLineEvent(uint32_t evtMask);
    virtual void WriteEvents(uint32_t evtMask);
    virtual void WriteBuffer(PVaData data, int32_t count);
    // On the GUI thread, from a thread of the port that found the device gone (a pulled adapter,
    // a hung-up line) and stops using it: OnDeviceLost, or else the application's error box,
    // once per opening however many threads find it.
    void DeviceLost(int code);

    // Reads and writes.
    int32_t WriteBuf(const void* buffer, int32_t count);
    int32_t ReadBuf(void* buffer, int32_t count);
    bool WriteText(const std::string& text);
    bool WriteChar(char ch);
    // Everything that has arrived, in order; the empty text when nothing has. Never waits.
    std::string ReadText();
    bool ReadChar(char& ch);
    int32_t ReadBufUsed();
    int32_t ReadBufFree();
    int32_t WriteBufUsed();
    int32_t WriteBufFree();
    void PurgeRead();
    void PurgeWrite();
    void PurgeReadWrite();
    void PurgeBuffers(uint32_t flags);

    // Status and lines.
    // Reads the status; the line errors it reads (and so clears in the driver) are also kept for
    // the next ClearLineErrors, which reports them once, whichever query read them first.
    TVaCommStatus GetCommStatus();
    bool ClearLineErrors();
    bool GetComStat(int32_t index);
    bool GetModemStatus(int32_t index);
    void SetDTR(bool on);
    void SetRTS(bool on);
    void SetBreak(bool on);
    void SetXon(bool on);
    void ResetDev();

    void WriteLock() { writeLock_.Enter(); }
    void WriteUnlock() { writeLock_.Leave(); }
    void GlobalLock() { globalLock_.Enter(); }
    void GlobalUnlock() { globalLock_.Leave(); }

    // For the port's threads: the device, the event mask computed at Open, and the system that
    // carries out the serial calls.
    SerialPlatform::THandle Handle() const { return handle_.Get(); }
    uint32_t EventMask() const { return eventMask_.load(); }
    SerialPlatform::ICommSystem& CommSystem() const { return *system_; }
    // Makes this port use `system` instead of the host's (a test's stand-in for the operating
    // system); refused while open. `system` must outlive the port.
    void SetCommSystem(SerialPlatform::ICommSystem& system);

protected:
    virtual void CreateHandle();
    void DestroyHandle();
    virtual void CreateThreads();
    // Asks the threads to stop, without waiting, and forgets them; ReleaseThreads then waits
    // for them outside the locks.
    void DestroyThreads();
    void ReleaseThreads();

    void SetDCB();
    void UpdateBuffers();
    void UpdateTimeouts();
    void UpdateEventMask();
    void ToggleCommState(uint32_t func);

    // Raises EVaCommError with `msg`, its "%d" and "%s" filled with the system's last error code
    // and its text.
    [[noreturn]] void Error(const std::string& msg) const;
    void Watch(bool ok, const std::string& msg) const;
    void DoOpen();
    void DoClose();

    void BuffersChanged(TVaPersistent* sender);
    void EventCharsChanged(TVaPersistent* sender);
    void FlowControlChanged(TVaPersistent* sender);

private:
    // Tells a delivery whether its port was closed or destroyed meanwhile, by a handler it
    // called: the rest of the delivery is then dropped.
    class TDeliveryGuard {
    public:
        explicit TDeliveryGuard(const TVaCustomComm& comm)
            : closings_(comm.closings_), start_(comm.closings_->load()) {}
        bool Lost() const {
            const auto closings = closings_.lock();
            return !closings || closings->load() != start_;
        }

    private:
        std::weak_ptr<std::atomic<uint32_t>> closings_;
        uint32_t start_;
    };

    friend class TVaCommWriteThread; // sends through handle_ under writeLock_

    int32_t DirectWriteBuf(const void* buffer, int32_t count);
    int32_t QueuedWriteBuf(const void* buffer, int32_t count);
    // The transmit queue's bytes held, or free when `free`; 0 without a transmit thread.
    int32_t QueuedBytes(bool free);
    bool IsClient(const TVaDispatcher* dispatcher) const;

    SerialPlatform::ICommSystem* system_;
    TVaCommHandle handle_;
    std::atomic<uint32_t> eventMask_{0};
    int lastOpenError_ = 0;
    std::atomic<uint32_t> heldErrors_{0}; // read from the driver, not yet reported
    SerialPlatform::COMMPROP properties_;

    bool autoOpen_ = false;
    TVaBaudrate baudrate_ = br1200;
    TVaParity parity_ = paNone;
    TVaDatabits databits_ = db8;
    TVaStopbits stopbits_ = sb1;
    TVaCommOptions options_;
    TVaPortInt portNum_ = 0;
    std::string deviceName_ = "\\\\.\\COM%d";
    TVaCommEvents monitorEvents_{ceError, ceRxChar, ceTxEmpty};
    TThreadPriority eventPriority_ = tpNormal;
    TThreadPriority writePriority_ = tpHighest;
    std::atomic<bool> directWrite_{false};
    bool updateDCB_ = true;
    int32_t userBaudrate_ = 0;

    std::unique_ptr<TVaBuffers> buffers_;
    std::unique_ptr<TVaEventChars> eventChars_;
    std::unique_ptr<TVaFlowControl> flowControl_;
    // Set while the device is being closed, so that a direct write waiting for room lets go.
    TVaWaitEvent completionEvent_;
    TVaCriticalSection writeLock_;
    TVaCriticalSection globalLock_;

    // Guarded by the global lock; DestroyThreads moves them to stoppedThreads_, which only the
    // one caller that is closing the port uses.
    TVaCommEventThread* eventThread_ = nullptr;
    std::vector<TVaCommThread*> stoppedThreads_;
    // Set and cleared under both the global lock and writeThreadMutex_, so that either guards a
    // reader: purges hold the global lock, while writers and the queue counts, which must not wait
    // for a purge in progress, take only the leaf. A writer keeps the thread alive past the leaf
    // with a TVaCommWriteThread::TWriter. While the transmit thread waits to take the write lock,
    // Close waits for it, and so for the lock's holder.
    TVaCommWriteThread* writeThread_ = nullptr;
    std::mutex writeThreadMutex_;
    // Counts the closings, for TDeliveryGuard; gone with the port.
    std::shared_ptr<std::atomic<uint32_t>> closings_ = std::make_shared<std::atomic<uint32_t>>(0);

    // GUI thread only.
    std::vector<TVaDispatcher*> clients_;
    bool controlsEnabled_ = true;
    TVaDisplay* display_ = nullptr;
    bool deviceLostShown_ = false;
};

// The port with every property published; it adds no behaviour.
class TVaComm : public TVaCustomComm {
public:
    using TVaCustomComm::TVaCustomComm;
};

// Tries whether the device of "COM<port>" can be opened now: 1 it can (and is left closed),
// 2 there is no such device, 0 it cannot for another reason (held by another program, no
// permission).
int32_t GetPortState(int32_t port);
