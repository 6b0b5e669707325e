#include "PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace radiosim {

namespace {

[[noreturn]] void ThrowSystemError(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PseudoTerminal::PseudoTerminal() {
    try {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0) {
            ThrowSystemError("cannot open a pseudo-terminal");
        }
        char path[PATH_MAX];
        if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, path, sizeof path) != 0) {
            ThrowSystemError("cannot unlock the pseudo-terminal");
        }
        slavePath_ = path;
        heldSlave_ = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (heldSlave_ < 0) {
            ThrowSystemError("cannot open the pseudo-terminal's device");
        }
        termios settings{};
        if (tcgetattr(heldSlave_, &settings) != 0) {
            ThrowSystemError("cannot read the device's line settings");
        }
        cfmakeraw(&settings);
        if (tcsetattr(heldSlave_, TCSANOW, &settings) != 0) {
            ThrowSystemError("cannot put the device into raw mode");
        }
        const int flags = fcntl(master_, F_GETFL);
        if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
            ThrowSystemError("cannot make the pseudo-terminal non-blocking");
        }
    } catch (...) {
        CloseAll();
        throw;
    }
}

PseudoTerminal::~PseudoTerminal() {
    CloseAll();
}

void PseudoTerminal::CloseAll() {
    if (heldSlave_ >= 0) {
        ::close(heldSlave_);
        heldSlave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

} // namespace radiosim
