#pragma once

#include "TempFolder.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// The log's lines. WaitForLogLine waits until a line satisfies `wanted` and returns it, or returns
// the empty text once `within` has passed.
std::vector<std::string> LogLines(const std::string& path);
std::string WaitForLogLine(const std::string& path,
                           const std::function<bool(const std::string&)>& wanted,
                           std::chrono::milliseconds within = std::chrono::seconds(10));
