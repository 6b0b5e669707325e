#include "serial/VaCommThread.h"

#include <algorithm>
#include <utility>

using namespace q4471;

TVaOwnDeliveries::TScope::TScope(TVaOwnDeliveries& deliveries, const TThread& thread)
    : deliveries_(deliveries) {
    TUniqueLock lock(deliveries.mutex_);
    lock.Wait(deliveries.changed_, [&]() Q4471_REQUIRES(deliveries.mutex_) {
        return !deliveries.opening_ || thread.Terminated();
    });
    entered_ = !thread.Terminated();
    if (entered_) {
        deliveries.running_.push_back(std::this_thread::get_id());
    }
}

TVaOwnDeliveries::TScope::~TScope() {
    if (!entered_) {
        return;
    }
    const TLockGuard lock(deliveries_.mutex_);
    auto& running = deliveries_.running_;
    running.erase(std::find(running.begin(), running.end(), std::this_thread::get_id()));
    deliveries_.changed_.notify_all();
}

void TVaOwnDeliveries::BeginOpening() {
    const TLockGuard lock(mutex_);
    opening_ = true;
}

void TVaOwnDeliveries::EndOpening() {
    const TLockGuard lock(mutex_);
    opening_ = false;
    changed_.notify_all();
}

void TVaOwnDeliveries::Wake() {
    const TLockGuard lock(mutex_);
    changed_.notify_all();
}

void TVaOwnDeliveries::WaitForOthers() {
    const auto othersDone = [this]() Q4471_REQUIRES(mutex_) {
        return std::all_of(running_.begin(), running_.end(),
                           [](std::thread::id id) { return id == std::this_thread::get_id(); });
    };
    TUniqueLock lock(mutex_);
    // A handler may be waiting for the GUI thread: there, as TThread::WaitFor does, its calls are
    // served meanwhile instead of waited out.
    while (IsMainThread() && !othersDone()) {
        lock.Unlock();
        CheckSynchronize(5);
        lock.Lock();
    }
    lock.Wait(changed_, othersDone);
}

void TVaCommThread::Release(TVaCommThread* thread) {
    if (thread == nullptr) {
        return;
    }
    if (thread->IsCurrent() || thread->handOver_.Withdraw()) {
        // Held until the call up our stack returns; after it, the thread sees its stop request.
        thread->LetGoOfDevice();
        thread->SetFreeOnTerminate(true);
        return;
    }
    thread->WaitFor();
    delete thread;
}

void TVaCommThread::Deliver(const std::function<void()>& call) {
    if (Terminated()) {
        return;
    }
    if (ownDeliveries_) {
        const TVaOwnDeliveries::TScope scope(*ownDeliveries_, *this);
        if (scope.Entered()) {
            call();
        }
    } else {
        handOver_.Run(call);
    }
}

void TVaCommThread::Post(std::function<void()> call) {
    if (Terminated()) {
        return;
    }
    if (ownDeliveries_) {
        Deliver(call);
    } else {
        handOver_.Post(std::move(call));
    }
}

void TVaCommThread::Execute() {
    Serve();
    handOver_.WaitIdle();
}
