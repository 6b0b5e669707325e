// One harness for this serial component and the libraries used instead of it: each contender is
// an echo program on the slave end of a pseudo-terminal, driven by this host from the master end
// through the same workloads, in rounds that alternate the contenders (A B C ... A B C ...).
// Contenders whose program was not built (the peer libraries are optional) are left out.
//
// A wake-up of a thread on the same core costs a few microseconds, one on another (sleeping) core
// tens of them, so where the scheduler happens to put the host and the echo would move every
// round trip. Each round therefore runs every contender twice: host and echo pinned to one core,
// and to two different cores. Prints one table per placement of the medians, each with its ratio
// to the floor (plain poll/read/write) of the same placement.
//
//   peer_bench_host [--smoke] [--rounds N] [--only NAME,NAME...] [--placement one|two]
//
// --smoke runs a few iterations of each workload once, for the test run: no figures are judged,
// but a corrupted, lost or missing echo or a workload that does not complete fails the run.

#include "BenchSupport.h"
#include "EchoProcess.h"
#include "Workloads.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Contender {
    const char* name;
    const char* program;
    const char* preload;
};

const Contender Contenders[] = {
    {"floor", "echo-floor", ""},
    {"floor-thread", "echo-floor-thread", ""},
    {"floor-handover", "echo-floor-handover", ""},
    {"vacomm-direct", "echo-vacomm-direct", ""},
    {"vacomm-event", "echo-vacomm-event", ""},
    {"vacomm-queued", "echo-vacomm-queued", ""},
    {"vacomm-thread", "echo-vacomm-thread", ""},
    {"qserialport", "echo-qserialport", ""},
    {"libserialport", "echo-libserialport", "libpty_modem_shim.so"},
    {"asio", "echo-asio", ""},
};

struct Results {
    std::vector<EchoFigures> echo;
    std::vector<IdleFigures> idle;
    std::string failure;
};

// Where the host and the echo programs run.
struct Placement {
    std::string name; // as --placement takes it
    std::string title;
    int hostCpu;
    int echoCpu;
};

struct Options {
    bool smoke = false;
    int rounds = 5;
    std::vector<std::string> only;
    std::string placement; // empty: both
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--smoke") {
            options.smoke = true;
            options.rounds = 1;
        } else if (argument == "--rounds" && i + 1 < argc) {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--placement" && i + 1 < argc &&
                   (std::strcmp(argv[i + 1], "one") == 0 || std::strcmp(argv[i + 1], "two") == 0)) {
            options.placement = argv[++i];
        } else if (argument == "--only" && i + 1 < argc) {
            for (std::string rest = argv[++i]; !rest.empty();) {
                const auto comma = rest.find(',');
                options.only.push_back(rest.substr(0, comma));
                rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
            }
        } else {
            throw std::invalid_argument("usage: peer_bench_host [--smoke] [--rounds N] "
                                        "[--only NAME,NAME...] [--placement one|two]");
        }
    }
    return options;
}

// One core for both, and two different cores when the process may use two.
std::vector<Placement> Placements(const Options& options) {
    const std::vector<int> cpus = UsableCpus();
    if (cpus.empty()) {
        throw std::runtime_error("no core to run on");
    }
    std::vector<Placement> placements;
    const std::string first = std::to_string(cpus[0]);
    if (options.placement != "two") {
        placements.push_back(
            {"one", "Host and echo on one core (CPU " + first + ")", cpus[0], cpus[0]});
    }
    if (options.placement != "one") {
        if (cpus.size() < 2) {
            std::printf("only one core usable: the two-core placement is left out\n");
        } else {
            placements.push_back(
                {"two", "Host on CPU " + first + ", echo on CPU " + std::to_string(cpus[1]),
                 cpus[0], cpus[1]});
        }
    }
    return placements;
}

bool Wanted(const Options& options, const std::string& name) {
    return options.only.empty() ||
           std::find(options.only.begin(), options.only.end(), name) != options.only.end();
}

// The median of the figures that were taken (not NaN); NaN when there are none.
double Median(std::vector<double> values) {
    std::erase_if(values, [](double value) { return std::isnan(value); });
    return values.empty() ? std::nan("") : Summarise(std::move(values)).median;
}

