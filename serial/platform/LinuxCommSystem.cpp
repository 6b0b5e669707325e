#include "serial/platform/LinuxCommSystem.h"

#include "serial/platform/LinuxEventWaiter.h"
#include "serial/platform/LinuxLineCounters.h"
#include "serial/platform/LinuxLineSettings.h"
#include "serial/platform/LinuxSignals.h"

#include <q4471/serial/CommCodes.h>
#include <q4471/serial/LinuxFileDescriptor.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace SerialPlatform {

namespace {

constexpr int OpenFlags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

// How long closing waits for unsent output before discarding it: a peer that holds the flow
// control must not keep Close waiting.
constexpr auto DrainTime = std::chrono::milliseconds(500);

// The most bytes the line discipline holds (and TIOCINQ counts). More can wait in the tty
// layer's buffers behind it, at most its memory limit (TTYB_DEFAULT_MEM_LIMIT); a read that
// finds the line discipline empty moves them in at once.
constexpr uint32_t LineDisciplineHolds = 4095;
constexpr uint32_t TtyBufferLimit = 640 * 1024;

bool Fail(int code) {
    SetLastError(code);
    return false;
}

bool FailErrno() {
    return Fail(errno);
}

bool Ioctl(int fd, unsigned long request, int value) {
    return ioctl(fd, request, value) == 0 || FailErrno();
}

// Sets or clears modem output lines. A driver without modem lines counts as done, so that the
// settings record can be written to a pseudo-terminal.
bool HoldLines(int fd, int lines, bool on) {
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &lines) == 0 || DriverHasNo(errno)) {
        return true;
    }
    return FailErrno();
}

bool SetLines(int fd, int lines, bool on) {
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &lines) == 0 || FailErrno();
}

// The modem lines (TIOCM_*); none for a driver without them.
bool ModemLines(int fd, int& lines) {
    lines = 0;
    return ioctl(fd, TIOCMGET, &lines) == 0 || DriverHasNo(errno) || FailErrno();
}

bool QueueCount(int fd, unsigned long request, uint32_t& count) {
    int value = 0;
    if (ioctl(fd, request, &value) != 0) {
        return FailErrno();
    }
    count = static_cast<uint32_t>(std::max(value, 0));
    return true;
}

// Gives unsent output a bounded time to leave, then discards the rest.
void DrainOutput(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + DrainTime;
    uint32_t pending = 0;
    while (QueueCount(fd, TIOCOUTQ, pending) && pending > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ioctl(fd, TCFLSH, TCOFLUSH);
}

// Opens the device unless another program holds it, by either convention of terminal programs:
// an advisory flock (picocom and others), or the exclusive flag (TIOCEXCL), which stops every
// opener but root, so it is read back and honoured for root too. EBUSY when held.
FileDescriptor OpenUnlessHeld(const std::string& path) {
    FileDescriptor fd(open(path.c_str(), OpenFlags));
    if (!fd.Valid()) {
        SetLastError(errno);
        return fd;
    }
    int exclusive = 0;
    if (ioctl(fd.Get(), TIOCGEXCL, &exclusive) != 0) {
        SetLastError(errno); // ENOTTY: not a terminal device
        return FileDescriptor();
    }
    if (exclusive != 0 || flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        SetLastError(exclusive != 0 || errno == EWOULDBLOCK ? EBUSY : errno);
        return FileDescriptor();
    }
    return fd;
}

} // namespace

template <class Action> bool LinuxCommSystem::WithPort(THandle handle, Action action) {
    std::lock_guard lock(mutex_);
    const auto port = ports_.find(handle);
    if (port == ports_.end()) {
        return Fail(EBADF);
    }
    return action(port->second);
}

THandle LinuxCommSystem::CreateFile(const std::string& path) {
    FileDescriptor fd = OpenUnlessHeld(path);
    // The flock keeps out programs that take it; the flag (ours, as the device had none) keeps
    // out those that do not, root excepted.
    if (!fd.Valid() || !Ioctl(fd.Get(), TIOCEXCL, 0)) {
        return INVALID_HANDLE_VALUE;
    }
    termios2 tio{};
    bool ready = ReadTermios(fd.Get(), tio);
    if (ready) {
        MakeRaw(tio);
        // Bytes that arrived while the port was closed are stale: a Windows port opens empty.
        ready = WriteTermios(fd.Get(), tio) && Ioctl(fd.Get(), TCFLSH, TCIOFLUSH);
    }
    if (!ready) {
        ioctl(fd.Get(), TIOCNXCL);
        return INVALID_HANDLE_VALUE;
    }
    PortState state;
    state.hasCounters = ReadCounters(fd.Get(), state.counters);
    std::lock_guard lock(mutex_);
    ports_[fd.Get()] = state;
    return fd.Release();
}

