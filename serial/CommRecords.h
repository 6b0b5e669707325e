#pragma once

// The records of the Windows serial interface that the port hands to its users (the
// device-control record, the status, the capabilities) and the open device's handle type. Free
// of any system header; <windows.h> makes INVALID_HANDLE_VALUE a macro, kept out of here
// whichever comes first.

#include "serial/CommCodes.h"

#include <cstdint>

#pragma push_macro("INVALID_HANDLE_VALUE")
#undef INVALID_HANDLE_VALUE

namespace SerialPlatform {

// An open serial device: the system's own handle type, a HANDLE on Windows, a file descriptor
// on Linux.
#ifdef _WIN32
using THandle = void*;
inline const THandle INVALID_HANDLE_VALUE = reinterpret_cast<THandle>(std::intptr_t{-1});
#else
using THandle = int;
inline constexpr THandle INVALID_HANDLE_VALUE = -1;
#endif

// The device-control record. Members without a place on the host are kept by the platform layer
// for the open handle, so that reading the record back gives what was written (see
// LinuxLineSettings.h).
struct DCB {
    uint32_t BaudRate = 0;
    bool fBinary = false;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    uint8_t fDtrControl = 0; // DTR_CONTROL_DISABLE, _ENABLE, _HANDSHAKE
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    uint8_t fRtsControl = 0; // RTS_CONTROL_DISABLE, _ENABLE, _HANDSHAKE, _TOGGLE
    bool fAbortOnError = false;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;   // NOPARITY .. SPACEPARITY
    uint8_t StopBits = 0; // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;

    friend bool operator==(const DCB&, const DCB&) = default;
};

struct COMMTIMEOUTS {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// The communications status: the hold flags, then the bytes in the input and output queues.
struct COMSTAT {
    uint32_t Flags = 0;
    uint32_t cbInQue = 0;
    uint32_t cbOutQue = 0;
};

// The capability record (64 bytes, as on Windows).
struct COMMPROP {
    uint16_t wPacketLength = 0;
    uint16_t wPacketVersion = 0;
    uint32_t dwServiceMask = 0;
    uint32_t dwReserved1 = 0;
    uint32_t dwMaxTxQueue = 0;
    uint32_t dwMaxRxQueue = 0;
    uint32_t dwMaxBaud = 0;
    uint32_t dwProvSubType = 0;
    uint32_t dwProvCapabilities = 0;
    uint32_t dwSettableParams = 0;
    uint32_t dwSettableBaud = 0;
    uint16_t wSettableData = 0;
    uint16_t wSettableStopParity = 0;
    uint32_t dwCurrentTxQueue = 0;
    uint32_t dwCurrentRxQueue = 0;
    uint32_t dwProvSpec1 = 0;
    uint32_t dwProvSpec2 = 0;
    uint16_t wcProvChar[1] = {0};
};
static_assert(sizeof(COMMPROP) == 64);

} // namespace SerialPlatform

#pragma pop_macro("INVALID_HANDLE_VALUE")
