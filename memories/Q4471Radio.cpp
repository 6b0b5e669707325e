#include "memories/Q4471Radio.h"

#include "memories/Q4471Commands.h"
#include "memories/RecordFormat.h"
#include "memories/RecordLine.h"

#include <q4471/framework/Counted.h>
#include <q4471/serial/VaComm.h>

#include <numeric>

using namespace q4471;

TQ4471Radio::TQ4471Radio(const TMemoryRows& rows, TVaCustomComm& comm, TStatusSink status,
                         TProgressSink progress, TPause pause, TTrafficSink traffic)
    : rows_(rows), comm_(comm), status_(std::move(status)), progress_(std::move(progress)),
      pause_(std::move(pause)), traffic_(std::move(traffic)) {}

namespace {

// The memory an answer names, or 0 for one that names none (ParseRecord has refused a number
// that is no integer before this is asked).
int NamedMemory(const std::string& answer) {
    const std::string number = SplitRecord(answer).number;
    return number.empty() ? 0 : StrToInt(number);
}

std::vector<int> AllMemories() {
    std::vector<int> numbers(MemoryCount);
    std::iota(numbers.begin(), numbers.end(), 1);
    return numbers;
}

// "Verified 100 memories: all match", "... 1 differs (7)", "... 3 differ (7, 42, 99)". A long
// list is cut short: the status line has one line, and the rows show every difference.
std::string VerifyReport(const std::vector<int>& differing) {
    constexpr std::size_t Listed = 10;
    std::string text = "Verified " + std::to_string(MemoryCount) + " memories: ";
    if (differing.empty()) {
        return text + "all match";
    }
    std::vector<std::string> listed;
    for (std::size_t i = 0; i < differing.size() && i < Listed; ++i) {
        listed.push_back(std::to_string(differing[i]));
    }
    text += Counted(differing.size(), "differs", "differ") + " (" + Joined(listed, ", ");
    if (differing.size() > Listed) {
        text += " and " + std::to_string(differing.size() - Listed) + " more";
    }
    return text + ")";
}

} // namespace

std::optional<TOutcome> TQ4471Radio::LoadFromRadio() {
    status_("Loading from Q4471...");
    std::string finalText = "Finished loading from Q4471";
    bool answeredAll = true;
    // An answer fills the row of the memory it names; one that names another memory than the
    // one asked for is reported, so that a confused radio is not taken for a complete load.
    std::string firstMismatch;
    int mismatches = 0;
    for (int number = 1; number <= MemoryCount; ++number) {
        progress_(number);
        std::string answer;
        if (!QueryMemory(number, answer)) {
            if (stopped_) {
                return std::nullopt;
            }
            // A load that stopped early must not read like a complete one.
            finalText =
                "Load from Q4471 stopped: memory " + std::to_string(number) + " did not answer";
            answeredAll = false;
            break;
        }
        ParseRecord(rows_, answer);
        memoriesDone_ = number;
        if (const int named = NamedMemory(answer); named != 0 && named != number) {
            if (mismatches++ == 0) {
                firstMismatch = "memory " + std::to_string(number) + " answered as memory " +
                                std::to_string(named);
            }
        }
    }
    if (mismatches > 0) {
        finalText += (answeredAll ? ", but " : ", and ") + firstMismatch;
        if (mismatches > 1) {
            finalText += " (and " + std::to_string(mismatches - 1) + " more)";
        }
    }
    status_(finalText);
    return Outcome(answeredAll, finalText);
}

bool TQ4471Radio::QueryMemory(int number, std::string& answer) {
    if (number > MemoryCount) {
        return false;
    }
    const std::string query = QueryCommand(number);
    comm_.PurgeRead();
    pending_.clear();
    for (int failures = 0; failures < QueryAttempts;) {
        // An answer partly in is waited for, not asked for again: a second answer would follow
        // it, and its rest could outlast the next memory's purge. A short write shows as a
        // missing answer and is asked again.
        if (pending_.empty()) {
            Write(query);
        }
        if (!pause_(ReplyDelayMs)) {
            stopped_ = true;
            return false;
        }
        if (ReadReply(answer)) {
            return true;
        }
        ++failures;
        status_("ReadQ4471 Retry : " + std::to_string(failures));
    }
    return false;
}

bool TQ4471Radio::ReadReply(std::string& answer) {
    const std::string received = comm_.ReadText();
    if (!received.empty() && traffic_.received) {
        traffic_.received(received);
    }
    if (pending_.empty() && received == "0") {
        return false;
    }
    // An answer counts once its line end is in: its head alone would overwrite a row with a cut
    // record, and its tail would be taken for the next answer. What has come is kept for the
    // next read of the same memory.
    pending_ += received;
    if (pending_.find_first_of("\r\n") == std::string::npos) {
        return false;
    }
    answer = CutAtLineEnd(pending_);
    return true;
}

std::optional<TOutcome> TQ4471Radio::SendToRadio() {
    return SendMemories(AllMemories());
}

std::optional<TOutcome> TQ4471Radio::SendMemories(const std::vector<int>& numbers) {
    std::string record;
    for (const int number : numbers) {
        if (!ComposeRecord(rows_, number, record)) {
            break;
        }
        progress_(number);
        if (!SendRecord(record)) {
            return Outcome(false, "Send to Q4471 stopped: memory " + std::to_string(number) +
                                      " did not go out whole");
        }
        memoriesDone_ = number;
        if (!pause_(ReplyDelayMs)) {
            return std::nullopt;
        }
    }
    return Outcome(true, "Finished sending to Q4471");
}

std::optional<TOutcome> TQ4471Radio::VerifyRadio(const TDifferenceSink& differs) {
    std::vector<int> differing;
    for (int number = 1; number <= MemoryCount; ++number) {
        progress_(number);
        std::string answer;
        const bool answered = QueryMemory(number, answer);
        if (stopped_) {
            return std::nullopt;
        }
        std::string record;
        ComposeRecord(rows_, number, record);
        // A memory that does not answer counts as differing, and the verify goes on.
        if (!answered || answer != record) {
            differing.push_back(number);
            differs({number, answered ? std::optional(answer) : std::nullopt});
        }
        memoriesDone_ = number;
    }
    return Outcome(true, VerifyReport(differing));
}

TOutcome TQ4471Radio::Outcome(bool succeeded, std::string statusText) const {
    return {
        succeeded, static_cast<std::size_t>(memoriesDone_.load()), {}, {}, std::move(statusText)};
}

bool TQ4471Radio::SendRecord(const std::string& record) {
    return Write(SetCommand(record));
}

bool TQ4471Radio::Write(const std::string& command) {
    const bool whole = comm_.WriteText(command);
    if (traffic_.sent) {
        traffic_.sent(command, whole);
    }
    return whole;
}
