#include "PortClient.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PortClient::PortClient(const std::string& devicePath)
    : fd_(::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (!fd_.Valid()) {
        Fail("open the radio's device");
    }
    termios settings{};
    tcgetattr(fd_.Get(), &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B9600);
    if (tcsetattr(fd_.Get(), TCSANOW, &settings) != 0) {
        Fail("set raw mode");
    }
}

void PortClient::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_.Get(), bytes.data(), bytes.size());
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            Fail("write to the radio");
        }
        if (written < 0) {
            pollfd writable{fd_.Get(), POLLOUT, 0};
            ::poll(&writable, 1, 1000);
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::string PortClient::Read(std::size_t count, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    std::string received;
    while (received.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd readable{fd_.Get(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got =
            ::read(fd_.Get(), buffer, std::min(sizeof buffer, count - received.size()));
        if (got > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
        }
    }
    return received;
}

std::string PortClient::Ask(std::string_view command, std::size_t expectedLength) {
    Write(command);
    return Read(expectedLength);
}
