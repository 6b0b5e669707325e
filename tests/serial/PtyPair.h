#pragma once

// The pseudo-terminal pair a serial test plays the peer on: its own on Linux; on Windows (under
// Wine) one the pty peer owns and maps as a COM port, reached over loopback TCP.

#ifdef _WIN32
#include "PeerPtyPair.h"
using PtyPair = PeerPtyPair;
#else
#include "LinuxPtyPair.h"
using PtyPair = LinuxPtyPair;
#endif
