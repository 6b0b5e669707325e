#pragma once

#include "serial/VaCommThread.h"
#include "serial/VaObjects.h"
#include "serial/platform/CommPlatform.h"

#include <cstdint>
#include <memory>

class TVaCustomComm;

// The receive thread: waits for the port's line events and hands each batch to the GUI thread
// (DoEvent), waiting until it has been handled, so that deliveries never overlap.
class TVaCommEventThread : public TVaCommThread {
public:
    // Created suspended for `comm`'s open device; raises EVaCommError when the device's events
    // cannot be watched.
    explicit TVaCommEventThread(TVaCustomComm* comm);
    ~TVaCommEventThread() override;

    // Marks the thread terminated, then sets EventSignal, which ends a wait for the device.
    void StopThread() override;

    uint32_t EvtMask = 0; // the batch being delivered
    TVaWaitEvent EventSignal;
    TVaCustomComm* const Comm;

protected:
    void Execute() override;
    void LetGoOfDevice() override;

private:
    // On the GUI thread: the display, the received data, then the other events.
    void DoEvent();
    std::unique_ptr<SerialPlatform::ICommEventWaiter> waiter_;
};