bool LinuxCommSystem::CloseHandle(THandle handle) {
    {
        std::lock_guard lock(mutex_);
        if (ports_.erase(handle) == 0) {
            return Fail(EBADF);
        }
    }
    DrainOutput(handle);
    ioctl(handle, TIOCNXCL); // the flag is ours: CreateFile refused a device that had it
    return ::close(handle) == 0 || FailErrno();
}

bool LinuxCommSystem::SetCommState(THandle handle, const DCB& dcb) {
    termios2 tio{};
    if (!ReadTermios(handle, tio) || !TermiosFromDCB(dcb, tio) || !WriteTermios(handle, tio)) {
        return false;
    }
    if (!HoldLines(handle, TIOCM_DTR, dcb.fDtrControl != 0) ||
        (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE &&
         !HoldLines(handle, TIOCM_RTS, dcb.fRtsControl != 0))) {
        return false;
    }
    return WithPort(handle, [&](PortState& port) {
        port.written = dcb;
        port.hasWritten = true;
        return true;
    });
}

bool LinuxCommSystem::ReadDeviceSettings(int fd, DCB& dcb) {
    termios2 tio{};
    int lines = 0;
    if (!ReadTermios(fd, tio) || !ModemLines(fd, lines)) {
        return false;
    }
    dcb = DCB{};
    DCBFromTermios(tio, dcb);
    dcb.fDtrControl = (lines & TIOCM_DTR) != 0 ? 1 : 0;
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) {
        dcb.fRtsControl = (lines & TIOCM_RTS) != 0 ? 1 : 0;
    }
    return true;
}

bool LinuxCommSystem::GetDefaultCommConfig(const std::string& path, DCB& dcb) {
    struct stat node {};
    if (stat(path.c_str(), &node) != 0) {
        return FailErrno();
    }
    {
        std::lock_guard lock(mutex_);
        for (const auto& [fd, port] : ports_) {
            struct stat open {};
            if (fstat(fd, &open) == 0 && open.st_rdev == node.st_rdev && S_ISCHR(node.st_mode)) {
                if (!ReadDeviceSettings(fd, dcb)) {
                    return false;
                }
                if (port.hasWritten) {
                    // What termios has no place for comes from the record written last.
                    const DCB& written = port.written;
                    dcb.fErrorChar = written.fErrorChar;
                    dcb.fNull = written.fNull;
                    dcb.XonLim = written.XonLim;
                    dcb.XoffLim = written.XoffLim;
                    dcb.ErrorChar = written.ErrorChar;
                    dcb.EofChar = written.EofChar;
                    dcb.EvtChar = written.EvtChar;
                }
                return true;
            }
        }
    }
    const FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    return fd.Valid() ? ReadDeviceSettings(fd.Get(), dcb) : FailErrno();
}

bool LinuxCommSystem::SetCommTimeouts(THandle handle, const COMMTIMEOUTS& timeouts) {
    // Reads never wait and writes are bounded by the caller (WriteFile), so the one record that
    // is carried out is "reads return at once with what has arrived".
    if (timeouts.ReadIntervalTimeout != 0xFFFFFFFF || timeouts.ReadTotalTimeoutMultiplier != 0 ||
        timeouts.ReadTotalTimeoutConstant != 0) {
        return Fail(EINVAL);
    }
    return WithPort(handle, [](PortState&) { return true; });
}

bool LinuxCommSystem::SetupComm(THandle handle, uint32_t inQueue, uint32_t outQueue) {
    // Linux's queues have a fixed size; the sizes asked for are reported back in COMMPROP.
    return WithPort(handle, [&](PortState& port) {
        port.inQueue = inQueue;
        port.outQueue = outQueue;
        return true;
    });
}

bool LinuxCommSystem::SetCommMask(THandle handle, uint32_t evtMask) {
    return WithPort(handle, [&](PortState& port) {
        port.evtMask = evtMask;
        return true;
    });
}

uint32_t LinuxCommSystem::EventMaskOf(THandle handle) {
    std::lock_guard lock(mutex_);
    const auto port = ports_.find(handle);
    return port == ports_.end() ? 0 : port->second.evtMask;
}

