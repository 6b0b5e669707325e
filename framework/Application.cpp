#include "framework/StopSignals.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/Exception.h>
#include <q4471/framework/Locks.h>
#include <q4471/framework/Thread.h>

#include <atomic>
#include <iostream>
#include <optional>

namespace q4471::Application {
namespace {

TMutex displayMutex;
ExceptionDisplay currentDisplay Q4471_GUARDED_BY(displayMutex);
MessagePump currentPump; // set and used on the GUI thread only

std::atomic<bool> terminateRequested{false};
// A leaf: Terminate calls the toolkit's quit under it, so that an unbinding waits for that call.
TMutex loopMutex;
std::function<void()> loopRun Q4471_GUARDED_BY(loopMutex); // run on the GUI thread only
std::function<void()> loopQuit Q4471_GUARDED_BY(loopMutex);

// Nothing else wakes a GUI thread that waits for calls: the wait is only bounded so that it
// never is forever.
constexpr int IdleWaitMs = 60'000;

void Show(const std::string& message) {
    ExceptionDisplay display;
    {
        const TLockGuard lock(displayMutex);
        display = currentDisplay;
    }
    if (display) {
        display(message);
    } else {
        std::cerr << message << '\n';
    }
}

} // namespace

void SetExceptionDisplay(ExceptionDisplay display) {
    const TLockGuard lock(displayMutex);
    currentDisplay = std::move(display);
}

void ShowException(const std::exception& error) {
    // A message may hold any byte, NUL included; what() would end at the first NUL.
    const auto* exception = dynamic_cast<const Exception*>(&error);
    Show(exception != nullptr ? exception->Message() : std::string(error.what()));
}

void HandleException() {
    try {
        throw;
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        Show("");
    }
}

void SetMessagePump(MessagePump pump) {
    currentPump = std::move(pump);
}

void ProcessMessages(int timeoutMs) {
    if (currentPump) {
        currentPump(timeoutMs);
    } else {
        CheckSynchronize(timeoutMs);
    }
}

void SetMainLoop(std::function<void()> run, std::function<void()> quit) {
    const TLockGuard lock(loopMutex);
    loopRun = std::move(run);
    loopQuit = std::move(quit);
}

void Terminate() {
    terminateRequested = true;
    {
        const TLockGuard lock(loopMutex);
        if (loopQuit) {
            loopQuit();
        }
    }
    InterruptCheckSynchronize();
}

bool Terminated() {
    return terminateRequested;
}

void Run(bool stopOnSignals) {
    std::optional<TStopSignals> signals;
    if (stopOnSignals) {
        signals.emplace(&Terminate);
    }
    std::function<void()> run;
    {
        const TLockGuard lock(loopMutex);
        run = loopRun;
    }
    if (run) {
        if (terminateRequested) {
            // A request from before the loop, perhaps before the binding: the loop takes it.
            const TLockGuard lock(loopMutex);
            loopQuit();
        }
        run();
    } else {
        while (!terminateRequested) {
            CheckSynchronize(IdleWaitMs);
        }
    }
    terminateRequested = false;
}

} // namespace q4471::Application
