// Figures of the serial port over a pseudo-terminal: the round trip of a 60-byte request and its
// 60-byte answer, and bulk throughput both ways, each through TVaComm (WriteText/ReadText) and
// through the system's plain calls on a port of the same kind (the floor), in the same run. The
// pair's master side does the peer's work; under Wine it is the pty peer's (docs/windows.md).
//
//   bench/serial/serial_comm_bench [round trips] [bulk megabytes]

#include "BenchFigures.h"
#include "PlainPort.h"
#include "PtyPair.h"

#include <q4471/serial/VaComm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The two sides under measurement: the component, and the plain port (the floor). Each keeps
// reading whatever is there, as the radio transfers do.
struct Side {
    std::function<void(const std::string&)> send;
    std::function<std::string()> receiveWaiting;
};

Side ComponentSide(TVaComm& comm) {
    return {[&comm](const std::string& text) {
                if (!comm.WriteText(text)) {
                    throw std::runtime_error("WriteText failed");
                }
            },
            [&comm] { return comm.ReadText(); }};
}

Side PlainSide(PlainPort& port) {
    return {[&port](const std::string& text) { port.Send(text); },
            [&port] { return port.ReceiveWaiting(); }};
}

// A side that has received nothing for this long has lost bytes, or its peer has failed.
constexpr auto Silence = std::chrono::seconds(10);

// Reads until `count` bytes have come; throws once the line has been silent for Silence.
void ReceiveAtLeast(const Side& side, std::size_t count) {
    auto lastByte = Clock::now();
    for (std::size_t received = 0; received < count;) {
        const std::size_t got = side.receiveWaiting().size();
        if (got > 0) {
            received += got;
            lastByte = Clock::now();
        } else if (Clock::now() - lastByte > Silence) {
            throw std::runtime_error("the line fell silent: " + std::to_string(received) + " of " +
                                     std::to_string(count) + " came");
        }
    }
}

// A side, the pair it talks to, and its figures.
struct Contender {
    const char* name;
    const Side& side;
    const PtyPair& pair;
    std::vector<double> roundTrips, out, in;
};

// Microseconds of each round trip: 60 bytes out, the peer answers 60 bytes. The contenders take
// turns, a block of round trips each: how long one takes on this machine depends on whether the
// other core is awake, which other programs change from second to second. Blocks, not single
// round trips, so that what a contender's threads still do after its turn falls on its own.
void RoundTrips(std::vector<Contender>& contenders, int count) {
    constexpr int Block = 100;
    const std::string request = "MEM:USR:SET? 100" + std::string(43, ' ') + "\r";
    const std::string answer =
        "100,LABEL,146.52000,146.52000,1,100.0" + std::string(22, ' ') + "\r";
    std::vector<std::future<void>> peers;
    for (const Contender& contender : contenders) {
        peers.push_back(std::async(std::launch::async,
                                   [&] { contender.pair.Echo(request.size(), answer, count); }));
    }
    for (int first = 0; first < count; first += Block) {
        for (Contender& contender : contenders) {
            for (int i = first; i < std::min(count, first + Block); ++i) {
                const auto start = Clock::now();
                contender.side.send(request);
                ReceiveAtLeast(contender.side, answer.size());
                contender.roundTrips.push_back(Micros(Clock::now() - start));
            }
        }
    }
    for (std::future<void>& peer : peers) {
        peer.get();
    }
}

// Megabytes per second of `bytes` from the side to the peer, then from the peer to the side.
std::pair<double, double> Bulk(const Side& side, const PtyPair& pair, std::size_t bytes) {
    const std::string chunk(4096, 'b');
    const int chunks = static_cast<int>((bytes + chunk.size() - 1) / chunk.size());
    const std::size_t sent = chunks * chunk.size();

    auto start = Clock::now();
    auto sink = std::async(std::launch::async, [&] { pair.Sink(sent); });
    for (int i = 0; i < chunks; ++i) {
        side.send(chunk);
    }
    sink.get();
    const double out = sent / 1e6 / std::chrono::duration<double>(Clock::now() - start).count();

    start = Clock::now();
    auto source = std::async(std::launch::async, [&] { pair.Source(chunk, chunks); });
    ReceiveAtLeast(side, sent);
    source.get();
    const double in = sent / 1e6 / std::chrono::duration<double>(Clock::now() - start).count();
    return {out, in};
}

void Run(int roundTrips, std::size_t megabytes) {
    constexpr int BulkRuns = 5;

    const PtyPair componentPair;
    TVaComm comm(nullptr);
    comm.SetDeviceName(componentPair.SlavePath());
    comm.SetBaudrate(br9600);
    comm.SetDirectWrite(true);
    comm.Open();
    const Side component = ComponentSide(comm);

    const PtyPair plainPair;
    PlainPort plainPort(plainPair.SlavePath());
    const Side plain = PlainSide(plainPort);

    std::printf("%d round trips of 60 + 60 bytes; %zu MB bulk, %d runs each way\n", roundTrips,
                megabytes, BulkRuns);
    std::vector<Contender> contenders{{"TVaComm", component, componentPair, {}, {}, {}},
                                      {"plain (floor)", plain, plainPair, {}, {}, {}}};
    RoundTrips(contenders, roundTrips);
    // In turns, too, so that a change in the machine's load falls on both.
    for (int run = 0; run < BulkRuns; ++run) {
        for (Contender& contender : contenders) {
            const auto [sent, received] = Bulk(contender.side, contender.pair, megabytes * 1000000);
            contender.out.push_back(sent);
            contender.in.push_back(received);
        }
    }
    PrintSummary("round trip, TVaComm WriteText/ReadText", "us",
                 Summarise(contenders[0].roundTrips));
    PrintSummary("round trip, plain write/read (floor)", "us", Summarise(contenders[1].roundTrips));
    for (const Contender& contender : contenders) {
        PrintSummary((std::string("bulk out, ") + contender.name).c_str(), "MB/s",
                     Summarise(contender.out));
        PrintSummary((std::string("bulk in, ") + contender.name).c_str(), "MB/s",
                     Summarise(contender.in));
    }
    comm.Close();
}

} // namespace

int main(int argc, char** argv) {
    const int roundTrips = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int megabytes = argc > 2 ? std::atoi(argv[2]) : 8;
    if (roundTrips <= 0 || megabytes <= 0) {
        std::fprintf(stderr, "usage: %s [round trips] [bulk megabytes], both above 0\n", argv[0]);
        return 2;
    }
    try {
        Run(roundTrips, static_cast<std::size_t>(megabytes));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "serial_comm_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
