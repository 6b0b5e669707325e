#pragma once

#include <q4471/serial/CommCodes.h>

#include <array>
#include <cstdint>
#include <initializer_list>

/// @file
/// The serial component's enumerations, sets and messages. The codes of the Windows serial
/// interface that the component speaks (line events, purge flags, line errors, modem lines, line
/// functions) are those of serial/CommCodes.h.

/// The line rates of Baudrate; VaBaudrateValues gives each one's bits per second.
enum TVaBaudrate : uint8_t {
    /// The rate of the port's UserBaudrate.
    brUser,
    /// 110 bits per second.
    br110,
    /// 300 bits per second.
    br300,
    /// 600 bits per second.
    br600,
    /// 1200 bits per second.
    br1200,
    /// 2400 bits per second.
    br2400,
    /// 4800 bits per second.
    br4800,
    /// 9600 bits per second.
    br9600,
    /// 14400 bits per second.
    br14400,
    /// 19200 bits per second.
    br19200,
    /// 38400 bits per second.
    br38400,
    /// 56000 bits per second.
    br56000,
    /// 57600 bits per second.
    br57600,
    /// 115200 bits per second.
    br115200,
    /// 128000 bits per second.
    br128000,
    /// 256000 bits per second.
    br256000,
};

/// The parity bit.
enum TVaParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
/// @var paNone
/// No parity bit.
/// @var paOdd
/// Odd parity.
/// @var paEven
/// Even parity.
/// @var paMark
/// The parity bit always 1.
/// @var paSpace
/// The parity bit always 0.

/// Data bits per character. Linux has no 4-bit characters: the port refuses db4 there.
enum TVaDatabits : uint8_t { db4, db5, db6, db7, db8 };
/// @var db4
/// 4 data bits.
/// @var db5
/// 5 data bits.
/// @var db6
/// 6 data bits.
/// @var db7
/// 7 data bits.
/// @var db8
/// 8 data bits.

/// Stop bits.
enum TVaStopbits : uint8_t { sb1, sb15, sb2 };
/// @var sb1
/// 1 stop bit.
/// @var sb15
/// 1.5 stop bits; only with 5 data bits (and sb2 only with more).
/// @var sb2
/// 2 stop bits.

/// Options of the port's Options set.
enum TVaCommOption : uint8_t { coErrorChar, coNullStrip, coParityCheck };
/// @var coErrorChar
/// A byte received with a parity error is replaced by EventChars().ErrorChar().
/// @var coNullStrip
/// Received NUL bytes are dropped.
/// @var coParityCheck
/// Received bytes are checked for parity.

/// The line events of MonitorEvents, each with its handler and its EV_* bit
/// (VaCommEventMasks).
enum TVaCommEvent : uint8_t {
    /// A break was received (OnBreak).
    ceBreak,
    /// CTS changed (OnCts).
    ceCts,
    /// DSR changed (OnDsr).
    ceDsr,
    /// A line error: framing, overrun or parity (OnError).
    ceError,
    /// A ring was detected (OnRing).
    ceRing,
    /// The carrier (RLSD) changed (OnRlsd).
    ceRlsd,
    /// Bytes were received (OnRxChar, OnRxBuf, the clients).
    ceRxChar,
    /// The last byte was sent (OnTxEmpty).
    ceTxEmpty,
    /// The event character was received (OnRxFlag).
    ceRxFlag,
    /// A printer error (OnPErr).
    cePErr,
    /// The receive queue is 80 % full (OnRx80Full).
    ceRx80Full,
    /// The first provider-specific event (OnEvent1).
    ceEvent1,
    /// The second provider-specific event (OnEvent2).
    ceEvent2,
};

/// Where a port runs its handlers, clients and display: on the GUI thread, each batch handed over
/// to it; or on the port's own threads, for a program that has no GUI thread to give.
enum TVaHandlerThread : uint8_t { htGuiThread, htPortThreads };
/// @var htGuiThread
/// Every handler, client and the display run on the GUI thread (the default).
/// @var htPortThreads
/// Data and line events run on the receive thread, OnTxEmpty and write errors on the transmit
/// thread; no display may be attached.

