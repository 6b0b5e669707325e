#pragma once

#include "RecordLine.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace radiosim {

// Cuts the byte stream from the line into commands. A command is the bytes before a CR; line
// feeds where a command would begin (after a CR, or stray ones) are dropped, and so are empty
// commands. Every other byte is kept unchanged. A command longer than MaxLineLength is garbage:
// it is dropped whole, through to its CR, and reported with the number of bytes lost.
class CommandFramer {
public:
    struct Handlers {
        std::function<void(std::string command)> command;
        std::function<void(std::size_t droppedBytes)> overlong;
    };

    explicit CommandFramer(Handlers handlers);

    void Feed(std::string_view bytes);

private:
    void EndCommand();

    Handlers handlers_;
    std::string pending_;
    std::size_t dropped_ = 0; // bytes of an overlong command thrown away so far
};

} // namespace radiosim
