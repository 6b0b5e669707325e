#include "serial/VaCommFormat.h"

#include <q4471/serial/SystemErrors.h>
#include <q4471/serial/Vaconst.h>

using namespace SerialPlatform;

std::string FormatNumber(std::string_view pattern, int64_t number) {
    std::string result;
    bool filled = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                result += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 'd' && !filled) {
                result += std::to_string(number);
                filled = true;
                ++i;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}

std::string FormatText(std::string_view pattern, std::string_view text) {
    std::string result(pattern);
    if (const auto at = result.find("%s"); at != std::string::npos) {
        result.replace(at, 2, text);
    }
    return result;
}

std::string FormatSystemError(std::string_view msg, int code, std::string_view text) {
    // The text goes in last, so that a "%d" in it stays as it is.
    std::string withCode(msg);
    if (const auto at = withCode.find("%d"); at != std::string::npos) {
        withCode.replace(at, 2, std::to_string(code));
    }
    return FormatText(withCode, text);
}

namespace {

TVaCommErrorKind KindOfOpenFailure(int code) {
    switch (OpenFailureOf(code)) {
    case ofMissing:
        return ekDeviceMissing;
    case ofNoPermission:
        return ekNoPermission;
    case ofBusy:
        return ekBusy;
    default:
        return ekSystemError;
    }
}

} // namespace

EVaCommError CommError(std::string_view msg, int code) {
    TVaCommErrorKind kind = ekSystemError;
    if (msg == sErrDefaultParameters) {
        kind = KindOfOpenFailure(code); // it opens the device to read its settings
    } else if (DeviceHasGone(code)) {
        kind = ekDeviceGone;
    } else if (msg == sErrWriteDcb) {
        kind = ekRefusedSetting;
    }
    return EVaCommError(FormatSystemError(msg, code, SysErrorMessage(code)), kind, code);
}

EVaCommError CommRefusal(std::string_view msg) {
    TVaCommErrorKind kind = ekUnsupported;
    if (msg == sErrPortOpen) {
        kind = ekPortOpen;
    } else if (msg == sErrPortClosed) {
        kind = ekPortClosed;
    } else if (msg == sErrOutputFull) {
        kind = ekTimedOut;
    } else if (msg == sErrDtrHandshake || msg == sErrRtsHandshake) {
        kind = ekLineControl;
    }
    return EVaCommError(std::string(msg), kind);
}

EVaCommError OpenError(const std::string& name, int code) {
    const TVaCommErrorKind kind = KindOfOpenFailure(code);
    if (kind == ekDeviceMissing) {
        return EVaCommError(FormatText(sErrDeviceNotFound, name), kind, code);
    }
    return EVaCommError(FormatText(sErrOpenDevice, name) +
                            FormatSystemError(sErrOpenDeviceCode, code, SysErrorMessage(code)),
                        kind, code);
}

EVaCommError DeviceLostError(const std::string& name, int code) {
    return EVaCommError(FormatText(sErrDeviceLost, name) +
                            FormatSystemError(sErrDeviceLostCode, code, SysErrorMessage(code)),
                        ekDeviceGone, code);
}
