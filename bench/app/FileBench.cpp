// Saving and loading a full memory table: 100 filled rows written to a memory file and to a CSV
// file in a temporary folder (each save synced to the disk and renamed into place) and read back,
// offscreen; the two formats alternate run by run. Then loads of CSV files that are refused:
// 100,000 rows, as the editor writes them and as short as rows get, and 50 MB.
//
//   bench/app/app_file_bench [runs]

#include "Figures.h"
#include "memories/CsvFile.h"
#include "memories/SubAudibleTone.h"

#include <QApplication>
#include <QScrollArea>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    for (int n = 1; n <= MemoryCount; ++n) {
        TMemoryRow& row = *rows[static_cast<size_t>(n)];
        row.SetLabel("Repeater " + std::to_string(n));
        row.SetTxFreq("146." + std::to_string(100 + n * 7 % 900));
        row.SetRxFreq("146." + std::to_string(700 + n * 3 % 300));
        const int kind = n % 3;
        row.SetMode(kind == 0 ? "OFF" : kind == 1 ? "CTCSS" : "DCS");
        row.SetCode(kind == 0   ? ""
                    : kind == 1 ? CtcssText(StandardCtcssTones()[static_cast<size_t>(n % 50)])
                                : DcsText(StandardDcsCodes()[static_cast<size_t>(n)]));
    }
}

void WriteFile(const std::string& fileName, const std::string& bytes) {
    std::ofstream(fileName, std::ios::binary) << bytes;
}

std::string CsvRows(int count, const std::string& row) {
    std::string bytes = "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,"
                        "DtcsPolarity,Mode,TStep,Skip,Comment\r\n";
    for (int i = 0; i < count; ++i) {
        bytes += std::to_string(i % MemoryCount + 1) + row;
    }
    return bytes;
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
    const std::string memFile = folder + "/full.mem";
    const std::string csvFile = folder + "/full.csv";
    const TStatusSink ignore = [](const std::string&) {};
    TFileDetails details;
    const auto keepDetails = [&details](const TOutcome& outcome) {
        details.insert(details.end(), outcome.details.begin(), outcome.details.end());
    };

    std::vector<double> memSaves, memLoads, csvSaves, csvLoads;
    for (int run = 0; run < runs; ++run) {
        memSaves.push_back(MillisecondsOf([&] { SaveMemoryFile(rows, memFile, ignore); }));
        csvSaves.push_back(
            MillisecondsOf([&] { keepDetails(SaveCsvFile(rows, csvFile, ignore)); }));
        memLoads.push_back(MillisecondsOf([&] { LoadMemoryFile(rows, memFile, ignore); }));
        csvLoads.push_back(
            MillisecondsOf([&] { keepDetails(LoadAnyMemoryFile(rows, csvFile, ignore)); }));
    }
    if (!details.empty()) {
        std::printf("the CSV did not hold every memory whole: %s\n", details.front().c_str());
        return 1;
    }
    std::printf("full table of 100 memories: memory file %ju bytes, CSV %ju bytes, in %s\n",
                static_cast<uintmax_t>(std::filesystem::file_size(memFile)),
                static_cast<uintmax_t>(std::filesystem::file_size(csvFile)), folder.c_str());
    PrintFigures("save .mem (written, synced, renamed)", "ms", memSaves);
    PrintFigures("save .csv (written, synced, renamed)", "ms", csvSaves);
    PrintFigures("load .mem", "ms", memLoads);
    PrintFigures("load .csv", "ms", csvLoads);

    const struct {
        const char* name;
        std::string bytes;
    } refused[] = {
        {"100,000 rows as written",
         CsvRows(100000, ",Repeater,146.520000,-,0.600000,TSQL,88.5,88.5,023,NN,FM,5.00,,\r\n")},
        {"100,000 short rows", CsvRows(100000, ",r,146.52\r\n")},
        {"50 MB", CsvRows(4000000, ",r,146.52\r\n")},
    };
    for (const auto& file : refused) {
        const std::string name = folder + "/refused.csv";
        WriteFile(name, file.bytes);
        std::vector<double> loads;
        for (int run = 0; run < runs; ++run) {
            loads.push_back(MillisecondsOf([&] { LoadAnyMemoryFile(rows, name, ignore); }));
        }
        const std::string title = std::string("refuse ") + file.name + " (" +
                                  std::to_string(file.bytes.size() / 1000) + " kB)";
        PrintFigures(title.c_str(), "ms", loads);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
