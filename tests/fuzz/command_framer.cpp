// The simulated radio's command framing: any byte stream, fed whole and byte by byte. The
// commands and overlong reports must be those the framing rules give, alike however the stream
// is cut: a command is the bytes before a CR with the line feeds at its start dropped; an empty
// one is no command; one longer than MaxLineLength is reported with its length instead.

#include "CommandFramer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using radiosim::CommandFramer;

namespace {

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "PROPERTY FAILED: %s\n", what);
        std::abort();
    }
}

// A command, or "overlong:" and the number of bytes reported lost.
using Events = std::vector<std::string>;

Events Framed(const std::string& stream, size_t piece) {
    Events events;
    CommandFramer framer(
        {[&](std::string command) { events.push_back(command); },
         [&](size_t dropped) { events.push_back("overlong:" + std::to_string(dropped)); }});
    for (size_t start = 0; start < stream.size(); start += piece) {
        framer.Feed(std::string_view(stream).substr(start, piece));
    }
    return events;
}

Events ByTheRules(const std::string& stream) {
    Events events;
    size_t start = 0;
    for (size_t cr = stream.find('\r'); cr != std::string::npos; cr = stream.find('\r', start)) {
        std::string command = stream.substr(start, cr - start);
        command.erase(0, command.find_first_not_of('\n'));
        if (command.size() > radiosim::MaxLineLength) {
            events.push_back("overlong:" + std::to_string(command.size()));
        } else if (!command.empty()) {
            events.push_back(command);
        }
        start = cr + 1;
    }
    return events;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A closing CR, so that the last command comes out too.
    const std::string stream = std::string(reinterpret_cast<const char*>(data), size) + '\r';
    const Events whole = Framed(stream, stream.size());
    Require(whole == ByTheRules(stream), "the commands differ from the framing rules");
    Require(Framed(stream, 1) == whole, "fed byte by byte, the commands differ");
    Require(Framed(stream, 1 + size % 61) == whole, "fed in pieces, the commands differ");
    return 0;
}
