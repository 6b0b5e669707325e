// The port's life cycle as an object: construction, properties and their setters, the option
// groups' change callbacks, and error reporting.

#include "serial/VaCommEventThread.h"
#include "serial/VaCommFormat.h"
#include "serial/VaCommHandle.h"
#include "serial/VaCommWriteThread.h"
#include "serial/platform/CommPlatform.h"

#include <utility>

using namespace q4471;
using namespace SerialPlatform;

TVaCustomComm::TVaCustomComm(TComponent* owner)
    : TVaComponent(owner), system_(&DefaultCommSystem()), handle_(new TVaCommHandle),
      buffers_(new TVaBuffers), eventChars_(new TVaEventChars), flowControl_(new TVaFlowControl),
      ownDeliveries_(std::make_shared<TVaOwnDeliveries>()) {
    buffers_->SetOnChange([this](TVaPersistent* sender) { BuffersChanged(sender); });
    eventChars_->SetOnChange([this](TVaPersistent* sender) { EventCharsChanged(sender); });
    flowControl_->SetOnChange([this](TVaPersistent* sender) { FlowControlChanged(sender); });
}

bool TVaCustomComm::Active() const {
    return handle_->Valid();
}

SerialPlatform::THandle TVaCustomComm::Handle() const {
    return handle_->Get();
}

TVaCustomComm::~TVaCustomComm() {
    Destroying();
    Close();
    // A handler on one of the port's threads may have closed it and not yet returned.
    ownDeliveries_->WaitForOthers();
    DestroyClients();
}

void TVaCustomComm::Loaded() {
    TVaComponent::Loaded();
    if (!InState(csDesigning) && autoOpen_) {
        Open();
    }
}

void TVaCustomComm::CheckOpen() const {
    if (Active()) {
        throw CommRefusal(sErrPortOpen);
    }
}

void TVaCustomComm::SetCommSystem(ICommSystem& system) {
    CheckOpen();
    system_ = &system;
}

void TVaCustomComm::Error(const std::string& msg) const {
    throw CommError(msg, GetLastError());
}

void TVaCustomComm::Watch(bool ok, const std::string& msg) const {
    if (!ok) {
        Error(msg);
    }
}

void TVaCustomComm::WriteSetting(std::string_view setting, const std::function<void()>& undo) {
    if (unwrittenSettings_.find(setting) == std::string::npos) {
        unwrittenSettings_ += unwrittenSettings_.empty() ? "" : ", ";
        unwrittenSettings_ += setting;
    }
    try {
        SetDCB();
    } catch (...) {
        // The device keeps its settings, and so does the port, whose others it had taken.
        undo();
        unwrittenSettings_.clear();
        throw;
    }
}

void TVaCustomComm::SetBaudrate(TVaBaudrate value) {
    if (value == baudrate_) {
        return;
    }
    const TVaBaudrate baudrate = std::exchange(baudrate_, value);
    const int32_t userBaudrate = userBaudrate_;
    if (value != brUser) {
        userBaudrate_ = 0;
    }
    WriteSetting("Baudrate", [&] {
        baudrate_ = baudrate;
        userBaudrate_ = userBaudrate;
    });
}

void TVaCustomComm::SetUserBaudrate(int32_t value) {
    if (value == userBaudrate_) {
        return;
    }
    const int32_t userBaudrate = std::exchange(userBaudrate_, value);
    const TVaBaudrate baudrate = std::exchange(baudrate_, brUser);
    WriteSetting("UserBaudrate", [&] {
        baudrate_ = baudrate;
        userBaudrate_ = userBaudrate;
    });
}

template <class T> void TVaCustomComm::SetLineSetting(std::string_view setting, T& field, T value) {
    if (value != field) {
        const T previous = std::exchange(field, value);
        WriteSetting(setting, [&] { field = previous; });
    }
}

void TVaCustomComm::SetParity(TVaParity value) {
    SetLineSetting("Parity", parity_, value);
}

void TVaCustomComm::SetDatabits(TVaDatabits value) {
    SetLineSetting("Databits", databits_, value);
}

void TVaCustomComm::SetStopbits(TVaStopbits value) {
    SetLineSetting("Stopbits", stopbits_, value);
}

void TVaCustomComm::SetOptions(TVaCommOptions value) {
    SetLineSetting("Options", options_, value);
}

void TVaCustomComm::SetPortNum(TVaPortInt value) {
    CheckOpen();
    portNum_ = value;
}

void TVaCustomComm::SetDeviceName(const std::string& value) {
    CheckOpen();
    deviceName_ = value;
}

void TVaCustomComm::SetMonitorEvents(TVaCommEvents value) {
    CheckOpen();
    monitorEvents_ = value;
}

void TVaCustomComm::SetDirectWrite(bool value) {
    CheckOpen();
    directWrite_ = value;
}

void TVaCustomComm::SetUpdateDCB(bool value) {
    CheckOpen();
    updateDCB_ = value;
}

void TVaCustomComm::SetHandlerThread(TVaHandlerThread value) {
    CheckOpen();
    if (value == htPortThreads && display_.load() != nullptr) {
        throw CommRefusal(sErrDisplayOnPortThreads);
    }
    handlerThread_ = value;
}

void TVaCustomComm::SetBuffers(const TVaBuffers& value) {
    CheckOpen();
    buffers_->Assign(value);
}

void TVaCustomComm::SetEventPriority(TThreadPriority value) {
    if (value == eventPriority_) {
        return;
    }
    eventPriority_ = value;
    const TLockGuard lock(globalLock_);
    if (eventThread_ != nullptr) {
        eventThread_->SetPriority(value);
    }
}

void TVaCustomComm::SetWritePriority(TThreadPriority value) {
    if (value == writePriority_) {
        return;
    }
    writePriority_ = value;
    const TLockGuard lock(globalLock_);
    if (TVaCommWriteThread* const writeThread = WriteThreadHeldGlobally(); writeThread != nullptr) {
        writeThread->SetPriority(value);
    }
}

void TVaCustomComm::BuffersChanged(TVaPersistent*) {
    CheckOpen();
    UpdateBuffers();
    WriteSetting("Buffers", [] {});
}

// The groups undo a change that raises themselves.
void TVaCustomComm::EventCharsChanged(TVaPersistent*) {
    WriteSetting("EventChars", [] {});
}

void TVaCustomComm::FlowControlChanged(TVaPersistent*) {
    WriteSetting("FlowControl", [] {});
}
