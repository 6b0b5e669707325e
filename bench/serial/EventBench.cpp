// Figures of the port's receive thread over pseudo-terminals, beside the plain floor in the same
// run: a 1-byte echo round trip through OnRxBuf -> WriteBuf, written directly and through the
// transmit queue (p50, p99, max; CPU of the echoing side per round trip), the CPU of an idle open
// port with unread bytes waiting and no taker, and the CPU after the peer has vanished. The floor
// is a thread echoing with poll/read/write. The test's thread is the GUI thread; a driver thread
// plays the peer on the master side. Contender and floor alternate (A B A B) in rounds.
//
//   bench/serial/serial_event_bench [round trips per round] [rounds]

#include "BenchSupport.h"

#include <q4471/framework/Thread.h>
#include <q4471/framework/plain/PlainFramework.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/VaCommClients.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace q4471;

namespace {

// Echoes with poll/read/write on the slave end until the master hangs up.
class PlainEcho {
public:
    explicit PlainEcho(const std::string& slave) : fd_(OpenRawSlave(slave)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~PlainEcho() { thread_.join(); }

private:
    void Run() {
        char buffer[4096];
        for (;;) {
            pollfd ready{fd_.Get(), POLLIN, 0};
            if (poll(&ready, 1, -1) < 0 || (ready.revents & (POLLHUP | POLLERR)) != 0) {
                return;
            }
            const ssize_t got = read(fd_.Get(), buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno == EAGAIN) {
                    continue;
                }
                return;
            }
            WriteExactly(fd_.Get(), buffer, static_cast<std::size_t>(got));
        }
    }

    const SerialPlatform::FileDescriptor fd_;
    std::thread thread_;
};

// The port echoing what its receive thread hands to OnRxBuf. A client makes the port take the
// bytes and pass them to OnRxBuf; without one it would only count them.
class PortEcho {
public:
    explicit PortEcho(TVaComm& comm) {
        client_.SetComm(&comm);
        comm.OnRxBuf = [&comm](TObject*, PVaData data, int32_t count) {
            comm.WriteBuf(data, count);
        };
    }

private:
    TVaCommComponent client_{nullptr};
};

// Round trips of one byte from the driver thread; the GUI thread pumps meanwhile. Answers the
// microseconds of each and the echoing side's CPU seconds.
std::pair<std::vector<double>, double> EchoRounds(int master, int count) {
    std::vector<double> micros;
    std::atomic<bool> done{false};
    double driverCpu = 0;
    const double selfBefore = ProcessCpuSeconds();
    std::thread driver([&] {
        const double before = ThreadCpuSeconds();
        char byte = 'x';
        for (int i = 0; i < count; ++i) {
            const auto start = Clock::now();
            WriteExactly(master, &byte, 1);
            ReadExactly(master, &byte, 1);
            micros.push_back(Micros(Clock::now() - start));
        }
        driverCpu = ThreadCpuSeconds() - before;
        done = true;
    });
    PlainFrameworkBinding::PumpUntil([&] { return done.load(); }, std::chrono::minutes(10));
    driver.join();
    return {micros, ProcessCpuSeconds() - selfBefore - driverCpu};
}

// One echoing port on a pseudo-terminal of its own.
struct PortUnderTest {
    explicit PortUnderTest(bool directWrite) {
        comm.SetDeviceName(pty.Slave());
        comm.SetDirectWrite(directWrite);
        comm.Open();
    }
    ~PortUnderTest() { comm.Close(); }
    Pty pty;
    TVaComm comm{nullptr};
    PortEcho echo{comm};
};

struct Contender {
    const char* name;
    int master;
    std::vector<double> micros, cpuPerRoundTrip;
};

void EchoFigures(int perRound, int rounds) {
    Pty plainPty;
    PlainEcho plain(plainPty.Slave());
    PortUnderTest direct(true);
    PortUnderTest queued(false);
    Contender contenders[] = {
        {"  plain poll/read/write (floor)", plainPty.Master(), {}, {}},
        {"  OnRxBuf -> WriteBuf, direct", direct.pty.Master(), {}, {}},
        {"  OnRxBuf -> WriteBuf, queued", queued.pty.Master(), {}, {}},
    };
    for (int round = 0; round < rounds; ++round) {
        for (Contender& contender : contenders) {
            auto [micros, cpu] = EchoRounds(contender.master, perRound);
            contender.micros.insert(contender.micros.end(), micros.begin(), micros.end());
            contender.cpuPerRoundTrip.push_back(cpu / perRound * 1e6);
        }
    }
    std::printf("1-byte echo round trip, %d rounds of %d, alternating\n", rounds, perRound);
    const Percentiles floor = PercentilesOf(contenders[0].micros);
    for (const Contender& contender : contenders) {
        PrintPercentiles(contender.name, PercentilesOf(contender.micros), floor);
    }
    for (const Contender& contender : contenders) {
        PrintSummary((std::string(contender.name) + ", CPU/rt").c_str(), "us",
                     Summarise(contender.cpuPerRoundTrip));
    }
    plainPty.CloseMaster();
}

// CPU seconds of the process and wake-ups of the port's threads over `seconds`, while the GUI
// thread sleeps until a delivery comes (none should).
std::pair<double, long> QuietCpu(double seconds) {
    const double before = ProcessCpuSeconds();
    const long wakeupsBefore = WorkerWakeups();
    const auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        CheckSynchronize(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1));
    }
    // A thread that ends meanwhile takes its count with it: the difference can fall below 0.
    return {ProcessCpuSeconds() - before, std::max(0L, WorkerWakeups() - wakeupsBefore)};
}

void QuietFigures(const PlainFrameworkBinding& framework, int rounds) {
    std::vector<double> idleCpu, idleWakeups, goneCpu, goneWakeups;
    for (int round = 0; round < rounds; ++round) {
        Pty pty;
        const std::size_t shown = framework.ShownErrors().size();
        TVaComm comm(nullptr); // as the editor's: default events, no handler, no client
        comm.SetDeviceName(pty.Slave());
        comm.SetDirectWrite(true);
        comm.Open();
        WriteExactly(pty.Master(), "unread bytes", 12);
        PlainFrameworkBinding::PumpUntil([&] { return comm.ReadBufUsed() == 12; });
        auto [cpu, wakeups] = QuietCpu(2.0);
        idleCpu.push_back(cpu * 1000);
        idleWakeups.push_back(static_cast<double>(wakeups) / 2.0);

        pty.CloseMaster(); // the adapter is pulled out
        PlainFrameworkBinding::PumpUntil([&] { return framework.ShownErrors().size() > shown; });
        std::tie(cpu, wakeups) = QuietCpu(1.0);
        goneCpu.push_back(cpu * 1000);
        goneWakeups.push_back(static_cast<double>(wakeups));
        comm.Close();
    }
    std::printf("quiet port, %d rounds (goal 0)\n", rounds);
    PrintSummary("  idle 2 s, 12 bytes unread: CPU", "ms", Summarise(idleCpu));
    PrintSummary("  idle: wake-ups of the port's threads", "/s", Summarise(idleWakeups));
    PrintSummary("  1 s after the peer vanished: CPU", "ms", Summarise(goneCpu));
    PrintSummary("  vanished: wake-ups of the port's threads", "/s", Summarise(goneWakeups));
}

} // namespace

int main(int argc, char** argv) {
    const int perRound = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 4;
    PlainFrameworkBinding framework;
    EchoFigures(perRound, rounds);
    QuietFigures(framework, 3);
    return 0;
}
