/// @file
/// The application's error display and message pump.
#pragma once

#include <q4471/framework/Export.h>

#include <exception>
#include <functional>
#include <string>

namespace q4471 {

/// The application's error display: an error that escapes a command is shown to the user and the
/// program goes on. The GUI binds a message box; without one the message goes to standard error.
namespace Application {

/// Shows one error message to the user; called on the thread that reports the error.
using ExceptionDisplay = std::function<void(const std::string& message)>;

/// Installs the error display for the whole process; empty: standard error. Any thread.
Q4471_API void SetExceptionDisplay(ExceptionDisplay display);

/// Shows the message of `error` (the whole Message() of an Exception, NUL bytes included).
Q4471_API void ShowException(const std::exception& error);

/// Shows the error being handled; call inside a catch block. An error that is not an exception
/// object is shown with an empty message.
Q4471_API void HandleException();

/// Dispatches the GUI's messages while the GUI thread waits up to `timeoutMs`, so that a window
/// stays responsive during a delay. A bound toolkit runs its own event loop; without one, the
/// calls handed to the GUI thread run. Call on the GUI thread.
using MessagePump = std::function<void(int timeoutMs)>;
/// Installs the toolkit's message pump (QtFrameworkBinding does); empty to unbind. GUI thread.
Q4471_API void SetMessagePump(MessagePump pump);
/// Runs the bound MessagePump, or else CheckSynchronize, for up to `timeoutMs` milliseconds.
/// GUI thread.
Q4471_API void ProcessMessages(int timeoutMs);

/// Hands the calling thread, the GUI thread, to the framework until Terminate: a bound toolkit
/// runs its event loop; without one, the calls handed to the GUI thread run as they come, and
/// nothing else wakes the thread. With `stopOnSignals`, SIGINT, SIGTERM and SIGHUP (Ctrl+C or a
/// closed console on Windows) call Terminate while Run lasts. A Terminate that came before Run
/// makes it return at once; each return takes the request, so the next Run waits for a new one.
Q4471_API void Run(bool stopOnSignals = true);
/// Asks Run to return; from any thread, from inside a call that Run runs too.
Q4471_API void Terminate();
/// Whether a Terminate waits to be taken by Run. Any thread.
Q4471_API bool Terminated();

/// Lets a GUI toolkit run its own loop for Run: `run` blocks until `quit`, which may be called on
/// any thread and before `run`, and which ends the loop only while Terminated() holds. Empty
/// functions unbind. Call on the GUI thread.
Q4471_API void SetMainLoop(std::function<void()> run, std::function<void()> quit);

} // namespace Application

} // namespace q4471
