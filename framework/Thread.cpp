#include "framework/NativeThread.h"

#include <q4471/framework/Locks.h>
#include <q4471/framework/Thread.h>

#include <algorithm>
#include <condition_variable>
#include <deque>

namespace q4471 {

struct SyncRequest {
    const std::function<void()>* method = nullptr;
    std::exception_ptr error;
    TSyncHandOver* owner = nullptr; // none for Synchronize
    std::function<void()> posted;   // the call itself, for Post
    bool done = false;              // it ran, or it was withdrawn before
    bool withdrawn = false;
};

namespace {

const std::thread::id MainThreadId = std::this_thread::get_id();

// The TThread whose Execute the calling thread runs. Cleared before the thread ends, so that a
// later thread that gets the same system id is never taken for it.
thread_local const TThread* currentThread = nullptr;

// The queue of calls that worker threads hand to the GUI thread.
struct SyncQueue {
    TMutex mutex;
    std::condition_variable pending;
    std::condition_variable done;
    std::deque<SyncRequest*> requests Q4471_GUARDED_BY(mutex);
    bool interrupted Q4471_GUARDED_BY(mutex) = false; // by InterruptCheckSynchronize
    std::function<void()> wake Q4471_GUARDED_BY(mutex);
};

SyncQueue& Queue() {
    static SyncQueue queue;
    return queue;
}

} // namespace

bool IsMainThread() {
    return std::this_thread::get_id() == MainThreadId;
}

void SetWakeMainThread(std::function<void()> wake) {
    SyncQueue& queue = Queue();
    const TLockGuard lock(queue.mutex);
    queue.wake = std::move(wake);
    if (queue.wake && !queue.requests.empty()) {
        queue.wake();
    }
}

void InterruptCheckSynchronize() {
    SyncQueue& queue = Queue();
    {
        const TLockGuard lock(queue.mutex);
        queue.interrupted = true;
    }
    queue.pending.notify_all();
}

std::size_t PendingSyncCalls() {
    SyncQueue& queue = Queue();
    const TLockGuard lock(queue.mutex);
    return queue.requests.size();
}

// Which call the GUI thread takes next: the first in the queue whose hand-over runs none of its
// calls, so that a wait nested in a call does not start the next call of the same hand-over.
struct SyncTurns {
    static bool MayRun(const SyncRequest* request) {
        return request->owner == nullptr || request->owner->running_ == nullptr;
    }

    static std::deque<SyncRequest*>::iterator Next(std::deque<SyncRequest*>& requests) {
        return std::find_if(requests.begin(), requests.end(), MayRun);
    }

    static void Started(SyncRequest* request) {
        if (request->owner != nullptr) {
            request->owner->running_ = request;
        }
    }

