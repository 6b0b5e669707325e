#include "AnswerPolicy.h"

#include <algorithm>

namespace radiosim {

std::optional<std::string> AnswerTo(const Command& command, const MemoryStore& memories,
                                    const Behaviour& behaviour) {
    const bool isQuery = command.kind == Command::Kind::Query;
    if (behaviour.silent) {
        return std::nullopt;
    }
    if (isQuery && command.memory && behaviour.stopFrom && *command.memory >= *behaviour.stopFrom) {
        return std::nullopt;
    }
    if (isQuery && behaviour.answerErr) {
        return "ERR,1\r";
    }
    if (behaviour.answerOk) {
        return "OK\r";
    }
    if (command.kind == Command::Kind::Set) {
        return std::nullopt;
    }
    if (!isQuery || !command.memory) {
        return "ERR\r\n";
    }
    const int number = *command.memory;
    std::string record = memories.Record(number);
    if (behaviour.wrongNumber != 0) {
        record = WithMemoryNumber(record, number + behaviour.wrongNumber);
    }
    return record + "\r\n";
}

bool DropsWrite(const Behaviour& behaviour, std::size_t write) {
    const auto every = static_cast<std::size_t>(behaviour.dropEveryWrite);
    return (every != 0 && write % every == 0) ||
           std::ranges::find(behaviour.dropWrites, static_cast<int>(write)) !=
               behaviour.dropWrites.end();
}

} // namespace radiosim
