// The settings record: any device-control record written into the terminal settings and read
// back. A record that is taken keeps every setting Linux carries (rate, framing, flow control,
// XON and XOFF characters); one that is refused leaves the settings untouched and says EINVAL.
// What is read back is taken again unchanged, and a pseudo-terminal given the settings hands
// them back as its driver keeps them (always 8 data bits without parity).

#include "serial/platform/LinuxLineSettings.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

using namespace SerialPlatform;

namespace {

int terminal = -1; // the slave side of a pseudo-terminal, kept for the whole run

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "PROPERTY FAILED: %s\n", what);
        std::abort();
    }
}

bool SameSettings(const termios2& a, const termios2& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && a.c_ispeed == b.c_ispeed && a.c_ospeed == b.c_ospeed &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

DCB RecordFrom(FuzzedDataProvider& input) {
    DCB dcb;
    dcb.BaudRate = input.ConsumeIntegral<uint32_t>();
    for (bool* flag : {&dcb.fBinary, &dcb.fParity, &dcb.fOutxCtsFlow, &dcb.fOutxDsrFlow,
                       &dcb.fDsrSensitivity, &dcb.fTXContinueOnXoff, &dcb.fOutX, &dcb.fInX,
                       &dcb.fErrorChar, &dcb.fNull, &dcb.fAbortOnError}) {
        *flag = input.ConsumeBool();
    }
    for (uint8_t* small :
         {&dcb.fDtrControl, &dcb.fRtsControl, &dcb.ByteSize, &dcb.Parity, &dcb.StopBits}) {
        *small = input.ConsumeIntegralInRange<uint8_t>(0, 9);
    }
    dcb.XonLim = input.ConsumeIntegral<uint16_t>();
    dcb.XoffLim = input.ConsumeIntegral<uint16_t>();
    for (char* ch : {&dcb.XonChar, &dcb.XoffChar, &dcb.ErrorChar, &dcb.EofChar, &dcb.EvtChar}) {
        *ch = input.ConsumeIntegral<char>();
    }
    return dcb;
}

// The settings a pseudo-terminal's driver keeps of `dcb`: it forces 8 data bits and no parity.
DCB AsPseudoTerminalKeeps(DCB dcb) {
    dcb.ByteSize = 8;
    dcb.Parity = 0;
    dcb.StopBits = dcb.StopBits == 0 ? 0 : TWOSTOPBITS;
    return dcb;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    Require(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0, "no pseudo-terminal");
    terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    Require(terminal >= 0, "the pseudo-terminal does not open");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const DCB dcb = RecordFrom(input);
    termios2 tio{};
    tio.c_cflag = input.ConsumeIntegral<tcflag_t>(); // whatever the settings held before
    tio.c_iflag = input.ConsumeIntegral<tcflag_t>();
    const termios2 before = tio;

    SetLastError(0);
    if (!TermiosFromDCB(dcb, tio)) {
        Require(GetLastError() == EINVAL, "a refusal without EINVAL");
        Require(SameSettings(tio, before), "a refused record changed the settings");
        return 0;
    }
    DCB back;
    DCBFromTermios(tio, back);
    Require(back.BaudRate == dcb.BaudRate, "the rate changed");
    Require(back.ByteSize == dcb.ByteSize, "the data bits changed");
    Require(back.Parity == dcb.Parity, "the parity changed");
    Require(back.StopBits == dcb.StopBits, "the stop bits changed");
    Require(back.fParity == dcb.fParity, "parity checking changed");
    Require(back.fOutX == dcb.fOutX && back.fInX == dcb.fInX, "XON/XOFF flow control changed");
    Require(back.XonChar == dcb.XonChar && back.XoffChar == dcb.XoffChar,
            "the XON or XOFF character changed");
    Require(back.fOutxCtsFlow == (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE),
            "CTS/RTS flow control changed");

    termios2 again{};
    Require(TermiosFromDCB(back, again), "a record read back is refused");
    Require(SameSettings(again, tio), "a record read back gives other settings");

    Require(WriteTermios(terminal, tio), "the pseudo-terminal refuses the settings");
    termios2 device{};
    Require(ReadTermios(terminal, device), "the pseudo-terminal's settings do not read");
    DCB fromDevice;
    DCBFromTermios(device, fromDevice);
    Require(fromDevice == AsPseudoTerminalKeeps(back), "the pseudo-terminal gives other settings");
    return 0;
}
