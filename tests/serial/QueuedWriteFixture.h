#pragma once

// A port whose writes are queued (DirectWrite false) on a pseudo-terminal, with its receive thread
// running and the test's thread as the GUI thread. The line's output can be held as by a received
// XOFF, so that the device takes nothing; the transmit thread's calls to the operating system are
// counted, and its writes fail on demand.

#include "CommEventFixture.h"
#include "support/ProcessEntries.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

// The stand-in for the operating system with the transmit thread's calls counted, and its writes
// failing on demand; the counters and the failure may be read and set from any thread. Line
// functions reach the pseudo-terminal, so that SetXon(false) really holds the output.
class TransmitSpy : public FakeCommSystem {
public:
    std::atomic<int> writes{0};
    std::atomic<int> partialWrites{0}; // writes that took some of their bytes, not all
    std::atomic<int> refusedWrites{0}; // writes that the device refused
    std::atomic<int> roomWaits{0};
    // When the device last took bytes (steady clock).
    std::atomic<std::chrono::steady_clock::time_point> lastTake{};
    // The next `failingWrites` writes fail with `writeFailure`.
    std::atomic<int> failingWrites{0};
    std::atomic<int> writeFailure{0};

    bool WriteFile(THandle handle, const void* buffer, uint32_t count, uint32_t timeoutMs,
                   SerialPlatform::TSignalHandle cancelEvent, uint32_t& written) override {
        ++writes;
        int failing = failingWrites.load();
        while (failing > 0 && !failingWrites.compare_exchange_weak(failing, failing - 1)) {
        }
        if (failing > 0) {
            SerialPlatform::SetLastError(writeFailure);
            return false;
        }
        const bool done = Host().WriteFile(handle, buffer, count, timeoutMs, cancelEvent, written);
        if (done && written > 0) {
            lastTake = std::chrono::steady_clock::now();
            partialWrites += written < count ? 1 : 0;
        }
        refusedWrites += done ? 0 : 1;
        return done;
    }
    int WaitWriteRoom(THandle handle,
                      std::span<const SerialPlatform::TSignalHandle> wakers) override {
        ++roomWaits;
        return Host().WaitWriteRoom(handle, wakers);
    }
    bool EscapeCommFunction(THandle handle, uint32_t func) override {
        return Host().EscapeCommFunction(handle, func);
    }

private:
    static SerialPlatform::ICommSystem& Host() { return SerialPlatform::DefaultCommSystem(); }
};

class QueuedWriteTest : public CommEventTest {
protected:
    QueuedWriteTest() { Configure(comm_); }
    // The port goes through spy_, which goes before the port.
    ~QueuedWriteTest() override { comm_.Close(); }

    void Configure(TVaComm& port) {
        port.SetDeviceName(pty_.SlavePath());
        port.SetDirectWrite(false);
        port.SetCommSystem(spy_);
        RecordHandlers(port);
    }
    // A port of its own on the same line, for the cases that destroy it.
    std::unique_ptr<TVaComm> NewPort() {
        auto port = std::make_unique<TVaComm>(nullptr);
        Configure(*port);
        return port;
    }

    // Opens `port` with its output flowing: a held output outlives the port that held it.
    static void Open(TVaComm& port) {
        port.Open();
        port.SetXon(true);
    }
    void Open() { Open(comm_); }
    // The device takes nothing until the output is released.
    void HoldLine() { comm_.SetXon(false); }
    void ReleaseLine() { comm_.SetXon(true); }

    // Reads as the peer, at most `chunk` bytes a time and then nothing for `pause` (which make a
    // slow peer), until `count` bytes have come or `deadline` has passed, running the deliveries
    // meanwhile.
    std::string Receive(std::size_t count, std::size_t chunk = 4096,
                        std::chrono::milliseconds deadline = std::chrono::seconds(30),
                        std::chrono::milliseconds pause = {}) {
        std::string bytes;
        auto nextRead = std::chrono::steady_clock::now();
        q4471::PlainFrameworkBinding::PumpUntil(
            [&] {
                if (std::chrono::steady_clock::now() < nextRead) {
                    return false;
                }
                const std::size_t before = bytes.size();
#ifdef _WIN32
                // The pty peer reads the master for us.
                if (bytes.size() < count) {
                    const std::size_t most =
                        std::min({std::size_t{4096}, chunk, count - bytes.size()});
                    bytes += pty_.Receive(most, std::chrono::milliseconds(1));
                }
#else
                pollfd fd{pty_.Master(), POLLIN, 0};
                if (bytes.size() < count && poll(&fd, 1, 1) > 0) {
                    char buffer[4096];
                    const std::size_t most = std::min({sizeof buffer, chunk, count - bytes.size()});
                    const ssize_t got = read(pty_.Master(), buffer, most);
                    bytes.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
                }
#endif
                if (bytes.size() > before) {
                    nextRead = std::chrono::steady_clock::now() + pause;
                }
                return bytes.size() >= count;
            },
            deadline);
        return bytes;
    }

    std::size_t Logged(const std::string& entry) const {
        return static_cast<std::size_t>(std::count(log_.begin(), log_.end(), entry));
    }

    TransmitSpy spy_;
};

// Bytes that show their place: a shifted, lost or doubled byte breaks the pattern.
inline std::string Pattern(std::size_t size, std::size_t from = 0) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((from + i) * 7 + (from + i) / 251);
    }
    return bytes;
}

// The process's threads that run at the nice value `nice`.
inline int ThreadsAtNice(int nice) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream file(entry.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        // The fields after the name, which may hold blanks itself: the state, then the nice
        // value as the seventeenth.
        std::istringstream fields(stat.substr(stat.rfind(')') + 1));
        std::string field;
        for (int i = 0; i < 17 && fields >> field; ++i) {
        }
        count += field == std::to_string(nice) ? 1 : 0;
    }
    return count;
}