// The ordinals of these four enumerations are also the device-settings codes (DTR_CONTROL_*,
// RTS_CONTROL_*, the parity codes NOPARITY..SPACEPARITY and ONESTOPBIT..TWOSTOPBITS).
/// How the DTR line is driven (TVaFlowControl::ControlDtr).
enum TVaControlDtr : uint8_t { dtrDisabled, dtrEnabled, dtrHandshake };
/// @var dtrDisabled
/// DTR held off; SetDTR may raise it.
/// @var dtrEnabled
/// DTR held on while the port is open; SetDTR may drop it.
/// @var dtrHandshake
/// DTR handshake: the driver drives DTR and SetDTR is refused. Linux has none: opening or
/// setting it there raises the device-settings error.

/// How the RTS line is driven (TVaFlowControl::ControlRts).
enum TVaControlRts : uint8_t { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };
/// @var rtsDisabled
/// RTS held off; SetRTS may raise it.
/// @var rtsEnabled
/// RTS held on while the port is open; SetRTS may drop it.
/// @var rtsHandshake
/// RTS/CTS handshake: the driver drives RTS and SetRTS is refused.
/// @var rtsToggle
/// RTS on while bytes are being sent; SetRTS is refused. Linux has none, as dtrHandshake.

/// A set of the members of a small enumeration, stored in `Bits`: bit n stands for ordinal n.
template <class Enum, class Bits, int Count> class TVaSet {
    static_assert(Count <= static_cast<int>(sizeof(Bits) * 8));

public:
    /// The empty set.
    constexpr TVaSet() = default;
    /// The set of `members`, as in `TVaCommEvents{ceRxChar, ceError}`.
    constexpr TVaSet(std::initializer_list<Enum> members) {
        for (Enum member : members) {
            Insert(member);
        }
    }

    /// The set whose bits are `bits`. Bits that stand for no member are dropped, so a set read
    /// from storage stays well formed.
    static constexpr TVaSet FromBits(Bits bits) {
        TVaSet set;
        set.bits_ = static_cast<Bits>(bits & AllBits);
        return set;
    }
    /// The set's bits: bit n for the member of ordinal n.
    constexpr Bits ToBits() const { return bits_; }

    /// Whether `member` is in the set.
    constexpr bool Contains(Enum member) const { return (bits_ & BitOf(member)) != 0; }
    /// Adds `member`.
    constexpr void Insert(Enum member) { bits_ = static_cast<Bits>(bits_ | BitOf(member)); }
    /// Takes `member` out.
    constexpr void Remove(Enum member) { bits_ = static_cast<Bits>(bits_ & ~BitOf(member)); }
    /// True when the set has no member.
    constexpr bool Empty() const { return bits_ == 0; }

    /// Sets are equal when they hold the same members.
    friend constexpr bool operator==(TVaSet, TVaSet) = default;

private:
    static constexpr Bits AllBits = static_cast<Bits>((uint64_t{1} << Count) - 1);
    static constexpr Bits BitOf(Enum member) { return static_cast<Bits>(Bits{1} << member); }

    Bits bits_ = 0;
};

/// The port's Options: a set of TVaCommOption.
using TVaCommOptions = TVaSet<TVaCommOption, uint8_t, coParityCheck + 1>;
/// The port's MonitorEvents: a set of TVaCommEvent.
using TVaCommEvents = TVaSet<TVaCommEvent, uint16_t, ceEvent2 + 1>;

