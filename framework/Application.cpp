#include "framework/Application.h"

#include "framework/Exception.h"
#include "framework/Thread.h"

#include <iostream>
#include <mutex>

namespace Application {
namespace {

std::mutex displayMutex;
ExceptionDisplay currentDisplay;
MessagePump currentPump; // set and used on the GUI thread only

void Show(const std::string& message) {
    ExceptionDisplay display;
    {
        std::lock_guard lock(displayMutex);
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
    std::lock_guard lock(displayMutex);
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

} // namespace Application
