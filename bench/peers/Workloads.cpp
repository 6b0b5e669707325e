#include "Workloads.h"

#include "BenchSupport.h"
#include "EchoProcess.h"
#include "PeerProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

using std::chrono::seconds;

// The host's side of the line: sends the pattern and checks every byte that comes back.
class HostLine {
public:
    explicit HostLine(int master) : master_(master) {
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        for (std::size_t i = 0; i < pattern_.size(); ++i) {
            pattern_[i] = PatternByte(i);
        }
    }

    uint64_t Sent() const { return sent_; }
    uint64_t Received() const { return received_; }

    // Writes up to `count` pattern bytes without waiting; answers how many went.
    std::size_t SendSome(std::size_t count) {
        const std::size_t chunk = std::min(count, Chunk);
        const ssize_t written = write(master_, pattern_.data() + sent_ % 251, chunk);
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("the host cannot write to the line");
        }
        const std::size_t went = written > 0 ? static_cast<std::size_t>(written) : 0;
        sent_ += went;
        return went;
    }

    // Reads what has come back, without waiting, and checks it.
    void ReceiveSome() {
        char buffer[Chunk];
        const ssize_t got = read(master_, buffer, sizeof buffer);
        if (got < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("the host cannot read from the line");
        }
        for (ssize_t i = 0; i < got; ++i, ++received_) {
            if (received_ >= sent_) {
                throw std::runtime_error("more bytes came back than were sent (" +
                                         std::to_string(sent_) + ")");
            }
            if (buffer[i] != PatternByte(received_)) {
                throw std::runtime_error(
                    "echoed byte " + std::to_string(received_) + " is wrong: " +
                    std::to_string(static_cast<unsigned char>(buffer[i])) + " instead of " +
                    std::to_string(static_cast<unsigned char>(PatternByte(received_))) + ", " +
                    std::to_string(sent_) + " bytes sent");
            }
        }
    }

    // Sends `count` bytes and reads meanwhile, keeping at most `window` bytes on the way.
    void Exchange(std::size_t count, std::size_t window, Clock::time_point deadline) {
        const uint64_t target = sent_ + count;
        while (sent_ < target || received_ < sent_) {
            const bool room = sent_ < target && sent_ - received_ < window;
            pollfd ready{master_, static_cast<short>(POLLIN | (room ? POLLOUT : 0)), 0};
            if (Clock::now() > deadline) {
                throw std::runtime_error("echo incomplete: " + std::to_string(received_) + " of " +
                                         std::to_string(sent_) + " bytes came back in time");
            }
            poll(&ready, 1, 100);
            if ((ready.revents & POLLIN) != 0) {
                ReceiveSome();
            }
            if ((ready.revents & POLLOUT) != 0 && room) {
                SendSome(std::min<uint64_t>(target - sent_, window - (sent_ - received_)));
            }
        }
    }

private:
    static constexpr std::size_t Chunk = 4096;
    int master_;
    std::vector<char> pattern_ = std::vector<char>(251 + Chunk);
    uint64_t sent_ = 0;
    uint64_t received_ = 0;
};

constexpr std::size_t BulkWindow = 32 * 1024;
constexpr double LineBytesPerSecond = 115200.0 / 10; // 8N1: ten bits a byte

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void RoundTrips(HostLine& line, EchoProcess& process, int count, EchoFigures& figures) {
    for (int i = 0; i < 20; ++i) { // warms caches and the program's first-time paths
        line.Exchange(1, 1, Clock::now() + seconds(5));
    }
    const ProcessUsage before = process.Usage();
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        line.Exchange(1, 1, start + seconds(5));
        figures.roundTripMicros.push_back(Micros(Clock::now() - start));
    }
    const TaskUsage used = process.Usage() - before;
    figures.cpuPerRoundTripMicros = used.cpuSeconds / count * 1e6;
    figures.switchesPerRoundTrip = static_cast<double>(used.switches) / count;
}

void Bulk(HostLine& line, EchoProcess& process, std::size_t bytes, EchoFigures& figures) {
    const ProcessUsage before = process.Usage();
    const auto start = Clock::now();
    line.Exchange(bytes, BulkWindow, start + seconds(60));
    const double elapsed = Seconds(Clock::now() - start);
    figures.bulkMiBPerSecond = static_cast<double>(bytes) / (1024.0 * 1024.0) / elapsed;
    figures.bulkCpuNanosPerByte =
        (process.Usage() - before).cpuSeconds * 1e9 / static_cast<double>(bytes);
}

