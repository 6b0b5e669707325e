#pragma once

// A pseudo-terminal pair for serial tests: the test keeps the master side and plays the peer;
// the port under test opens the slave path.

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

class PtyPair {
public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        char name[128];
        if (ptsname_r(master_, name, sizeof name) != 0) {
            throw std::runtime_error("no pseudo-terminal name");
        }
        slavePath_ = name;
        // Keeps the pair alive whoever opens and closes the slave: without an open slave the
        // master reads EIO.
        holder_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PtyPair() {
        CloseMaster();
        if (holder_ >= 0) {
            close(holder_);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    // The peer hangs up, as a pulled USB adapter does.
    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

    void Send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t sent = write(master_, bytes.data() + done, bytes.size() - done);
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
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd fd{master_, POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            char chunk[4096];
            const ssize_t got = read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
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
        if (ioctl(master_, TCGETS2, &tio) != 0) {
            throw std::runtime_error("TCGETS2 failed");
        }
        return tio;
    }

    // Bytes the slave has received and not yet read, seen from the master.
    int SlaveInput() const {
        int count = 0;
        ioctl(holder_, TIOCINQ, &count);
        return count;
    }

private:
    int master_ = -1;
    int holder_ = -1;
    std::string slavePath_;
};
