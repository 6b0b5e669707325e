#pragma once

/// @file
/// The codes of the Windows serial interface, with their Windows values, for every system: the
/// component speaks them, and each system's layer maps them to its own. Free of any system
/// header. <windows.h> defines the same names as macros of the same values; a Win32 file that
/// includes it first keeps those, hence the guards.

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
/// @var EV_RXCHAR
/// Line event (EV_*): a bit of the driver's 32-bit event mask (TVaComm::EventMask), which
/// chooses the events that a wait reports. This one: a byte was received; Linux reports it when
/// new input becomes readable.
/// @var EV_RXFLAG
/// Line event: the event character (DCB::EvtChar) was received. Never on Linux, which has no
/// event character.
/// @var EV_TXEMPTY
/// Line event: the last byte of the output queue has been sent. Never from the Linux driver;
/// the port's transmit thread reports its emptied queue itself.
/// @var EV_CTS
/// Line event: the CTS (clear to send) input changed. Linux sees it where the driver tracks its
/// modem lines, never on a pseudo-terminal; likewise EV_DSR, EV_RLSD and EV_RING.
/// @var EV_DSR
/// Line event: the DSR (data set ready) input changed.
/// @var EV_RLSD
/// Line event: the RLSD (receive line signal detect, the carrier detect DCD) input changed.
/// @var EV_BREAK
/// Line event: a break was received. Linux sees it where the driver counts breaks, never on a
/// pseudo-terminal.
/// @var EV_ERR
/// Line event: a line error (CE_FRAME, CE_OVERRUN, CE_RXPARITY, CE_RXOVER) happened. Linux sees
/// it where the driver counts errors, never on a pseudo-terminal.
/// @var EV_RING
/// Line event: the RI (ring indicator) input changed.
/// @var EV_PERR
/// Line event: a printer error on a parallel port. Never on Linux.
/// @var EV_RX80FULL
/// Line event: the input queue is 80 % full. Never on Linux.
/// @var EV_EVENT1
/// Line event 1 of the driver's provider. Never on Linux.
/// @var EV_EVENT2
/// Line event 2 of the driver's provider. Never on Linux.
#endif

#ifndef PURGE_TXABORT
// Purge flags.
/// Purge flag (PURGE_*, for TVaComm::PurgeBuffers): ends the writes in progress. Nothing to do on
/// Linux, where no write outlives its call; likewise PURGE_RXABORT.
inline constexpr uint32_t PURGE_TXABORT = 0x01;
/// Purge flag: ends the reads in progress.
inline constexpr uint32_t PURGE_RXABORT = 0x02;
/// Purge flag: discards the bytes of the output queue not sent yet (Linux: TCOFLUSH).
inline constexpr uint32_t PURGE_TXCLEAR = 0x04;
/// Purge flag: discards the bytes of the input queue not read yet (Linux: TCIFLUSH). Any bit
/// other than the four purge flags is refused with EINVAL on Linux.
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
/// @var CE_RXOVER
/// Line-error flag (CE_*), as TVaComm's OnError and GetCommStatus report them; reading them from
/// the driver clears them. Linux takes them from the driver's interrupt counters (TIOCGICOUNT),
/// so a pseudo-terminal never has any. This one: the input queue overflowed, bytes were lost.
/// @var CE_OVERRUN
/// Line-error flag: the UART's character buffer overran, bytes were lost.
/// @var CE_RXPARITY
/// Line-error flag: a byte came with a wrong parity bit.
/// @var CE_FRAME
/// Line-error flag: a byte came without its stop bit.
/// @var CE_BREAK
/// Line-error flag: a break was received.
/// @var CE_TXFULL
/// Line-error flag: the output queue was full. Never on Linux.
#endif

#ifndef MS_CTS_ON
// Modem input lines.
/// Modem input line (MS_*) that is on, as the driver's GetCommModemStatus reports the lines
/// (TVaComm::GetModemStatus): CTS (clear to send). Linux reads the lines with TIOCMGET; a
/// pseudo-terminal has none.
inline constexpr uint32_t MS_CTS_ON = 0x0010;
/// Modem input line that is on: DSR (data set ready).
inline constexpr uint32_t MS_DSR_ON = 0x0020;
/// Modem input line that is on: RI (ring indicator).
inline constexpr uint32_t MS_RING_ON = 0x0040;
/// Modem input line that is on: RLSD (receive line signal detect, the carrier detect DCD).
inline constexpr uint32_t MS_RLSD_ON = 0x0080;
#endif

