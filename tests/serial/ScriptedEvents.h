#pragma once

// Stands for the driver's wait for line events where a pseudo-terminal cannot produce them
// (modem lines, line errors, break, a vanished device): the port's receive thread gets exactly
// the masks a test raises, and its stop signal still ends the wait.

#include "serial/platform/CommPlatform.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

class ScriptedEvents {
public:
    ScriptedEvents() : ready_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (ready_ < 0) {
            throw std::runtime_error("no eventfd");
        }
    }
    ~ScriptedEvents() { close(ready_); }
    ScriptedEvents(const ScriptedEvents&) = delete;
    ScriptedEvents& operator=(const ScriptedEvents&) = delete;

    // The next wait answers `mask`.
    void Raise(uint32_t mask) { Push({SerialPlatform::cwEvents, mask, 0}); }
    // The next wait answers that the device is gone, with the system's error `code`.
    void Vanish(int code) { Push({SerialPlatform::cwDeviceGone, 0, code}); }

    std::unique_ptr<SerialPlatform::ICommEventWaiter> NewWaiter(int stopEvent) {
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
        Waiter(ScriptedEvents& script, int stopEvent) : script_(script), stop_(stopEvent) {}
        SerialPlatform::TCommWaitResult WaitCommEvent(uint32_t& evtMask) override {
            for (;;) {
                pollfd fds[2] = {{stop_, POLLIN, 0}, {script_.ready_, POLLIN, 0}};
                poll(fds, 2, -1);
                if ((fds[0].revents & POLLIN) != 0) {
                    return SerialPlatform::cwStopped;
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
        int stop_;
    };

    void Push(const Answer& answer) {
        std::lock_guard lock(mutex_);
        answers_.push_back(answer);
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(ready_, &one, sizeof one);
    }

    bool Take(Answer& answer) {
        std::lock_guard lock(mutex_);
        if (answers_.empty()) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(ready_, &count, sizeof count);
            return false;
        }
        answer = answers_.front();
        answers_.pop_front();
        return true;
    }

    int ready_;
    std::mutex mutex_;
    std::deque<Answer> answers_;
};