// A 115,200-baud line's worth of bytes, handed over each millisecond as a UART's driver would,
// with the echoes read as they come.
void Paced(HostLine& line, EchoProcess& process, double duration, EchoFigures& figures) {
    const ProcessUsage before = process.Usage();
    const auto start = Clock::now();
    const uint64_t first = line.Sent();
    timespec tick{};
    clock_gettime(CLOCK_MONOTONIC, &tick);
    for (double elapsed = 0; elapsed < duration; elapsed = Seconds(Clock::now() - start)) {
        const auto due = first + static_cast<uint64_t>(elapsed * LineBytesPerSecond);
        if (due > line.Sent()) {
            line.Exchange(due - line.Sent(), BulkWindow, Clock::now() + seconds(5));
        }
        tick.tv_nsec += 1000000;
        if (tick.tv_nsec >= 1000000000) {
            tick.tv_nsec -= 1000000000;
            ++tick.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &tick, nullptr);
    }
    const TaskUsage used = process.Usage() - before;
    const double elapsed = Seconds(Clock::now() - start);
    figures.pacedCpuPercent = used.cpuSeconds / elapsed * 100;
    figures.pacedWakeupsPerSecond = static_cast<double>(used.switches) / elapsed;
}

// The master end closes, as when a USB adapter is pulled out: does the program notice, how soon,
// and what does it burn in the second after.
void Unplug(Pty& pty, EchoProcess& process, EchoFigures& figures) {
    const auto start = Clock::now();
    pty.CloseMaster();
    const auto deadline = start + seconds(1);
    figures.unplugNoticeMillis = std::nan("");
    while (const auto line = process.NextLine(deadline)) {
        if (line->rfind("lost", 0) == 0) {
            figures.unplugNoticed = true;
            figures.unplugNoticeMillis = Seconds(Clock::now() - start) * 1000;
            figures.unplugHow = line->substr(5);
            break;
        }
    }
    const ProcessUsage before = process.Usage();
    const auto measured = Clock::now();
    std::this_thread::sleep_for(seconds(1));
    figures.afterUnplugCpuPercent =
        (process.Usage() - before).cpuSeconds / Seconds(Clock::now() - measured) * 100;
}

} // namespace

EchoFigures RunEchoWorkloads(const EchoProgramSpec& spec, const WorkloadSizes& sizes) {
    Pty pty;
    EchoProcess process(spec.program, pty.Slave(), {}, spec.preload, spec.cpu);
    EchoFigures figures;
    try {
        process.Await("ready", Clock::now() + seconds(10));
        process.AwaitSettled(Clock::now() + seconds(5));
        HostLine line(pty.Master());
        RoundTrips(line, process, sizes.roundTrips, figures);
        Bulk(line, process, sizes.bulkBytes, figures);
        Paced(line, process, sizes.pacedSeconds, figures);
        Unplug(pty, process, figures);
        process.Finish();
    } catch (const std::runtime_error& error) {
        const std::string reported = process.Diagnosis();
        throw std::runtime_error(error.what() + (reported.empty() ? "" : " (" + reported + ")"));
    }
    return figures;
}

IdleFigures RunIdleWorkload(const EchoProgramSpec& spec, const WorkloadSizes& sizes) {
    Pty pty;
    EchoProcess process(spec.program, pty.Slave(), {NoTaker}, spec.preload, spec.cpu);
    process.Await("ready", Clock::now() + seconds(10));
    HostLine line(pty.Master());
    line.SendSome(12);
    // Lets the program see the bytes arrive and settle before the quiet is measured; one that
    // never settles is measured as it is.
    process.AwaitSettled(Clock::now() + seconds(1));
    const ProcessUsage before = process.Usage();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(sizes.idleSeconds));
    const TaskUsage used = process.Usage() - before;
    process.Finish();
    return {used.cpuSeconds * 1000,
            static_cast<double>(used.switches) / Seconds(Clock::now() - start)};
}
