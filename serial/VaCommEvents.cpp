// The batches of line events on the handlers' thread: received data, line events in their fixed
// order, the clients and the display.

#include "serial/VaCommFormat.h"
#include "serial/platform/CommPlatform.h"

#include <q4471/framework/Application.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/VaCommClients.h>
#include <q4471/serial/VaDisplay.h>
#include <q4471/serial/Vautils.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

using namespace q4471;
using namespace SerialPlatform;

void TVaCustomComm::InsertClient(TVaDispatcher* dispatcher) {
    dispatcher->Comm = this;
    clients_.push_back(dispatcher);
    clientCount_ = clients_.size();
}

void TVaCustomComm::RemoveClient(TVaDispatcher* dispatcher) {
    const auto listed = std::find(clients_.begin(), clients_.end(), dispatcher);
    if (listed != clients_.end()) {
        dispatcher->Comm = nullptr;
        clients_.erase(listed);
        clientCount_ = clients_.size();
    }
}

void TVaCustomComm::DestroyClients() {
    while (!clients_.empty()) {
        RemoveClient(clients_.back());
    }
}

bool TVaCustomComm::IsClient(const TVaDispatcher* dispatcher) const {
    return std::find(clients_.begin(), clients_.end(), dispatcher) != clients_.end();
}

void TVaCustomComm::SetDisplay(TVaDisplay* value) {
    // A widget is painted on the GUI thread only; refreshing it through the GUI thread would bring
    // back the hand-over that this mode leaves out, and hold the port on a busy window.
    if (value != nullptr && handlerThread_ == htPortThreads) {
        throw CommRefusal(sErrDisplayOnPortThreads);
    }
    display_ = value;
    if (value != nullptr) {
        FreeNotification(value);
    }
}

void TVaCustomComm::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component != nullptr && component == display_.load()) {
        display_ = nullptr;
    }
    TVaComponent::Notification(component, operation);
}

void TVaCustomComm::UpdateDisplay() {
    if (TVaDisplay* const display = display_.load()) {
        display->UpdateDisplay(this);
    }
}

std::array<std::pair<uint32_t, const TVaEventProperty<TNotifyEvent>*>, 11>
TVaCustomComm::LineHandlers() const {
    // In this order, which is not the order of the event enumeration.
    return {{{EV_RXFLAG, &OnRxFlag},
             {EV_CTS, &OnCts},
             {EV_DSR, &OnDsr},
             {EV_RING, &OnRing},
             {EV_RLSD, &OnRlsd},
             {EV_TXEMPTY, &OnTxEmpty},
             {EV_BREAK, &OnBreak},
             {EV_PERR, &OnPErr},
             {EV_RX80FULL, &OnRx80Full},
             {EV_EVENT1, &OnEvent1},
             {EV_EVENT2, &OnEvent2}}};
}

bool TVaCustomComm::TakesEvents(uint32_t evtMask, bool display) const {
    if (clientCount_ > 0 || (display && display_.load() != nullptr) ||
        ((evtMask & EV_RXCHAR) != 0 && OnRxChar.Assigned()) ||
        ((evtMask & EV_ERR) != 0 && OnError.Assigned())) {
        return true;
    }
    const auto handlers = LineHandlers();
    return std::any_of(handlers.begin(), handlers.end(), [evtMask](const auto& handler) {
        return (evtMask & handler.first) != 0 && handler.second->Assigned();
    });
}

void TVaCustomComm::DeviceLost(int code) {
    if (deviceLostShown_.exchange(true)) {
        return;
    }
    const EVaCommError error = DeviceLostError(GetDeviceName(), code);
    if (OnDeviceLost) {
        OnDeviceLost(this, error.Message());
    } else {
        Application::ShowException(error);
    }
}

void TVaCustomComm::WriteEvents(uint32_t evtMask) {
    if (!controlsEnabled_) {
        return;
    }
    // A client may detach itself, or others, or close the port from its notification: each one
    // is still checked to be listed before it is called, and none is after the port closed.
    const TDeliveryGuard guard(*this);
    const std::vector<TVaDispatcher*> clients = clients_;
    for (TVaDispatcher* dispatcher : clients) {
        if (guard.Lost()) {
            return;
        }
        if (IsClient(dispatcher)) {
            dispatcher->LineEvent(evtMask);
        }
    }
}

void TVaCustomComm::WriteBuffer(PVaData data, int32_t count) {
    const TDeliveryGuard guard(*this);
    if (controlsEnabled_) {
        const std::vector<TVaDispatcher*> clients = clients_;
        for (TVaDispatcher* dispatcher : clients) {
            if (guard.Lost()) {
                return;
            }
            if (IsClient(dispatcher)) {
                dispatcher->DataEvent(data, count);
            }
        }
    }
    if (!guard.Lost() && OnRxBuf) {
        OnRxBuf(this, data, count);
    }
}

void TVaCustomComm::HandleDataEvent() {
    if (clients_.empty()) {
        const int32_t waiting = ReadBufUsed();
        if (waiting > 0 && OnRxChar) {
            OnRxChar(this, waiting);
        }
        return;
    }
    // The clients get the bytes themselves, so they are read as they are, without first asking
    // the driver how many wait: that status costs two more calls to it at every batch, which on
    // a busy line is much of the work. Only a read that fills the block asks what is left (a
    // Linux terminal's queue holds no more than one block, so there a block takes all).
    std::array<char, 4096> block;
    const int32_t first = ReadBuf(block.data(), static_cast<int32_t>(block.size()));
    if (first < static_cast<int32_t>(block.size())) {
        // A worker's own ReadText may have taken some of the bytes meanwhile: only those read
        // are handed on.
        if (first > 0) {
            WriteBuffer(block.data(), first);
        }
        return;
    }
    const int32_t left = std::max(ReadBufUsed(), 0);
    std::vector<char> batch(block.begin(), block.end());
    batch.resize(batch.size() + static_cast<std::size_t>(left));
    const int32_t rest = ReadBuf(batch.data() + block.size(), left);
    WriteBuffer(batch.data(), first + rest);
}

void TVaCustomComm::HandleLineEvent(uint32_t evtMask) {
    const TDeliveryGuard guard(*this);
    // Taken before any handler runs: one may destroy the port, after which nothing of it is used.
    const auto handlers = LineHandlers();
    const auto mask = static_cast<int32_t>(evtMask);
    if (BitOn(static_cast<int32_t>(EV_ERR), mask)) {
        ClearLineErrors();
    }
    if (!guard.Lost() && !clients_.empty()) {
        WriteEvents(evtMask);
    }
    for (const auto& [bit, handler] : handlers) {
        if (guard.Lost()) {
            return;
        }
        if (BitOn(static_cast<int32_t>(bit), mask) && *handler) {
            (*handler)(this);
        }
    }
}
