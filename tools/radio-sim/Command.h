#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace radiosim {

// One command as the radio understands it.
struct Command {
    enum class Kind {
        Query, // "MEM:USR:SET? n"
        Set,   // "MEM:USR:SET <record>"
        Other, // anything else
    };
    Kind kind = Kind::Other;
    std::optional<int> memory; // the memory asked for or written; unset when not 1..100
    std::string record;        // the record of a set command
};

Command ParseCommand(std::string_view text);

} // namespace radiosim
