#include <q4471/serial/VaPrst.h>

using namespace q4471;

void TVaFlowControl::Assign(const TPersistent& source) {
    AssignGroup(*this, source, &TVaFlowControl::CopyFields);
}

void TVaFlowControl::CopyFields(const TVaFlowControl& other) {
    outCtsFlow_.store(other.OutCtsFlow(), std::memory_order_relaxed);
    outDsrFlow_.store(other.OutDsrFlow(), std::memory_order_relaxed);
    controlDtr_.store(other.ControlDtr(), std::memory_order_relaxed);
    controlRts_.store(other.ControlRts(), std::memory_order_relaxed);
    xonXoffOut_.store(other.XonXoffOut(), std::memory_order_relaxed);
    xonXoffIn_.store(other.XonXoffIn(), std::memory_order_relaxed);
    dsrSensitivity_.store(other.DsrSensitivity(), std::memory_order_relaxed);
    txContinueOnXoff_.store(other.TxContinueOnXoff(), std::memory_order_relaxed);
}

void TVaEventChars::SetEventChar(int index, char value) {
    if (index < XonIndex || index > EofIndex) {
        Changed();
        return;
    }
    std::atomic<char>& slot = chars_[index - 1];
    const char previous = slot.exchange(value, std::memory_order_relaxed);
    ChangedOrUndo([&] { slot.store(previous, std::memory_order_relaxed); });
}

void TVaEventChars::Assign(const TPersistent& source) {
    AssignGroup(*this, source, &TVaEventChars::CopyFields);
}

void TVaEventChars::CopyFields(const TVaEventChars& other) {
    for (int index = XonIndex; index <= EofIndex; ++index) {
        chars_[index - 1].store(other.Get(index), std::memory_order_relaxed);
    }
}

void TVaBuffers::Assign(const TPersistent& source) {
    AssignGroup(*this, source, &TVaBuffers::CopyFields);
}

void TVaBuffers::CopyFields(const TVaBuffers& other) {
    readSize_ = other.ReadSize();
    writeSize_ = other.WriteSize();
    readTimeout_ = other.ReadTimeout();
    writeTimeout_ = other.WriteTimeout();
    xonLimit_ = other.XonLimit();
    xoffLimit_ = other.XoffLimit();
}
