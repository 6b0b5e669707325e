#pragma once

#include "RadioOptions.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace radiosim {

struct CommandLine {
    RadioOptions options;
    bool help = false;
};

// A command line the radio cannot run with; the message names the offending option.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the arguments after the program name. Options take their value as the next argument or
// after "=" ("--delay 500", "--delay=500"). Throws UsageError.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string UsageText();

} // namespace radiosim
