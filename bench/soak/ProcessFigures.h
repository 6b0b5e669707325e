#pragma once

// What a soak run watches for growth: descriptors and threads counted in /proc, and the
// resident and peak memory the kernel reports for the process.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

struct ProcessFigures {
    int descriptors = 0;
    int threads = 0;
    long residentKb = 0; // VmRSS
    long peakKb = 0;     // VmHWM
};

inline int CountEntries(const char* folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

inline long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

inline ProcessFigures ReadProcessFigures() {
    return {CountEntries("/proc/self/fd"), CountEntries("/proc/self/task"), StatusKb("VmRSS"),
            StatusKb("VmHWM")};
}

inline void PrintFigures(const char* when, long done, const ProcessFigures& f) {
    std::printf("%-6s %7ld done: %3d descriptors, %3d threads, VmRSS %7ld kB, VmHWM %7ld kB\n",
                when, done, f.descriptors, f.threads, f.residentKb, f.peakKb);
    std::fflush(stdout);
}

// Start and end differ in descriptors or threads: something was left behind.
inline bool Leaked(const ProcessFigures& start, const ProcessFigures& end) {
    return end.descriptors != start.descriptors || end.threads != start.threads;
}
