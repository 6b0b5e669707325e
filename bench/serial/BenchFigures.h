#pragma once

// The benchmarks' figures and their summaries, on every system.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using Clock = std::chrono::steady_clock;

inline double Micros(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

struct Summary {
    double median, min, max;
};

inline Summary Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

struct Percentiles {
    double p50, p99, max;
};

inline Percentiles PercentilesOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto at = [&](double share) {
        return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
    };
    return {at(0.50), at(0.99), values.back()};
}

inline void PrintSummary(const char* what, const char* unit, const Summary& figures) {
    std::printf("%-46s median %9.2f  min %9.2f  max %9.2f %s\n", what, figures.median, figures.min,
                figures.max, unit);
}

// Percentiles in microseconds, with the p50 as a multiple of the floor's.
inline void PrintPercentiles(const char* what, const Percentiles& figures,
                             const Percentiles& floor) {
    std::printf("%-46s p50 %8.1f  p99 %8.1f  max %9.1f us   p50 %.2f x floor\n", what, figures.p50,
                figures.p99, figures.max, figures.p50 / floor.p50);
}
