#pragma once

#include <q4471/framework/Locks.h>
#include <q4471/framework/Thread.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// The deliveries that a port's threads run themselves (htPortThreads). A handler may destroy
// the port while another thread's delivery, whose handler closed it, has yet to return: the
// destructor waits for those. Open holds deliveries back until it has returned, so that none
// meets a half-opened port. Shared by the port and its threads, as a delivery may outlive the
// port it destroyed. Its mutex is a leaf of the port's lock order (serial/VaComm.h).
class TVaOwnDeliveries {
public:
    // A delivery's stay: waits while the port opens, unless `thread` is stopped meanwhile.
    class TScope {
    public:
        TScope(TVaOwnDeliveries& deliveries, const q4471::TThread& thread);
        ~TScope();
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;
        bool Entered() const { return entered_; }

    private:
        TVaOwnDeliveries& deliveries_;
        bool entered_;
    };

    void BeginOpening();
    void EndOpening();
    // Wakes deliveries waiting for an opening, for threads that have just been stopped.
    void Wake();
    // Waits until no delivery runs on a thread other than the caller's; on the GUI thread,
    // serving the calls handed to it meanwhile.
    void WaitForOthers();

private:
    q4471::TMutex mutex_;
    std::condition_variable changed_;
    bool opening_ Q4471_GUARDED_BY(mutex_) = false;
    std::vector<std::thread::id> running_ Q4471_GUARDED_BY(mutex_);
};

// What the port's receive and transmit threads share: a stop request that does not wait, and
// calls handed to the GUI thread that the closing port takes back, so that Close never waits
// for a GUI thread that is busy or is the caller itself. A thread made to deliver here runs
// those calls itself instead, and hands nothing to the GUI thread.
class TVaCommThread : public q4471::TThread {
public:
    // With `ownDeliveries`, the thread runs its calls itself instead of handing them over.
    explicit TVaCommThread(std::shared_ptr<TVaOwnDeliveries> ownDeliveries)
        : ownDeliveries_(std::move(ownDeliveries)) {}

    // Asks the thread to end; returns at once.
    virtual void StopThread() = 0;

    // Ends a stopped thread's part in its port, for Close: takes back its pending hand-over,
    // then waits for it to end and frees it. A thread whose call is running further up the
    // caller's stack (a handler closing its own port, on the GUI thread or on this very thread)
    // lets go of the device now, and frees itself once that call has returned, touching nothing
    // of the port's. A thread never waits for itself.
    static void Release(TVaCommThread* thread);

protected:
    // Runs `call` on the GUI thread while this thread waits, unless the thread was stopped.
    // `call` handles its own errors. After it, a thread that delivers here tests Terminated()
    // before it touches its port again: the call may have closed or destroyed it.
    void Deliver(const std::function<void()>& call);

    // Queues `call` for the GUI thread and goes on without waiting for it to run, unless the
    // thread was stopped; waits only while its previous call has not been taken yet. The GUI
    // thread runs the calls one after the other. `call` handles its own errors.
    void Post(std::function<void()> call);

    // The thread's work until it is stopped. The thread ends once the GUI thread has run or
    // dropped every call it posted, as those use its members.
    virtual void Serve() = 0;

    // Gives up what the thread holds of the device, or waits until the thread has; called by
    // Release while one of the thread's calls runs, on the GUI thread or on the thread itself.
    virtual void LetGoOfDevice() {}

private:
    void Execute() final;

    const std::shared_ptr<TVaOwnDeliveries> ownDeliveries_;
    q4471::TSyncHandOver handOver_;
};