#ifndef SETXOFF
// Line functions.
inline constexpr uint32_t SETXOFF = 1; // stop sending as if XOFF had been received
inline constexpr uint32_t SETXON = 2;  // go on sending as if XON had been received
/// @var SETXOFF
/// Line function (for the driver's EscapeCommFunction): stops sending as if XOFF had been
/// received. Linux holds the output (TCOOFF) and shows it as COMSTAT_XOFF_HOLD until SETXON.
/// @var SETXON
/// Line function: goes on sending as if XON had been received.
///@{
/// Line functions: hold the RTS (request to send) output on, or off.
inline constexpr uint32_t SETRTS = 3;
inline constexpr uint32_t CLRRTS = 4;
///@}
///@{
/// Line functions: hold the DTR (data terminal ready) output on, or off.
inline constexpr uint32_t SETDTR = 5;
inline constexpr uint32_t CLRDTR = 6;
///@}
/// Line function: resets the device. A serial port has none: it does nothing, on Linux as with
/// Windows' serial driver.
inline constexpr uint32_t RESETDEV = 7;
/// Line function: holds the line in the break state until CLRBREAK (Linux: TIOCSBRK).
inline constexpr uint32_t SETBREAK = 8; // hold the line in the break state
/// Line function: ends the break state. Any other code is refused with EINVAL on Linux.
inline constexpr uint32_t CLRBREAK = 9;
#endif

#ifndef DTR_CONTROL_HANDSHAKE
// The device-control record's codes: DTR and RTS control, parity, stop bits.
///@{
/// DCB::fDtrControl: DTR held off, held on, or raised while input is wanted (handshake, which
/// Linux has no setting for and refuses with EINVAL).
inline constexpr uint8_t DTR_CONTROL_DISABLE = 0;
inline constexpr uint8_t DTR_CONTROL_ENABLE = 1;
inline constexpr uint8_t DTR_CONTROL_HANDSHAKE = 2;
///@}
///@{
/// DCB::fRtsControl: RTS held off, held on, raised while input is wanted (handshake; Linux's
/// CRTSCTS, one setting with DCB::fOutxCtsFlow), or raised while sending (toggle, which Linux
/// refuses with EINVAL).
inline constexpr uint8_t RTS_CONTROL_DISABLE = 0;
inline constexpr uint8_t RTS_CONTROL_ENABLE = 1;
inline constexpr uint8_t RTS_CONTROL_HANDSHAKE = 2;
inline constexpr uint8_t RTS_CONTROL_TOGGLE = 3;
///@}
///@{
/// DCB::Parity: no parity bit, odd, even, always 1 (mark), always 0 (space).
inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t MARKPARITY = 3;
inline constexpr uint8_t SPACEPARITY = 4;
///@}
///@{
/// DCB::StopBits: 1, 1.5 or 2 stop bits. Linux takes 1.5 only with 5 data bits and 2 only with
/// more; it refuses the others with EINVAL.
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t ONE5STOPBITS = 1;
inline constexpr uint8_t TWOSTOPBITS = 2;
///@}
#endif

#ifndef BAUD_USER
// The capability record: any rate may be set.
/// COMMPROP::dwMaxBaud and dwSettableBaud: any rate may be set. Linux reports it, as it sets
/// any rate.
inline constexpr uint32_t BAUD_USER = 0x10000000;
#endif

// The hold flags of the communications status (COMSTAT's bit fields fCtsHold and fXoffHold as
// one word); Windows has no names for them.
/// COMSTAT::Flags: output waits for CTS (CTS flow control is on and CTS is off).
inline constexpr uint32_t COMSTAT_CTS_HOLD = 0x01;
/// COMSTAT::Flags: output is stopped by XOFF. On Linux only a SETXOFF shows here; an XOFF
/// received from the peer does not.
inline constexpr uint32_t COMSTAT_XOFF_HOLD = 0x08;
