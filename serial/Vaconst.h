#pragma once

#include "serial/CommCodes.h"

#include <array>
#include <cstdint>
#include <initializer_list>

// The serial component's enumerations, sets and messages. The codes of the Windows serial
// interface that the component speaks (line events, purge flags, line errors, modem lines, line
// functions) are those of serial/CommCodes.h.

enum TVaBaudrate : uint8_t {
    brUser,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};

enum TVaParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };

enum TVaDatabits : uint8_t { db4, db5, db6, db7, db8 };

enum TVaStopbits : uint8_t { sb1, sb15, sb2 };

enum TVaCommOption : uint8_t { coErrorChar, coNullStrip, coParityCheck };

enum TVaCommEvent : uint8_t {
    ceBreak,
    ceCts,
    ceDsr,
    ceError,
    ceRing,
    ceRlsd,
    ceRxChar,
    ceTxEmpty,
    ceRxFlag,
    cePErr,
    ceRx80Full,
    ceEvent1,
    ceEvent2,
};

// The ordinals of these four enumerations are also the device-settings codes (DTR_CONTROL_*,
// RTS_CONTROL_*, the parity codes NOPARITY..SPACEPARITY and ONESTOPBIT..TWOSTOPBITS).
enum TVaControlDtr : uint8_t { dtrDisabled, dtrEnabled, dtrHandshake };

enum TVaControlRts : uint8_t { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };

// A set of the members of a small enumeration, stored in `Bits`: bit n stands for ordinal n.
template <class Enum, class Bits, int Count> class TVaSet {
    static_assert(Count <= static_cast<int>(sizeof(Bits) * 8));

public:
    constexpr TVaSet() = default;
    constexpr TVaSet(std::initializer_list<Enum> members) {
        for (Enum member : members) {
            Insert(member);
        }
    }

    // Bits that stand for no member are dropped, so a set read from storage stays well formed.
    static constexpr TVaSet FromBits(Bits bits) {
        TVaSet set;
        set.bits_ = static_cast<Bits>(bits & AllBits);
        return set;
    }
    constexpr Bits ToBits() const { return bits_; }

    constexpr bool Contains(Enum member) const { return (bits_ & BitOf(member)) != 0; }
    constexpr void Insert(Enum member) { bits_ = static_cast<Bits>(bits_ | BitOf(member)); }
    constexpr void Remove(Enum member) { bits_ = static_cast<Bits>(bits_ & ~BitOf(member)); }
    constexpr bool Empty() const { return bits_ == 0; }

    friend constexpr bool operator==(TVaSet, TVaSet) = default;

private:
    static constexpr Bits AllBits = static_cast<Bits>((uint64_t{1} << Count) - 1);
    static constexpr Bits BitOf(Enum member) { return static_cast<Bits>(Bits{1} << member); }

    Bits bits_ = 0;
};

using TVaCommOptions = TVaSet<TVaCommOption, uint8_t, coParityCheck + 1>;
using TVaCommEvents = TVaSet<TVaCommEvent, uint16_t, ceEvent2 + 1>;

// Bits per second of each TVaBaudrate member, by ordinal. brUser stands for the component's
// UserBaudrate and counts as rate 0 when a rate is looked up.
inline constexpr std::array<uint32_t, br256000 + 1> VaBaudrateValues = {
    0,     110,   300,   600,   1200,  2400,   4800,   9600,
    14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// The event-mask bit of each TVaCommEvent member, by ordinal.
inline constexpr std::array<uint32_t, ceEvent2 + 1> VaCommEventMasks = {
    EV_BREAK,   EV_CTS,    EV_DSR,  EV_ERR,      EV_RING,   EV_RLSD,  EV_RXCHAR,
    EV_TXEMPTY, EV_RXFLAG, EV_PERR, EV_RX80FULL, EV_EVENT1, EV_EVENT2};

// Messages. "%d" takes the system's error code and "%s" its text, except in
// sErrDeviceNotFound and sErrOpenDevice, whose "%s" takes the device name.
inline constexpr char sErrPortOpen[] = "Can't perform this operation while port is open";
inline constexpr char sErrPortClosed[] = "Can't perform this operation while port is closed";
inline constexpr char sErrDeviceNotFound[] = "Specified device not found (%s).";
inline constexpr char sErrOpenDevice[] = "Can't open specified device %s";
inline constexpr char sErrOpenDeviceCode[] = " (Error %d, %s)";
inline constexpr char sErrWriteDcb[] = "Error writing dcb (%d), %s";
inline constexpr char sErrInitBuffers[] = "Error initializing buffers (%d), %s";
inline constexpr char sErrSetTimeouts[] = "Error setting timeouts (%d), %s";
inline constexpr char sErrSetEventMask[] = " Error setting EventMask (%d), %s";
inline constexpr char sErrCommFunction[] = "Error calling comm function (%d), %s";
inline constexpr char sErrReadProperties[] = "Error reading port properties (%d), %s";
inline constexpr char sErrDefaultParameters[] = "Error reading default port parameters.";
inline constexpr char sErrWrite[] = "Write error (%d), %s";
inline constexpr char sErrRead[] = "Read error (%d), %s";
inline constexpr char sErrOutputFull[] = "Output buffer is full. Please check comm status.";
inline constexpr char sErrClearBuffers[] = "Error clearing buffers (%d), %s";
inline constexpr char sErrStatistics[] = "Error retrieving statistics (%d), %s";
inline constexpr char sErrModemState[] = "Error reading modem state (%d), %s";
// A device that stopped answering while the port was open; "%s" takes the device name.
inline constexpr char sErrDeviceLost[] = "Connection to %s lost";
inline constexpr char sErrDeviceLostCode[] = " (%d), %s";
inline constexpr char sErrDtrHandshake[] =
    "DTR line updates not allowed when flowcontrol is set to Handshake.";
inline constexpr char sErrRtsHandshake[] =
    "RTS line updates not allowed when flowcontrol is set to Handshake or Toggle.";
