#include <q4471/serial/VaCommClients.h>

using namespace q4471;

TVaDispatcher::~TVaDispatcher() {
    if (Comm != nullptr) {
        Comm->RemoveClient(this);
    }
}

void TVaDispatcher::DataEvent(PVaData data, int32_t count) {
    if (Active) {
        User.DataChanged(data, count);
    }
}

void TVaDispatcher::LineEvent(uint32_t evtMask) {
    if (Active) {
        User.LineChanged(evtMask);
    }
}

void TVaDispatcher::SetDTRState(bool value) {
    if (Comm != nullptr) {
        Comm->SetDTR(value);
    }
}

void TVaDispatcher::PurgeRead() {
    if (Comm != nullptr) {
        Comm->PurgeRead();
    }
}

void TVaDispatcher::PurgeWrite() {
    if (Comm != nullptr) {
        Comm->PurgeWrite();
    }
}

void TVaDispatcher::PurgeReadWrite() {
    if (Comm != nullptr) {
        Comm->PurgeReadWrite();
    }
}

int32_t TVaDispatcher::WriteBuf(const void* data, int32_t count) {
    return Comm != nullptr ? Comm->WriteBuf(data, count) : 0;
}

bool TVaDispatcher::WriteText(const std::string& text) {
    return Comm != nullptr && Comm->WriteText(text);
}

bool TVaDispatcher::WriteChar(char ch) {
    return Comm != nullptr && Comm->WriteChar(ch);
}

TVaCommComponent::TVaCommComponent(TComponent* owner) : TVaComponent(owner) {}

TVaCommComponent::~TVaCommComponent() {
    Destroying();
    SetComm(nullptr);
}

void TVaCommComponent::SetComm(TVaComm* value) {
    if (comm_ != nullptr) {
        comm_->RemoveClient(&dispatcher_);
        if (comm_ != value) {
            RemoveFreeNotification(comm_);
        }
    }
    comm_ = value;
    if (value != nullptr) {
        value->InsertClient(&dispatcher_);
        FreeNotification(value); // told when the port goes, so as not to keep a dangling one
    }
}

void TVaCommComponent::Notification(TComponent* component, TOperation operation) {
    TVaComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component != nullptr && component == comm_) {
        // The port is being destroyed, down to its component base by now, and has already let
        // go of its clients: only forgetting it is left.
        comm_ = nullptr;
        dispatcher_.Comm = nullptr;
    }
}

void TVaCommComponent::DataChanged(PVaData, int32_t) {}

void TVaCommComponent::LineChanged(uint32_t) {}
