#include "framework/NativeThread.h"

#include <windows.h>

namespace q4471 {

namespace {

int WindowsPriorityOf(TThreadPriority priority) {
    static const int levels[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,
                                 THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                 THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                 THREAD_PRIORITY_TIME_CRITICAL};
    return levels[priority];
}

} // namespace

int CurrentNativeThreadId() {
    return static_cast<int>(GetCurrentThreadId());
}

void SetNativeThreadPriority(int nativeId, TThreadPriority priority) {
    const HANDLE thread =
        OpenThread(THREAD_SET_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(nativeId));
    if (thread == nullptr) {
        return; // the thread has ended meanwhile
    }
    SetThreadPriority(thread, WindowsPriorityOf(priority));
    CloseHandle(thread);
}

} // namespace q4471
