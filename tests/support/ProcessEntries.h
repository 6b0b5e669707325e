#pragma once

// What the process holds, counted from /proc: to show that a failed open leaves no descriptor
// behind, and that a closed port leaves no thread.

#ifdef _WIN32
// Windows has no /proc (under Wine it would show the Linux process, whose descriptors Wine opens
// and caches on its own): the system's counts of handles and threads, kept away from
// <windows.h>, whose macros clash with the component's names.
int OpenDescriptors();
int RunningThreads();
#else
#include <filesystem>

inline int ProcessEntries(const char* folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

inline int OpenDescriptors() {
    return ProcessEntries("/proc/self/fd");
}

inline int RunningThreads() {
    return ProcessEntries("/proc/self/task");
}
#endif
