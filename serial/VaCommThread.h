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

    // Queues `call` for the GUI thread and goes on without waiting for it to run, unless the
    // thread was stopped; waits only while its previous call has not been taken yet. The GUI
    // thread runs the calls one after the other. `call` handles its own errors.
    void Post(std::function<void()> call);

    // The thread's work until it is stopped. The thread ends once the GUI thread has run or
    // dropped every call it posted, as those use its members.
    virtual void Serve() = 0;

    // Gives up what the thread holds of the device, or waits until the thread has; called by
    // Release on the GUI thread while it runs one of the thread's calls.
    virtual void LetGoOfDevice() {}

private:
    void Execute() final;

    TSyncHandOver handOver_;
};
