#include "serial/VaPrst.h"

void TVaFlowControl::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TVaFlowControl*>(&source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    SetOutCtsFlow(other->OutCtsFlow());
    SetOutDsrFlow(other->OutDsrFlow());
    SetControlDtr(other->ControlDtr());
    SetControlRts(other->ControlRts());
    SetXonXoffOut(other->XonXoffOut());
    SetXonXoffIn(other->XonXoffIn());
    SetDsrSensitivity(other->DsrSensitivity());
    SetTxContinueOnXoff(other->TxContinueOnXoff());
    EndUpdate();
}

void TVaEventChars::SetEventChar(int index, char value) {
    if (index >= XonIndex && index <= EofIndex) {
        chars_[index - 1].store(value, std::memory_order_relaxed);
    }
    Changed();
}

void TVaEventChars::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TVaEventChars*>(&source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    for (int index = XonIndex; index <= EofIndex; ++index) {
        SetEventChar(index, other->Get(index));
    }
    EndUpdate();
}

void TVaBuffers::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TVaBuffers*>(&source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    readSize_ = other->ReadSize();
    writeSize_ = other->WriteSize();
    readTimeout_ = other->ReadTimeout();
    writeTimeout_ = other->WriteTimeout();
    xonLimit_ = other->XonLimit();
    xoffLimit_ = other->XoffLimit();
    EndUpdate();
}
