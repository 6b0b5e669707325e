#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace radiosim {

struct ReceivedCommand {
    std::string text; // the bytes before the CR, unchanged
    std::chrono::steady_clock::time_point arrival;
    // When the last byte of the radio's answer went out; empty while it has not, or never will.
    std::optional<std::chrono::steady_clock::time_point> answered;
};

// The commands received so far, in order, for callers to inspect and wait on. Keeps the most
// recent Retained so that a radio left running on a noisy line does not grow without bound.
class CommandHistory {
public:
    static constexpr std::size_t Retained = 10000;

    void Add(ReceivedCommand command);
    // Stamps the answer to the `number`-th command received (from 0, the ones no longer
    // retained included); nothing if that one is no longer retained.
    void Answered(std::size_t number, std::chrono::steady_clock::time_point at);

    std::vector<ReceivedCommand> Commands() const;
    // All commands received, the ones no longer retained included.
    std::size_t Count() const;
    // True once `count` commands have been received; false if the deadline passes first.
    bool WaitFor(std::size_t count, std::chrono::steady_clock::time_point deadline) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    std::deque<ReceivedCommand> commands_;
    std::size_t count_ = 0;
};

} // namespace radiosim