bool LinuxCommSystem::PurgeComm(THandle handle, uint32_t flags) {
    constexpr uint32_t Known = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if ((flags & ~Known) != 0) {
        return Fail(EINVAL);
    }
    // The abort flags have nothing to do: no transfer outlives its call here.
    const bool input = (flags & PURGE_RXCLEAR) != 0;
    const bool output = (flags & PURGE_TXCLEAR) != 0;
    if (!input && !output) {
        return WithPort(handle, [](PortState&) { return true; });
    }
    return Ioctl(handle, TCFLSH, input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH));
}

bool LinuxCommSystem::ClearCommError(THandle handle, uint32_t& errors, COMSTAT& stat) {
    errors = 0;
    stat = COMSTAT{};
    // Runs at every batch of received data: only what the status needs is asked of the driver.
    PortState known;
    if (!WithPort(handle,
                  [&](PortState& port) {
                      known = port;
                      return true;
                  }) ||
        !QueueCount(handle, TIOCINQ, stat.cbInQue) ||
        !QueueCount(handle, TIOCOUTQ, stat.cbOutQue)) {
        return false;
    }
    if (known.xoffHold) {
        stat.Flags |= COMSTAT_XOFF_HOLD;
    }
    bool ctsFlow = known.written.fOutxCtsFlow;
    if (!known.hasWritten) {
        termios2 tio{};
        if (!ReadTermios(handle, tio)) {
            return false;
        }
        ctsFlow = (tio.c_cflag & CRTSCTS) != 0;
    }
    int lines = 0;
    if (ctsFlow) {
        if (!ModemLines(handle, lines)) {
            return false;
        }
        if ((lines & TIOCM_CTS) == 0) {
            stat.Flags |= COMSTAT_CTS_HOLD;
        }
    }
    return ReadLineErrors(handle, known, errors);
}

bool LinuxCommSystem::ClearCommInput(THandle handle, uint32_t& errors, uint32_t& inQue) {
    errors = 0;
    inQue = 0;
    // Every ReadText and every count for OnRxChar comes here: one call to the driver fewer than
    // the whole status, which would also ask for the output queue.
    PortState known;
    return WithPort(handle,
                    [&](PortState& port) {
                        known = port;
                        return true;
                    }) &&
           QueueCount(handle, TIOCINQ, inQue) && ReadLineErrors(handle, known, errors);
}

bool LinuxCommSystem::ReadLineErrors(THandle handle, const PortState& known, uint32_t& errors) {
    if (!known.hasCounters) {
        return true; // the driver keeps no counters (a pseudo-terminal): no line errors to tell
    }
    serial_icounter_struct now{};
    if (!ReadCounters(handle, now)) {
        return false;
    }
    return WithPort(handle, [&](PortState& port) {
        errors = ErrorsBetween(port.counters, now);
        port.counters = now;
        return true;
    });
}

bool LinuxCommSystem::GetCommModemStatus(THandle handle, uint32_t& modemStat) {
    int lines = 0;
    if (!ModemLines(handle, lines)) {
        return false;
    }
    modemStat =
        ((lines & TIOCM_CTS) != 0 ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) != 0 ? MS_DSR_ON : 0) |
        ((lines & TIOCM_RNG) != 0 ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) != 0 ? MS_RLSD_ON : 0);
    return true;
}

bool LinuxCommSystem::EscapeCommFunction(THandle handle, uint32_t func) {
    const auto holdOutput = [&](bool hold) {
        return Ioctl(handle, TCXONC, hold ? TCOOFF : TCOON) &&
               WithPort(handle, [&](PortState& port) {
                   port.xoffHold = hold;
                   return true;
               });
    };
    switch (func) {
    case SETXOFF:
        return holdOutput(true);
    case SETXON:
        return holdOutput(false);
    case SETRTS:
    case CLRRTS:
        return SetLines(handle, TIOCM_RTS, func == SETRTS);
    case SETDTR:
    case CLRDTR:
        return SetLines(handle, TIOCM_DTR, func == SETDTR);
    case RESETDEV:
        // A serial port has no reset of its own; Windows' serial driver also does nothing.
        return WithPort(handle, [](PortState&) { return true; });
    case SETBREAK:
        return Ioctl(handle, TIOCSBRK, 0);
    case CLRBREAK:
        return Ioctl(handle, TIOCCBRK, 0);
    default:
        return Fail(EINVAL);
    }
}

