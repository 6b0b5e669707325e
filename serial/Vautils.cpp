#include "serial/platform/CommPlatform.h"
#include "serial/platform/FileEntries.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>
#include <q4471/serial/Vautils.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <thread>

using namespace q4471;

uint32_t VaTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void InitTimerAt(TVaTimeEvent& timer, int32_t duration, uint32_t now) {
    timer.Start = now;
    timer.Duration = static_cast<uint32_t>(duration);
}

bool TimerExpiredAt(const TVaTimeEvent& timer, uint32_t now) {
    return now - timer.Start > timer.Duration; // unsigned: modulo 2^32
}

void InitTimer(TVaTimeEvent& timer, int32_t duration) {
    InitTimerAt(timer, duration, VaTickCount());
}

bool TimerExpired(const TVaTimeEvent& timer) {
    return TimerExpiredAt(timer, VaTickCount());
}

uint32_t TimerRemaining(const TVaTimeEvent& timer) {
    const uint32_t elapsed = VaTickCount() - timer.Start;
    // Kept below 0xFFFFFFFF, which a wait would take for no limit at all.
    return elapsed > timer.Duration ? 0
                                    : static_cast<uint32_t>(std::min<uint64_t>(
                                          uint64_t{timer.Duration} - elapsed + 1, 0xFFFFFFFE));
}

void SysDelay(int32_t milliseconds, bool processMessages) {
    if (milliseconds < 0) {
        return; // unsigned, a negative time would mean a wait of weeks
    }
    const bool serveGuiCalls = processMessages && IsMainThread();
    TVaTimeEvent timer;
    InitTimer(timer, milliseconds);
    for (uint32_t remaining = TimerRemaining(timer); remaining > 0;
         remaining = TimerRemaining(timer)) {
        // Sleeping until the timer expires instead of polling the clock keeps a core free; on the
        // GUI thread the wait for calls handed to it is the sleep, and it ends early when one
        // arrives, so it runs at once.
        const int left = static_cast<int>(std::min<uint32_t>(remaining, INT32_MAX));
        if (serveGuiCalls) {
            Application::ProcessMessages(left);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(left));
        }
    }
}

std::string AddPathSlash(const std::string& path) {
    if (path.empty() || path.back() == '/') {
        return path;
    }
    return path + '/';
}

int64_t GetFileSize(const std::string& fileName) {
    if (fileName.empty()) {
        return -1;
    }
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(fileName, error);
    return error ? -1 : SerialPlatform::EntrySize(full.string());
}
