#pragma once

// The far end of a pseudo-terminal that answers every line ended by CR with one fixed answer,
// on a thread of its own; it keeps a descriptor of the device open, so that a port closing
// its end never hangs up the line. Keeps nothing of what it receives.

#include <q4471/serial/LinuxFileDescriptor.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

class AnsweringPeer {
public:
    explicit AnsweringPeer(std::string answer)
        : answer_(std::move(answer)), master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char path[PATH_MAX];
        if (!master_.Valid() || grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0 ||
            ptsname_r(master_.Get(), path, sizeof path) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        device_ = path;
        heldSlave_ = SerialPlatform::FileDescriptor(open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
        termios tio{};
        tcgetattr(heldSlave_.Get(), &tio);
        cfmakeraw(&tio);
        tcsetattr(heldSlave_.Get(), TCSANOW, &tio);
        stop_ = SerialPlatform::FileDescriptor(eventfd(0, EFD_CLOEXEC));
        thread_ = std::thread([this] { Serve(); });
    }
    ~AnsweringPeer() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stop_.Get(), &one, sizeof one);
        thread_.join();
    }

    const std::string& Device() const { return device_; }

private:
    void Serve() {
        pollfd watched[2] = {{stop_.Get(), POLLIN, 0}, {master_.Get(), POLLIN, 0}};
        char buffer[4096];
        while (poll(watched, 2, -1) >= 0 || errno == EINTR) {
            if (watched[0].revents != 0) {
                return;
            }
            if (watched[1].revents == 0) {
                continue;
            }
            const ssize_t got = read(master_.Get(), buffer, sizeof buffer);
            for (ssize_t i = 0; i < got; ++i) {
                if (buffer[i] == '\r') {
                    [[maybe_unused]] const ssize_t sent =
                        write(master_.Get(), answer_.data(), answer_.size());
                }
            }
        }
    }

    std::string answer_;
    SerialPlatform::FileDescriptor master_;
    SerialPlatform::FileDescriptor heldSlave_;
    SerialPlatform::FileDescriptor stop_;
    std::string device_;
    std::thread thread_;
};
