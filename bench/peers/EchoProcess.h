#pragma once

// One echo program as the host runs it: started on the slave end of a pseudo-terminal with its
// standard output on a pipe, its report lines read with deadlines, its CPU time and context
// switches read from /proc (all of its threads), and ended with SIGTERM and its counts checked.

#include <q4471/serial/LinuxFileDescriptor.h>

#include <chrono>
#include <map>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/types.h>
#include <vector>

using Clock = std::chrono::steady_clock;

// Keeps the calling thread on one core while it lives (and the threads and programs it starts
// meanwhile), then gives it back the cores it had. Throws when the core cannot be had.
class PinnedThread {
public:
    explicit PinnedThread(int cpu);
    ~PinnedThread();
    PinnedThread(const PinnedThread&) = delete;
    PinnedThread& operator=(const PinnedThread&) = delete;

private:
    cpu_set_t before_;
};

// The cores this process may run on, in order.
std::vector<int> UsableCpus();

// CPU time and context switches of a process's threads, each kept by thread, so that a
// difference counts only threads seen at its end: one that ends meanwhile takes its counts with
// it, and would otherwise make the difference negative.
struct TaskUsage {
    double cpuSeconds = 0;
    long switches = 0; // voluntary + involuntary: each one a wake-up or a preemption
};

struct ProcessUsage {
    std::map<std::string, TaskUsage> tasks;

    // What the threads present now used since `earlier` (all of it for threads started since).
    TaskUsage operator-(const ProcessUsage& earlier) const;
};

class EchoProcess {
public:
    // Starts `program DEVICE [extra]` with `preload` (if any) in LD_PRELOAD, all its threads on
    // core `cpu` (any core the scheduler picks when negative); throws on failure.
    EchoProcess(const std::string& program, const std::string& device,
                const std::vector<std::string>& extra, const std::string& preload, int cpu);
    ~EchoProcess(); // kills the program if it is still running
    EchoProcess(const EchoProcess&) = delete;
    EchoProcess& operator=(const EchoProcess&) = delete;

    // The next line the program reports, when it comes before `deadline`.
    std::optional<std::string> NextLine(Clock::time_point deadline);
    // Waits for a line starting with `word`; throws with what came instead when none does.
    std::string Await(const std::string& word, Clock::time_point deadline);
    ProcessUsage Usage() const;
    // Waits until the program has used no CPU for a while, or `deadline` has passed: a program
    // may report "ready" before it has finished starting (its threads, its event loop), and
    // that work must not count as the first workload's.
    void AwaitSettled(Clock::time_point deadline) const;
    // SIGTERM; throws unless the program ends with status 0 and reports that it handed back every
    // byte it received.
    void Finish();
    // The program's first "error" or "lost" line, if it reported one by now: why a workload failed.
    std::string Diagnosis();

private:
    pid_t pid_ = -1;
    SerialPlatform::FileDescriptor output_;
    std::string pending_;
    std::vector<std::string> errors_; // "error" and "lost" lines, for the message of a failure
};
