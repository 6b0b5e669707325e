/// @file
/// The asynchronous serial port TVaComm, its event handler types and GetPortState.
#pragma once

#include <q4471/framework/Export.h>
#include <q4471/framework/Locks.h>
#include <q4471/framework/Thread.h>
#include <q4471/serial/CommRecords.h>
#include <q4471/serial/VaClasses.h>
#include <q4471/serial/VaObjects.h>
#include <q4471/serial/VaPrst.h>
#include <q4471/serial/VaTypes.h>
#include <q4471/serial/Vaconst.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace SerialPlatform {
class ICommSystem;
}

class TVaCommHandle;
class TVaCommThread;
class TVaOwnDeliveries;
class TVaCommEventThread;
class TVaCommWriteThread;
class TVaDispatcher;
class TVaDisplay;

/// Event handlers of the port; each gets the port first. They run on the GUI thread, or on the
/// port's own threads when HandlerThread is htPortThreads.
/// A handler with no further arguments (OnOpen, OnCts, OnTxEmpty and the like).
using TNotifyEvent = std::function<void(q4471::TObject* sender)>;
/// OnError: `errors` holds the line-error flags read from the driver (CE_* bits of
/// serial/CommCodes.h), reported once.
using TVaCommErrorEvent = std::function<void(q4471::TObject* sender, int32_t errors)>;
/// The device has gone (a pulled adapter, a hung-up line); `message` says which and why.
using TVaCommDeviceLostEvent =
    std::function<void(q4471::TObject* sender, const std::string& message)>;
/// OnRxChar: `count` bytes wait in the receive queue; the handler reads them (ReadBuf, ReadText).
using TVaCommRxCharEvent = std::function<void(q4471::TObject* sender, int32_t count)>;
/// A run of received bytes, valid only during the call that hands it over.
using PVaData = const char*;
/// OnRxBuf: `count` received bytes at `data`, already taken from the receive queue; copy what
/// you keep.
using TVaCommRxBufEvent = std::function<void(q4471::TObject* sender, PVaData data, int32_t count)>;
/// The shape of a client's line notification; no property of the port has it.
using TVaCommLineEvent = std::function<void(q4471::TObject* sender, uint32_t evtMask)>;

/// An event property of the port (OnRxChar, OnCts, ...): it holds a handler of type `Handler`,
/// assigned, tested and called as that handler is (`comm.OnCts = [](TObject*) {...}`,
/// `if (comm.OnCts)`, `comm.OnCts = nullptr`). The port's threads ask only Assigned(), which is
/// safe beside an assignment on the GUI thread, so that an event no handler takes is not handed
/// to the GUI thread at all.
template <class Handler> class TVaEventProperty {
public:
    /// No handler.
    TVaEventProperty() = default;
    /// The same handler as `other`.
    TVaEventProperty(const TVaEventProperty& other) : TVaEventProperty() { *this = other; }
    /// Takes the handler of `other`.
    TVaEventProperty& operator=(const TVaEventProperty& other) { return *this = other.handler_; }
    /// Sets the handler; an empty one (nullptr) clears it.
    template <class Value>
    requires std::is_constructible_v<Handler, Value> TVaEventProperty& operator=(Value&& value) {
        handler_ = Handler(std::forward<Value>(value));
        assigned_.store(static_cast<bool>(handler_));
        return *this;
    }
    /// Whether a handler is set; on the thread that sets it.
    explicit operator bool() const { return static_cast<bool>(handler_); }
    /// Whether a handler is set, on any thread.
    bool Assigned() const { return assigned_.load(); }
    /// The handler itself.
    const Handler& Get() const { return handler_; }
    /// Calls the handler; it must be set.
    template <class... Args> decltype(auto) operator()(Args&&... args) const {
        return handler_(std::forward<Args>(args)...);
    }

private:
    Handler handler_;
    std::atomic<bool> assigned_{false};
};

/// What GetCommStatus reads: the line-error flags (cleared by reading them) and the driver's
/// communications status.
struct TVaCommStatus {
    /// The line-error flags (CE_* bits); the driver clears them by this read.
    uint32_t Errors = 0;
    /// The driver's status: hold flags and the bytes in its receive and transmit queues.
    SerialPlatform::COMSTAT Status;
};

/// What a wait with a deadline did (TVaCustomComm::WaitWritten, ReadWait, ReadUntil).
struct TVaTransfer {
    /// The bytes that went (WaitWritten) or came (the reads).
    int32_t Count = 0;
    /// Whether the wait got what it waited for; false when the time ran out first, or the port
    /// was closed (or was not open).
    bool Complete = false;
};

