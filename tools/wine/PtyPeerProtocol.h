#pragma once

// What a Windows test under Wine and the Linux pty peer say over loopback TCP. A Windows program
// cannot open a pseudo-terminal, so the peer owns the pair, maps its slave as a COM port of the
// Wine prefix and plays the master side on the test's behalf.
//
// A connection's first request makes a pair or joins one, so that a test's threads can each ask
// on a connection of their own (one sends while another receives); the pair ends with the last
// of its connections. Each request is answered by one reply. All numbers are little-endian
// 32-bit.
//   request: op, a, b, payload length, payload
//   reply:   status (negative: an errno), payload length, payload

#include <cstdint>

namespace PtyPeer {

enum Op : uint32_t {
    opMakePair = 1,      // a connection's first request; status: the pair's COM port number
    opJoinPair = 2,      // a connection's first request; a: a pair's COM port number
    opSend = 3,          // payload: bytes for the master to write
    opReceive = 4,       // a: most bytes, b: deadline in ms; reply payload: the bytes that came
    opCloseMaster = 5,   // the peer hangs up
    opSlaveInput = 6,    // status: bytes the slave has received and not read
    opModemLines = 7,    // status: the lines (below) as the port and the peer left them
    opSetModemLines = 8, // a: lines to raise, b: lines to drop; the peer's own lines only
    // A benchmark's side of the line, done by the peer so that TCP is not timed; each is
    // answered once done.
    opEcho = 9,   // a: request size, b: times; payload: the answer written after each request
    opSink = 10,  // a: bytes to read and drop
    opSource = 11 // a: times; payload: the chunk to write that many times
};

// The modem lines, numbered alike on both systems. The port drives DTR and RTS; the peer drives
// the others.
enum Line : uint32_t {
    lineDtr = 1,
    lineRts = 2,
    lineCts = 4,
    lineDsr = 8,
    lineRing = 16,
    lineCarrier = 32,
};
inline constexpr uint32_t PeerLines = lineCts | lineDsr | lineRing | lineCarrier;

// Nothing a test sends or receives in one request comes near this; a larger length is a broken
// stream, not a request.
inline constexpr uint32_t MaxPayload = 16u << 20;

// The variable that tells the test where the peer listens ("127.0.0.1:port").
inline constexpr const char* AddressVariable = "Q4471_PTY_PEER";

} // namespace PtyPeer
