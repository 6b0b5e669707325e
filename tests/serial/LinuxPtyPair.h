#pragma once

// A pseudo-terminal pair for serial tests on Linux: the test keeps the master side and plays the
// peer; the port under test opens the slave path. Under Wine the pty peer serves one of these to
// the Windows test.

#include <q4471/serial/LinuxFileDescriptor.h>

#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

class LinuxPtyPair {
public:
    LinuxPtyPair() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (!master_.Valid() || grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        char name[128];
        if (ptsname_r(master_.Get(), name, sizeof name) != 0) {
            throw std::runtime_error("no pseudo-terminal name");
        }
        slavePath_ = name;
        // Keeps the pair alive whoever opens and closes the slave: without an open slave the
        // master reads EIO.
        holder_ = SerialPlatform::FileDescriptor(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    }
    LinuxPtyPair(const LinuxPtyPair&) = delete;
    LinuxPtyPair& operator=(const LinuxPtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_.Get(); }

    // The peer hangs up, as a pulled USB adapter does.
    void CloseMaster() { master_ = SerialPlatform::FileDescriptor(); }

    void Send(const std::string& bytes) const { Write(bytes.data(), bytes.size()); }

    // Reads until `count` bytes have come or the deadline has passed; answers what came.
    std::string Receive(std::size_t count,
                        std::chrono::milliseconds deadline = std::chrono::seconds(5)) const {
        std::string bytes;
        const auto end = std::chrono::steady_clock::now() + deadline;
        char chunk[4096];
        while (bytes.size() < count) {
            const std::size_t got =
                ReadSome(chunk, std::min(sizeof chunk, count - bytes.size()), end);
            if (got == 0) {
                break;
            }
            bytes.append(chunk, got);
        }
        return bytes;
    }

    // The master's side of a benchmark, done here so that nothing between the port and the peer
    // (the Wine harness's TCP) is timed. Each blocks until done; a port that stops sending or
    // taking bytes for Stall makes it throw rather than hang.
    static constexpr std::chrono::seconds Stall{10};

    // Reads a request of `requestSize` bytes and writes `answer`, `count` times.
    void Echo(std::size_t requestSize, const std::string& answer, int count) const {
        std::string request(requestSize, '\0');
        for (int i = 0; i < count; ++i) {
            ReadExactly(request.data(), request.size());
            Send(answer);
        }
    }

    // Reads `bytes` bytes and drops them.
    void Sink(std::size_t bytes) const {
        char chunk[65536];
        for (std::size_t done = 0; done < bytes;) {
            const std::size_t most = std::min(sizeof chunk, bytes - done);
            done += ReadSomeOrThrow(chunk, most);
        }
    }

    // Writes `chunk` `times` times.
    void Source(const std::string& chunk, int times) const {
        for (int i = 0; i < times; ++i) {
            Send(chunk);
        }
    }

    // The slave's settings, as the port left them (a master reads its slave's record).
    termios2 SlaveSettings() const {
        termios2 tio{};
        if (ioctl(master_.Get(), TCGETS2, &tio) != 0) {
            throw std::runtime_error("TCGETS2 failed");
        }
        return tio;
    }

    // Bytes the slave has received and not yet read, seen from the master.
    int SlaveInput() const {
        int count = 0;
        ioctl(holder_.Get(), TIOCINQ, &count);
        return count;
    }

private:
    // Waits until the master can be read or `end` has passed, then reads at most `size` bytes;
    // answers how many came (none at the deadline or when the master fails).
    std::size_t ReadSome(char* data, std::size_t size,
                         std::chrono::steady_clock::time_point end) const {
        // Rounded up: a deadline of a millisecond or two must still poll once.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd fd{master_.Get(), POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            return 0;
        }
        const ssize_t got = read(master_.Get(), data, size);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

    std::size_t ReadSomeOrThrow(char* data, std::size_t size) const {
        const std::size_t got = ReadSome(data, size, std::chrono::steady_clock::now() + Stall);
        if (got == 0) {
            throw std::runtime_error("the port sends nothing more");
        }
        return got;
    }

    void ReadExactly(char* data, std::size_t size) const {
        for (std::size_t done = 0; done < size;) {
            done += ReadSomeOrThrow(data + done, size - done);
        }
    }

    // Writes all bytes, waiting for room at most Stall each time.
    void Write(const char* data, std::size_t size) const {
        for (std::size_t done = 0; done < size;) {
            if (!master_.Valid()) {
                throw std::runtime_error("master write failed");
            }
            pollfd fd{master_.Get(), POLLOUT, 0};
            const int ready = poll(&fd, 1, StallMillis);
            if (ready == 0) {
                throw std::runtime_error("the port takes nothing more");
            }
            const ssize_t sent = ready > 0 ? write(master_.Get(), data + done, size - done) : -1;
            if (sent < 0 && errno != EINTR) {
                throw std::runtime_error("master write failed");
            }
            done += sent > 0 ? static_cast<std::size_t>(sent) : 0;
        }
    }

    static constexpr int StallMillis = static_cast<int>(std::chrono::milliseconds(Stall).count());

    SerialPlatform::FileDescriptor holder_; // closed after the master, as the peer hangs up first
    SerialPlatform::FileDescriptor master_;
    std::string slavePath_;
};