/// The asynchronous serial port: one device of the operating system with its line settings, flow
/// control, characters, queue sizes and watched line events. Settings applied at once are written
/// to the open device; the others are refused while the port is open. Direct reads and writes
/// (DirectWrite true) run on the caller's thread: a read answers at once with what has arrived, a
/// write waits at most Buffers().ReadTimeout() for the device to take all bytes.
///
/// While the port is open, a receive thread waits for the watched line events and hands each
/// batch to the GUI thread (or, with htPortThreads, delivers it itself), where the port raises its
/// notifications, feeds its clients and refreshes its display. With DirectWrite false, writes are
/// queued instead (WriteBuf answers once the bytes are in the queue; a write larger than the queue
/// goes in piece by piece as the line makes room, and fails only once the line has stood still for
/// Buffers().WriteTimeout()) and a transmit thread sends them, reporting a drained queue and
/// failed writes as line events.
///
/// Which thread runs what, by HandlerThread:
/// - htGuiThread (the default): every handler, client notification and display refresh runs on
///   the GUI thread, one delivery at a time; the port's threads wait for it. A program with a
///   handler, client or display in this mode must therefore run the GUI thread's loop
///   (Application::Run, Qt's event loop, or CheckSynchronize in a loop of its own). Events and
///   batches that no handler, client or display takes are not handed over at all, so a program
///   that sets none (it writes, waits with WaitWritten and reads with ReadUntil) needs no loop.
/// - htPortThreads: nothing is handed to the GUI thread. The receive thread runs each batch
///   itself (data, line events, clients, OnError, OnDeviceLost) before it waits for the next;
///   the transmit thread runs OnTxEmpty and its write errors. Each thread's deliveries keep the
///   order of the GUI mode and never overlap one another, but a receive-thread handler may run
///   while a transmit-thread one does. No delivery starts before Open has returned, and the
///   destructor waits for a handler on another of the port's threads that closed the port and
///   has not returned yet. Handlers, clients and controls are set while the port is closed; a
///   display, being a widget, is refused (sErrDisplayOnPortThreads).
/// In both, OnOpen and OnClose run on the thread that opens or closes.
///
/// Which calls come from which thread: the settings, Open and the destructor belong to the thread
/// that made the port, or to a handler of the port's own. Close, reads, writes, the waits with a
/// deadline, status queries, line functions and purges may come from any thread, and from inside
/// the port's own handlers, whichever thread runs them: a closing thread waits for the port's
/// other threads, never for itself, and ends the waits of the others at once.
///
/// The port's locks, outermost first (Clang's -Wthread-safety checks what each guards and, within
/// a class, their order):
/// 1. the global lock (GlobalLock): reads, status queries, purges, the receive thread's pointer;
/// 2. the write lock (WriteLock): direct writes, and the transmit queue with its counts;
/// 3. the leaves, each held for a few instructions: the handle's borrowing (TVaCommHandle), the
///    deliveries on the port's threads (TVaOwnDeliveries), the receive thread's hand-back of the
///    device, or writeThreadMutex_ (the transmit thread's pointer) and inside it the transmit
///    thread's own, inside which it may interrupt the GUI thread's wait (the framework's queue
///    of calls, innermost).
///
/// Nothing takes them the other way round, and none is held while waiting for a signal, the
/// device, the GUI thread, or while a handler runs (a direct write waits for room under the write
/// lock, but Close cancels that wait first; a queued write waits for room holding none). This is
/// the one place that says which thread runs what and in which order the locks go: the port's
/// other headers and serial/README.md point here.
///
/// Errors are raised as EVaCommError with the messages of Vaconst.h, which each call names; the
/// error's Kind() tells them apart for a program (TVaCommErrorKind: a refused setting
/// ekRefusedSetting, a refusal while open ekPortOpen, a vanished device ekDeviceGone, any other
/// failed system call ekSystemError), with SystemCode() the system's code.
class Q4471_API TVaCustomComm : public TVaComponent {
public:
    /// A closed port with the defaults: 1200 baud, 8 data bits, no parity, 1 stop bit, no flow
    /// control, device name `"\\.\COM%d"` and port number 0, events ceError, ceRxChar and
    /// ceTxEmpty watched, queued writes (DirectWrite false). `owner` destroys it (may be null).
    explicit TVaCustomComm(q4471::TComponent* owner);
    /// Closes the port (as Close) and detaches its clients.
    ~TVaCustomComm() override;