// One figure of the table: how to take it from a contender's runs, and how to print it.
struct Figure {
    const char* label;
    const char* format;
    std::function<double(const Results&)> take;
    bool perRoundTrip = false; // also set against the hand-over floor
};

template <class Member> std::function<double(const Results&)> MedianOfEcho(Member member) {
    return [member](const Results& results) {
        std::vector<double> values;
        for (const EchoFigures& figures : results.echo) {
            values.push_back(static_cast<double>(figures.*member));
        }
        return Median(values);
    };
}

template <class Member> std::function<double(const Results&)> MedianOfIdle(Member member) {
    return [member](const Results& results) {
        std::vector<double> values;
        for (const IdleFigures& figures : results.idle) {
            values.push_back(figures.*member);
        }
        return Median(values);
    };
}

std::function<double(const Results&)> RoundTripPercentile(double Percentiles::*which) {
    return [which](const Results& results) {
        std::vector<double> all;
        for (const EchoFigures& figures : results.echo) {
            all.insert(all.end(), figures.roundTripMicros.begin(), figures.roundTripMicros.end());
        }
        return PercentilesOf(all).*which;
    };
}

const std::vector<Figure>& Figures() {
    static const std::vector<Figure> figures = {
        {"1-byte round trip p50 (us)", "%.1f", RoundTripPercentile(&Percentiles::p50), true},
        {"1-byte round trip p99 (us)", "%.1f", RoundTripPercentile(&Percentiles::p99)},
        {"1-byte round trip max (us)", "%.0f", RoundTripPercentile(&Percentiles::max)},
        {"CPU per round trip (us)", "%.1f", MedianOfEcho(&EchoFigures::cpuPerRoundTripMicros),
         true},
        {"context switches per round trip", "%.2f",
         MedianOfEcho(&EchoFigures::switchesPerRoundTrip), true},
        {"bulk echo (MiB/s)", "%.1f", MedianOfEcho(&EchoFigures::bulkMiBPerSecond)},
        {"bulk CPU (ns/byte)", "%.1f", MedianOfEcho(&EchoFigures::bulkCpuNanosPerByte)},
        {"115,200 baud paced: CPU (%)", "%.2f", MedianOfEcho(&EchoFigures::pacedCpuPercent)},
        {"115,200 baud paced: wake-ups/s", "%.0f",
         MedianOfEcho(&EchoFigures::pacedWakeupsPerSecond)},
        {"idle 2 s, unread bytes: CPU (ms)", "%.2f", MedianOfIdle(&IdleFigures::cpuMillis)},
        {"idle: wake-ups/s", "%.1f", MedianOfIdle(&IdleFigures::wakeupsPerSecond)},
        {"unplug noticed (share of runs)", "%.0f%%",
         [](const Results& results) {
             double noticed = 0;
             for (const EchoFigures& figures : results.echo) {
                 noticed += figures.unplugNoticed ? 1 : 0;
             }
             return noticed * 100 / static_cast<double>(results.echo.size());
         }},
        {"unplug: time to notice (ms)", "%.2f", MedianOfEcho(&EchoFigures::unplugNoticeMillis)},
        {"1 s after unplug: CPU (%)", "%.1f", MedianOfEcho(&EchoFigures::afterUnplugCpuPercent)},
    };
    return figures;
}

std::string Cell(const Figure& figure, const Results& results, const Results* floor) {
    if (!results.failure.empty()) {
        return "FAILED";
    }
    char text[64];
    const double value = figure.take(results);
    if (std::isnan(value)) {
        return "-";
    }
    std::snprintf(text, sizeof text, figure.format, value);
    std::string cell = text;
    if (floor != nullptr && floor->failure.empty() && &results != floor) {
        const double base = figure.take(*floor);
        if (base > 0) { // NaN compares false too
            std::snprintf(text, sizeof text, " (%.2fx)", value / base);
            cell += text;
        }
    }
    return cell;
}

