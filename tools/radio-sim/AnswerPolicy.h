#pragma once

#include "Command.h"
#include "MemoryStore.h"
#include "RadioOptions.h"

#include <cstddef>
#include <optional>
#include <string>

namespace radiosim {

// The bytes the radio answers to one command, before line timing and noise; nullopt when it
// stays silent. A well-behaved radio answers a query for 1..100 with the stored record + CR LF, a
// query for any other number and an unknown command with "ERR" CR LF, and a set with nothing.
std::optional<std::string> AnswerTo(const Command& command, const MemoryStore& memories,
                                    const Behaviour& behaviour);

// Whether the radio loses the `write`-th set command it has taken in (counted from 1).
bool DropsWrite(const Behaviour& behaviour, std::size_t write);

} // namespace radiosim
