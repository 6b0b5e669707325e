#pragma once

#include "framework/Components.h"
#include "serial/SignalHandle.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>

// A wait time of 0xFFFFFFFF milliseconds: no limit.
inline constexpr uint32_t VaInfinite = SerialPlatform::NoTimeLimit;

enum TVaEventWaitResult : uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError };

struct TVaWaitListResult {
    TVaEventWaitResult Result;
    // With wrSignaled: the position in the list of the signal that ended the wait.
    std::size_t Index;
    // With wrError: the system's error code.
    uint32_t Error;
};

// Owns one signal of the operating system (the one kind of handle the component keeps this way)
// and frees it when destroyed.
class TVaHandleObject : public TObject {
public:
    explicit TVaHandleObject(SerialPlatform::TSignalHandle handle = {}) : handle_(handle) {}
    ~TVaHandleObject() override;
    TVaHandleObject(const TVaHandleObject&) = delete;
    TVaHandleObject& operator=(const TVaHandleObject&) = delete;

    // The handle; not Valid() when there is none.
    SerialPlatform::TSignalHandle Handle() const { return handle_; }
    // The system's error code of the last wait that failed; 0 until then.
    uint32_t LastError() const { return lastError_.load(std::memory_order_relaxed); }

protected:
    void SetLastError(uint32_t code) { lastError_.store(code, std::memory_order_relaxed); }

private:
    SerialPlatform::TSignalHandle handle_;
    std::atomic<uint32_t> lastError_{0};
};

// A signal that is set or clear. Code that waits on a device too hands its Handle() to the
// platform layer's waits (ICommSystem); having found it set that way, such code calls WaitFor(0),
// which orders what the setting thread did before SetEvent before what follows (and takes an
// auto-reset signal). A manual-reset signal stays set until ResetEvent; an auto-reset signal is
// cleared by the wait that it ends. Set, reset and wait may come from any thread. wrAbandoned
// never occurs.
class TVaEvent : public TVaHandleObject {
public:
    // Signals are private to the process: a name is accepted and ignored. If the system cannot
    // make the signal the handle stays invalid and every wait answers wrError with the creation's
    // error code.
    TVaEvent(bool manualReset, bool initialState, const std::string& name = {});

    // Waits up to `timeout` milliseconds (VaInfinite: no limit) for the signal to be set.
    TVaEventWaitResult WaitFor(uint32_t timeout);
    void SetEvent();
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

// The signal the component's threads wait on: manual reset, initially clear, unnamed.
class TVaWaitEvent : public TVaEvent {
public:
    TVaWaitEvent() : TVaEvent(true, false) {}
};

// Waits up to `timeout` milliseconds for any signal of the list. When several are set, the
// earliest in the list wins; an auto-reset signal is cleared only when it is the one chosen.
TVaWaitListResult WaitForEvents(std::span<TVaEvent* const> events, uint32_t timeout);
inline TVaWaitListResult WaitForEvents(std::initializer_list<TVaEvent*> events, uint32_t timeout) {
    return WaitForEvents(std::span<TVaEvent* const>(events.begin(), events.size()), timeout);
}

// A mutual-exclusion lock that the thread holding it may take again; released as often as taken.
class TVaCriticalSection : public TObject {
public:
    void Acquire() { mutex_.lock(); }
    void Release() { mutex_.unlock(); }
    void Enter() { Acquire(); }
    void Leave() { Release(); }

    // For std::lock_guard and std::scoped_lock, so that the lock is released on every way out.
    void lock() { Acquire(); }
    void unlock() { Release(); }

private:
    std::recursive_mutex mutex_;
};
