/// @file
/// The serial component's exception and its integer range types.
#pragma once

#include <q4471/framework/Exception.h>
#include <q4471/framework/Export.h>

#include <cstdint>
#include <string>

/// What an EVaCommError reports, for a program that acts on the failure rather than on its text.
/// docs/component/README.md maps the kinds to QSerialPort's errors.
enum TVaCommErrorKind {
    ekSystemError,    ///< A system call failed otherwise; SystemCode() says how.
    ekDeviceMissing,  ///< Open: there is no such device (or no hardware behind its node).
    ekNoPermission,   ///< Open: the user may not open the device (Linux: not in `dialout`).
    ekBusy,           ///< Open: another program, or another port, holds the device.
    ekDeviceGone,     ///< The open device has gone away: a pulled adapter, a hung-up line.
    ekRefusedSetting, ///< The device refused a setting; Setting() names it.
    ekPortOpen,       ///< Refused while the port is open.
    ekPortClosed,     ///< Needs an open port.
    ekTimedOut,       ///< A queued write found no room in time; Transferred() tells what went.
    ekLineControl,    ///< SetDTR or SetRTS while that line belongs to the handshake.
    ekUnsupported     ///< Not possible in the port's mode (a display with htPortThreads).
};

/// The serial component's one exception class: its message text (what(), Message()), the kind of
/// failure, and the system's error code behind it (0 for a refusal of the component's own).
class Q4471_API EVaCommError : public q4471::Exception {
public:
    /// An error with `message` and what a program needs to act on it.
    explicit EVaCommError(std::string message, TVaCommErrorKind kind = ekSystemError,
                          int systemCode = 0)
        : q4471::Exception(std::move(message)), kind_(kind), systemCode_(systemCode) {}
    /// Defined out of line, so that the class's type information lives in the library.
    ~EVaCommError() override;

    /// What failed.
    TVaCommErrorKind Kind() const noexcept { return kind_; }
    /// The system's error code (errno on Linux, GetLastError's on Windows); 0 when none.
    int SystemCode() const noexcept { return systemCode_; }
    /// For ekRefusedSetting: the property the device refused ("Databits", "FlowControl"; for an
    /// Open, those set since the device last took the settings, comma-separated; empty when
    /// unknown).
    const std::string& Setting() const noexcept { return setting_; }
    /// For ekTimedOut: how many bytes of the write the device took before the time ran out.
    /// Nothing else of the write stays queued.
    int32_t Transferred() const noexcept { return transferred_; }

    /// Sets Setting(); for the component.
    EVaCommError& WithSetting(std::string setting) {
        setting_ = std::move(setting);
        return *this;
    }
    /// Sets Transferred(); for the component.
    EVaCommError& WithTransferred(int32_t count) {
        transferred_ = count;
        return *this;
    }

private:
    TVaCommErrorKind kind_;
    int systemCode_;
    std::string setting_;
    int32_t transferred_ = 0;
};

/// Queue sizes, time-outs and limits: 0..2147483647. Plain integers; the option groups store any
/// value they are given, so callers keep to the range.
using TVaIntW = int32_t;

/// Port numbers: 0..2147483647, like TVaIntW.
using TVaPortInt = int32_t;
