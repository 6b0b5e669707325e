#include "Command.h"

#include "RecordLine.h"

namespace radiosim {

namespace {

constexpr std::string_view kQueryPrefix = "MEM:USR:SET? ";
constexpr std::string_view kSetPrefix = "MEM:USR:SET ";

} // namespace

Command ParseCommand(std::string_view text) {
    Command command;
    if (text.starts_with(kQueryPrefix)) {
        command.kind = Command::Kind::Query;
        const auto number = ParseDecimal(text.substr(kQueryPrefix.size()));
        if (number && *number >= 1 && *number <= kMemoryCount) {
            command.memory = number;
        }
    } else if (text.starts_with(kSetPrefix)) {
        command.kind = Command::Kind::Set;
        command.record = text.substr(kSetPrefix.size());
        command.memory = MemoryNumberOf(command.record);
    }
    return command;
}

} // namespace radiosim
