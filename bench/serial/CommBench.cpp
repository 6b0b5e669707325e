// Figures of the serial port over a pseudo-terminal: the round trip of a 60-byte request and its
// 60-byte answer, and bulk throughput both ways, each through TVaComm (WriteText/ReadText) and
// through plain read/write on a descriptor of the same kind (the floor), in the same run.
//
//   bench/serial/serial_comm_bench [round trips] [bulk megabytes]

#include "BenchSupport.h"
#include "serial/VaComm.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The two sides under measurement: the component, and a raw descriptor (the floor). Each keeps
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

Side PlainSide(int fd) {
    return {[fd](const std::string& text) { WriteExactly(fd, text.data(), text.size()); },
            [fd] {
                char buffer[65536];
                const ssize_t got = read(fd, buffer, sizeof buffer);
                return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
            }};
}

// Microseconds of each round trip: 60 bytes out, the peer answers 60 bytes.
std::vector<double> RoundTrips(const Side& side, int master, int count) {
    const std::string request = "MEM:USR:SET? 100" + std::string(43, ' ') + "\r";
    std::thread peer([&] {
        char buffer[60];
        const std::string answer =
            "100,LABEL,146.52000,146.52000,1,100.0" + std::string(22, ' ') + "\r";
        for (int i = 0; i < count; ++i) {
            ReadExactly(master, buffer, sizeof buffer);
            WriteExactly(master, answer.data(), answer.size());
        }
    });
    std::vector<double> micros;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        side.send(request);
        std::size_t received = 0;
        while (received < 60) {
            received += side.receiveWaiting().size();
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    peer.join();
    return micros;
}

// Megabytes per second of `bytes` from the side to the peer, then from the peer to the side.
std::pair<double, double> Bulk(const Side& side, int master, std::size_t bytes) {
    const std::string chunk(4096, 'b');
    std::thread sink([&] {
        std::vector<char> buffer(65536);
        for (std::size_t done = 0; done < bytes;) {
            const ssize_t got = read(master, buffer.data(), buffer.size());
            done += got > 0 ? static_cast<std::size_t>(got) : 0;
        }
    });
    auto start = Clock::now();
    for (std::size_t done = 0; done < bytes; done += chunk.size()) {
        side.send(chunk);
    }
    sink.join();
    const double out = bytes / 1e6 / std::chrono::duration<double>(Clock::now() - start).count();

    std::thread source([&] {
        for (std::size_t done = 0; done < bytes; done += chunk.size()) {
            WriteExactly(master, chunk.data(), chunk.size());
        }
    });
    start = Clock::now();
    for (std::size_t done = 0; done < bytes;) {
        done += side.receiveWaiting().size();
    }
    source.join();
    const double in = bytes / 1e6 / std::chrono::duration<double>(Clock::now() - start).count();
    return {out, in};
}

} // namespace

int main(int argc, char** argv) {
    const int roundTrips = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::size_t megabytes = argc > 2 ? static_cast<std::size_t>(std::atoi(argv[2])) : 8;
    constexpr int bulkRuns = 5;

    Pty componentPty;
    TVaComm comm(nullptr);
    comm.SetDeviceName(componentPty.Slave());
    comm.SetBaudrate(br9600);
    comm.SetDirectWrite(true);
    comm.Open();
    const Side component = ComponentSide(comm);

    Pty plainPty;
    const SerialPlatform::FileDescriptor plainFd = OpenRawSlave(plainPty.Slave());
    const Side plain = PlainSide(plainFd.Get());

    std::printf("%d round trips of 60 + 60 bytes; %zu MB bulk, %d runs each way\n", roundTrips,
                megabytes, bulkRuns);
    PrintSummary("round trip, TVaComm WriteText/ReadText", "us",
                 Summarise(RoundTrips(component, componentPty.Master(), roundTrips)));
    PrintSummary("round trip, plain write/read (floor)", "us",
                 Summarise(RoundTrips(plain, plainPty.Master(), roundTrips)));

    for (const auto& [name, side, master] :
         {std::tuple{"TVaComm", &component, componentPty.Master()},
          std::tuple{"plain (floor)", &plain, plainPty.Master()}}) {
        std::vector<double> out, in;
        for (int run = 0; run < bulkRuns; ++run) {
            const auto [sent, received] = Bulk(*side, master, megabytes * 1000000);
            out.push_back(sent);
            in.push_back(received);
        }
        PrintSummary((std::string("bulk out, ") + name).c_str(), "MB/s", Summarise(out));
        PrintSummary((std::string("bulk in, ") + name).c_str(), "MB/s", Summarise(in));
    }
    comm.Close();
    return 0;
}
