#pragma once

// A pseudo-terminal pair for serial tests on Linux: the test keeps the master side and plays the
// peer; the port under test opens the slave path. Under Wine the pty peer serves one of these to
// the Windows test.

#include "serial/platform/LinuxFileDescriptor.h"

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

    void Send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t sent = write(master_.Get(), bytes.data() + done, bytes.size() - done);
            if (sent < 0 && errno != EINTR) {
                throw std::runtime_error("master write failed");
            }
            done += sent > 0 ? static_cast<std::size_t>(sent) : 0;
        }
    }

    // Reads until `count` bytes have come or the deadline has passed; answers what came.
    std::string Receive(std::size_t count,
                        std::chrono::milliseconds deadline = std::chrono::seconds(5)) const {
        std::string bytes;
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (bytes.size() < count) {
            // Rounded up: a deadline of a millisecond or two must still poll once.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd fd{master_.Get(), POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            char chunk[4096];
            const ssize_t got =
                read(master_.Get(), chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got <= 0) {
                break;
            }
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
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
    SerialPlatform::FileDescriptor holder_; // closed after the master, as the peer hangs up first
    SerialPlatform::FileDescriptor master_;
    std::string slavePath_;
};
