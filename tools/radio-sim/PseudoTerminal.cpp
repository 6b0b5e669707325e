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

PseudoTerminal::PseudoTerminal() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (!master_.Valid()) {
        ThrowSystemError("cannot open a pseudo-terminal");
    }
    char path[PATH_MAX];
    if (grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0 ||
        ptsname_r(master_.Get(), path, sizeof path) != 0) {
        ThrowSystemError("cannot unlock the pseudo-terminal");
    }
    slavePath_ = path;
    heldSlave_ = SerialPlatform::FileDescriptor(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!heldSlave_.Valid()) {
        ThrowSystemError("cannot open the pseudo-terminal's device");
    }
    termios settings{};
    if (tcgetattr(heldSlave_.Get(), &settings) != 0) {
        ThrowSystemError("cannot read the device's line settings");
    }
    cfmakeraw(&settings);
    if (tcsetattr(heldSlave_.Get(), TCSANOW, &settings) != 0) {
        ThrowSystemError("cannot put the device into raw mode");
    }
    const int flags = fcntl(master_.Get(), F_GETFL);
    if (flags < 0 || fcntl(master_.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        ThrowSystemError("cannot make the pseudo-terminal non-blocking");
    }
}

} // namespace radiosim
