/// @file
/// Threads and the calls they hand to the GUI thread.
#pragma once

#include <q4471/framework/Export.h>
#include <q4471/framework/Locks.h>

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace q4471 {

/// A thread's priority, from lowest to highest. On Linux they are the nice values 19, 10, 5, 0,
/// -5, -10 and -15; a negative one needs the right to raise priority (CAP_SYS_NICE or
/// RLIMIT_NICE), and without it the thread keeps the priority it has, silently.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
/** @var tpIdle
    Runs only when nothing else wants the processor.
    @var tpLowest
    Two steps below normal.
    @var tpLower
    One step below normal.
    @var tpNormal
    Normal priority (nice 0).
    @var tpHigher
    One step above normal.
    @var tpHighest
    Two steps above normal.
    @var tpTimeCritical
    The highest. */

/// The framework's thread class. A thread is created suspended and runs Execute once started.
/// Execute tests Terminated() for a stop request. An error that escapes Execute ends the thread and
/// is kept in FatalException(). With FreeOnTerminate set, the object deletes itself when Execute
/// has returned; otherwise its owner deletes it, and a derived class whose Execute uses its own
/// members calls WaitFor() in its destructor.
class Q4471_API TThread {
public:
    /// A suspended thread.
    TThread();
    /// Waits for a started thread to end (Terminate first to ask it to stop).
    virtual ~TThread();
    /// Not copyable.
    TThread(const TThread&) = delete;
    /// Not copyable.
    TThread& operator=(const TThread&) = delete;

    /// Starts Execute on a new thread; once only.
    void Start();
    /// Asks Execute to stop; does not wait. Any thread.
    void Terminate() { terminated_ = true; }
    /// Whether Terminate was called.
    bool Terminated() const { return terminated_; }
    /// Whether Execute has returned.
    bool Finished() const { return finished_; }
    /// True on the thread that runs this object's Execute, while it runs it.
    bool IsCurrent() const;

    ///@{
    /// Whether the object deletes itself when Execute has returned. Default false.
    void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
    bool FreeOnTerminate() const { return freeOnTerminate_; }
    ///@}

    ///@{
    /// The thread's priority. Default tpNormal; applies to a running thread at once.
    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority);
    ///@}

    /// Waits for Execute to end. On the GUI thread it keeps running synchronised calls meanwhile,
    /// so a thread blocked in Synchronize can still finish.
    void WaitFor();

    /// The error that ended Execute; null when none did.
    std::exception_ptr FatalException() const { return fatalException_; }

    /// Runs `method` on the GUI thread while the calling thread waits; on the GUI thread itself it
    /// runs at once. An error raised by `method` is raised again in the caller.
    static void Synchronize(const std::function<void()>& method);

protected:
    /// The thread's body, on the new thread; test Terminated() to stop when asked.
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
    TMutex startMutex_;
    TMutex priorityMutex_;
    std::exception_ptr fatalException_;
};

struct SyncRequest;

/// Calls handed to the GUI thread by one thread, which its owner can take back: a closing serial
/// port withdraws its threads' pending deliveries instead of waiting for a GUI thread that may be
/// busy, or be the very caller. The GUI thread runs the calls of one hand-over one after the other,
/// never one inside another: while one runs, the next is not taken, not even by a wait nested in
/// the running call.
class Q4471_API TSyncHandOver {
public:
    /// An open hand-over.
    TSyncHandOver();
    /// Frees the posted calls. Withdraw it and let it go idle first.
    ~TSyncHandOver();
    /// Not copyable.
    TSyncHandOver(const TSyncHandOver&) = delete;
    /// Not copyable.
    TSyncHandOver& operator=(const TSyncHandOver&) = delete;

    /// Runs `method` on the GUI thread while the caller waits, unless the hand-over is withdrawn,
    /// before or while the call waits there. Answers whether it ran; an error it raised is raised
    /// again in the caller.
    bool Run(const std::function<void()>& method);

    /// Queues `method` for the GUI thread and returns without waiting for it to run; the
    /// hand-over keeps it until then. Waits only while an earlier posted call has not been taken
    /// yet, so that a GUI thread that does not come back holds the caller, as Run does. Answers
    /// false when the hand-over is withdrawn. `method` handles its own errors.
    bool Post(std::function<void()> method);

    /// Waits until no call of this hand-over waits or runs. Not on the GUI thread.
    void WaitIdle();

    /// Refuses every later call and takes back those that wait for the GUI thread. A call that
    /// the GUI thread is running is waited for, unless the caller is the GUI thread itself, which
    /// is then inside that call: answers true in that case (a thread in Run stays held until the
    /// call returns).
    bool Withdraw();

private:
    friend struct SyncTurns; // the GUI thread's side, in Thread.cpp

    // All guarded by the mutex of the GUI thread's queue. That mutex is Thread.cpp's own, out of
    // this header's sight: Clang's analysis checks the queue's members, not these.
    bool withdrawn_ = false;
    SyncRequest* running_ = nullptr; // the call of this hand-over that the GUI thread runs
    std::vector<std::unique_ptr<SyncRequest>> posted_; // kept until they have run
};

/// The GUI thread's side of Synchronize: runs the calls that wait for it. With a positive timeout
/// it first waits that long (milliseconds) for a call to arrive. Answers whether it ran any. Call
/// on the GUI thread. A program without a toolkit calls it in its main loop.
Q4471_API bool CheckSynchronize(int timeoutMs = 0);

/// Ends the GUI thread's present or next wait in CheckSynchronize early, for a GUI thread that
/// waits for calls and for something else at once. Any thread.
Q4471_API void InterruptCheckSynchronize();

/// The number of calls waiting for the GUI thread to run them. Any thread.
Q4471_API std::size_t PendingSyncCalls();

/// True on the GUI thread: the thread that initialised the program (the process's first thread).
Q4471_API bool IsMainThread();

/// Lets a GUI toolkit get woken when a call waits for the GUI thread; empty to unbind. `wake`
/// runs on the handing thread and only posts to the toolkit.
Q4471_API void SetWakeMainThread(std::function<void()> wake);

} // namespace q4471
