#include "OutputSchedule.h"

#include <algorithm>

namespace radiosim {

bool OutputSchedule::Add(const std::string& answer, Clock::time_point due, int pieces,
                         std::chrono::milliseconds gap) {
    if (answer.empty()) {
        return true;
    }
    const std::size_t count =
        std::clamp<std::size_t>(static_cast<std::size_t>(pieces), 1, answer.size());
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t end = answer.size() * (index + 1) / count;
        parts.push_back(answer.substr(begin, end - begin));
        begin = end;
    }
    return Append(parts, due, gap);
}

bool OutputSchedule::AddSplit(const std::string& answer, Clock::time_point due,
                              std::size_t splitAfter, std::chrono::milliseconds gap) {
    if (splitAfter == 0 || splitAfter >= answer.size()) {
        return Append({answer}, due, gap);
    }
    return Append({answer.substr(0, splitAfter), answer.substr(splitAfter)}, due, gap);
}

bool OutputSchedule::Append(const std::vector<std::string>& parts, Clock::time_point due,
                            std::chrono::milliseconds gap) {
    std::size_t size = 0;
    for (const std::string& part : parts) {
        size += part.size();
    }
    if (size == 0) {
        return true;
    }
    if (pendingBytes_ + size > MaxPendingBytes) {
        return false;
    }
    if (!pieces_.empty()) {
        due = std::max(due, pieces_.back().due);
    }
    for (std::size_t index = 0; index < parts.size(); ++index) {
        pieces_.push_back({parts[index], due + gap * static_cast<long>(index)});
    }
    pendingBytes_ += size;
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
