#include "serial/platform/LinuxLineSettings.h"

#include <array>
#include <cerrno>
#include <sys/ioctl.h>
#include <utility>

namespace SerialPlatform {

namespace {

// The rates of the Bnnn codes. A rate that has one is written with it: programs that read the
// line through tcgetattr (stty, terminal programs) know only these codes, and see no rate at all
// in BOTHER.
constexpr std::array<std::pair<tcflag_t, uint32_t>, 31> StandardRates = {{
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
    {B0, 0},
}};

// The line discipline's fixed flow-control limits (TTY_THRESHOLD_UNTHROTTLE and _THROTTLE): it
// sends XON once at most this many bytes wait, and XOFF once fewer than this many are free.
constexpr uint16_t LineDisciplineXonLimit = 128;
constexpr uint16_t LineDisciplineXoffLimit = 128;

uint32_t RateOf(const termios2& tio) {
    const tcflag_t code = tio.c_cflag & CBAUD;
    if (code == BOTHER) {
        return tio.c_ospeed;
    }
    for (const auto& [bits, rate] : StandardRates) {
        if (bits == code) {
            return rate;
        }
    }
    return tio.c_ospeed;
}

// The code for `rate`: its Bnnn code, or BOTHER with the rate in c_ospeed.
tcflag_t SpeedCodeOf(uint32_t rate) {
    for (const auto& [bits, standard] : StandardRates) {
        if (standard == rate) {
            return bits;
        }
    }
    return BOTHER;
}

bool Refuse() {
    SetLastError(EINVAL);
    return false;
}

bool Unsupported(const DCB& dcb) {
    return dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
           dcb.StopBits > TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) ||
           (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5) || dcb.fOutxDsrFlow ||
           dcb.fDsrSensitivity || dcb.fDtrControl >= DTR_CONTROL_HANDSHAKE ||
           dcb.fRtsControl >= RTS_CONTROL_TOGGLE;
}

} // namespace

void MakeRaw(termios2& tio) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC |
                     IXANY | IMAXBEL | IUTF8);
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 1; // with the non-blocking descriptor: no data answers EAGAIN, 0 is a hang-up
    tio.c_cc[VTIME] = 0;
}

bool TermiosFromDCB(const DCB& dcb, termios2& tio) {
    if (Unsupported(dcb)) {
        return Refuse();
    }
    static constexpr std::array<tcflag_t, 4> Sizes = {CS5, CS6, CS7, CS8};
    tcflag_t cflag = CREAD | CLOCAL | SpeedCodeOf(dcb.BaudRate) | Sizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case ODDPARITY:
        cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        cflag |= PARENB;
        break;
    case MARKPARITY:
        cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != 0) {
        cflag |= CSTOPB;
    }
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        cflag |= CRTSCTS;
    }
    tio.c_cflag = cflag;
    tio.c_ispeed = dcb.BaudRate;
    tio.c_ospeed = dcb.BaudRate;
    tio.c_iflag = (dcb.fParity ? INPCK : 0) | (dcb.fOutX ? IXON : 0) | (dcb.fInX ? IXOFF : 0);
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    MakeRaw(tio);
    return true;
}

void DCBFromTermios(const termios2& tio, DCB& dcb) {
    dcb.BaudRate = RateOf(tio);
    dcb.fBinary = true;
    dcb.ByteSize = static_cast<uint8_t>(5 + (tio.c_cflag & CSIZE) / CS6);
    if ((tio.c_cflag & PARENB) == 0) {
        dcb.Parity = NOPARITY;
    } else if ((tio.c_cflag & CMSPAR) != 0) {
        dcb.Parity = (tio.c_cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (tio.c_cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
    }
    if ((tio.c_cflag & CSTOPB) == 0) {
        dcb.StopBits = 0;
    } else {
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    }
    const bool ctsRts = (tio.c_cflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = ctsRts;
    if (ctsRts) {
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    }
    dcb.fParity = (tio.c_iflag & INPCK) != 0;
    dcb.fOutX = (tio.c_iflag & IXON) != 0;
    dcb.fInX = (tio.c_iflag & IXOFF) != 0;
    dcb.fTXContinueOnXoff = true;
    dcb.XonLim = LineDisciplineXonLimit;
    dcb.XoffLim = LineDisciplineXoffLimit;
    dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
}

bool ReadTermios(int fd, termios2& tio) {
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

bool WriteTermios(int fd, const termios2& tio) {
    if (ioctl(fd, TCSETS2, &tio) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

} // namespace SerialPlatform
