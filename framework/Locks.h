/// @file
/// Locks that Clang's thread-safety analysis checks: a mutex, the guards that hold it, and the
/// macros that say which lock guards which member and which locks a function needs. Under Clang
/// with -Wthread-safety a member read or written without its lock, a function called without the
/// lock it requires, or locks taken against their declared order fail the build; every other
/// compiler sees the plain standard locks and no attributes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

/// @cond
#if defined(__clang__)
#define Q4471_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define Q4471_THREAD_ANNOTATION(x)
#endif
/// @endcond

/// A class that is a lock; `name` is what the compiler's messages call it.
#define Q4471_CAPABILITY(name) Q4471_THREAD_ANNOTATION(capability(name))
/// A class whose objects hold a lock for their lifetime.
#define Q4471_SCOPED_CAPABILITY Q4471_THREAD_ANNOTATION(scoped_lockable)
/// A member that is read and written only while `lock` is held.
#define Q4471_GUARDED_BY(lock) Q4471_THREAD_ANNOTATION(guarded_by(lock))
/// A lock taken before the locks listed, never while one of them is held.
#define Q4471_ACQUIRED_BEFORE(...) Q4471_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
/// A lock taken after the locks listed, never before one of them.
#define Q4471_ACQUIRED_AFTER(...) Q4471_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
/// A function called with the locks listed held.
#define Q4471_REQUIRES(...) Q4471_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
/// A function called with none of the locks listed held, as it takes them or waits.
#define Q4471_EXCLUDES(...) Q4471_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
/// A function that takes the locks listed (its own object's with none) and returns holding them.
#define Q4471_ACQUIRE(...) Q4471_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
/// A function that releases the locks listed (its own object's with none).
#define Q4471_RELEASE(...) Q4471_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
/// A function the analysis does not look into; every use carries its reason beside it.
#define Q4471_NO_THREAD_SAFETY_ANALYSIS Q4471_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace q4471 {

/// A mutual-exclusion lock, not re-entrant: std::mutex as the analysis sees it. Held through
/// TLockGuard, or TUniqueLock where a condition is waited for.
class Q4471_CAPABILITY("mutex") TMutex {
public:
    ///@{
    /// Takes and releases the lock; for the guards, which release it on every way out.
    void lock() Q4471_ACQUIRE() { mutex_.lock(); }
    void unlock() Q4471_RELEASE() { mutex_.unlock(); }
    ///@}

private:
    friend class TUniqueLock; // waits on std::condition_variable, which wants the standard lock
    std::mutex mutex_;
};

/// Holds `Lockable` (TMutex, or any class that is a lock) from construction to destruction.
template <class Lockable> class Q4471_SCOPED_CAPABILITY TLockGuard {
public:
    /// Takes `lockable`.
    explicit TLockGuard(Lockable& lockable) Q4471_ACQUIRE(lockable) : lockable_(lockable) {
        lockable_.lock();
    }
    /// Releases it.
    ~TLockGuard() Q4471_RELEASE() { lockable_.unlock(); }
    /// Not copyable.
    TLockGuard(const TLockGuard&) = delete;
    /// Not copyable.
    TLockGuard& operator=(const TLockGuard&) = delete;

private:
    Lockable& lockable_;
};

/// Holds a TMutex, lets go of it for a while and waits on conditions with it: std::unique_lock as
/// the analysis sees it. A predicate that reads guarded members says so with
/// `[&]() Q4471_REQUIRES(mutex_) { ... }`; it runs with the lock held.
class Q4471_SCOPED_CAPABILITY TUniqueLock {
public:
    /// Takes `mutex`.
    explicit TUniqueLock(TMutex& mutex) Q4471_ACQUIRE(mutex) : lock_(mutex.mutex_) {}
    /// Releases it, unless it is released already.
    ~TUniqueLock() Q4471_RELEASE() {}
    /// Not copyable.
    TUniqueLock(const TUniqueLock&) = delete;
    /// Not copyable.
    TUniqueLock& operator=(const TUniqueLock&) = delete;

    ///@{
    /// Releases the mutex and takes it again.
    void Unlock() Q4471_RELEASE() { lock_.unlock(); }
    void Lock() Q4471_ACQUIRE() { lock_.lock(); }
    ///@}

    /// Waits on `condition` until `ready()` answers true; the mutex is released while it waits.
    template <class Predicate> void Wait(std::condition_variable& condition, Predicate ready) {
        condition.wait(lock_, ready);
    }
    /// Runs `call` with the mutex released, and takes it again; `call` is checked as holding
    /// nothing.
    template <class Call> void Unlocked(Call call) {
        lock_.unlock();
        call();
        lock_.lock();
    }
    /// Wait for at most `time`; answers ready() at the end.
    template <class Rep, class Period, class Predicate>
    bool WaitFor(std::condition_variable& condition, std::chrono::duration<Rep, Period> time,
                 Predicate ready) {
        return condition.wait_for(lock_, time, ready);
    }

private:
    std::unique_lock<std::mutex> lock_;
};

} // namespace q4471
