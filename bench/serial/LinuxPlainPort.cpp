#include "BenchSupport.h"
#include "PlainPort.h"

#include <sys/ioctl.h>

PlainPort::PlainPort(const std::string& device) : handle_(OpenRawSlave(device).Release()) {
    if (handle_ < 0) {
        throw std::runtime_error("cannot open " + device);
    }
}

PlainPort::~PlainPort() {
    close(static_cast<int>(handle_));
}

void PlainPort::Send(const std::string& bytes) {
    WriteExactly(static_cast<int>(handle_), bytes.data(), bytes.size());
}

std::string PlainPort::ReceiveWaiting() {
    // Read only once bytes are counted, as the component does: spinning on bare reads made this
    // floor slower than the component, likely as an empty read takes the terminal's locks too.
    int waiting = 0;
    if (ioctl(static_cast<int>(handle_), FIONREAD, &waiting) != 0) {
        throw std::runtime_error("FIONREAD failed");
    }
    if (waiting == 0) {
        return {};
    }
    char buffer[65536];
    const ssize_t got = read(static_cast<int>(handle_), buffer, sizeof buffer);
    if (got < 0 && errno != EAGAIN && errno != EINTR) {
        throw std::runtime_error("read failed");
    }
    return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
}
