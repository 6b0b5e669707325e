#pragma once

// The codes of the Windows serial interface, with their Windows values, for every system: the
// component speaks them, and each system's layer maps them to its own. Free of any system
// header. <windows.h> defines the same names as macros of the same values; a Win32 file that
// includes it first keeps those, hence the guards.

#include <cstdint>

#ifndef EV_RXCHAR
// Line events of the driver's 32-bit event mask.
inline constexpr uint32_t EV_RXCHAR = 0x0001;   // a byte was received
inline constexpr uint32_t EV_RXFLAG = 0x0002;   // the event character was received
inline constexpr uint32_t EV_TXEMPTY = 0x0004;  // the output queue has been sent
inline constexpr uint32_t EV_CTS = 0x0008;      // CTS changed
inline constexpr uint32_t EV_DSR = 0x0010;      // DSR changed
inline constexpr uint32_t EV_RLSD = 0x0020;     // carrier detect changed
inline constexpr uint32_t EV_BREAK = 0x0040;    // a break was received
inline constexpr uint32_t EV_ERR = 0x0080;      // framing, overrun or parity error
inline constexpr uint32_t EV_RING = 0x0100;     // ring indicator
inline constexpr uint32_t EV_PERR = 0x0200;     // printer error
inline constexpr uint32_t EV_RX80FULL = 0x0400; // input queue 80 % full
inline constexpr uint32_t EV_EVENT1 = 0x0800;   // provider event 1
inline constexpr uint32_t EV_EVENT2 = 0x1000;   // provider event 2
#endif

#ifndef PURGE_TXABORT
// Purge flags.
inline constexpr uint32_t PURGE_TXABORT = 0x01;
inline constexpr uint32_t PURGE_RXABORT = 0x02;
inline constexpr uint32_t PURGE_TXCLEAR = 0x04;
inline constexpr uint32_t PURGE_RXCLEAR = 0x08;
#endif

#ifndef CE_RXOVER
// Line-error flags; reading them from the driver clears them.
inline constexpr uint32_t CE_RXOVER = 0x0001;   // input queue overflow
inline constexpr uint32_t CE_OVERRUN = 0x0002;  // character buffer overrun
inline constexpr uint32_t CE_RXPARITY = 0x0004; // parity error
inline constexpr uint32_t CE_FRAME = 0x0008;    // framing error
inline constexpr uint32_t CE_BREAK = 0x0010;    // break detected
inline constexpr uint32_t CE_TXFULL = 0x0100;   // output queue full
#endif

#ifndef MS_CTS_ON
// Modem input lines.
inline constexpr uint32_t MS_CTS_ON = 0x0010;
inline constexpr uint32_t MS_DSR_ON = 0x0020;
inline constexpr uint32_t MS_RING_ON = 0x0040;
inline constexpr uint32_t MS_RLSD_ON = 0x0080;
#endif

#ifndef SETXOFF
// Line functions.
inline constexpr uint32_t SETXOFF = 1; // stop sending as if XOFF had been received
inline constexpr uint32_t SETXON = 2;  // go on sending as if XON had been received
inline constexpr uint32_t SETRTS = 3;
inline constexpr uint32_t CLRRTS = 4;
inline constexpr uint32_t SETDTR = 5;
inline constexpr uint32_t CLRDTR = 6;
inline constexpr uint32_t RESETDEV = 7;
inline constexpr uint32_t SETBREAK = 8; // hold the line in the break state
inline constexpr uint32_t CLRBREAK = 9;
#endif

#ifndef DTR_CONTROL_HANDSHAKE
// The device-control record's codes: DTR and RTS control, parity, stop bits.
inline constexpr uint8_t DTR_CONTROL_DISABLE = 0;
inline constexpr uint8_t DTR_CONTROL_ENABLE = 1;
inline constexpr uint8_t DTR_CONTROL_HANDSHAKE = 2;
inline constexpr uint8_t RTS_CONTROL_DISABLE = 0;
inline constexpr uint8_t RTS_CONTROL_ENABLE = 1;
inline constexpr uint8_t RTS_CONTROL_HANDSHAKE = 2;
inline constexpr uint8_t RTS_CONTROL_TOGGLE = 3;
inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t MARKPARITY = 3;
inline constexpr uint8_t SPACEPARITY = 4;
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t ONE5STOPBITS = 1;
inline constexpr uint8_t TWOSTOPBITS = 2;
#endif

#ifndef BAUD_USER
// The capability record: any rate may be set.
inline constexpr uint32_t BAUD_USER = 0x10000000;
#endif

// The hold flags of the communications status (COMSTAT's bit fields fCtsHold and fXoffHold as
// one word); Windows has no names for them.
inline constexpr uint32_t COMSTAT_CTS_HOLD = 0x01;
inline constexpr uint32_t COMSTAT_XOFF_HOLD = 0x08;
