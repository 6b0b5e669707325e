#pragma once

// Line errors and modem-line changes from what the driver shows: its interrupt counters
// (TIOCGICOUNT), which real UARTs and most USB adapters keep and pseudo-terminals do not, and the
// present state of the modem lines (TIOCMGET), which pseudo-terminals do not have either.

#include <cstdint>
#include <linux/serial.h>

namespace SerialPlatform {

// Reads the counters. False with the error in GetLastError (DriverHasNo: the driver keeps none).
bool ReadCounters(int fd, serial_icounter_struct& counters);

// The line-error flags (CE_*) of the counters that grew from `before` to `after`.
uint32_t ErrorsBetween(const serial_icounter_struct& before, const serial_icounter_struct& after);

// The line events (EV_*) likewise: line errors, a break, changes of CTS, DSR, carrier and ring.
uint32_t EventsBetween(const serial_icounter_struct& before, const serial_icounter_struct& after);

// The modem input lines (TIOCM_CTS, TIOCM_DSR, TIOCM_CD, TIOCM_RNG) that the line events of
// `evtMask` are about.
int InputLinesOf(uint32_t evtMask);

// The line events (EV_CTS, EV_DSR, EV_RLSD, EV_RING) of the modem input lines that differ
// between two readings of TIOCMGET; the output lines (DTR, RTS) and other bits are ignored.
uint32_t LineEventsBetween(int before, int after);

} // namespace SerialPlatform
