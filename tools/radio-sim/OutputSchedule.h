#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace radiosim {

// Answers waiting to go out on the line, each piece with the time it is due. Pieces leave in the
// order they were added, so a late answer never overtakes an earlier one.
class OutputSchedule {
public:
    using Clock = std::chrono::steady_clock;

    // Bytes the radio holds back before it drops new answers, for a port nobody reads.
    static constexpr std::size_t MaxPendingBytes = 64 * 1024;

    // Schedules `answer` in `pieces` parts of nearly equal size (fewer if it is shorter), the
    // first due at `due`, the next ones `gap` apart. False (nothing added) if the answer would
    // overflow MaxPendingBytes.
    bool Add(const std::string& answer, Clock::time_point due, int pieces,
             std::chrono::milliseconds gap);
    // Schedules `answer` in two pieces: its first `splitAfter` bytes at `due`, the rest `gap`
    // later (one piece when the split falls outside the answer). False as for Add.
    bool AddSplit(const std::string& answer, Clock::time_point due, std::size_t splitAfter,
                  std::chrono::milliseconds gap);

    std::optional<Clock::time_point> NextDue() const;
    // Removes and returns the bytes of every piece due at `now`, in order.
    std::string TakeDue(Clock::time_point now);

private:
    bool Append(const std::vector<std::string>& parts, Clock::time_point due,
                std::chrono::milliseconds gap);

    struct Piece {
        std::string bytes;
        Clock::time_point due;
    };
    std::deque<Piece> pieces_;
    std::size_t pendingBytes_ = 0;
};

} // namespace radiosim
