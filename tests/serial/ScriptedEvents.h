#pragma once

// Stands for the driver's wait for line events where a pseudo-terminal cannot produce them
// (modem lines, line errors, break, a vanished device): the port's receive thread gets exactly
// the masks a test raises, and its stop signal still ends the wait.

#include "serial/platform/CommPlatform.h"

#include <q4471/serial/VaObjects.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

class ScriptedEvents {
public:
    // The next wait answers `mask`.
    void Raise(uint32_t mask) { Push({SerialPlatform::cwEvents, mask, 0}); }
    // The next wait answers that the device is gone, with the system's error `code`.
    void Vanish(int code) { Push({SerialPlatform::cwDeviceGone, 0, code}); }

    std::unique_ptr<SerialPlatform::ICommEventWaiter>
    NewWaiter(SerialPlatform::TSignalHandle stopEvent) {
        return std::make_unique<Waiter>(*this, stopEvent);
    }

private:
    struct Answer {
        SerialPlatform::TCommWaitResult result;
        uint32_t mask;
        int code;
    };

    class Waiter : public SerialPlatform::ICommEventWaiter {
    public:
        Waiter(ScriptedEvents& script, SerialPlatform::TSignalHandle stopEvent)
            : script_(script), signals_{stopEvent, script.ready_.Handle()} {}
        SerialPlatform::TCommWaitResult WaitCommEvent(uint32_t& evtMask) override {
            for (;;) {
                const int woken =
                    SerialPlatform::WaitForSignals(signals_, SerialPlatform::NoTimeLimit);
                if (woken <= 0) {
                    return woken == 0 ? SerialPlatform::cwStopped : SerialPlatform::cwFailed;
                }
                Answer answer{};
                if (script_.Take(answer)) {
                    evtMask = answer.mask;
                    SerialPlatform::SetLastError(answer.code);
                    return answer.result;
                }
            }
        }

    private:
        ScriptedEvents& script_;
        const std::array<SerialPlatform::TSignalHandle, 2> signals_; // stop, then ready
    };

    void Push(const Answer& answer) {
        std::lock_guard lock(mutex_);
        answers_.push_back(answer);
        ready_.SetEvent();
    }

    bool Take(Answer& answer) {
        std::lock_guard lock(mutex_);
        if (answers_.empty()) {
            ready_.ResetEvent();
            return false;
        }
        answer = answers_.front();
        answers_.pop_front();
        return true;
    }

    TVaWaitEvent ready_; // set while answers wait
    std::mutex mutex_;
    std::deque<Answer> answers_;
};
