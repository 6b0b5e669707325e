#pragma once

// What the benchmark host and its echo programs agree on: the bytes the host sends, and the lines
// an echo program writes to its standard output.

#include <cstdint>

// Byte k of everything the host sends to one echo program. A period of 251 (a prime) does not
// line up with any buffer size, so a lost, doubled or reordered run of bytes shows at once.
inline char PatternByte(uint64_t k) {
    return static_cast<char>(k % 251);
}

// Lines of the echo program, one word first:
//   "ready"            the port is open and set up; the host may send
//   "lost <how>"       the program noticed that the line went away (an error or an event)
//   "error <what>"     the program found a fault and exits with a non-zero status
//   "done <in> <out>"  on SIGTERM: bytes received and bytes handed back for sending
// The echo program is started as "PROGRAM DEVICE" to echo, or "PROGRAM DEVICE --no-taker" to
// keep the port open and waiting as it would when echoing, but never take the received bytes.
inline constexpr const char* NoTaker = "--no-taker";
