/// @file
/// The framework binding without a GUI toolkit.
#pragma once

#include <q4471/framework/Export.h>
#include <q4471/framework/Locks.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace q4471 {

/// The framework stand-ins without a GUI toolkit, for tests: the test's own thread acts as the GUI
/// thread and pumps the calls handed to it, and the error display records the messages it is given.
class Q4471_API PlainFrameworkBinding {
public:
    /// Installs the recording error display.
    PlainFrameworkBinding();
    /// Removes the error display again (messages then go to standard error).
    ~PlainFrameworkBinding();
    /// One binding per process; not copyable.
    PlainFrameworkBinding(const PlainFrameworkBinding&) = delete;
    /// Not copyable.
    PlainFrameworkBinding& operator=(const PlainFrameworkBinding&) = delete;

    /// Runs the calls handed to the GUI thread until `condition` holds or `deadline` has passed.
    /// Answers whether the condition held. Call on the GUI thread (the process's first thread).
    static bool PumpUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds deadline = std::chrono::seconds(10));

    /// The messages given to the error display so far, oldest first. Any thread.
    std::vector<std::string> ShownErrors() const;

private:
    mutable TMutex mutex_;
    std::vector<std::string> shownErrors_ Q4471_GUARDED_BY(mutex_);
};

} // namespace q4471
