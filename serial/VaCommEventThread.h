#pragma once

#include "serial/VaCommThread.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/framework/Locks.h>
#include <q4471/serial/VaObjects.h>

#include <condition_variable>
#include <cstdint>
#include <memory>

class TVaCustomComm;

// The receive thread: waits for the port's line events and hands each batch to the GUI thread
// (DoEvent). It waits for the next batch while the GUI thread delivers one, rather than for the
// delivery to end: two thread wake-ups fewer per batch, and under a stream of input the GUI
// thread finds the next batch waiting. Deliveries still never overlap (the GUI thread takes the
// next batch only once the last has returned), each has its own mask, and a GUI thread that does
// not come back holds the thread after one batch. With the port's handlers on its own threads
// (htPortThreads) the thread delivers each batch itself before it waits for the next.
class TVaCommEventThread : public TVaCommThread {
public:
    // Created suspended for `comm`'s open device; raises EVaCommError when the device's events
    // cannot be watched.
    explicit TVaCommEventThread(TVaCustomComm* comm);
    ~TVaCommEventThread() override;

    // Marks the thread terminated, then sets EventSignal, which ends a wait for the device.
    void StopThread() override;

    uint32_t EvtMask = 0; // the last batch the driver's wait wrote; the receive thread's own
    TVaWaitEvent EventSignal;
    TVaCustomComm* const Comm;

protected:
    void Serve() override;
    void LetGoOfDevice() override;

private:
    // On the GUI thread: the display, the received data, then the other events of `evtMask`.
    void DoEvent(uint32_t evtMask);
    // The loop; answers when the thread is stopped or the device has gone.
    void ReceiveBatches();

    std::unique_ptr<SerialPlatform::ICommEventWaiter> waiter_;
    // Set once the waiter is gone: the port may close its handle. The mutex is a leaf: nothing
    // else is taken while it is held.
    q4471::TMutex leftDeviceMutex_;
    std::condition_variable leftDeviceChanged_;
    bool leftDevice_ Q4471_GUARDED_BY(leftDeviceMutex_) = false;
};
