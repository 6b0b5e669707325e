#include "OutputSchedule.h"

#include <algorithm>

namespace radiosim {

bool OutputSchedule::Add(const std::string& answer, Clock::time_point due, int pieces,
                         std::chrono::milliseconds gap) {
    if (answer.empty()) {
        return true;
    }
    if (pendingBytes_ + answer.size() > kMaxPendingBytes) {
        return false;
    }
    if (!pieces_.empty()) {
        due = std::max(due, pieces_.back().due);
    }
    const std::size_t count =
        std::clamp<std::size_t>(static_cast<std::size_t>(pieces), 1, answer.size());
    std::size_t begin = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t end = answer.size() * (index + 1) / count;
        pieces_.push_back(
            {answer.substr(begin, end - begin), due + gap * static_cast<long>(index)});
        begin = end;
    }
    pendingBytes_ += answer.size();
    return true;
}

std::optional<OutputSchedule::Clock::time_point> OutputSchedule::NextDue() const {
    if (pieces_.empty()) {
        return std::nullopt;
    }
    return pieces_.front().due;
}

std::string OutputSchedule::TakeDue(Clock::time_point now) {
    std::string bytes;
    while (!pieces_.empty() && pieces_.front().due <= now) {
        bytes += pieces_.front().bytes;
        pendingBytes_ -= pieces_.front().bytes.size();
        pieces_.pop_front();
    }
    return bytes;
}

} // namespace radiosim
