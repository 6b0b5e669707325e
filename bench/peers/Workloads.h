#pragma once

// The workloads the host drives against one echo program over the master end of its
// pseudo-terminal, each measuring the program's CPU time and wake-ups around it. Every byte that
// comes back is checked against the pattern sent; a wrong, missing or extra byte, or a workload
// that does not complete in time, throws.

#include <cstddef>
#include <string>
#include <vector>

struct WorkloadSizes {
    int roundTrips;
    std::size_t bulkBytes;
    double pacedSeconds;
    double idleSeconds;
};

// One echoing run of a program: round trips, bulk, paced traffic, then the unplug.
struct EchoFigures {
    std::vector<double> roundTripMicros;
    double cpuPerRoundTripMicros = 0;
    double switchesPerRoundTrip = 0; // the program's context switches: its threads' wake-ups
    double bulkMiBPerSecond = 0;
    double bulkCpuNanosPerByte = 0;
    double pacedCpuPercent = 0;
    double pacedWakeupsPerSecond = 0;
    bool unplugNoticed = false;
    double unplugNoticeMillis = 0;    // NaN when not noticed
    double afterUnplugCpuPercent = 0; // over the second after the notice (or after giving up)
    std::string unplugHow;
};

// One run without a taker: the program holds unread bytes and waits.
struct IdleFigures {
    double cpuMillis = 0;
    double wakeupsPerSecond = 0;
};

struct EchoProgramSpec {
    std::string program;
    std::string preload; // LD_PRELOAD for the program, or empty
    int cpu = -1;        // the core the program runs on; negative: where the scheduler puts it
};

EchoFigures RunEchoWorkloads(const EchoProgramSpec& spec, const WorkloadSizes& sizes);
IdleFigures RunIdleWorkload(const EchoProgramSpec& spec, const WorkloadSizes& sizes);
