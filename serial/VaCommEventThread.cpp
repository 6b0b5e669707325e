#include "serial/VaCommEventThread.h"

#include "serial/VaCommFormat.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/framework/Application.h>
#include <q4471/serial/VaComm.h>

using namespace q4471;
using namespace SerialPlatform;

TVaCommEventThread::TVaCommEventThread(TVaCustomComm* comm)
    : TVaCommThread(comm->OwnDeliveries()), Comm(comm) {
    waiter_ = comm->CommSystem().CreateEventWaiter(comm->Handle(), EventSignal.Handle());
    if (!waiter_) {
        const int code = GetLastError();
        throw CommError(sErrSetEventMask, code);
    }
}

TVaCommEventThread::~TVaCommEventThread() {
    // The waiter goes before EventSignal, whose signal it watches.
    waiter_.reset();
}

void TVaCommEventThread::StopThread() {
    Terminate();
    EventSignal.SetEvent();
}

void TVaCommEventThread::LetGoOfDevice() {
    if (IsCurrent()) {
        // A handler on this thread closes the port: the thread is between two waits, and its
        // loop ends, stopped, without waiting again.
        waiter_.reset();
        return;
    }
    // Stopped already: the thread leaves its wait without the GUI thread's help.
    TUniqueLock lock(leftDeviceMutex_);
    lock.Wait(leftDeviceChanged_,
              [this]() Q4471_REQUIRES(leftDeviceMutex_) { return leftDevice_; });
}

void TVaCommEventThread::Serve() {
    ReceiveBatches();
    waiter_.reset();
    {
        const TLockGuard lock(leftDeviceMutex_);
        leftDevice_ = true;
    }
    leftDeviceChanged_.notify_all();
}

void TVaCommEventThread::ReceiveBatches() {
    bool failedBefore = false;
    while (!Terminated()) {
        uint32_t mask = 0;
        const TCommWaitResult result = waiter_->WaitCommEvent(mask);
        // A failed wait is followed by the next one, as the waiter drops what failed; a wait that
        // fails again at once would fail for good, and repeating it would only burn a core.
        const bool lost = result == cwDeviceGone || (result == cwFailed && failedBefore);
        failedBefore = result == cwFailed;
        if (lost) {
            const int code = GetLastError();
            Post([this, code] { Comm->DeviceLost(code); });
            return;
        }
        // A batch that nobody would receive is not handed over: a program that runs no GUI
        // loop would otherwise hold this thread at its second batch.
        if (result == cwEvents) {
            EvtMask = mask;
            if (Comm->TakesEvents(mask, true)) {
                Post([this, mask] { DoEvent(mask); });
            }
        }
        // cwStopped: StopThread marks the thread terminated before it sets the signal.
    }
}

void TVaCommEventThread::DoEvent(uint32_t evtMask) {
    // Each step can close or destroy the port through a handler; the thread is stopped then,
    // and the rest of the batch is dropped.
    try {
        Comm->UpdateDisplay();
        if (Terminated()) {
            return;
        }
        if ((evtMask & EV_RXCHAR) != 0) {
            Comm->HandleDataEvent();
            evtMask &= ~EV_RXCHAR;
            if (Terminated()) {
                return;
            }
        }
        if (evtMask != 0) {
            Comm->HandleLineEvent(evtMask);
        }
    } catch (const EVaCommError&) {
        // A batch that finds the device gone (its queue or line state cannot be read any more)
        // tells that, once, rather than the step that failed.
        if (const int code = GetLastError(); DeviceHasGone(code)) {
            Comm->DeviceLost(code);
        } else {
            Application::HandleException();
        }
    } catch (...) {
        Application::HandleException();
    }
}
