#include "framework/StopSignals.h"

#include <mutex>
#include <windows.h>

namespace q4471 {

namespace {

// The system calls the console's handler on a thread of its own.
std::mutex stopMutex;
std::function<void()> currentStop;

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    const std::lock_guard lock(stopMutex);
    if (!currentStop) {
        return FALSE;
    }
    currentStop();
    return TRUE;
}

} // namespace

struct TStopSignals::TState {};

TStopSignals::TStopSignals(std::function<void()> stop) : state_(nullptr) {
    {
        const std::lock_guard lock(stopMutex);
        currentStop = std::move(stop);
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

TStopSignals::~TStopSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    const std::lock_guard lock(stopMutex);
    currentStop = nullptr;
}

} // namespace q4471
