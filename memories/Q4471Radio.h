#pragma once

#include "memories/MemoryTable.h"
#include "memories/Outcome.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TVaCustomComm;

// A memory whose answer is not its row's record line: what the radio answered, or nothing when
// it did not answer.
struct TMemoryDifference {
    int memory = 0;
    std::optional<std::string> radioRecord;
};

// The exchanges with the radio over the serial port: loading all memories into the table, sending
// them to the radio, and reading them back to compare them with the table, one memory at a time,
// paced by 350 ms pauses. Runs on a transfer thread; the table is reached through the rows' own
// operations.
class TQ4471Radio {
public:
    using TStatusSink = std::function<void(const std::string& text)>;
    using TProgressSink = std::function<void(int memory)>;
    // Waits the given milliseconds; answers false at once when the transfer is to stop.
    using TPause = std::function<bool(int milliseconds)>;
    using TDifferenceSink = std::function<void(const TMemoryDifference& difference)>;

    // Where the bytes of each exchange go as well (a serial trace); empty functions: nowhere.
    // `whole` tells whether the port took every byte of a write.
    struct TTrafficSink {
        std::function<void(std::string_view bytes, bool whole)> sent;
        std::function<void(std::string_view bytes)> received;
    };

    static constexpr int ReplyDelayMs = Q4471_REPLY_DELAY_MS; // 350 but in a soak build
    static constexpr int QueryAttempts = 5;

    TQ4471Radio(const TMemoryRows& rows, TVaCustomComm& comm, TStatusSink status,
                TProgressSink progress, TPause pause, TTrafficSink traffic = {});

    // Each answers how the transfer ended, with its final status text, or nothing when the
    // transfer was stopped. It succeeded when it went through every memory it was to handle.
    std::optional<TOutcome> LoadFromRadio();
    std::optional<TOutcome> SendToRadio();
    // Sends the given memories only, in the given order, as SendToRadio sends each.
    std::optional<TOutcome> SendMemories(const std::vector<int>& numbers);
    // Queries every memory as the load does, but compares each answer with the row's record line
    // instead of writing it into the table; `differs` hears of each memory that does not match.
    // Writes nothing to the radio.
    std::optional<TOutcome> VerifyRadio(const TDifferenceSink& differs);

    // One memory: a purge, then up to five queries, each followed by the pause and one read.
    // False when no acceptable answer came (or the transfer is to stop).
    bool QueryMemory(int number, std::string& answer);
    // The answer cut at its line end, once its line end has arrived (what arrives before it is
    // kept for the next read of the same memory); false until then, and for exactly "0".
    bool ReadReply(std::string& answer);
    // False when the command did not go out whole.
    bool SendRecord(const std::string& record);

    // The last memory the transfer has finished with (loaded into the table, or sent): how far a
    // stopped transfer got. 0 before the first. May be read from any thread.
    int MemoriesDone() const { return memoriesDone_; }

private:
    bool Write(const std::string& command);
    TOutcome Outcome(bool succeeded, std::string statusText) const;

    const TMemoryRows& rows_;
    TVaCustomComm& comm_;
    TStatusSink status_;
    TProgressSink progress_;
    TPause pause_;
    TTrafficSink traffic_;
    bool stopped_ = false;
    std::string pending_; // what has arrived of the current memory's answer
    std::atomic<int> memoriesDone_{0};
};
