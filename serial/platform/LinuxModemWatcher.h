#pragma once

// The modem-line watcher: a small helper thread that waits in the driver for a change of the
// modem input lines (TIOCMIWAIT) and wakes the event waiter through an eventfd, so that a line
// change ends the wait without anything polling.
//
// A thread blocked in TIOCMIWAIT can only be released by a signal. The watcher uses one real-time
// signal (ReleaseSignal) with a handler that does nothing and is installed without SA_RESTART, so
// that the blocked call answers EINTR instead of being restarted. The handler is installed once,
// and only if the signal's disposition is the default; a process that uses the signal itself
// gets no watcher (Start fails with EBUSY), and the waiter compares the lines on each wake
// instead. The watcher thread blocks every other signal, so the process's own signals are not
// delivered to it.
//
// Stopping sets a flag and sends the signal to the watcher thread with pthread_kill, again and
// again at short intervals until the thread has left: the flag may have been checked just before
// the thread entered the driver, where one signal would have been spent before the call began.
//
// The driver's call is a seam (WaitFunction), so that a test can give a stand-in that blocks
// where a pseudo-terminal has no modem lines to wait on.

#include "serial/LinuxFileDescriptor.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace SerialPlatform {

class LinuxModemWatcher {
public:
    // Waits until one of `lines` (TIOCM_CTS, TIOCM_DSR, TIOCM_CD, TIOCM_RNG) of the device `fd`
    // changes. Answers 0 after a change, otherwise the error code: EINTR when a signal ended
    // the wait; DriverHasNo when the driver cannot wait for the lines; DeviceHasGone when the
    // device went away.
    using WaitFunction = std::function<int(int fd, int lines)>;

    // The host's wait: TIOCMIWAIT.
    static int WaitForLineChange(int fd, int lines);

    // The signal that releases a watcher from its wait.
    static int ReleaseSignal();

    // Makes sure that `signal` has a handler that does nothing and does not restart calls:
    // installs it when the signal's disposition is the default. Answers whether the handler is
    // in place; false when the signal has another disposition (which is left as it is).
    static bool InstallReleaseHandler(int signal);

    // Starts watching `lines` of `fd` with `wait`. nullptr with the error in GetLastError when
    // the release signal is taken (EBUSY), or the eventfd or the thread cannot be made.
    static std::unique_ptr<LinuxModemWatcher> Start(int fd, int lines, WaitFunction wait);

    // Stops the watcher and waits for its thread to end.
    ~LinuxModemWatcher();
    LinuxModemWatcher(const LinuxModemWatcher&) = delete;
    LinuxModemWatcher& operator=(const LinuxModemWatcher&) = delete;

    // An eventfd, readable after a line change and once the watcher has ended on its own.
    int WakeDescriptor() const { return wake_.Get(); }
    // Clears the wake descriptor; called after it was found readable.
    void TakeWake();
    // Whether the watcher has ended on its own because its wait failed; `error` is the wait's
    // error code then.
    bool Ended(int& error) const;

    // Releases the thread from its wait and joins it. Idempotent.
    void Stop();

private:
    LinuxModemWatcher(int fd, int lines, WaitFunction wait, FileDescriptor wake);
    void Run();
    void Wake();

    const int fd_;
    const int lines_;
    const WaitFunction wait_;
    FileDescriptor wake_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<int> endError_{0};
    std::mutex mutex_;
    std::condition_variable left_;
    bool hasLeft_ = false; // under mutex_
    std::thread thread_;
};

} // namespace SerialPlatform
