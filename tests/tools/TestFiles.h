#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A fresh directory for one test's files, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// The log's lines. WaitForLogLine waits until a line satisfies `wanted` and returns it, or returns
// the empty text once `within` has passed.
std::vector<std::string> LogLines(const std::string& path);
std::string WaitForLogLine(const std::string& path,
                           const std::function<bool(const std::string&)>& wanted,
                           std::chrono::milliseconds within = std::chrono::seconds(10));
