// Line status and line functions: errors, hold flags, modem lines, DTR, RTS, break, XON/XOFF.

#include "serial/VaCommFormat.h"
#include "serial/VaCommHandle.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/framework/Application.h>
#include <q4471/serial/VaComm.h>

#include <array>
#include <functional>

using namespace q4471;
using namespace SerialPlatform;

uint32_t
TVaCustomComm::ClearErrorsWith(const std::function<bool(THandle device, uint32_t& errors)>& ask) {
    const TLockGuard lock(globalLock_);
    uint32_t errors = 0;
    const TVaCommHandle::TUse device(*handle_);
    if (device.Valid()) {
        Watch(ask(device.Get(), errors), sErrStatistics);
        heldErrors_ |= errors;
    }
    return errors;
}

TVaCommStatus TVaCustomComm::GetCommStatus() {
    TVaCommStatus status;
    status.Errors = ClearErrorsWith([&](THandle device, uint32_t& errors) {
        return system_->ClearCommError(device, errors, status.Status);
    });
    return status;
}

uint32_t TVaCustomComm::InputWaiting() {
    uint32_t waiting = 0;
    ClearErrorsWith([&](THandle device, uint32_t& errors) {
        return system_->ClearCommInput(device, errors, waiting);
    });
    return waiting;
}

bool TVaCustomComm::ClearLineErrors() {
    GetCommStatus();
    const uint32_t errors = heldErrors_.exchange(0);
    if (errors != 0 && OnError) {
        try {
            OnError(this, static_cast<int32_t>(errors));
        } catch (...) {
            Application::HandleException();
        }
    }
    return errors != 0;
}

bool TVaCustomComm::GetComStat(int32_t index) {
    const uint32_t flags = GetCommStatus().Status.Flags;
    return index >= 1 && index <= 8 && (flags & (1u << (index - 1))) != 0;
}

bool TVaCustomComm::GetModemStatus(int32_t index) {
    static constexpr std::array<uint32_t, 4> Lines = {MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON};
    uint32_t modemStat = 0;
    const TVaCommHandle::TUse device(*handle_);
    if (device.Valid()) {
        Watch(system_->GetCommModemStatus(device.Get(), modemStat), sErrModemState);
    }
    return index >= 1 && index <= 4 && (modemStat & Lines[index - 1]) != 0;
}

void TVaCustomComm::SetDTR(bool on) {
    if (flowControl_->ControlDtr() == dtrHandshake) {
        throw CommRefusal(sErrDtrHandshake);
    }
    ToggleCommState(on ? SETDTR : CLRDTR);
}

void TVaCustomComm::SetRTS(bool on) {
    const TVaControlRts control = flowControl_->ControlRts();
    if (control == rtsHandshake || control == rtsToggle) {
        throw CommRefusal(sErrRtsHandshake);
    }
    ToggleCommState(on ? SETRTS : CLRRTS);
}

void TVaCustomComm::SetBreak(bool on) {
    ToggleCommState(on ? SETBREAK : CLRBREAK);
}

void TVaCustomComm::SetXon(bool on) {
    ToggleCommState(on ? SETXON : SETXOFF);
}

void TVaCustomComm::ResetDev() {
    ToggleCommState(RESETDEV);
}
