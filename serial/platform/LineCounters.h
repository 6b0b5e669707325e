#pragma once

// Line errors and modem-line changes from the driver's interrupt counters (TIOCGICOUNT), which
// real UARTs and most USB adapters keep and pseudo-terminals do not.

#include <cstdint>
#include <linux/serial.h>

namespace SerialPlatform {

// Reads the counters. False with the error in GetLastError (DriverHasNo: the driver keeps none).
bool ReadCounters(int fd, serial_icounter_struct& counters);

// The line-error flags (CE_*) of the counters that grew from `before` to `after`.
uint32_t ErrorsBetween(const serial_icounter_struct& before, const serial_icounter_struct& after);

// The line events (EV_*) likewise: line errors, a break, changes of CTS, DSR, carrier and ring.
uint32_t EventsBetween(const serial_icounter_struct& before, const serial_icounter_struct& after);

} // namespace SerialPlatform
