/// @file
/// A port's clients: IVaCommUser, TVaDispatcher and TVaCommComponent.
#pragma once

#include <q4471/framework/Export.h>
#include <q4471/serial/VaComm.h>

#include <cstdint>
#include <string>

/// What a port's client is told, on the GUI thread: the line events of each batch, and the bytes
/// received (valid only during the call).
class Q4471_API IVaCommUser {
public:
    /// The line events of a batch (EV_* bits), before the port's own handlers.
    virtual void LineChanged(uint32_t evtMask) = 0;
    /// `count` received bytes at `data`, already taken from the receive queue; copy what you
    /// keep. Before the port's OnRxBuf.
    virtual void DataChanged(PVaData data, int32_t count) = 0;

protected:
    /// Protected: a user is never destroyed through the interface.
    ~IVaCommUser() = default; // never destroyed through the interface
};

/// Attaches one user to a port: the port feeds it events and data while it is Active, and the
/// user writes, purges and sets DTR through it. Detached, it ignores every call.
class Q4471_API TVaDispatcher : public q4471::TObject {
public:
    /// A detached dispatcher for `user`, which must outlive it.
    explicit TVaDispatcher(IVaCommUser& user) : User(user) {}
    /// Detaches from its port.
    ~TVaDispatcher() override;
    /// Not copyable: the port lists it by address.
    TVaDispatcher(const TVaDispatcher&) = delete;
    /// Not copyable.
    TVaDispatcher& operator=(const TVaDispatcher&) = delete;

    /// From the port: passes received bytes to the user while Active.
    void DataEvent(PVaData data, int32_t count);
    /// From the port: passes line events to the user while Active.
    void LineEvent(uint32_t evtMask);

    /// The port's SetDTR; nothing when detached. Raises what the port raises, with its kinds, as
    /// do the calls below.
    void SetDTRState(bool value);
    /// The port's PurgeRead.
    void PurgeRead();
    /// The port's PurgeWrite.
    void PurgeWrite();
    /// The port's PurgeReadWrite.
    void PurgeReadWrite();
    /// The port's WriteBuf; 0 when detached.
    int32_t WriteBuf(const void* data, int32_t count);
    /// The port's WriteText; false when detached.
    bool WriteText(const std::string& text);
    /// The port's WriteChar; false when detached.
    bool WriteChar(char ch);

    /// Whether the user is fed events and data. Default true.
    bool Active = true;
    /// The port it is attached to; null when detached.
    TVaCustomComm* Comm = nullptr; // set and cleared by the port's InsertClient and RemoveClient
    /// The user it feeds.
    IVaCommUser& User;
};

/// Base of the components that attach to a port as its clients; descendants override
/// DataChanged and LineChanged, which run on the GUI thread.
class Q4471_API TVaCommComponent : public TVaComponent, public IVaCommUser {
public:
    /// A detached client; `owner` (may be null) destroys it.
    explicit TVaCommComponent(q4471::TComponent* owner);
    /// Detaches from its port.
    ~TVaCommComponent() override;

    /// The port it is attached to; null when none (or when the port has been destroyed).
    TVaComm* Comm() const { return comm_; }
    /// Detaches from the current port and attaches to `value` (none: stays detached). Setting
    /// the same port again moves this client to the end of its list. GUI thread.
    void SetComm(TVaComm* value);
    ///@{
    /// Whether DataChanged and LineChanged are called. Default true.
    bool GetActive() const { return dispatcher_.Active; }
    void SetActive(bool value) { dispatcher_.Active = value; }
    ///@}
    /// The dispatcher through which it writes, purges and sets DTR.
    TVaDispatcher& Dispatcher() { return dispatcher_; }

    /// Forgets its port when the port is destroyed.
    void Notification(q4471::TComponent* component, q4471::TOperation operation) override;
    /// Does nothing; override to take received bytes.
    void DataChanged(PVaData data, int32_t count) override;
    /// Does nothing; override to take line events.
    void LineChanged(uint32_t evtMask) override;

private:
    TVaComm* comm_ = nullptr;
    TVaDispatcher dispatcher_{*this};
};
