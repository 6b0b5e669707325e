#pragma once

// What the serial benchmarks on Linux share: a pseudo-terminal pair, whole reads and writes on a
// descriptor, CPU and wake-up counters of this process, and (BenchFigures.h) the summaries.

#include "BenchFigures.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

// A pseudo-terminal whose master the bench drives, blocking; the contender opens the slave.
class Pty {
public:
    Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[128];
        if (!master_.Valid() || grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0 ||
            ptsname_r(master_.Get(), name, sizeof name) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        slave_ = name;
    }

    int Master() const { return master_.Get(); }
    const std::string& Slave() const { return slave_; }
    // The peer hangs up, as a pulled USB adapter does.
    void CloseMaster() { master_ = SerialPlatform::FileDescriptor(); }

private:
    SerialPlatform::FileDescriptor master_;
    std::string slave_;
};

// The slave end opened the plain way: raw, non-blocking.
inline SerialPlatform::FileDescriptor OpenRawSlave(const std::string& path) {
    SerialPlatform::FileDescriptor fd(
        open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    termios tio{};
    tcgetattr(fd.Get(), &tio);
    cfmakeraw(&tio);
    tcsetattr(fd.Get(), TCSANOW, &tio);
    return fd;
}

inline void AwaitDescriptor(int fd, short events) {
    pollfd ready{fd, events, 0};
    poll(&ready, 1, -1);
}

inline void ReadExactly(int fd, char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t got = read(fd, data + done, size - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got < 0 && errno == EAGAIN) {
            AwaitDescriptor(fd, POLLIN);
        } else if (got == 0 || errno != EINTR) {
            throw std::runtime_error("read failed");
        }
    }
}

inline void WriteExactly(int fd, const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t sent = write(fd, data + done, size - done);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
        } else if (sent < 0 && errno == EAGAIN) {
            AwaitDescriptor(fd, POLLOUT);
        } else if (errno != EINTR) {
            throw std::runtime_error("write failed");
        }
    }
}

inline double CpuSecondsOf(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
inline double ProcessCpuSeconds() {
    return CpuSecondsOf(RUSAGE_SELF);
}
inline double ThreadCpuSeconds() {
    return CpuSecondsOf(RUSAGE_THREAD);
}

// What the process's threads other than the first (the GUI thread, which the bench itself wakes)
// did: how often they went to sleep and were woken (voluntary context switches), how often the
// system took the core from them (involuntary ones), and their CPU ticks.
struct WorkerActivity {
    long wakeups = 0;
    long preemptions = 0;
    long ticks = 0;
};

inline WorkerActivity ReadWorkerActivity() {
    WorkerActivity activity;
    const std::string main = std::to_string(getpid());
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == main) {
            continue;
        }
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            const std::size_t colon = line.find(':');
            const std::string name = line.substr(0, colon);
            if (name == "voluntary_ctxt_switches") {
                activity.wakeups += std::stol(line.substr(colon + 1));
            } else if (name == "nonvoluntary_ctxt_switches") {
                activity.preemptions += std::stol(line.substr(colon + 1));
            }
        }
        std::ifstream stat(task.path() / "stat");
        const std::string text((std::istreambuf_iterator<char>(stat)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        const std::vector<std::string> values{std::istream_iterator<std::string>(fields), {}};
        activity.ticks += std::stol(values.at(11)) + std::stol(values.at(12)); // utime, stime
    }
    return activity;
}

inline long WorkerWakeups() {
    return ReadWorkerActivity().wakeups;
}
