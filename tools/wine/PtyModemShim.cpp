// Preloaded where a program takes a pseudo-terminal for a serial port: the libserialport echo
// program, and Wine's processes when the serial tests run under Wine. libserialport looks a port
// up in sysfs by name, where a pseudo-terminal has no entry: that lookup is answered with the
// entry of the pseudo-terminal multiplexer. And a pseudo-terminal has no modem lines, which both
// read and set (Wine's WaitCommEvent fails without them): where the device refuses those
// requests, they are answered from the pair's file of lines when the peer keeps one (see
// tools/wine/PtyModemLines.h), otherwise as a port with DTR, RTS, CTS, DSR and DCD up would.
// Everything else goes to the C library.

#include "tools/wine/PtyModemLines.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);
using LxstatFunction = int (*)(int, const char*, struct stat*);
using ReadlinkFunction = ssize_t (*)(const char*, char*, size_t);

bool IsModemRequest(unsigned long request) {
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

// The port drives DTR and RTS only; the other lines are the peer's.
int AnswerFromFile(const std::string& file, unsigned long request, void* argument) {
    constexpr int PortLines = TIOCM_DTR | TIOCM_RTS;
    const int value = request == TIOCMGET ? 0 : *static_cast<const int*>(argument) & PortLines;
    int lines = -1;
    if (request == TIOCMGET) {
        lines = PtyModemLines::Read(file);
    } else if (request == TIOCMSET) {
        lines = PtyModemLines::Update(file, value, PortLines & ~value);
    } else if (request == TIOCMBIS) {
        lines = PtyModemLines::Update(file, value, 0);
    } else {
        lines = PtyModemLines::Update(file, 0, value);
    }
    if (lines < 0) {
        errno = EIO;
        return -1;
    }
    if (request == TIOCMGET) {
        *static_cast<int*>(argument) = lines;
    }
    return 0;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    static const auto real = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const int result = real(fd, request, argument);
    if (result == 0 || !IsModemRequest(request) || (errno != ENOTTY && errno != EINVAL)) {
        return result;
    }
    const auto file = PtyModemLines::FileOfSlave(fd);
    if (!file) {
        if (request == TIOCMGET) {
            *static_cast<int*>(argument) =
                TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
        }
        return 0;
    }
    return AnswerFromFile(*file, request, argument);
}

// The sysfs entry libserialport is shown for `path`.
static const char* SysfsEntry(const char* path) {
    constexpr const char* PtyEntries = "/sys/class/tty/pts/";
    return std::strncmp(path, PtyEntries, std::strlen(PtyEntries)) == 0 ? "/sys/class/tty/ptmx"
                                                                        : path;
}

// The C library's lstat as libserialport calls it.
extern "C" int __lxstat(int version, const char* path, struct stat* status) {
    static const auto real = reinterpret_cast<LxstatFunction>(dlsym(RTLD_NEXT, "__lxstat"));
    return real(version, SysfsEntry(path), status);
}

extern "C" ssize_t readlink(const char* path, char* target, size_t size) {
    static const auto real = reinterpret_cast<ReadlinkFunction>(dlsym(RTLD_NEXT, "readlink"));
    return real(SysfsEntry(path), target, size);
}
