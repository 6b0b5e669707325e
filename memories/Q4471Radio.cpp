#include "memories/Q4471Radio.h"

#include "memories/Q4471Commands.h"
#include "memories/RecordLine.h"
#include "serial/VaComm.h"

TQ4471Radio::TQ4471Radio(const TMemoryRows& rows, TVaCustomComm& comm, TStatusSink status,
                         TProgressSink progress, TPause pause, TTrafficSink traffic)
    : rows_(rows), comm_(comm), status_(std::move(status)), progress_(std::move(progress)),
      pause_(std::move(pause)), traffic_(std::move(traffic)) {}

std::optional<std::string> TQ4471Radio::LoadFromRadio() {
    status_("Loading from Q4471...");
    std::string finalText = "Finished loading from Q4471";
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
            break;
        }
        ParseRecord(rows_, answer);
        memoriesDone_ = number;
    }
    status_(finalText);
    return finalText;
}

bool TQ4471Radio::QueryMemory(int number, std::string& answer) {
    if (number > MemoryCount) {
        return false;
    }
    const std::string query = QueryCommand(number);
    comm_.PurgeRead();
    for (int failures = 0; failures < QueryAttempts;) {
        Write(query); // a short write shows as a missing answer and is asked again
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
    if (received.empty() || received == "0") {
        return false;
    }
    answer = CutAtLineEnd(received);
    return true;
}

std::optional<std::string> TQ4471Radio::SendToRadio() {
    std::string record;
    for (int number = 1; number <= MemoryCount && ComposeRecord(rows_, number, record); ++number) {
        progress_(number);
        if (!SendRecord(record)) {
            return "Send to Q4471 stopped: memory " + std::to_string(number) +
                   " did not go out whole";
        }
        memoriesDone_ = number;
        if (!pause_(ReplyDelayMs)) {
            return std::nullopt;
        }
    }
    return "Finished sending to Q4471";
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
