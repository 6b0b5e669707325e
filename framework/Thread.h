#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The framework's thread class. A thread is created suspended and runs Execute once started.
// Execute tests Terminated() for a stop request. An error that escapes Execute ends the thread and
// is kept in FatalException(). With FreeOnTerminate set, the object deletes itself when Execute
// has returned; otherwise its owner deletes it, and a derived class whose Execute uses its own
// members calls WaitFor() in its destructor.
class TThread {
public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool Finished() const { return finished_; }
    // True on the thread that runs this object's Execute, while it runs it.
    bool IsCurrent() const;

    void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
    bool FreeOnTerminate() const { return freeOnTerminate_; }

    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority);

    // Waits for Execute to end. On the GUI thread it keeps running synchronised calls meanwhile,
    // so a thread blocked in Synchronize can still finish.
    void WaitFor();

    std::exception_ptr FatalException() const { return fatalException_; }

    // Runs `method` on the GUI thread while the calling thread waits; on the GUI thread itself it
    // runs at once. An error raised by `method` is raised again in the caller.
    static void Synchronize(const std::function<void()>& method);

protected:
    virtual void Execute() = 0;

private:
    void Run();
    void ApplyPriority();

    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> freeOnTerminate_{false};
    std::atomic<TThreadPriority> priority_{tpNormal};
    std::atomic<int> nativeId_{0};
    std::mutex startMutex_;
    std::mutex priorityMutex_;
    std::exception_ptr fatalException_;
};

struct SyncRequest;

// Calls handed to the GUI thread by one thread, which its owner can take back: a closing serial
// port withdraws its threads' pending deliveries instead of waiting for a GUI thread that may be
// busy, or be the very caller. The GUI thread runs the calls of one hand-over one after the other,
// never one inside another: while one runs, the next is not taken, not even by a wait nested in
// the running call.
class TSyncHandOver {
public:
    TSyncHandOver();
    ~TSyncHandOver();
    TSyncHandOver(const TSyncHandOver&) = delete;
    TSyncHandOver& operator=(const TSyncHandOver&) = delete;

    // Runs `method` on the GUI thread while the caller waits, unless the hand-over is withdrawn,
    // before or while the call waits there. Answers whether it ran; an error it raised is raised
    // again in the caller.
    bool Run(const std::function<void()>& method);

    // Queues `method` for the GUI thread and returns without waiting for it to run; the
    // hand-over keeps it until then. Waits only while an earlier posted call has not been taken
    // yet, so that a GUI thread that does not come back holds the caller, as Run does. Answers
    // false when the hand-over is withdrawn. `method` handles its own errors.
    bool Post(std::function<void()> method);

    // Waits until no call of this hand-over waits or runs. Not on the GUI thread.
    void WaitIdle();

    // Refuses every later call and takes back those that wait for the GUI thread. A call that
    // the GUI thread is running is waited for, unless the caller is the GUI thread itself, which
    // is then inside that call: answers true in that case (a thread in Run stays held until the
    // call returns).
    bool Withdraw();

private:
    friend struct SyncTurns; // the GUI thread's side, in Thread.cpp

    // All guarded by the queue's mutex.
    bool withdrawn_ = false;
    SyncRequest* current_ = nullptr; // the call of Run, on the handing thread's stack
    SyncRequest* running_ = nullptr; // the call of this hand-over that the GUI thread runs
    std::vector<std::unique_ptr<SyncRequest>> posted_; // kept until they have run
};

// The GUI thread's side of Synchronize: runs the calls that wait for it. With a positive timeout it
// first waits that long for a call to arrive. Answers whether it ran any. Call on the GUI thread.
bool CheckSynchronize(int timeoutMs = 0);

// Ends the GUI thread's present or next wait in CheckSynchronize early, for a GUI thread that
// waits for calls and for something else at once. Any thread.
void InterruptCheckSynchronize();

// The number of calls waiting for the GUI thread to run them.
std::size_t PendingSyncCalls();

// True on the GUI thread: the thread that initialised the program (the process's first thread).
bool IsMainThread();

// Lets a GUI toolkit get woken when a call waits for the GUI thread; empty to unbind.
void SetWakeMainThread(std::function<void()> wake);
