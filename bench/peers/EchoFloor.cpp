// The floor: the slave end opened raw and non-blocking, echoed with poll, read and write. On a
// hang-up it stops watching the descriptor, as a careful plain program does.

#include "BenchSupport.h"
#include "EchoProgram.h"

#include <cerrno>
#include <poll.h>
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

// Echoes until the line goes away; answers how it was noticed.
std::string Echo(int fd) {
    char buffer[65536];
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return "poll error";
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            return (ready.revents & POLLHUP) != 0 ? "hang-up" : "read error";
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
    echo::Lost(arguments.noTaker ? AwaitHangUp(slave.Get()) : Echo(slave.Get()));
    for (;;) {
        pause(); // until the host ends the program
    }
}
