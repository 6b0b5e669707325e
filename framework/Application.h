#pragma once

#include <exception>
#include <functional>
#include <string>

// The application's error display: an error that escapes a command is shown to the user and the
// program goes on. The GUI binds a message box; without one the message goes to standard error.
namespace Application {

using ExceptionDisplay = std::function<void(const std::string& message)>;

void SetExceptionDisplay(ExceptionDisplay display);

// Shows the message of `error`.
void ShowException(const std::exception& error);

// Shows the error being handled; call inside a catch block. An error that is not an exception
// object is shown with an empty message.
void HandleException();

// Dispatches the GUI's messages while the GUI thread waits up to `timeoutMs`, so that a window
// stays responsive during a delay. A bound toolkit runs its own event loop; without one, the
// calls handed to the GUI thread run. Call on the GUI thread.
using MessagePump = std::function<void(int timeoutMs)>;
void SetMessagePump(MessagePump pump);
void ProcessMessages(int timeoutMs);

} // namespace Application
