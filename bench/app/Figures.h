#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

// Prints "name: min / median / max unit" over the runs' figures.
inline void PrintFigures(const char* name, const char* unit, std::vector<double> figures) {
    if (figures.empty()) {
        std::printf("%-44s no figures\n", name);
        return;
    }
    std::sort(figures.begin(), figures.end());
    const size_t middle = figures.size() / 2;
    const double median =
        figures.size() % 2 != 0 ? figures[middle] : (figures[middle - 1] + figures[middle]) / 2;
    std::printf("%-44s min %8.2f  median %8.2f  max %8.2f %s  (%zu runs)\n", name, figures.front(),
                median, figures.back(), unit, figures.size());
}
