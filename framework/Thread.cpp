#include "framework/Thread.h"

#include <condition_variable>
#include <deque>
#include <sys/resource.h>
#include <unistd.h>

struct SyncRequest {
    const std::function<void()>* method;
    std::exception_ptr error;
    bool running = false; // the GUI thread has taken it from the queue
    bool done = false;    // it ran, or it was withdrawn before
    bool withdrawn = false;
};

namespace {

const std::thread::id mainThreadId = std::this_thread::get_id();

// The queue of calls that worker threads hand to the GUI thread.
struct SyncQueue {
    std::mutex mutex;
    std::condition_variable pending;
    std::condition_variable done;
    std::deque<SyncRequest*> requests;
    bool interrupted = false; // by InterruptCheckSynchronize
    std::function<void()> wake;
};

SyncQueue& Queue() {
    static SyncQueue queue;
    return queue;
}

// Nice values for the host; raising priority needs privileges, so failures are ignored.
int NiceOf(TThreadPriority priority) {
    static const int nice[] = {19, 10, 5, 0, -5, -10, -15};
    return nice[priority];
}

} // namespace

bool IsMainThread() {
    return std::this_thread::get_id() == mainThreadId;
}

void SetWakeMainThread(std::function<void()> wake) {
    SyncQueue& queue = Queue();
    std::lock_guard lock(queue.mutex);
    queue.wake = std::move(wake);
    if (queue.wake && !queue.requests.empty()) {
        queue.wake();
    }
}

void InterruptCheckSynchronize() {
    SyncQueue& queue = Queue();
    {
        std::lock_guard lock(queue.mutex);
        queue.interrupted = true;
    }
    queue.pending.notify_all();
}

std::size_t PendingSyncCalls() {
    SyncQueue& queue = Queue();
    std::lock_guard lock(queue.mutex);
    return queue.requests.size();
}

bool CheckSynchronize(int timeoutMs) {
    SyncQueue& queue = Queue();
    std::unique_lock lock(queue.mutex);
    if (timeoutMs > 0) {
        queue.pending.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return !queue.requests.empty() || queue.interrupted; });
    }
    queue.interrupted = false;
    // Only the calls already waiting: threads that keep handing calls over must not hold the
    // GUI thread here for good. One at a time, so that a call can still be withdrawn until its
    // turn comes.
    std::size_t waiting = queue.requests.size();
    const bool ranAny = waiting > 0;
    for (; waiting > 0 && !queue.requests.empty(); --waiting) {
        SyncRequest* request = queue.requests.front();
        queue.requests.pop_front();
        request->running = true;
        lock.unlock();
        try {
            (*request->method)();
        } catch (...) {
            request->error = std::current_exception();
        }
        lock.lock();
        request->done = true;
        // Told outside the lock, so that the waiting thread does not wake only to wait for it.
        lock.unlock();
        queue.done.notify_all();
        lock.lock();
    }
    return ranAny;
}

namespace {

// Queues `request` for the GUI thread and waits, under `lock`, until it has run or was taken
// back. The GUI thread is woken outside the lock, so that it does not wake only to wait for it.
void HandOver(SyncQueue& queue, SyncRequest& request, std::unique_lock<std::mutex>& lock) {
    queue.requests.push_back(&request);
    if (queue.wake) {
        queue.wake();
    }
    lock.unlock();
    queue.pending.notify_all();
    lock.lock();
    queue.done.wait(lock, [&] { return request.done; });
}

} // namespace

void TThread::Synchronize(const std::function<void()>& method) {
    if (IsMainThread()) {
        method();
        return;
    }
    SyncQueue& queue = Queue();
    SyncRequest request{&method, nullptr};
    {
        std::unique_lock lock(queue.mutex);
        HandOver(queue, request, lock);
    }
    if (request.error) {
        std::rethrow_exception(request.error);
    }
}

bool TSyncHandOver::Run(const std::function<void()>& method) {
    SyncQueue& queue = Queue();
    if (IsMainThread()) {
        {
            std::lock_guard lock(queue.mutex);
            if (withdrawn_) {
                return false;
            }
        }
        method();
        return true;
    }
    SyncRequest request{&method, nullptr};
    {
        std::unique_lock lock(queue.mutex);
        if (withdrawn_) {
            return false;
        }
        current_ = &request;
        HandOver(queue, request, lock);
        current_ = nullptr;
    }
    if (request.withdrawn) {
        return false;
    }
    if (request.error) {
        std::rethrow_exception(request.error);
    }
    return true;
}

bool TSyncHandOver::Withdraw() {
    SyncQueue& queue = Queue();
    std::unique_lock lock(queue.mutex);
    withdrawn_ = true;
    SyncRequest* request = current_;
    if (request == nullptr || request->done) {
        return false;
    }
    if (!request->running) {
        std::erase(queue.requests, request);
        request->withdrawn = true;
        request->done = true;
        queue.done.notify_all();
        return false;
    }
    if (IsMainThread()) {
        return true; // calls run on the GUI thread only: this one is running further up our stack
    }
    // The handing thread clears current_ before the request leaves its stack.
    queue.done.wait(lock, [&] { return current_ != request || request->done; });
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
    std::lock_guard lock(startMutex_); // Run waits until thread_ is stored
    if (!thread_.joinable() && !finished_) {
        thread_ = std::thread([this] { Run(); });
    }
}

void TThread::Run() {
    { std::lock_guard lock(startMutex_); }
    nativeId_ = static_cast<int>(gettid());
    ApplyPriority();
    try {
        Execute();
    } catch (...) {
        fatalException_ = std::current_exception();
    }
    if (freeOnTerminate_) {
        thread_.detach();
        finished_ = true;
        delete this;
        return;
    }
    finished_ = true;
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
    std::lock_guard lock(priorityMutex_);
    if (nativeId_ != 0) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(nativeId_.load()), NiceOf(priority_));
    }
}
