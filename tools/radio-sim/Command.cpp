#include "Command.h"

#include "RecordLine.h"

namespace radiosim {

namespace {

constexpr std::string_view QueryPrefix = "MEM:USR:SET? ";
constexpr std::string_view SetPrefix = "MEM:USR:SET ";

} // namespace

Command ParseCommand(std::string_view text) {
    Command command;
    if (text.starts_with(QueryPrefix)) {
        command.kind = Command::Kind::Query;
        const auto number = ParseDecimal(text.substr(QueryPrefix.size()));
        if (number && *number >= 1 && *number <= MemoryCount) {
            command.memory = number;
        }
    } else if (text.starts_with(SetPrefix)) {
        command.kind = Command::Kind::Set;
        command.record = text.substr(SetPrefix.size());
        command.memory = MemoryNumberOf(command.record);
    }
    return command;
}

} // namespace radiosim
