#include "LineFlood.h"

namespace radiosim {

void LineFlood::Start(Clock::time_point now) {
    start_ = now;
    last_ = now;
    sent_ = 0;
}

std::optional<LineFlood::Clock::time_point> LineFlood::NextDue() const {
    if (!start_) {
        return std::nullopt;
    }
    return last_ + RunGap;
}

std::string LineFlood::TakeDue(Clock::time_point now) {
    if (!start_ || now < last_ + RunGap) {
        return {};
    }
    last_ = now;
    // Counted from the start, so that late wakes do not slow the flood down.
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - *start_);
    const long long due = elapsed.count() * BytesPerSecond / 1000;
    std::string bytes(static_cast<std::size_t>(due - sent_), '\0');
    std::uniform_int_distribution<int> byte(0, 255);
    for (char& each : bytes) {
        each = static_cast<char>(byte(random_));
    }
    sent_ = due;
    return bytes;
}

} // namespace radiosim
