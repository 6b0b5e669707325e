#pragma once

#include "serial/VaComm.h"

#include <cstdint>
#include <string>

// What a port's client is told, on the GUI thread: the line events of each batch, and the bytes
// received (valid only during the call).
class IVaCommUser {
public:
    virtual void LineChanged(uint32_t evtMask) = 0;
    virtual void DataChanged(PVaData data, int32_t count) = 0;

protected:
    ~IVaCommUser() = default; // never destroyed through the interface
};

// Attaches one user to a port: the port feeds it events and data while it is Active, and the
// user writes, purges and sets DTR through it. Detached, it ignores every call.
class TVaDispatcher : public TObject {
public:
    explicit TVaDispatcher(IVaCommUser& user) : User(user) {}
    ~TVaDispatcher() override;
    TVaDispatcher(const TVaDispatcher&) = delete;
    TVaDispatcher& operator=(const TVaDispatcher&) = delete;

    void DataEvent(PVaData data, int32_t count);
    void LineEvent(uint32_t evtMask);

    void SetDTRState(bool value);
    void PurgeRead();
    void PurgeWrite();
    void PurgeReadWrite();
    int32_t WriteBuf(const void* data, int32_t count);
    bool WriteText(const std::string& text);
    bool WriteChar(char ch);

    bool Active = true;
    TVaCustomComm* Comm = nullptr; // set and cleared by the port's InsertClient and RemoveClient
    IVaCommUser& User;
};

// Base of the components that attach to a port as its clients; descendants override
// DataChanged and LineChanged.
class TVaCommComponent : public TVaComponent, public IVaCommUser {
public:
    explicit TVaCommComponent(TComponent* owner);
    ~TVaCommComponent() override;

    TVaComm* Comm() const { return comm_; }
    // Detaches from the current port and attaches to `value` (none: stays detached). Setting
    // the same port again moves this client to the end of its list.
    void SetComm(TVaComm* value);
    bool GetActive() const { return dispatcher_.Active; }
    void SetActive(bool value) { dispatcher_.Active = value; }
    TVaDispatcher& Dispatcher() { return dispatcher_; }

    void Notification(TComponent* component, TOperation operation) override;
    void DataChanged(PVaData data, int32_t count) override;
    void LineChanged(uint32_t evtMask) override;

private:
    TVaComm* comm_ = nullptr;
    TVaDispatcher dispatcher_{*this};
};
