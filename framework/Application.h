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

} // namespace Application