// One table of `figures` (all when `perRoundTripOnly` is false), with ratios to `base`.
void PrintRows(const std::vector<const Contender*>& contenders,
               const std::map<std::string, Results>& results, const Results* base,
               bool perRoundTripOnly) {
    std::printf("\n| figure |");
    for (const Contender* contender : contenders) {
        std::printf(" %s |", contender->name);
    }
    std::printf("\n|---|");
    for (std::size_t i = 0; i < contenders.size(); ++i) {
        std::printf("---:|");
    }
    for (const Figure& figure : Figures()) {
        if (perRoundTripOnly && !figure.perRoundTrip) {
            continue;
        }
        std::printf("\n| %s |", figure.label);
        for (const Contender* contender : contenders) {
            std::printf(" %s |", Cell(figure, results.at(contender->name), base).c_str());
        }
    }
}

void PrintTable(const Placement& placement, const std::vector<const Contender*>& contenders,
                const std::map<std::string, Results>& results) {
    const auto floor = results.find("floor");
    std::printf("\n### %s\n", placement.title.c_str());
    PrintRows(contenders, results, floor == results.end() ? nullptr : &floor->second, false);
    // What a design that hands each batch to a second thread pays at least, set apart from what
    // an implementation adds to it.
    if (const auto handOver = results.find("floor-handover"); handOver != results.end()) {
        std::printf(
            "\n\nThe round trips against the hand-over floor (ratios to floor-handover):\n");
        PrintRows(contenders, results, &handOver->second, true);
    }
    std::printf("\n\nHow each program noticed the unplug:\n");
    for (const Contender* contender : contenders) {
        const Results& result = results.at(contender->name);
        const std::string how = result.echo.empty() ? "" : result.echo.back().unplugHow;
        std::printf("  %-14s %s\n", contender->name,
                    result.failure.empty() ? (how.empty() ? "(not noticed)" : how.c_str())
                                           : result.failure.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    const WorkloadSizes sizes = options.smoke ? WorkloadSizes{50, 256 * 1024, 0.2, 0.2}
                                              : WorkloadSizes{2000, 16 << 20, 1.0, 2.0};
    const std::filesystem::path folder = std::filesystem::canonical("/proc/self/exe").parent_path();
    const std::vector<Placement> placements = Placements(options);
    std::vector<const Contender*> contenders;
    for (const Contender& contender : Contenders) {
        if (Wanted(options, contender.name) &&
            std::filesystem::exists(folder / contender.program)) {
            contenders.push_back(&contender);
        } else if (Wanted(options, contender.name)) {
            std::printf("%s: not built, left out\n", contender.name);
        }
    }
    std::printf("%d rounds of %zu placements; per round, placement and contender: %d round trips, "
                "%zu KiB bulk, %.1f s paced, %.1f s idle, the unplug\n",
                options.rounds, placements.size(), sizes.roundTrips, sizes.bulkBytes / 1024,
                sizes.pacedSeconds, sizes.idleSeconds);
    // By placement, then by contender.
    std::vector<std::map<std::string, Results>> results(placements.size());
    for (int round = 0; round < options.rounds; ++round) {
        for (std::size_t p = 0; p < placements.size(); ++p) {
            // The workloads' threads start from here and keep the host's core.
            const PinnedThread host(placements[p].hostCpu);
            for (const Contender* contender : contenders) {
                Results& result = results[p][contender->name];
                if (!result.failure.empty()) {
                    continue;
                }
                const EchoProgramSpec spec{
                    (folder / contender->program).string(),
                    *contender->preload ? (folder / contender->preload).string() : "",
                    placements[p].echoCpu};
                try {
                    result.echo.push_back(RunEchoWorkloads(spec, sizes));
                    result.idle.push_back(RunIdleWorkload(spec, sizes));
                } catch (const std::exception& error) {
                    result.failure = error.what();
                    std::printf("%s (%s) FAILED: %s\n", contender->name, placements[p].name.c_str(),
                                error.what());
                }
                std::fflush(stdout);
            }
        }
        std::printf("round %d of %d done\n", round + 1, options.rounds);
        std::fflush(stdout);
    }
    bool failed = false;
    for (std::size_t p = 0; p < placements.size(); ++p) {
        PrintTable(placements[p], contenders, results[p]);
        for (const auto& [name, result] : results[p]) {
            failed = failed || !result.failure.empty();
        }
    }
    return failed ? 1 : 0;
}
