#pragma once

#include <fstream>
#include <string>
#include <sys/types.h>
#include <unistd.h> // environ
#include <vector>

// Watching the built editor from outside: it takes no arguments and prints nothing.

// This process's environment with QT_QPA_PLATFORM=offscreen, for starting the program.
class OffscreenEnvironment {
public:
    OffscreenEnvironment() {
        for (char** variable = environ; *variable != nullptr; ++variable) {
            if (std::string(*variable).rfind("QT_QPA_PLATFORM=", 0) != 0) {
                variables_.emplace_back(*variable);
            }
        }
        variables_.emplace_back("QT_QPA_PLATFORM=offscreen");
        for (std::string& variable : variables_) {
            pointers_.push_back(variable.data());
        }
        pointers_.push_back(nullptr);
    }
    OffscreenEnvironment(const OffscreenEnvironment&) = delete;
    OffscreenEnvironment& operator=(const OffscreenEnvironment&) = delete;

    char* const* Pointers() const { return pointers_.data(); }

private:
    std::vector<std::string> variables_;
    std::vector<char*> pointers_;
};

// True while the main thread of `pid` blocks in poll or ppoll with a timeout other than zero:
// where Qt's event loop waits once the window has been shown and painted. The zero-timeout polls
// made while starting do not count.
inline bool WaitsInEventLoop(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/syscall");
    std::string number;
    std::string fds;
    std::string count;
    std::string timeout;
    file >> number >> fds >> count >> timeout;
    return (number == "7" || number == "271") && timeout != "0x0";
}

// The peak resident memory of `pid` so far (VmHWM), in kilobytes; -1 when it cannot be read.
inline long PeakKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}
