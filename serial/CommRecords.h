#pragma once

/// @file
/// The records of the Windows serial interface that the port hands to its users (the
/// device-control record, the status, the capabilities) and the open device's handle type. Free
/// of any system header; <windows.h> makes INVALID_HANDLE_VALUE a macro, kept out of here
/// whichever comes first.

#include <q4471/serial/CommCodes.h>

#include <cstdint>

#pragma push_macro("INVALID_HANDLE_VALUE")
#undef INVALID_HANDLE_VALUE

/// The operating system's serial services as the component sees them, in the names and records
/// of the Windows serial interface on every system.
namespace SerialPlatform {

///@{
/// An open serial device (TVaComm::Handle): the system's own handle type, a HANDLE on Windows, a
/// file descriptor on Linux; INVALID_HANDLE_VALUE is none (-1 on both).
#ifdef _WIN32
using THandle = void*;
inline const THandle INVALID_HANDLE_VALUE = reinterpret_cast<THandle>(std::intptr_t{-1});
#else
using THandle = int;
inline constexpr THandle INVALID_HANDLE_VALUE = -1;
#endif
///@}

/// The device-control record (Windows' DCB): the line settings of a device, as TVaComm::ReadDCB
/// takes them. Windows' DCBlength is left out. Linux carries the record out in termios2; a
/// setting it cannot carry out is refused with EINVAL, so that nothing is silently lost (the
/// members say which). Members without a place in termios (fErrorChar, fNull, XonLim, XoffLim,
/// ErrorChar, EofChar, EvtChar) are kept by the platform layer for the open handle, so that
/// reading the record back while this process has the device open gives what was written.
struct DCB {
    /// The line rate in bits per second. Linux sets any rate but 0 (0 would hang up the line).
    uint32_t BaudRate = 0;
    /// No end-of-file processing of the input. Windows takes only true; Linux has no such
    /// processing and reads it back as true.
    bool fBinary = false;
    /// Checks the parity of received bytes. On Linux a byte with a parity or framing error then
    /// reads as 0.
    bool fParity = false;
    /// Output waits while CTS is off. Linux's CRTSCTS, one setting with RTS_CONTROL_HANDSHAKE:
    /// either turns it on, and the record reads back with both.
    bool fOutxCtsFlow = false;
    /// Output waits while DSR is off. Linux has no such setting and refuses it.
    bool fOutxDsrFlow = false;
    /// How DTR is driven: a DTR_CONTROL_* code.
    uint8_t fDtrControl = 0; // DTR_CONTROL_DISABLE, _ENABLE, _HANDSHAKE
    /// Received bytes are dropped while DSR is off. Linux has no such setting and refuses it.
    bool fDsrSensitivity = false;
    /// Output goes on after this side has sent XOFF. Linux always does so, and reads it back as
    /// true.
    bool fTXContinueOnXoff = false;
    /// XON/XOFF flow control of the output: sending stops at a received XoffChar and goes on at
    /// XonChar (Linux: IXON).
    bool fOutX = false;
    /// XON/XOFF flow control of the input: XoffChar is sent when the input queue fills and
    /// XonChar when it empties again (Linux: IXOFF).
    bool fInX = false;
    /// Bytes received with a parity error are replaced by ErrorChar. Kept only, on Linux.
    bool fErrorChar = false;
    /// Received NUL bytes are dropped. Linux's platform layer drops them as it reads.
    bool fNull = false;
    /// How RTS is driven: an RTS_CONTROL_* code.
    uint8_t fRtsControl = 0; // RTS_CONTROL_DISABLE, _ENABLE, _HANDSHAKE, _TOGGLE
    /// Reads and writes fail after a line error until the error flags are read. Windows only;
    /// Linux leaves it out and reads it back as false. TVaComm writes false.
    bool fAbortOnError = false;
    /// XON is sent once no more than this many bytes wait in the input queue (with fInX). On
    /// Linux the line discipline's limit is fixed at 128; the value is kept only.
    uint16_t XonLim = 0;
    /// XOFF is sent once fewer than this many bytes are free in the input queue (with fInX). On
    /// Linux the limit is fixed at 128; the value is kept only.
    uint16_t XoffLim = 0;
    /// Data bits per byte: 4 to 8 on Windows, 5 to 8 on Linux.
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;   // NOPARITY .. SPACEPARITY
    uint8_t StopBits = 0; // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    /// @var Parity
    /// The parity bit: NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY or SPACEPARITY.
    /// @var StopBits
    /// The stop bits: ONESTOPBIT, ONE5STOPBITS or TWOSTOPBITS.
    ///@{
    /// The XON and XOFF characters of the flow control (Linux: VSTART and VSTOP).
    char XonChar = 0;
    char XoffChar = 0;
    ///@}
    /// The replacement of a byte received with a parity error (fErrorChar). Kept only, on
    /// Linux, where such a byte reads as 0.
    char ErrorChar = 0;
    /// The end-of-input character. Kept only, on Linux, where it has no use without line
    /// editing.
    char EofChar = 0;
    /// The character whose arrival is the event EV_RXFLAG. Kept only, on Linux, which has no
    /// event character.
    char EvtChar = 0;