    /// Opens and configures the device and starts the threads; raises EVaCommError on failure
    /// (kinds ekDeviceMissing, ekNoPermission, ekBusy, ekPortOpen, ekRefusedSetting naming the
    /// settings changed since the device last took them, ekSystemError),
    /// leaving the port closed with no handle left open.
    void Open() Q4471_EXCLUDES(globalLock_, writeLock_);
    /// Stops the threads and closes the device; nothing when closed or being closed by another
    /// call. Once it returns, the port's threads no longer use the device, the port or the GUI
    /// thread, and no delivery reaches a handler or client; called from inside one, the rest of
    /// that delivery is dropped.
    void Close() Q4471_EXCLUDES(globalLock_, writeLock_);
    /// True while the device is open.
    bool Active() const;
    /// Opens the port when AutoOpen is set (not at design time); raises as Open does.
    void Loaded() override;
    /// Raises "Can't perform this operation while port is open" (ekPortOpen) when Active.
    void CheckOpen() const;

    /// The name for messages: DeviceName formatted with PortNum ("COM3").
    std::string GetDeviceName() const;
    /// The device node that is opened (see SerialPlatform::DeviceNodeFor).
    std::string GetDeviceNameEx() const;
    /// The system's error code of the last Open that failed, 0 after one that succeeded:
    /// the reason for the user.
    int LastOpenError() const { return lastOpenError_.load(); }

    /// Copies a device-control record into the properties. On an open port a record whose flow
    /// limits differ from Buffers' raises "Can't perform this operation while port is open"
    /// (ekPortOpen) and changes nothing.
    void ReadDCB(const SerialPlatform::DCB& dcb);
    /// Loads the device's current settings into the properties, whole or not at all (ReadDCB).
    /// Raises `"Error reading default port parameters."` when the device cannot be read (the
    /// kinds of Open's failures: ekDeviceMissing, ekNoPermission, ekBusy, ekSystemError), or as
    /// ReadDCB.
    void ResetPortParameters();
    /// Reads the port's capability record; raises on a closed port (ekPortClosed), and
    /// `"Error reading port properties (%d), %s"` when the device fails (ekDeviceGone or
    /// ekSystemError).
    void GetProperties();
    /// The capability record of the last GetProperties.
    const SerialPlatform::COMMPROP& Properties() const { return properties_; }