bool LinuxCommSystem::GetCommProperties(THandle handle, COMMPROP& prop) {
    return WithPort(handle, [&](PortState& port) {
        prop = COMMPROP{};
        prop.wPacketLength = sizeof(COMMPROP);
        prop.wPacketVersion = 2;
        prop.dwServiceMask = 0x00000001;  // SP_SERIALCOMM
        prop.dwMaxBaud = BAUD_USER;       // any rate, through BOTHER
        prop.dwProvSubType = 0x00000001;  // PST_RS232
        prop.dwProvCapabilities = 0x01FE; // no DTR/DSR flow; RTS/CTS, XON/XOFF, characters ...
        prop.dwSettableParams = 0x7F;     // parity, rate, data bits, stop bits, handshake ...
        prop.dwSettableBaud = 0x1007FFFF; // every standard rate and BAUD_USER
        prop.wSettableData = 0x000F;      // 5 to 8 data bits
        prop.wSettableStopParity = 0x1F07;
        prop.dwCurrentTxQueue = port.outQueue;
        prop.dwCurrentRxQueue = port.inQueue;
        return true;
    });
}

bool LinuxCommSystem::ReadFile(THandle handle, void* buffer, uint32_t count, uint32_t& read) {
    read = 0;
    if (count == 0) {
        return WithPort(handle, [](PortState&) { return true; });
    }
    ssize_t got;
    while ((got = ::read(handle, buffer, count)) < 0 && errno == EINTR) {
    }
    if (got < 0) {
        return errno == EAGAIN || FailErrno();
    }
    if (got == 0) {
        return Fail(EIO); // a hung-up line: the device has gone away
    }
    return WithPort(handle, [&](PortState& port) {
        auto* bytes = static_cast<char*>(buffer);
        char* end = bytes + got;
        if (port.written.fNull) {
            end = std::remove(bytes, end, '\0');
        }
        read = static_cast<uint32_t>(end - bytes);
        return true;
    });
}

bool LinuxCommSystem::WriteFile(THandle handle, const void* buffer, uint32_t count,
                                uint32_t timeoutMs, TSignalHandle cancelEvent, uint32_t& written) {
    written = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < count) {
        const ssize_t sent = ::write(handle, bytes + written, count - written);
        if (sent > 0) {
            written += static_cast<uint32_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            return FailErrno();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd fds[2] = {{handle, POLLOUT, 0}, {DescriptorOf(cancelEvent), POLLIN, 0}};
        const int ready = poll(fds, cancelEvent.Valid() ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return FailErrno();
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return true;
        }
        // POLLHUP or POLLERR: the next write reports the error.
    }
    return true;
}

int LinuxCommSystem::WaitInput(THandle handle, uint32_t timeoutMs, TSignalHandle cancelEvent) {
    // Level-triggered, unlike the receive thread's wait: bytes left unread count here.
    pollfd fds[2] = {{handle, POLLIN, 0}, {DescriptorOf(cancelEvent), POLLIN, 0}};
    const int ready = poll(fds, cancelEvent.Valid() ? 2 : 1,
                           static_cast<int>(std::min<uint32_t>(timeoutMs, INT32_MAX)));
    if (ready < 0) {
        if (errno == EINTR) {
            return 0; // the caller waits again for what is left of its time
        }
        SetLastError(errno);
        return -1;
    }
    return ready == 0 || (fds[1].revents & POLLIN) != 0 ? 0 : 1;
}

uint32_t LinuxCommSystem::UnreportedWrite(THandle) {
    return 0; // a write reports every byte the terminal took before it returns
}

uint32_t LinuxCommSystem::UncountedInput(uint32_t counted) {
    return counted >= LineDisciplineHolds ? TtyBufferLimit : 0;
}

int LinuxCommSystem::WaitWriteRoom(THandle handle, std::span<const TSignalHandle> wakers) {
    std::vector<pollfd> fds;
    fds.reserve(wakers.size() + 1);
    for (const TSignalHandle waker : wakers) {
        fds.push_back(pollfd{DescriptorOf(waker), POLLIN, 0});
    }
    fds.push_back(pollfd{handle, POLLOUT, 0});
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetLastError(errno);
            return -1;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                return static_cast<int>(i); // the device's own place is wakers.size()
            }
        }
    }
}

std::unique_ptr<ICommEventWaiter> LinuxCommSystem::CreateEventWaiter(THandle handle,
                                                                     TSignalHandle stopEvent) {
    return LinuxEventWaiter::Create(*this, handle, stopEvent);
}

TDeviceProbe LinuxCommSystem::ProbeDevice(const std::string& path) {
    // Sets no flag, so clears none: the lock goes with the descriptor.
    if (OpenUnlessHeld(path).Valid()) {
        return dpFree;
    }
    return IsDeviceNotFound(GetLastError()) ? dpMissing : dpBusy;
}

ICommSystem& DefaultCommSystem() {
    static LinuxCommSystem system;
    return system;
}

} // namespace SerialPlatform
