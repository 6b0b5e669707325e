#include "OtherProgram.h"

#include <array>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <utility>

OtherProgram::OtherProgram(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

OtherProgram::~OtherProgram() {
    if (setExclusive_) {
        ioctl(fd_.Get(), TIOCNXCL); // the flag outlives the descriptor while the device stays open
    }
}

bool OtherProgram::TakeLock() {
    return flock(fd_.Get(), LOCK_EX | LOCK_NB) == 0;
}

bool OtherProgram::SetExclusive() {
    setExclusive_ = ioctl(fd_.Get(), TIOCEXCL) == 0;
    return setExclusive_;
}

bool OtherProgram::ExclusiveFlag() const {
    int exclusive = 0;
    return ioctl(fd_.Get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

unsigned OtherProgram::StandardRate() const {
    static constexpr std::array<std::pair<speed_t, unsigned>, 8> Rates = {{
        {B1200, 1200},
        {B2400, 2400},
        {B4800, 4800},
        {B9600, 9600},
        {B19200, 19200},
        {B38400, 38400},
        {B57600, 57600},
        {B115200, 115200},
    }};
    termios tio{};
    if (tcgetattr(fd_.Get(), &tio) != 0) {
        return 0;
    }
    for (const auto& [code, rate] : Rates) {
        if (cfgetospeed(&tio) == code) {
            return rate;
        }
    }
    return 0;
}