    /// Whether all members are equal.
    friend bool operator==(const DCB&, const DCB&) = default;
};

/// The time limits of reads and writes on a device, in milliseconds (Windows' COMMTIMEOUTS).
/// The port sets "reads return at once with what has arrived" (ReadIntervalTimeout 0xFFFFFFFF,
/// both other read members 0) and bounds its writes itself; Linux takes only that record and
/// refuses any other read limits with EINVAL. It ignores the write members.
struct COMMTIMEOUTS {
    /// The longest gap between two received bytes; 0xFFFFFFFF with the other read members 0:
    /// no wait at all.
    uint32_t ReadIntervalTimeout = 0;
    ///@{
    /// A read's whole limit: the multiplier times the bytes asked for, plus the constant.
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    ///@}
    ///@{
    /// A write's whole limit: the multiplier times the bytes written, plus the constant.
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
    ///@}
};

/// The communications status (Windows' COMSTAT): the hold flags, then the bytes in the input and
/// output queues, as TVaComm::GetCommStatus reads them.
struct COMSTAT {
    /// Why output waits: COMSTAT_CTS_HOLD, COMSTAT_XOFF_HOLD. Windows also sets its other bit
    /// fields here, in their order (DSR hold 0x02, RLSD hold 0x04, XOFF sent 0x10, end of file
    /// 0x20, a byte waiting to go ahead of the queue 0x40); Linux sets only the two named ones.
    uint32_t Flags = 0;
    /// Bytes received and not read yet.
    uint32_t cbInQue = 0;
    /// Bytes written and not sent yet.
    uint32_t cbOutQue = 0;
};

/// The capability record (Windows' COMMPROP, 64 bytes like it), as TVaComm::Properties
/// holds it. The masks carry Windows' bit values (SP_*, PCF_*, BAUD_*, DATABITS_*, STOPBITS_*,
/// PARITY_*); Linux fills in the same record for every device, the values below.
struct COMMPROP {
    /// The record's size in bytes: 64.
    uint16_t wPacketLength = 0;
    /// The record's version: 2.
    uint16_t wPacketVersion = 0;
    /// The service: SP_SERIALCOMM (1).
    uint32_t dwServiceMask = 0;
    /// Reserved: 0.
    uint32_t dwReserved1 = 0;
    ///@{
    /// The largest output and input queues in bytes the driver allows; 0: no limit (Linux).
    uint32_t dwMaxTxQueue = 0;
    uint32_t dwMaxRxQueue = 0;
    ///@}
    /// The highest rate, a BAUD_* bit; Linux: BAUD_USER, any rate.
    uint32_t dwMaxBaud = 0;
    /// The kind of device: PST_RS232 (1) on Linux.
    uint32_t dwProvSubType = 0;
    /// What the driver can do, PCF_* bits. Linux: 0x01FE, everything but DTR/DSR flow control.
    uint32_t dwProvCapabilities = 0;
    /// What may be set, SP_* bits. Linux: 0x7F, parity, rate, data bits, stop bits, handshake,
    /// parity checking, carrier detect.
    uint32_t dwSettableParams = 0;
    /// The settable rates, BAUD_* bits. Linux: 0x1007FFFF, every standard rate and BAUD_USER.
    uint32_t dwSettableBaud = 0;
    /// The settable data bits, DATABITS_* bits. Linux: 0x000F, 5 to 8.
    uint16_t wSettableData = 0;
    /// The settable stop bits (STOPBITS_*, low byte) and parities (PARITY_*, high byte). Linux:
    /// 0x1F07, 1, 1.5 and 2 stop bits and every parity.
    uint16_t wSettableStopParity = 0;
    ///@{
    /// The output and input queues' sizes in bytes. Linux's queues are fixed: it reports the
    /// sizes the port asked for (TVaComm's Buffers).
    uint32_t dwCurrentTxQueue = 0;
    uint32_t dwCurrentRxQueue = 0;
    ///@}
    ///@{
    /// The driver's own data; 0 on Linux.
    uint32_t dwProvSpec1 = 0;
    uint32_t dwProvSpec2 = 0;
    uint16_t wcProvChar[1] = {0};
    ///@}
};
static_assert(sizeof(COMMPROP) == 64);

} // namespace SerialPlatform

#pragma pop_macro("INVALID_HANDLE_VALUE")