    // Properties.
    ///@{
    /// Whether Loaded opens the port. Default false.
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    ///@}
    ///@{
    /// The line rate; brUser takes UserBaudrate. Default br1200. Written to an open device at
    /// once (unless UpdateDCB is false); choosing a member other than brUser sets UserBaudrate
    /// to 0. A value the device refuses raises "Error writing dcb (%d), %s" (ekRefusedSetting,
    /// Setting() "Baudrate"; likewise for the other settings) and leaves the
    /// property, and the device, as they were.
    TVaBaudrate Baudrate() const { return baudrate_; }
    void SetBaudrate(TVaBaudrate value);
    ///@}
    ///@{
    /// The parity. Default paNone. Written to an open device at once, as Baudrate.
    TVaParity Parity() const { return parity_; }
    void SetParity(TVaParity value);
    ///@}
    ///@{
    /// Data bits per character. Default db8. Written to an open device at once, as Baudrate.
    TVaDatabits Databits() const { return databits_; }
    void SetDatabits(TVaDatabits value);
    ///@}
    ///@{
    /// Stop bits. Default sb1. Written to an open device at once, as Baudrate.
    TVaStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TVaStopbits value);
    ///@}
    ///@{
    /// The special characters (XON, XOFF, error, event, end of file); a change is written to an
    /// open device at once, and one the device refuses raises (ekRefusedSetting, Setting()
    /// "EventChars") and leaves the group as it was.
    TVaEventChars& EventChars() { return *eventChars_; }
    const TVaEventChars& EventChars() const { return *eventChars_; }
    void SetEventChars(const TVaEventChars& value) { eventChars_->Assign(value); }
    ///@}
    ///@{
    /// Hardware and software flow control; a change is written to an open device at once, and
    /// one the device refuses raises (ekRefusedSetting, Setting() "FlowControl") and leaves the
    /// group as it was.
    TVaFlowControl& FlowControl() { return *flowControl_; }
    const TVaFlowControl& FlowControl() const { return *flowControl_; }
    void SetFlowControl(const TVaFlowControl& value) { flowControl_->Assign(value); }
    ///@}
    ///@{
    /// Error-character replacement, NUL stripping and parity checking. Default none. Written
    /// to an open device at once, as Baudrate.
    TVaCommOptions Options() const { return options_; }
    void SetOptions(TVaCommOptions value);
    ///@}
    ///@{
    /// The number put into DeviceName's `"%d"`. Default 0. Refused while the port is open
    /// (ekPortOpen, as the other settings refused while open).
    TVaPortInt PortNum() const { return portNum_; }
    void SetPortNum(TVaPortInt value);
    ///@}
    ///@{
    /// The device's name pattern, formatted with PortNum (`%%` for a per cent sign). Default
    /// `"\\.\COM%d"`, which names `"COM<PortNum>"`: a device on Windows; on Linux only through
    /// a resolver the program installs (SerialPlatform::SetDeviceResolver), else it is missing.
    /// A pattern without `"%d"` names the device itself: `"/dev/ttyUSB0"`, or `"ttyUSB0"` for a
    /// node under /dev. Refused while the port is open (ekPortOpen).
    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& value);
    ///@}
    ///@{
    /// The line events the receive thread watches and reports. Default ceError, ceRxChar,
    /// ceTxEmpty. Refused while the port is open (ekPortOpen).
    TVaCommEvents MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TVaCommEvents value);
    ///@}
    ///@{
    /// Queue sizes (bytes), time-outs (milliseconds) and flow limits. SetBuffers is refused while
    /// the port is open, and so is a change of its sizes or limits, which the group then undoes
    /// (ekPortOpen).
    TVaBuffers& Buffers() { return *buffers_; }
    const TVaBuffers& Buffers() const { return *buffers_; }
    void SetBuffers(const TVaBuffers& value);
    ///@}
    ///@{
    /// The receive thread's priority. Default tpNormal; applies to a running thread at once.
    q4471::TThreadPriority EventPriority() const { return eventPriority_; }
    void SetEventPriority(q4471::TThreadPriority value);
    ///@}
    ///@{
    /// The transmit thread's priority. Default tpHighest; applies to a running thread at once.
    q4471::TThreadPriority WritePriority() const { return writePriority_; }
    void SetWritePriority(q4471::TThreadPriority value);
    ///@}
    ///@{
    /// True: writes go to the device on the caller's thread. False (the default): writes are
    /// queued for the transmit thread. Refused while the port is open (ekPortOpen).
    bool DirectWrite() const { return directWrite_; }
    void SetDirectWrite(bool value);
    ///@}
    ///@{
    /// Whether setting changes are written to the open device. Default true; false leaves the
    /// device's settings as they are. Refused while the port is open (ekPortOpen).
    bool UpdateDCB() const { return updateDCB_; }
    void SetUpdateDCB(bool value);
    ///@}
    ///@{
    /// A rate in bits per second for brUser; setting it also sets Baudrate to brUser and writes
    /// it to an open device, as Baudrate (ekRefusedSetting, Setting() "UserBaudrate"). Default 0.
    int32_t UserBaudrate() const { return userBaudrate_; }
    void SetUserBaudrate(int32_t value);
    ///@}
    ///@{
    /// Where handlers, clients and the display run (see the class); refused while open
    /// (ekPortOpen), and htPortThreads while a display is attached (ekUnsupported). Default
    /// htGuiThread.
    TVaHandlerThread HandlerThread() const { return handlerThread_; }
    void SetHandlerThread(TVaHandlerThread value);
    ///@}

    ///@{
    /// OnOpen after the port has opened, OnClose after it has closed (not while the port is
    /// being destroyed); on the thread that opens or closes. An error OnOpen raises goes to the
    /// application's error display; one OnClose raises reaches the caller of Close, with the port
    /// closed all the same.
    TVaEventProperty<TNotifyEvent> OnOpen, OnClose;
    ///@}
    ///@{
    /// A watched modem line changed (CTS, DSR, carrier RLSD), a ring, or a break was received.
    /// On the handlers' thread (HandlerThread); read the line with GetModemStatus.
    TVaEventProperty<TNotifyEvent> OnCts, OnDsr, OnRlsd, OnRing, OnBreak;
    ///@}
    /// Line errors (framing, overrun, parity, queue overflow), reported once, on the handlers'
    /// thread for watched ceError events or on the thread that calls ClearLineErrors.
    TVaEventProperty<TVaCommErrorEvent> OnError;
    /// Received bytes wait and the port has no clients: the handler reads them. On the
    /// handlers' thread.
    TVaEventProperty<TVaCommRxCharEvent> OnRxChar;
    /// Received bytes taken from the queue for the clients, after they have seen them. On
    /// the handlers' thread.
    TVaEventProperty<TVaCommRxBufEvent> OnRxBuf;
    ///@{
    /// The event character arrived (OnRxFlag), the transmit queue drained (OnTxEmpty), a
    /// printer error (OnPErr), the receive queue 80 % full (OnRx80Full), provider events 1 and
    /// 2. On the handlers' thread; OnTxEmpty with htPortThreads on the transmit thread.
    TVaEventProperty<TNotifyEvent> OnRxFlag, OnTxEmpty, OnPErr, OnRx80Full, OnEvent1, OnEvent2;
    ///@}
    /// Takes the place of the application's error box when the device has gone; the handler may
    /// close the port.
    TVaEventProperty<TVaCommDeviceLostEvent> OnDeviceLost;

    // Clients and display.
    /// The attached clients, in the order they are fed. GUI thread.
    const std::vector<TVaDispatcher*>& Clients() const { return clients_; }
    ///@{
    /// Whether the clients are fed the line events. Default true.
    bool ControlsEnabled() const { return controlsEnabled_; }
    void EnableControls() { controlsEnabled_ = true; }
    void DisableControls() { controlsEnabled_ = false; }
    ///@}
    /// Appends a client; usually through TVaCommComponent::SetComm. GUI thread.
    void InsertClient(TVaDispatcher* dispatcher);
    /// Detaches a client; nothing when it is not attached. GUI thread.
    void RemoveClient(TVaDispatcher* dispatcher);
    /// Detaches every client.
    void DestroyClients();
    ///@{
    /// The line-status display refreshed after each batch of line events; forgotten when it is
    /// destroyed. Null for none. Setting one is refused (EVaCommError, ekUnsupported) while
    /// HandlerThread is
    /// htPortThreads.
    TVaDisplay* Display() const { return display_.load(); }
    void SetDisplay(TVaDisplay* value);
    ///@}
    /// Refreshes the display now, if there is one; raises what its query raises (GetModemStatus,
    /// GetCommStatus: ekDeviceGone or ekSystemError).
    void UpdateDisplay();
    /// Forgets the display when it is removed.
    void Notification(q4471::TComponent* component, q4471::TOperation operation) override;

    /// A batch of line events, on the handlers' thread: the received data, then the other events in
    /// their fixed order. The transmit thread hands its drained-queue and write-error masks to
    /// HandleLineEvent directly.
    virtual void HandleDataEvent();
    /// The line events of `evtMask` (EV_* bits): line errors, then the clients, then the
    /// handlers OnRxFlag, OnCts, OnDsr, OnRing, OnRlsd, OnTxEmpty, OnBreak, OnPErr,
    /// OnRx80Full, OnEvent1, OnEvent2 in that order.
    virtual void HandleLineEvent(uint32_t evtMask);
    /// Feeds `evtMask` to each client while ControlsEnabled.
    virtual void WriteEvents(uint32_t evtMask);
    /// Feeds received bytes to each client while ControlsEnabled, then to OnRxBuf.
    virtual void WriteBuffer(PVaData data, int32_t count);
    /// On the handlers' thread, from a thread of the port that found the device gone (a pulled
    /// adapter, a hung-up line) and stops using it: OnDeviceLost, or else the application's error
    /// box, once per opening however many threads find it.
    void DeviceLost(int code);

    // Reads and writes.
    /// Writes `count` bytes; any thread. Direct: answers `count` once the device took them all
    /// within Buffers().ReadTimeout(), else 0; raises `"Write error (%d), %s"` (ekDeviceGone or
    /// ekSystemError). Queued: answers
    /// `count` once the bytes are in the transmit queue; when no room comes within
    /// Buffers().WriteTimeout(), raises `"Output buffer is full. Please check comm status."`
    /// (ekTimedOut; Transferred() tells how many of its bytes the device took, and none of the
    /// rest stays queued).
    /// Answers 0 on a closed port or one closed meanwhile.
    int32_t WriteBuf(const void* buffer, int32_t count);
    /// Reads up to `count` bytes that have arrived, without waiting; answers how many (0 on a
    /// closed port). Raises `"Read error (%d), %s"` (ekDeviceGone or ekSystemError). Any thread.
    int32_t ReadBuf(void* buffer, int32_t count);
    /// WriteBuf of the text's bytes; true when all were taken.
    bool WriteText(const std::string& text);
    /// WriteBuf of one byte; true when it was taken.
    bool WriteChar(char ch);
    /// Everything that has arrived, in order; the empty text when nothing has. Never waits.
    std::string ReadText();
    /// Reads one byte into `ch` if one has arrived; false (and `ch` unchanged) otherwise.
    bool ReadChar(char& ch);
    /// Waits until every byte written before the call has left the port: the transmit queue and
    /// the driver's output queue (Linux: what TIOCOUTQ counts; a UART's own few bytes of FIFO may
    /// still be shifting out), at most `timeoutMs` milliseconds; bytes written meanwhile do not
    /// lengthen the wait. Count: how many of those bytes left during the wait. Any thread, no
    /// handler or loop needed (hand-overs to the GUI thread wait while it runs there). Raises
    /// what the status query raises (`"Error retrieving statistics (%d), %s"`, ekDeviceGone or
    /// ekSystemError).
    TVaTransfer WaitWritten(int32_t timeoutMs);
    /// Reads until `count` bytes have come into `buffer`, waiting for them at most `timeoutMs`
    /// milliseconds. Count: the bytes read (all of them are in `buffer`, also when the time ran
    /// out). Any thread, no handler or loop needed; with handlers or clients set, whichever
    /// reads first takes a byte. Raises as ReadBuf.
    TVaTransfer ReadWait(void* buffer, int32_t count, int32_t timeoutMs);
    /// ReadWait that also ends, Complete, once the byte `endChar` has been read (it is the last
    /// of Count); nothing behind it is read.
    TVaTransfer ReadUntil(void* buffer, int32_t count, char endChar, int32_t timeoutMs);
    /// ReadUntil into a text of at most `maxCount` bytes: what came, ending in `endChar` when it
    /// came in time.
    std::string ReadTextUntil(char endChar, int32_t maxCount, int32_t timeoutMs);
    /// Bytes waiting in the receive queue; 0 on a closed port.
    int32_t ReadBufUsed();
    /// Buffers().ReadSize() less the bytes waiting; 0 on a closed port.
    int32_t ReadBufFree();
    /// Bytes not yet sent: in the transmit queue when queued, in the driver when direct.
    int32_t WriteBufUsed();
    /// Room left for writing, in the same queue as WriteBufUsed.
    int32_t WriteBufFree();
    /// Discards received bytes not yet read.
    void PurgeRead();
    /// Discards bytes not yet sent, the transmit queue's too.
    void PurgeWrite();
    /// Both purges.
    void PurgeReadWrite();
    /// Purges with PURGE_* flags; raises `"Error clearing buffers (%d), %s"` (ekDeviceGone or
    /// ekSystemError, as every failed call on an open device). Nothing when closed.
    void PurgeBuffers(uint32_t flags);

    // Status and lines.
    /// Reads the status; the line errors it reads (and so clears in the driver) are also kept for
    /// the next ClearLineErrors, which reports them once, whichever query read them first. An
    /// empty status on a closed port; raises `"Error retrieving statistics (%d), %s"`
    /// (ekDeviceGone or ekSystemError). GetComStat, ReadBufUsed and the other queue counts read
    /// it and raise alike.
    TVaCommStatus GetCommStatus();
    /// Reports the line errors not yet reported to OnError (an error the handler raises goes
    /// to the application's error display); true when there were any. Raises as GetCommStatus.
    bool ClearLineErrors();
    /// Hold flag 1 to 8 of the status (1 CTS hold, 2 DSR hold, 3 RLSD hold, 4 XOFF hold, 5 XOFF
    /// sent, 6 EOF, 7 TX immediate); false for any other index.
    bool GetComStat(int32_t index);
    /// Modem line 1 CTS, 2 DSR, 3 RING, 4 RLSD (carrier) is on; false for any other index or
    /// a closed port. Raises `"Error reading modem state (%d), %s"` (ekDeviceGone or
    /// ekSystemError).
    bool GetModemStatus(int32_t index);
    /// Raises or drops DTR. Refused (ekLineControl) under DTR handshake with
    /// `"DTR line updates not allowed when flowcontrol is set to Handshake."`. Line functions
    /// raise `"Error calling comm function (%d), %s"` when the device refuses them (ekDeviceGone
    /// or ekSystemError), and do nothing on a closed port.
    void SetDTR(bool on);
    /// Raises or drops RTS. Refused (ekLineControl) under RTS handshake or toggle with
    /// `"RTS line updates not allowed when flowcontrol is set to Handshake or Toggle."`.
    void SetRTS(bool on);
    /// Starts (true) or ends a break on the line.
    void SetBreak(bool on);
    /// Acts as if XON (true) or XOFF had been received.
    void SetXon(bool on);
    /// Resets the device, where the driver can.
    void ResetDev();

    ///@{
    /// Takes and releases the write lock, which direct writes hold (re-entrant; lock order
    /// above).
    void WriteLock() Q4471_ACQUIRE(writeLock_) { writeLock_.Enter(); }
    void WriteUnlock() Q4471_RELEASE(writeLock_) { writeLock_.Leave(); }
    ///@}
    ///@{
    /// Takes and releases the global lock, which reads, status queries and purges hold; take it
    /// before the write lock.
    void GlobalLock() Q4471_ACQUIRE(globalLock_) { globalLock_.Enter(); }
    void GlobalUnlock() Q4471_RELEASE(globalLock_) { globalLock_.Leave(); }
    ///@}

    ///@{
    /// For the port's threads: the device, the event mask computed at Open, and the system that
    /// carries out the serial calls.
    SerialPlatform::THandle Handle() const;
    uint32_t EventMask() const { return eventMask_.load(); }
    SerialPlatform::ICommSystem& CommSystem() const { return *system_; }
    ///@}
    /// What the threads run their deliveries in with htPortThreads; none with htGuiThread.
    std::shared_ptr<TVaOwnDeliveries> OwnDeliveries() const {
        return handlerThread_ == htPortThreads ? ownDeliveries_ : nullptr;
    }
    /// Whether a delivery of the line events `evtMask` (EV_* bits; EV_RXCHAR for received data)
    /// would reach anybody: a client, the handler of one of its events, or, with `display`, the
    /// display. Any thread: the port's threads hand nothing to the GUI thread that nobody takes.
    bool TakesEvents(uint32_t evtMask, bool display) const;
    /// Makes this port use `system` instead of the host's (a test's stand-in for the operating
    /// system); refused while open (ekPortOpen). `system` must outlive the port.
    void SetCommSystem(SerialPlatform::ICommSystem& system);

