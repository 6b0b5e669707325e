// The floor: the slave end opened raw and non-blocking, echoed with read and write. On a
// hang-up it stops watching the descriptor, as a careful plain program does. Three builds
// (FLOOR_WAIT):
//   poll      the main thread waits with poll for the device alone;
//   thread    a thread of its own waits with edge-triggered epoll for the device and a stop
//             signal, as any program must that runs its handlers on a port thread and can be
//             stopped: what that design costs before any of the program's own work;
//   handover  that thread only waits, and hands each wake to the main thread through an eventfd;
//             the main thread reads and writes, as a program does whose handlers run on its GUI
//             thread: what one hand-over between two threads costs, and no more.

#include "BenchSupport.h"
#include "EchoProgram.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <string_view>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

// Sends all of `data`, waiting for room; false when the line went away.
bool SendAll(int fd, const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t sent = write(fd, data + done, size - done);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd room{fd, POLLOUT, 0};
        if (poll(&room, 1, -1) < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

constexpr std::string_view WaitMode = FLOOR_WAIT;

// Waits until the device has input or has hung up, as the build says; false on a failed wait.
class InputWait {
public:
    explicit InputWait(int fd) : fd_(fd) {
        if (WaitMode == "poll") {
            return;
        }
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        stop_ = eventfd(0, EFD_CLOEXEC);
        epoll_event device{EPOLLIN | EPOLLET, {.u32 = 0}};
        epoll_event stop{EPOLLIN, {.u32 = 1}};
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &device) != 0 ||
            epoll_ctl(epoll_, EPOLL_CTL_ADD, stop_, &stop) != 0) {
            echo::Fail("cannot watch the device");
        }
        if (WaitMode == "handover") {
            handOver_ = eventfd(0, EFD_CLOEXEC);
            waiter_ = std::thread([this] { HandOverWakes(); });
        }
    }
    ~InputWait() {
        if (waiter_.joinable()) {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t set = write(stop_, &one, sizeof one);
            waiter_.join();
        }
    }
    InputWait(const InputWait&) = delete;
    InputWait& operator=(const InputWait&) = delete;

    bool Wait() {
        if (WaitMode == "handover") {
            uint64_t wakes = 0;
            return read(handOver_, &wakes, sizeof wakes) == sizeof wakes || errno == EINTR;
        }
        if (WaitMode == "thread") {
            return WaitForDevice();
        }
        pollfd ready{fd_, POLLIN, 0};
        const int count = poll(&ready, 1, -1);
        hungUp_ = (ready.revents & POLLHUP) != 0;
        return count >= 0 || errno == EINTR;
    }
    bool HungUp() const { return hungUp_; }

private:
    // False on a failed wait or the stop signal.
    bool WaitForDevice() {
        epoll_event ready[2];
        const int count = epoll_wait(epoll_, ready, 2, -1);
        for (int i = 0; i < count; ++i) {
            if (ready[i].data.u32 == 1) {
                return false;
            }
            hungUp_ = hungUp_ || (ready[i].events & (EPOLLHUP | EPOLLERR)) != 0;
        }
        return count >= 0 || errno == EINTR;
    }

    // The waiting thread of the hand-over: each wake of the device becomes one of the main
    // thread's, until the device hangs up.
    void HandOverWakes() {
        while (WaitForDevice()) {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t handed = write(handOver_, &one, sizeof one);
            if (hungUp_) {
                return;
            }
        }
    }

    int fd_;
    int epoll_ = -1;
    int stop_ =
        -1; // set only to end the hand-over's thread: the host ends the program with SIGTERM
    int handOver_ = -1;
    std::atomic<bool> hungUp_{false};
    std::thread waiter_;
};

// Echoes until the line goes away; answers how it was noticed.
std::string Echo(int fd) {
    char buffer[65536];
    InputWait input(fd);
    for (;;) {
        if (!input.Wait()) {
            return "wait error";
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            return input.HungUp() ? "hang-up" : "read error";
        }
        echo::CheckReceived(buffer, static_cast<std::size_t>(got));
        if (!SendAll(fd, buffer, static_cast<std::size_t>(got))) {
            return "write error";
        }
        echo::Returned(static_cast<std::size_t>(got));
    }
}

// Waits without taking input: only a hang-up or an error ends the wait.
std::string AwaitHangUp(int fd) {
    pollfd watch{fd, 0, 0};
    while (poll(&watch, 1, -1) < 0 && errno == EINTR) {
    }
    return "hang-up";
}

} // namespace

int main(int argc, char** argv) {
    const echo::Arguments arguments = echo::Start(argc, argv);
    const auto slave = OpenRawSlave(arguments.device);
    if (!slave.Valid()) {
        echo::Fail("cannot open " + arguments.device);
    }
    echo::Report("ready");
    const auto serve = [&] {
        echo::Lost(arguments.noTaker ? AwaitHangUp(slave.Get()) : Echo(slave.Get()));
    };
    std::thread worker;
    if (WaitMode == "thread") {
        worker = std::thread(serve);
    } else {
        serve();
    }
    for (;;) {
        pause(); // until the host ends the program
    }
}
