#include "TestFiles.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "radio-sim-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> LogLines(const std::string& path) {
    std::istringstream text(ReadFileBytes(path));
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