protected:
    /// Opens the device by GetDeviceNameEx; raises `"Specified device not found (%s)."`
    /// (ekDeviceMissing) or `"Can't open specified device %s"` with the reason (ekNoPermission,
    /// ekBusy or ekSystemError).
    virtual void CreateHandle();
    /// Closes the device.
    void DestroyHandle();
    /// Starts the receive thread, and the transmit thread unless DirectWrite.
    virtual void CreateThreads();
    /// Asks the threads to stop, without waiting, and forgets them; ReleaseThreads then waits
    /// for them outside the locks.
    void DestroyThreads() Q4471_REQUIRES(globalLock_);
    /// Waits for the threads DestroyThreads stopped and frees them.
    void ReleaseThreads() Q4471_EXCLUDES(globalLock_, writeLock_);

    /// Writes the line settings to the open device, unless UpdateDCB is false; raises
    /// `"Error writing dcb (%d), %s"` (ekRefusedSetting, or ekDeviceGone).
    void SetDCB();
    /// Writes the queue sizes to the open device; raises `"Error initializing buffers (%d), %s"`
    /// (ekDeviceGone or ekSystemError).
    void UpdateBuffers();
    /// Sets the open device's time-outs so that a read answers at once with what has arrived and
    /// a write is not timed by the device: the port does its own waiting, and Buffers' time-outs
    /// are not written. Raises `"Error setting timeouts (%d), %s"` (ekDeviceGone or
    /// ekSystemError); nothing when closed.
    void UpdateTimeouts();
    /// Computes EventMask from MonitorEvents and gives it to the open device; raises
    /// `" Error setting EventMask (%d), %s"` (ekDeviceGone or ekSystemError).
    void UpdateEventMask();
    /// Carries out one line function (SETDTR, CLRRTS, SETBREAK and so on) on the open device;
    /// raises `"Error calling comm function (%d), %s"` (ekDeviceGone or ekSystemError).
    void ToggleCommState(uint32_t func);

    /// Raises EVaCommError with `msg`, its `"%d"` and `"%s"` filled with the system's last error
    /// code and its text: ekDeviceGone when the code says the device has gone, ekRefusedSetting
    /// for `"Error writing dcb (%d), %s"`, else ekSystemError.
    [[noreturn]] void Error(const std::string& msg) const;
    /// Error(msg) unless `ok`.
    void Watch(bool ok, const std::string& msg) const;
    /// Calls OnOpen; an error it raises goes to the application's error display.
    void DoOpen();
    /// Calls OnClose, except while the port is being destroyed; an error it raises goes on to
    /// the caller.
    void DoClose();

    /// A change of Buffers: refused on an open port (ekPortOpen), else written.
    void BuffersChanged(TVaPersistent* sender);
    /// A change of EventChars: written to the open device.
    void EventCharsChanged(TVaPersistent* sender);
    /// A change of FlowControl: written to the open device.
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

    // SetDCB for the setting just stored; when the device refuses the record, `undo` puts the
    // previous value back before the error, which names the setting, goes on.
    void WriteSetting(std::string_view setting, const std::function<void()>& undo);
    template <class T> void SetLineSetting(std::string_view setting, T& field, T value);

    int32_t DirectWriteBuf(const void* buffer, int32_t count);
    // Under the global lock, `ask` reads and clears the device's line errors together with the
    // part of the status its caller wants; the errors are kept for the next ClearLineErrors and
    // answered. Raises as GetCommStatus does. Nothing on a closed port.
    uint32_t ClearErrorsWith(
        const std::function<bool(SerialPlatform::THandle device, uint32_t& errors)>& ask);
    // The bytes waiting in the receive queue, asked with the line errors alone.
    uint32_t InputWaiting();
    // ReadWait and ReadUntil; `endChar` < 0 for none.
    TVaTransfer ReadWaiting(char* buffer, int32_t count, int endChar, int32_t timeoutMs);
    // Waits up to `timeoutMs` for input, or for the port to close; false when it closed.
    bool AwaitInput(uint32_t timeoutMs);
    int32_t QueuedWriteBuf(const void* buffer, int32_t count);
    // The transmit queue's bytes held, or free when `free`; 0 without a transmit thread.
    int32_t QueuedBytes(bool free);
    bool IsClient(const TVaDispatcher* dispatcher) const;
    // writeThread_ for a holder of the global lock, which alone keeps it as it is: the pointer
    // changes only under both locks, which the analysis cannot express of one member.
    TVaCommWriteThread* WriteThreadHeldGlobally() const
        Q4471_REQUIRES(globalLock_) Q4471_NO_THREAD_SAFETY_ANALYSIS {
        return writeThread_;
    }
    // The handlers of the plain line events, in the order HandleLineEvent raises them.
    std::array<std::pair<uint32_t, const TVaEventProperty<TNotifyEvent>*>, 11> LineHandlers() const;

    SerialPlatform::ICommSystem* system_;
    const std::unique_ptr<TVaCommHandle> handle_;
    std::atomic<uint32_t> eventMask_{0};
    std::atomic<int> lastOpenError_{0};      // a handler on the port's thread may reopen it
    std::atomic<uint64_t> bytesToDriver_{0}; // every byte a write gave the driver, for WaitWritten
    std::atomic<uint32_t> heldErrors_{0};    // read from the driver, not yet reported
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
    q4471::TThreadPriority eventPriority_ = q4471::tpNormal;
    q4471::TThreadPriority writePriority_ = q4471::tpHighest;
    std::atomic<bool> directWrite_{false};
    bool updateDCB_ = true;
    int32_t userBaudrate_ = 0;
    TVaHandlerThread handlerThread_ = htGuiThread;
    // The settings changed since the device last took the record, for the error that refuses it.
    std::string unwrittenSettings_;

    std::unique_ptr<TVaBuffers> buffers_;
    std::unique_ptr<TVaEventChars> eventChars_;
    std::unique_ptr<TVaFlowControl> flowControl_;
    // Set while the device is being closed, so that a direct write waiting for room lets go.
    TVaWaitEvent completionEvent_;
    // The port's locks, in their order (see the class's comment).
    TVaCriticalSection globalLock_ Q4471_ACQUIRED_BEFORE(writeLock_);
    TVaCriticalSection writeLock_ Q4471_ACQUIRED_BEFORE(writeThreadMutex_);
    q4471::TMutex writeThreadMutex_;

    TVaCommEventThread* eventThread_ Q4471_GUARDED_BY(globalLock_) = nullptr;
    // DestroyThreads moves the threads here; only the one caller that is closing the port uses
    // them then, with no lock held (BeginClose lets exactly one through).
    std::vector<TVaCommThread*> stoppedThreads_;
    // Set and cleared under both the global lock and writeThreadMutex_, so that either guards a
    // reader: purges hold the global lock (WriteThreadHeldGlobally), while writers and the queue
    // counts, which must not wait for a purge in progress, take only the leaf. A writer keeps the
    // thread alive past the leaf with a TVaCommWriteThread::TWriter. While the transmit thread
    // waits to take the write lock, Close waits for it, and so for the lock's holder.
    TVaCommWriteThread* writeThread_ Q4471_GUARDED_BY(writeThreadMutex_) = nullptr;
    const std::shared_ptr<TVaOwnDeliveries> ownDeliveries_;
    // Counts the closings, for TDeliveryGuard; gone with the port.
    std::shared_ptr<std::atomic<uint32_t>> closings_ = std::make_shared<std::atomic<uint32_t>>(0);

    // Changed on the GUI thread, or while the port is closed (htPortThreads); read by the
    // deliveries, which in htPortThreads run on both of the port's threads at once.
    std::vector<TVaDispatcher*> clients_;
    std::atomic<std::size_t> clientCount_{0}; // clients_.size(), for TakesEvents
    std::atomic<bool> controlsEnabled_{true};
    std::atomic<TVaDisplay*> display_{nullptr};
    std::atomic<bool> deviceLostShown_{false};
};

/// The port with every property published; it adds no behaviour.
class Q4471_API TVaComm : public TVaCustomComm {
public:
    using TVaCustomComm::TVaCustomComm;
};

/// Tries whether the device of `"COM<port>"` can be opened now: 1 it can (and is left closed),
/// 2 there is no such device, 0 it cannot for another reason (held by another program, no
/// permission). Any thread.
Q4471_API int32_t GetPortState(int32_t port);
