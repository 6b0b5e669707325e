/// @file
/// Millisecond timers, delays and small helpers of the serial component.
#pragma once

#include <q4471/framework/Export.h>

#include <cstdint>
#include <string>

/// A millisecond timer: the tick-counter reading when it was started, and its duration.
struct TVaTimeEvent {
    /// VaTickCount when started.
    uint32_t Start = 0;
    /// Milliseconds.
    uint32_t Duration = 0;
};

/// The millisecond tick counter: a monotonic clock reduced to 32 bits, so it wraps after about
/// 49.7 days.
Q4471_API uint32_t VaTickCount();

/// Starts `timer` now for `duration` milliseconds (compared unsigned, as TimerExpired does).
Q4471_API void InitTimer(TVaTimeEvent& timer, int32_t duration);
/// True once more than the timer's duration has passed since it was started.
Q4471_API bool TimerExpired(const TVaTimeEvent& timer);
/// The milliseconds of a wait that ends when TimerExpired turns true (never the 0xFFFFFFFF of
/// no limit); 0 once it has.
Q4471_API uint32_t TimerRemaining(const TVaTimeEvent& timer);

/// InitTimer against a given tick reading `now`. Elapsed time is the reading minus the start
/// modulo 2^32, so a timer that spans the counter's wrap expires as if there were none.
Q4471_API void InitTimerAt(TVaTimeEvent& timer, int32_t duration, uint32_t now);
/// TimerExpired against a given tick reading `now`, modulo 2^32 as InitTimerAt.
Q4471_API bool TimerExpiredAt(const TVaTimeEvent& timer, uint32_t now);

/// Returns once more than `milliseconds` have passed (at once for a negative time). With
/// `processMessages` on the GUI thread, calls handed to the GUI thread run meanwhile.
Q4471_API void SysDelay(int32_t milliseconds, bool processMessages);

/// True when mask and value share a bit, by a signed test: bit 31 alone does not count.
inline bool BitOn(int32_t mask, int32_t value) {
    return (mask & value) > 0;
}
/// True when mask and value share no bit.
inline bool BitOff(int32_t mask, int32_t value) {
    return (mask & value) == 0;
}

/// The smaller of the two; the first when they are equal.
inline int32_t MinInteger(int32_t a, int32_t b) {
    return b < a ? b : a;
}

/// The character itself, or a space for the character 0, so that it can be shown.
inline char CN(char c) {
    return c == '\0' ? ' ' : c;
}

/// Clears the variable first, then destroys the object it held, so that nothing can reach the
/// object while it is being destroyed.
template <class T> void FreeObject(T*& object) {
    T* held = object;
    object = nullptr;
    delete held;
}

/// Appends the path delimiter '/' unless the path is empty or already ends with one.
Q4471_API std::string AddPathSlash(const std::string& path);

/// The size in bytes of the file, directory or other entry `fileName` names (relative names are
/// taken from the working directory), or -1 when there is none.
Q4471_API int64_t GetFileSize(const std::string& fileName);
