#include "CommandHistory.h"

namespace radiosim {

void CommandHistory::Add(ReceivedCommand command) {
    {
        std::lock_guard lock(mutex_);
        commands_.push_back(std::move(command));
        if (commands_.size() > Retained) {
            commands_.pop_front();
        }
        ++count_;
    }
    added_.notify_all();
}

void CommandHistory::Answered(std::size_t number, std::chrono::steady_clock::time_point at) {
    std::lock_guard lock(mutex_);
    const std::size_t dropped = count_ - commands_.size();
    if (number >= dropped && number < count_) {
        commands_[number - dropped].answered = at;
    }
}

std::vector<ReceivedCommand> CommandHistory::Commands() const {
    std::lock_guard lock(mutex_);
    return {commands_.begin(), commands_.end()};
}

std::size_t CommandHistory::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

bool CommandHistory::WaitFor(std::size_t count,
                             std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    return added_.wait_until(lock, deadline, [&] { return count_ >= count; });
}

} // namespace radiosim
