#include "TestFiles.h"

#include <fstream>
#include <thread>

std::vector<std::string> LogLines(const std::string& path) {
    std::ifstream text(path, std::ios::binary); // a log not written yet has no lines
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string WaitForLogLine(const std::string& path,
                           const std::function<bool(const std::string&)>& wanted,
                           std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    do {
        for (const std::string& line : LogLines(path)) {
            if (wanted(line)) {
                return line;
            }
        }
        // The log is written by another thread or process; look again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}
