/// @file
/// Signals, waits and the re-entrant lock of the serial component.
#pragma once

#include <q4471/framework/Components.h>
#include <q4471/framework/Export.h>
#include <q4471/framework/Locks.h>
#include <q4471/serial/SignalHandle.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>

/// A wait time of 0xFFFFFFFF milliseconds: no limit.
inline constexpr uint32_t VaInfinite = SerialPlatform::NoTimeLimit;

/// How a wait ended.
enum TVaEventWaitResult : uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError };
/// @var wrSignaled
/// The signal was set.
/// @var wrTimeout
/// The time passed first.
/// @var wrAbandoned
/// Kept for the signals of other systems; never occurs here.
/// @var wrError
/// The wait failed; the signal's LastError tells why.

/// The outcome of WaitForEvents.
struct TVaWaitListResult {
    /// How the wait ended.
    TVaEventWaitResult Result;
    /// With wrSignaled: the position in the list of the signal that ended the wait.
    std::size_t Index;
    /// With wrError: the system's error code.
    uint32_t Error;
};

/// Owns one signal of the operating system (the one kind of handle the component keeps this way)
/// and frees it when destroyed.
class Q4471_API TVaHandleObject : public q4471::TObject {
public:
    /// Takes ownership of `handle` (none by default).
    explicit TVaHandleObject(SerialPlatform::TSignalHandle handle = {}) : handle_(handle) {}
    /// Frees the signal.
    ~TVaHandleObject() override;
    /// Not copyable: one owner per signal.
    TVaHandleObject(const TVaHandleObject&) = delete;
    /// Not copyable.
    TVaHandleObject& operator=(const TVaHandleObject&) = delete;

    /// The handle; not Valid() when there is none.
    SerialPlatform::TSignalHandle Handle() const { return handle_; }
    /// The system's error code of the last wait that failed; 0 until then.
    uint32_t LastError() const { return lastError_.load(std::memory_order_relaxed); }

protected:
    /// Records the error code of a failed wait.
    void SetLastError(uint32_t code) { lastError_.store(code, std::memory_order_relaxed); }

private:
    SerialPlatform::TSignalHandle handle_;
    std::atomic<uint32_t> lastError_{0};
};

/// A signal that is set or clear. Code that waits on a device too hands its Handle() to the
/// platform layer's waits (ICommSystem); having found it set that way, such code calls WaitFor(0),
/// which orders what the setting thread did before SetEvent before what follows (and takes an
/// auto-reset signal). A manual-reset signal stays set until ResetEvent; an auto-reset signal is
/// cleared by the wait that it ends. Set, reset and wait may come from any thread. wrAbandoned
/// never occurs.
class Q4471_API TVaEvent : public TVaHandleObject {
public:
    /// Makes a signal, manual or auto reset, set or clear. Signals are private to the process: a
    /// name is accepted and ignored. If the system cannot make the signal the handle stays
    /// invalid and every wait answers wrError with the creation's error code; nothing is raised.
    TVaEvent(bool manualReset, bool initialState, const std::string& name = {});

    /// Waits up to `timeout` milliseconds (VaInfinite: no limit) for the signal to be set.
    TVaEventWaitResult WaitFor(uint32_t timeout);
    /// Sets the signal, waking its waiters.
    void SetEvent();
    /// Clears the signal.
    void ResetEvent();

private:
    struct Creation {
        SerialPlatform::TSignalHandle handle;
        int error;
    };
    explicit TVaEvent(Creation creation);

    friend TVaWaitListResult WaitForEvents(std::span<TVaEvent* const> events, uint32_t timeout);

    int creationError_;
    // Orders what the setting thread did before SetEvent before what the woken thread does after
    // its wait: the memory model (and ThreadSanitizer) knows nothing of the system's signal.
    std::atomic<uint32_t> setCount_{0};
};

/// The signal the component's threads wait on: manual reset, initially clear, unnamed.
class Q4471_API TVaWaitEvent : public TVaEvent {
public:
    /// A clear manual-reset signal.
    TVaWaitEvent() : TVaEvent(true, false) {}
};

/// Waits up to `timeout` milliseconds (VaInfinite: no limit) for any signal of the list. When
/// several are set, the earliest in the list wins; an auto-reset signal is cleared only when it
/// is the one chosen. Any thread.
Q4471_API TVaWaitListResult WaitForEvents(std::span<TVaEvent* const> events, uint32_t timeout);
/// The same for a list written in place: `WaitForEvents({&stop, &data}, 500)`.
inline TVaWaitListResult WaitForEvents(std::initializer_list<TVaEvent*> events, uint32_t timeout) {
    return WaitForEvents(std::span<TVaEvent* const>(events.begin(), events.size()), timeout);
}

/// A mutual-exclusion lock that the thread holding it may take again; released as often as taken.
/// Clang's analysis checks the members it guards; it does not count holds, so a function that
/// already holds the lock calls another that takes it again rather than taking it twice itself.
class Q4471_API Q4471_CAPABILITY("mutex") TVaCriticalSection : public q4471::TObject {
public:
    /// Takes the lock, waiting for another holder.
    void Acquire() Q4471_ACQUIRE() { mutex_.lock(); }
    /// Releases one hold; only the holder calls it.
    void Release() Q4471_RELEASE() { mutex_.unlock(); }
    /// Acquire.
    void Enter() Q4471_ACQUIRE() { Acquire(); }
    /// Release.
    void Leave() Q4471_RELEASE() { Release(); }

    ///@{
    /// For TLockGuard (and std::lock_guard), so that the lock is released on every way out.
    void lock() Q4471_ACQUIRE() { Acquire(); }
    void unlock() Q4471_RELEASE() { Release(); }
    ///@}

private:
    std::recursive_mutex mutex_;
};
