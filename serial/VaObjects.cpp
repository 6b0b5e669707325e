#include "serial/platform/Signals.h"

#include <q4471/serial/SystemErrors.h>
#include <q4471/serial/VaObjects.h>

#include <vector>

using namespace SerialPlatform;

TVaHandleObject::~TVaHandleObject() {
    CloseSignal(handle_);
}

TVaEvent::TVaEvent(bool manualReset, bool initialState, const std::string& /*name*/)
    : TVaEvent([manualReset, initialState] {
          const TSignalHandle handle = CreateSignal(manualReset, initialState);
          return Creation{handle, handle.Valid() ? 0 : GetLastError()};
      }()) {}

TVaEvent::TVaEvent(Creation creation)
    : TVaHandleObject(creation.handle), creationError_(creation.error) {}

void TVaEvent::SetEvent() {
    if (!Handle().Valid()) {
        return;
    }
    setCount_.fetch_add(1, std::memory_order_release);
    SetSignal(Handle());
}

void TVaEvent::ResetEvent() {
    ResetSignal(Handle());
}

TVaEventWaitResult TVaEvent::WaitFor(uint32_t timeout) {
    TVaEvent* self = this;
    const TVaWaitListResult result = WaitForEvents(std::span<TVaEvent* const>(&self, 1), timeout);
    if (result.Result == wrError) {
        SetLastError(result.Error);
    }
    return result.Result;
}

TVaWaitListResult WaitForEvents(std::span<TVaEvent* const> events, uint32_t timeout) {
    std::vector<TSignalHandle> waited;
    waited.reserve(events.size());
    for (TVaEvent* event : events) {
        if (!event->Handle().Valid()) {
            return {wrError, 0, static_cast<uint32_t>(event->creationError_)};
        }
        waited.push_back(event->Handle());
    }
    const int woken = WaitForSignals(waited, timeout);
    if (woken < 0) {
        return {wrError, 0, static_cast<uint32_t>(GetLastError())};
    }
    const auto index = static_cast<std::size_t>(woken);
    if (index == events.size()) {
        return {wrTimeout, 0, 0};
    }
    events[index]->setCount_.load(std::memory_order_acquire);
    return {wrSignaled, index, 0};
}
