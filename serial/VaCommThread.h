#pragma once

#include "framework/Thread.h"

#include <functional>

// What the port's receive and transmit threads share: a stop request that does not wait, and
// calls handed to the GUI thread that the closing port takes back, so that Close never waits
// for a GUI thread that is busy or is the caller itself.
class TVaCommThread : public TThread {
public:
    // Asks the thread to end; returns at once.
    virtual void StopThread() = 0;

    // Ends a stopped thread's part in its port, for Close: takes back its pending hand-over,
    // then waits for it to end and frees it. A thread whose call the GUI thread is running further
    // up the caller's stack (a handler closing its own port) lets go of the device now, and frees
    // itself once that call has returned, touching nothing of the port's.
    static void Release(TVaCommThread* thread);

protected:
    // Runs `call` on the GUI thread while this thread waits, unless the thread was stopped.
    // `call` handles its own errors.
    void Deliver(const std::function<void()>& call);

    // Gives up what the thread holds of the device; only called while the thread is held in a
    // hand-over.
    virtual void LetGoOfDevice() {}

private:
    TSyncHandOver handOver_;
};