    static void Ended(SyncRequest* request) {
        request->done = true;
        if (request->owner != nullptr) {
            request->owner->running_ = nullptr;
        }
    }
};

bool CheckSynchronize(int timeoutMs) {
    SyncQueue& queue = Queue();
    TUniqueLock lock(queue.mutex);
    if (timeoutMs > 0) {
        lock.WaitFor(
            queue.pending, std::chrono::milliseconds(timeoutMs), [&]() Q4471_REQUIRES(queue.mutex) {
                return SyncTurns::Next(queue.requests) != queue.requests.end() || queue.interrupted;
            });
    }
    queue.interrupted = false;
    // Only the calls already waiting: threads that keep handing calls over must not hold the
    // GUI thread here for good. One at a time, so that a call can still be withdrawn until its
    // turn comes.
    bool ranAny = false;
    for (std::size_t waiting = queue.requests.size(); waiting > 0; --waiting) {
        const auto next = SyncTurns::Next(queue.requests);
        if (next == queue.requests.end()) {
            break;
        }
        SyncRequest* request = *next;
        queue.requests.erase(next);
        SyncTurns::Started(request);
        ranAny = true;
        lock.Unlock();
        if (request->posted) {
            queue.done.notify_all(); // a thread may wait in Post for this call to be taken
        }
        try {
            (*request->method)();
        } catch (...) {
            request->error = std::current_exception();
        }
        lock.Lock();
        const bool moreOfItsOwn =
            request->owner != nullptr &&
            std::any_of(queue.requests.begin(), queue.requests.end(),
                        [&](const SyncRequest* queued) { return queued->owner == request->owner; });
        SyncTurns::Ended(request); // a posted call may be freed from here on
        // A call held back while this one ran may run now, also where a toolkit wakes the GUI
        // thread for calls.
        if (moreOfItsOwn && queue.wake) {
            queue.wake();
        }
        // Told outside the lock, so that the waiting thread does not wake only to wait for it.
        lock.Unlock();
        queue.done.notify_all();
        lock.Lock();
    }
    return ranAny;
}

namespace {

// Queues `request` for the GUI thread and waits, under `lock`, until it has run or was taken
// back. The GUI thread is woken outside the lock, so that it does not wake only to wait for it.
void HandOver(SyncQueue& queue, SyncRequest& request, TUniqueLock& lock)
    Q4471_REQUIRES(queue.mutex) {
    queue.requests.push_back(&request);
    if (queue.wake) {
        queue.wake();
    }
    lock.Unlocked([&] { queue.pending.notify_all(); });
    lock.Wait(queue.done, [&] { return request.done; });
}

} // namespace

void TThread::Synchronize(const std::function<void()>& method) {
    if (IsMainThread()) {
        method();
        return;
    }
    SyncQueue& queue = Queue();
    SyncRequest request;
    request.method = &method;
    {
        TUniqueLock lock(queue.mutex);
        HandOver(queue, request, lock);
    }
    if (request.error) {
        std::rethrow_exception(request.error);
    }
}

TSyncHandOver::TSyncHandOver() = default;
TSyncHandOver::~TSyncHandOver() = default;

bool TSyncHandOver::Run(const std::function<void()>& method) {
    SyncQueue& queue = Queue();
    if (IsMainThread()) {
        {
            const TLockGuard lock(queue.mutex);
            if (withdrawn_) {
                return false;
            }
        }
        method();
        return true;
    }
    SyncRequest request;
    request.method = &method;
    request.owner = this;
    {
        TUniqueLock lock(queue.mutex);
        if (withdrawn_) {
            return false;
        }
        HandOver(queue, request, lock);
    }
    if (request.withdrawn) {
        return false;
    }
    if (request.error) {
        std::rethrow_exception(request.error);
    }
    return true;
}

bool TSyncHandOver::Post(std::function<void()> method) {
    SyncQueue& queue = Queue();
    TUniqueLock lock(queue.mutex);
    const auto waitingToBeTaken = [this] {
        return std::any_of(posted_.begin(), posted_.end(), [this](const auto& request) {
            return request.get() != running_ && !request->done;
        });
    };
    lock.Wait(queue.done, [&] { return withdrawn_ || !waitingToBeTaken(); });
    if (withdrawn_) {
        return false;
    }
    std::erase_if(posted_, [](const auto& request) { return request->done; });
    auto request = std::make_unique<SyncRequest>();
    request->owner = this;
    request->posted = std::move(method);
    request->method = &request->posted;
    queue.requests.push_back(request.get());
    posted_.push_back(std::move(request));
    if (queue.wake) {
        queue.wake();
    }
    lock.Unlock();
    queue.pending.notify_all();
    return true;
}

void TSyncHandOver::WaitIdle() {
    SyncQueue& queue = Queue();
    TUniqueLock lock(queue.mutex);
    lock.Wait(queue.done, [this] {
        return std::all_of(posted_.begin(), posted_.end(),
                           [](const auto& request) { return request->done; });
    });
}

bool TSyncHandOver::Withdraw() {
    SyncQueue& queue = Queue();
    TUniqueLock lock(queue.mutex);
    withdrawn_ = true;
    std::erase_if(queue.requests, [this](SyncRequest* request) {
        if (request->owner != this) {
            return false;
        }
        request->withdrawn = true;
        request->done = true;
        return true;
    });
    queue.done.notify_all();
    if (running_ == nullptr) {
        return false;
    }
    if (IsMainThread()) {
        return true; // calls run on the GUI thread only: this one is running further up our stack
    }
    lock.Wait(queue.done, [this] { return running_ == nullptr; });
    return false;
}

TThread::TThread() = default;

TThread::~TThread() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach(); // freeing itself at the end of Run
        } else {
            Terminate();
            WaitFor();
        }
    }
}

void TThread::Start() {
    const TLockGuard lock(startMutex_); // Run waits until thread_ is stored
    if (!thread_.joinable() && !finished_) {
        thread_ = std::thread([this] { Run(); });
    }
}

void TThread::Run() {
    { const TLockGuard lock(startMutex_); }
    nativeId_ = CurrentNativeThreadId();
    ApplyPriority();
    currentThread = this;
    try {
        Execute();
    } catch (...) {
        fatalException_ = std::current_exception();
    }
    currentThread = nullptr;
    if (freeOnTerminate_) {
        thread_.detach();
        finished_ = true;
        delete this;
        return;
    }
    finished_ = true;
}

bool TThread::IsCurrent() const {
    return currentThread == this;
}

void TThread::WaitFor() {
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) {
        return;
    }
    if (IsMainThread()) {
        while (!finished_) {
            CheckSynchronize(5);
        }
    }
    thread_.join();
}

void TThread::SetPriority(TThreadPriority priority) {
    priority_ = priority;
    ApplyPriority();
}

void TThread::ApplyPriority() {
    const TLockGuard lock(priorityMutex_);
    if (nativeId_ != 0) {
        SetNativeThreadPriority(nativeId_.load(), priority_);
    }
}

} // namespace q4471
