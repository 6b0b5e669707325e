// The device's configuration: the settings record both ways, queues, time-outs, the event mask,
// line functions and the capability record.

#include "serial/VaCommFormat.h"
#include "serial/VaCommHandle.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/serial/VaComm.h>

#include <mutex>

using namespace SerialPlatform;

namespace {

// The record's data-bit count of each TVaDatabits member.
constexpr uint8_t ByteSizeOf(TVaDatabits bits) {
    return static_cast<uint8_t>(4 + bits);
}

} // namespace

void TVaCustomComm::SetDCB() {
    const TVaCommHandle::TUse device(*handle_);
    if (!device.Valid() || !updateDCB_) {
        return;
    }
    DCB dcb{};
    dcb.BaudRate =
        baudrate_ == brUser ? static_cast<uint32_t>(userBaudrate_) : VaBaudrateValues[baudrate_];
    dcb.fBinary = true;
    dcb.fParity = options_.Contains(coParityCheck);
    dcb.fOutxCtsFlow = flowControl_->OutCtsFlow();
    dcb.fOutxDsrFlow = flowControl_->OutDsrFlow();
    dcb.fDtrControl = flowControl_->ControlDtr();
    dcb.fDsrSensitivity = flowControl_->DsrSensitivity();
    dcb.fTXContinueOnXoff = flowControl_->TxContinueOnXoff();
    dcb.fOutX = flowControl_->XonXoffOut();
    dcb.fInX = flowControl_->XonXoffIn();
    dcb.fErrorChar = options_.Contains(coErrorChar);
    dcb.fNull = options_.Contains(coNullStrip);
    dcb.fRtsControl = flowControl_->ControlRts();
    dcb.fAbortOnError = false;
    dcb.XonLim = static_cast<uint16_t>(buffers_->XonLimit());
    dcb.XoffLim = static_cast<uint16_t>(buffers_->XoffLimit());
    dcb.ByteSize = ByteSizeOf(databits_);
    dcb.Parity = parity_;
    dcb.StopBits = stopbits_;
    dcb.XonChar = eventChars_->XonChar();
    dcb.XoffChar = eventChars_->XoffChar();
    dcb.ErrorChar = eventChars_->ErrorChar();
    dcb.EofChar = eventChars_->EofChar();
    dcb.EvtChar = eventChars_->EventChar();
    if (!system_->SetCommState(device.Get(), dcb)) {
        // Names what the device has not taken yet: the setting in hand, or at Open those set
        // while the port was closed.
        throw CommError(sErrWriteDcb, GetLastError()).WithSetting(unwrittenSettings_);
    }
    unwrittenSettings_.clear();
}

