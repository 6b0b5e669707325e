#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace radiosim {

// Random bytes at the line's speed, for a radio gone haywire: 9600 baud carries 960 bytes a
// second, handed out in small runs as time passes.
class LineFlood {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int BytesPerSecond = 960;
    static constexpr std::chrono::milliseconds RunGap{10};

    explicit LineFlood(std::uint64_t seed) : random_(seed) {}

    void Start(Clock::time_point now);
    void Stop() { start_.reset(); }
    bool Running() const { return start_.has_value(); }
    // When the next run is due; nothing while stopped.
    std::optional<Clock::time_point> NextDue() const;
    // The bytes the line has carried since the last call; empty while stopped.
    std::string TakeDue(Clock::time_point now);

private:
    std::mt19937_64 random_;
    std::optional<Clock::time_point> start_;
    Clock::time_point last_;
    long long sent_ = 0;
};

} // namespace radiosim
