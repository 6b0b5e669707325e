#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Waits until `condition` holds, checking every millisecond, for at most `deadline` (generous:
// a slow machine must not fail the test). Answers whether the condition held.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
