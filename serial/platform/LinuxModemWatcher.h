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
// TIOCMIWAIT only sees changes from the moment it begins, so a change that comes after one wait
// has ended and before the next has begun would not wake anyone. Where the driver keeps interrupt
// counters (TIOCGICOUNT), the watcher reads the counters of its lines after each wake and again
// before each wait, and wakes the waiter when they differ: such a change is then told at once.
// Only the instant between that last reading and the driver's own look at its counters as the
// wait begins stays open; a change there is told at the next wake, by the waiter's comparison.
// Where the driver keeps no counters (a pseudo-terminal has neither them nor TIOCMIWAIT), a change
// between two waits is seen at the next wake of any kind, as TIOCMIWAIT alone allows.
//
// The driver's calls are seams (WaitFunction, CounterFunction), so that a test can give stand-ins
// where a pseudo-terminal has no modem lines to wait on and no counters.

#include <q4471/serial/LinuxFileDescriptor.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <linux/serial.h>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace SerialPlatform {

class LinuxModemWatcher {
public:
    // Waits until one of `lines` (TIOCM_CTS, TIOCM_DSR, TIOCM_CD, TIOCM_RNG) of the device `fd`
    // changes. Answers 0 after a change, otherwise the error code: EINTR when a signal ended
    // the wait; DriverHasNo when the driver cannot wait for the lines; DeviceHasGone when the
    // device went away.
    using WaitFunction = std::function<int(int fd, int lines)>;
    // Reads the driver's interrupt counters (TIOCGICOUNT); 0 or the error code.
    using CounterFunction = std::function<int(int fd, serial_icounter_struct& counters)>;

    // The host's wait: TIOCMIWAIT.
    static int WaitForLineChange(int fd, int lines);

    // The signal that releases a watcher from its wait.
    static int ReleaseSignal();

    // Makes sure that `signal` has a handler that does nothing and does not restart calls:
    // installs it when the signal's disposition is the default. Answers whether the handler is
    // in place; false when the signal has another disposition (which is left as it is).
    static bool InstallReleaseHandler(int signal);

    // Starts watching `lines` of `fd` with `wait`, and with `readCounters` where given and the
    // driver answers it: `since`, the waker's own reading of the counters, if any, is where
    // changes count from (otherwise the watcher's first reading). nullptr with the error in
    // GetLastError when the release signal is taken (EBUSY), or the eventfd or the thread cannot
    // be made.
    static std::unique_ptr<LinuxModemWatcher>
    Start(int fd, int lines, WaitFunction wait, CounterFunction readCounters = {},
          std::optional<serial_icounter_struct> since = std::nullopt);

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
    LinuxModemWatcher(int fd, int lines, WaitFunction wait, CounterFunction readCounters,
                      std::optional<serial_icounter_struct> since, FileDescriptor wake);
    void Run();
    void Wake();
    // Reads the counters into `counters`; false, and no more readings, once the driver refuses.
    bool ReadCounters(serial_icounter_struct& counters);
    // Whether the counters of the watched lines differ.
    bool WatchedLinesChanged(const serial_icounter_struct& before,
                             const serial_icounter_struct& after) const;

    const int fd_;
    const int lines_;
    const WaitFunction wait_;
    CounterFunction readCounters_; // the watcher thread's only; empty once the driver refused
    std::optional<serial_icounter_struct> since_;
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