/// Bits per second of each TVaBaudrate member, by ordinal. brUser stands for the component's
/// UserBaudrate and counts as rate 0 when a rate is looked up.
inline constexpr std::array<uint32_t, br256000 + 1> VaBaudrateValues = {
    0,     110,   300,   600,   1200,  2400,   4800,   9600,
    14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

/// The event-mask bit of each TVaCommEvent member, by ordinal.
inline constexpr std::array<uint32_t, ceEvent2 + 1> VaCommEventMasks = {
    EV_BREAK,   EV_CTS,    EV_DSR,  EV_ERR,      EV_RING,   EV_RLSD,  EV_RXCHAR,
    EV_TXEMPTY, EV_RXFLAG, EV_PERR, EV_RX80FULL, EV_EVENT1, EV_EVENT2};

// Messages. "%d" takes the system's error code and "%s" its text, except in
// sErrDeviceNotFound and sErrOpenDevice, whose "%s" takes the device name.
// Each is the message of the EVaCommError that the port raises, filled in that way.
/// A setting that cannot change while the port is open (CheckOpen).
inline constexpr char sErrPortOpen[] = "Can't perform this operation while port is open";
/// An operation that needs an open port (GetProperties).
inline constexpr char sErrPortClosed[] = "Can't perform this operation while port is closed";
/// Open: there is no such device; `%s` takes the device name.
inline constexpr char sErrDeviceNotFound[] = "Specified device not found (%s).";
/// Open: the device exists but cannot be opened; `%s` takes the device name, and sErrOpenDeviceCode
/// follows with the reason.
inline constexpr char sErrOpenDevice[] = "Can't open specified device %s";
/// The reason appended to sErrOpenDevice.
inline constexpr char sErrOpenDeviceCode[] = " (Error %d, %s)";
/// The device refused the line settings (Open, a setting changed while open).
inline constexpr char sErrWriteDcb[] = "Error writing dcb (%d), %s";
/// The device refused the queue sizes, or the transmit queue could not be made.
inline constexpr char sErrInitBuffers[] = "Error initializing buffers (%d), %s";
/// The device refused the time-outs (Open).
inline constexpr char sErrSetTimeouts[] = "Error setting timeouts (%d), %s";
/// The device refused the watched line events (Open).
inline constexpr char sErrSetEventMask[] = " Error setting EventMask (%d), %s";
/// A line function failed (SetDTR, SetRTS, SetBreak, SetXon, ResetDev).
inline constexpr char sErrCommFunction[] = "Error calling comm function (%d), %s";
/// GetProperties failed.
inline constexpr char sErrReadProperties[] = "Error reading port properties (%d), %s";
/// ResetPortParameters could not read the device's settings.
inline constexpr char sErrDefaultParameters[] = "Error reading default port parameters.";
/// A direct write failed.
inline constexpr char sErrWrite[] = "Write error (%d), %s";
/// A read failed.
inline constexpr char sErrRead[] = "Read error (%d), %s";
/// A queued write found no room in the transmit queue within WriteTimeout.
inline constexpr char sErrOutputFull[] = "Output buffer is full. Please check comm status.";
/// A purge failed.
inline constexpr char sErrClearBuffers[] = "Error clearing buffers (%d), %s";
/// A status query failed (GetCommStatus and the queries built on it).
inline constexpr char sErrStatistics[] = "Error retrieving statistics (%d), %s";
/// GetModemStatus failed.
inline constexpr char sErrModemState[] = "Error reading modem state (%d), %s";
/// A device that stopped answering while the port was open; `"%s"` takes the device name, and
/// sErrDeviceLostCode follows with the reason (OnDeviceLost, or the error display).
inline constexpr char sErrDeviceLost[] = "Connection to %s lost";
/// The reason appended to sErrDeviceLost.
inline constexpr char sErrDeviceLostCode[] = " (%d), %s";
/// SetDisplay, or HandlerThread htPortThreads with a display attached: a display is a widget.
inline constexpr char sErrDisplayOnPortThreads[] =
    "A display is refreshed on the GUI thread: it cannot serve a port whose handlers run on the "
    "port's threads.";
/// SetDTR under DTR handshake.
inline constexpr char sErrDtrHandshake[] =
    "DTR line updates not allowed when flowcontrol is set to Handshake.";
/// SetRTS under RTS handshake or toggle.
inline constexpr char sErrRtsHandshake[] =
    "RTS line updates not allowed when flowcontrol is set to Handshake or Toggle.";