void TVaCustomComm::ReadDCB(const DCB& dcb) {
    // On an open port a changed limit is refused (BuffersChanged); refused before anything else
    // changes, so that the record is taken whole or not at all.
    if (dcb.XonLim != buffers_->XonLimit() || dcb.XoffLim != buffers_->XoffLimit()) {
        CheckOpen();
    }
    baudrate_ = brUser;
    userBaudrate_ = static_cast<int32_t>(dcb.BaudRate);
    for (int member = brUser; member <= br256000; ++member) {
        if (VaBaudrateValues[member] == dcb.BaudRate) {
            baudrate_ = static_cast<TVaBaudrate>(member);
            userBaudrate_ = 0;
            break;
        }
    }
    parity_ = dcb.Parity <= paSpace ? static_cast<TVaParity>(dcb.Parity) : paNone;
    databits_ = dcb.ByteSize >= ByteSizeOf(db4) && dcb.ByteSize <= ByteSizeOf(db8)
                    ? static_cast<TVaDatabits>(dcb.ByteSize - ByteSizeOf(db4))
                    : db8;
    stopbits_ = dcb.StopBits <= sb2 ? static_cast<TVaStopbits>(dcb.StopBits) : sb1;

    TVaFlowControl& flow = *flowControl_;
    flow.SetControlDtr(dcb.fDtrControl <= dtrHandshake ? static_cast<TVaControlDtr>(dcb.fDtrControl)
                                                       : dtrDisabled);
    flow.SetControlRts(dcb.fRtsControl <= rtsToggle ? static_cast<TVaControlRts>(dcb.fRtsControl)
                                                    : rtsDisabled);
    flow.SetOutCtsFlow(dcb.fOutxCtsFlow);
    flow.SetOutDsrFlow(dcb.fOutxDsrFlow);
    flow.SetXonXoffOut(dcb.fOutX);
    flow.SetXonXoffIn(dcb.fInX);
    flow.SetDsrSensitivity(dcb.fDsrSensitivity);
    flow.SetTxContinueOnXoff(dcb.fTXContinueOnXoff);

    TVaEventChars& chars = *eventChars_;
    chars.SetEventChar(TVaEventChars::XonIndex, dcb.XonChar);
    chars.SetEventChar(TVaEventChars::XoffIndex, dcb.XoffChar);
    chars.SetEventChar(TVaEventChars::ErrorIndex, dcb.ErrorChar);
    chars.SetEventChar(TVaEventChars::EventIndex, dcb.EvtChar);
    chars.SetEventChar(TVaEventChars::EofIndex, dcb.EofChar);

    buffers_->SetXonLimit(dcb.XonLim);
    buffers_->SetXoffLimit(dcb.XoffLim);

    options_ = TVaCommOptions();
    if (dcb.fErrorChar) {
        options_.Insert(coErrorChar);
    }
    if (dcb.fNull) {
        options_.Insert(coNullStrip);
    }
    if (dcb.fParity) {
        options_.Insert(coParityCheck);
    }
}

void TVaCustomComm::ResetPortParameters() {
    DCB dcb{};
    if (!system_->GetDefaultCommConfig(GetDeviceNameEx(), dcb)) {
        throw CommError(sErrDefaultParameters, GetLastError());
    }
    ReadDCB(dcb);
}

void TVaCustomComm::UpdateTimeouts() {
    const TVaCommHandle::TUse device(*handle_);
    if (!device.Valid()) {
        return;
    }
    // Reads answer at once with what has arrived; the port does its own waiting.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0xFFFFFFFF;
    Watch(system_->SetCommTimeouts(device.Get(), timeouts), sErrSetTimeouts);
}

void TVaCustomComm::UpdateBuffers() {
    const TVaCommHandle::TUse device(*handle_);
    if (device.Valid()) {
        Watch(system_->SetupComm(device.Get(), static_cast<uint32_t>(buffers_->ReadSize()),
                                 static_cast<uint32_t>(buffers_->WriteSize())),
              sErrInitBuffers);
    }
}

void TVaCustomComm::UpdateEventMask() {
    uint32_t mask = 0;
    for (int member = ceBreak; member <= ceEvent2; ++member) {
        if (monitorEvents_.Contains(static_cast<TVaCommEvent>(member))) {
            mask |= VaCommEventMasks[member];
        }
    }
    if (!directWrite_) {
        mask &= ~EV_TXEMPTY; // the transmit thread reports the drained queue itself
    }
    eventMask_ = mask;
    const TVaCommHandle::TUse device(*handle_);
    if (device.Valid()) {
        Watch(system_->SetCommMask(device.Get(), mask), sErrSetEventMask);
    }
}

void TVaCustomComm::ToggleCommState(uint32_t func) {
    const TVaCommHandle::TUse device(*handle_); // line functions may come from any thread
    if (device.Valid()) {
        Watch(system_->EscapeCommFunction(device.Get(), func), sErrCommFunction);
    }
}

void TVaCustomComm::GetProperties() {
    properties_ = COMMPROP{};
    const TVaCommHandle::TUse device(*handle_);
    if (!device.Valid()) {
        throw CommRefusal(sErrPortClosed);
    }
    Watch(system_->GetCommProperties(device.Get(), properties_), sErrReadProperties);
}
