// Figures of the transmit queue over pseudo-terminals, beside plain writes on a descriptor in the
// same run: bulk throughput of WriteBuf calls of 4 KiB and of 64 bytes through the queue against
// write() calls of the same size with poll on a non-blocking descriptor (the floor), alternating
// in rounds, each as MB/s and CPU ns per byte of the writing side; and the CPU spent while a
// writer waits 1 s for room that never comes.
//
//   bench/serial/serial_queue_bench [megabytes per run] [rounds]

#include "BenchSupport.h"

#include <q4471/framework/plain/PlainFramework.h>
#include <q4471/serial/VaComm.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

using namespace q4471;

namespace {

struct Throughput {
    double megabytesPerSecond;
    double cpuNanosPerByte; // of the writing side: the process less the reading thread
};

// Sends `bytes` in chunks of `chunkSize` with `send` while a thread drains the master side.
Throughput Bulk(int master, std::size_t bytes, std::size_t chunkSize,
                const std::function<void(const char*, std::size_t)>& send) {
    const std::string chunk(chunkSize, 'q');
    double readerCpu = 0;
    std::atomic<bool> drained{false};
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::thread reader([&] {
        const double before = ThreadCpuSeconds();
        std::vector<char> buffer(65536);
        for (std::size_t done = 0; done < bytes;) {
            const ssize_t got = read(master, buffer.data(), buffer.size());
            done += got > 0 ? static_cast<std::size_t>(got) : 0;
        }
        readerCpu = ThreadCpuSeconds() - before;
        drained = true;
    });
    // Exactly `bytes`: what the reader leaves behind would fill the line over the rounds.
    for (std::size_t done = 0; done < bytes; done += chunk.size()) {
        send(chunk.data(), std::min(chunk.size(), bytes - done));
    }
    // Back in its loop, the GUI thread lets the transmit thread tell its last drained queue.
    PlainFrameworkBinding::PumpUntil([&] { return drained.load(); }, std::chrono::minutes(5));
    reader.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double writerCpu = ProcessCpuSeconds() - cpuBefore - readerCpu;
    return {static_cast<double>(bytes) / 1e6 / seconds,
            writerCpu * 1e9 / static_cast<double>(bytes)};
}

// Bulk output in writes of `chunkSize` bytes through a transmit queue of `queueSize`: writes larger
// than the queue go in piece by piece.
void BulkFigures(std::size_t megabytes, std::size_t chunkSize, int32_t queueSize, int rounds) {
    Pty plainPty;
    const SerialPlatform::FileDescriptor plainFd = OpenRawSlave(plainPty.Slave());
    Pty portPty;
    TVaComm comm(nullptr);
    comm.SetDeviceName(portPty.Slave());
    comm.Buffers().SetWriteSize(queueSize);
    comm.Buffers().SetWriteTimeout(60000); // the bench waits for room, it does not give up
    comm.Open();                           // DirectWrite false: the transmit queue

    std::vector<double> plainRate, plainCpu, queueRate, queueCpu;
    const std::size_t bytes = megabytes * 1000000;
    for (int round = 0; round < rounds; ++round) {
        Throughput figures =
            Bulk(plainPty.Master(), bytes, chunkSize, [&](const char* data, std::size_t size) {
                WriteExactly(plainFd.Get(), data, size);
            });
        plainRate.push_back(figures.megabytesPerSecond);
        plainCpu.push_back(figures.cpuNanosPerByte);
        figures = Bulk(portPty.Master(), bytes, chunkSize, [&](const char* data, std::size_t size) {
            comm.WriteBuf(data, static_cast<int32_t>(size));
        });
        queueRate.push_back(figures.megabytesPerSecond);
        queueCpu.push_back(figures.cpuNanosPerByte);
    }
    std::printf("bulk out in writes of %zu bytes through a queue of %d, %zu MB per run, %d rounds, "
                "alternating\n",
                chunkSize, queueSize, megabytes, rounds);
    const Summary floor = Summarise(plainRate);
    const Summary queue = Summarise(queueRate);
    PrintSummary("  plain write + poll (floor)", "MB/s", floor);
    PrintSummary("  WriteBuf through the transmit queue", "MB/s", queue);
    std::printf("  queue / floor, medians: %.2f\n", queue.median / floor.median);
    PrintSummary("  CPU per byte, floor", "ns", Summarise(plainCpu));
    PrintSummary("  CPU per byte, transmit queue", "ns", Summarise(queueCpu));
    comm.Close();
}

// A writer waits out WriteTimeout (1 s) for room on a line held by XOFF: the process's CPU.
void RoomWaitFigures(int rounds) {
    std::vector<double> cpuMillis;
    for (int round = 0; round < rounds; ++round) {
        Pty pty;
        TVaComm comm(nullptr);
        comm.SetDeviceName(pty.Slave());
        comm.Open();
        comm.SetXon(false); // the line holds back what is written, as after a received XOFF
        const std::string fill(static_cast<std::size_t>(comm.Buffers().WriteSize()), 'f');
        comm.WriteText(fill);
        const double before = ProcessCpuSeconds();
        try {
            comm.WriteText("one more");
        } catch (const EVaCommError&) {
            // "Output buffer is full": the expected end of the wait
        }
        cpuMillis.push_back((ProcessCpuSeconds() - before) * 1000);
        comm.Close();
    }
    std::printf("a writer waiting 1 s for room, %d rounds (goal about 0)\n", rounds);
    PrintSummary("  CPU of the process during the wait", "ms", Summarise(cpuMillis));
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? static_cast<std::size_t>(std::atoi(argv[1])) : 16;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 4;
    PlainFrameworkBinding framework; // the drained-queue events have a GUI thread to go to
    // A queue with room for many chunks, as a bulk sender sets it; then the default queue, with
    // writes many times its size.
    BulkFigures(megabytes, 4096, 65536, rounds);
    BulkFigures(megabytes / 4, 64, 65536, rounds);
    BulkFigures(megabytes, 65536, 2048, rounds);
    RoomWaitFigures(3);
    return 0;
}
