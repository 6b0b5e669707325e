#pragma once

// The CPU time the whole process has used, all its threads together: to show that nothing keeps
// working after a transfer has ended, whichever thread it would be.

#include <chrono>
#include <sys/resource.h>

inline std::chrono::microseconds ProcessCpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto micros = [](const timeval& time) {
        return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
    };
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}
