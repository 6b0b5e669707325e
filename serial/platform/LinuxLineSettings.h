#pragma once

// The device-control record on Linux's termios2: a standard rate goes by its Bnnn code, any other
// by BOTHER, which takes any bit rate. Kept apart because <asm/termbits.h> and the C library's
// <termios.h> cannot meet in one file.

#include "serial/platform/CommPlatform.h"

#include <asm/termbits.h>

namespace SerialPlatform {

// Turns off every kind of line processing (echo, line editing, signals, CR/LF translation,
// output processing) and makes a read return at once with what has arrived, keeping the line
// settings (rate, framing, flow control, characters) as they are. A Windows serial port has no
// such processing, and the radio's bytes must pass unchanged.
void MakeRaw(termios2& tio);

// Writes the line settings of `dcb` into `tio`, raw as MakeRaw leaves it. Answers false with
// EINVAL in GetLastError for a setting Linux cannot carry out:
// - a rate of 0 (on Linux it hangs up the line) and 4 data bits;
// - 1.5 stop bits other than with 5 data bits (a UART's two stop bits with 5 data bits are
//   1.5), and 2 stop bits with 5 data bits;
// - DSR flow control, DTR handshake, DSR sensitivity and RTS toggle, for which termios has
//   no setting: refused rather than silently left out, so that no flow control is lost.
// Carried out as far as Linux goes, and documented here:
// - CTS flow and RTS handshake are one setting (CRTSCTS) on Linux; either one turns it on;
// - with parity checking a byte received with a parity or framing error reads as 0: the
//   error character of Windows is always 0 here;
// - Linux sends its own XOFF and goes on transmitting, as with fTXContinueOnXoff set;
// - XonLim and XoffLim: the line discipline has fixed limits, which DCBFromTermios reports;
// - EvtChar and EofChar: there is no event character; EofChar has no use without line editing.
// DTR and RTS held on or off, and the members that only the platform layer keeps (null
// stripping, the characters and limits above) are carried out by the caller.
bool TermiosFromDCB(const DCB& dcb, termios2& tio);

// The line settings that `tio` holds, as a device-control record.
void DCBFromTermios(const termios2& tio, DCB& dcb);

bool ReadTermios(int fd, termios2& tio);
bool WriteTermios(int fd, const termios2& tio);

} // namespace SerialPlatform
