// Saving and loading a full memory table: 100 filled rows written to a memory file in a temporary
// folder (each save synced to the disk and renamed into place) and read back, offscreen.
//
//   bench/app/app_file_bench [runs]

#include "Figures.h"
#include "memories/MemoryFile.h"

#include <QApplication>
#include <QScrollArea>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsOf(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Fill(const TMemoryRows& rows) {
    static const char* const modes[] = {"OFF", "CTCSS", "DCS"};
    for (int n = 1; n <= MemoryCount; ++n) {
        TMemoryRow& row = *rows[static_cast<size_t>(n)];
        row.SetLabel("Repeater " + std::to_string(n));
        row.SetTxFreq("146." + std::to_string(100 + n * 7 % 900));
        row.SetRxFreq("146." + std::to_string(700 + n * 3 % 300));
        row.SetMode(modes[n % 3]);
        row.SetCode(std::to_string(67 + n) + ".0");
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QScrollArea panel;
    TMemoryRows rows;
    BuildMemoryRows(&panel, rows);
    Fill(rows);

    char folderPattern[] = "/tmp/q4471-bench-XXXXXX";
    const std::string folder = mkdtemp(folderPattern);
    const std::string file = folder + "/full.mem";
    const TStatusSink ignore = [](const std::string&) {};

    std::vector<double> saves;
    std::vector<double> loads;
    for (int run = 0; run < runs; ++run) {
        saves.push_back(MillisecondsOf([&] { SaveMemoryFile(rows, file, ignore); }));
        loads.push_back(MillisecondsOf([&] { LoadMemoryFile(rows, file, ignore); }));
    }
    std::printf("full table of 100 memories, %ju bytes, in %s\n",
                static_cast<uintmax_t>(std::filesystem::file_size(file)), folder.c_str());
    std::filesystem::remove_all(folder);
    PrintFigures("save (written, synced, renamed)", "ms", saves);
    PrintFigures("load", "ms", loads);
    return 0;
}
