#pragma once

/// @file
/// TSerialPortWatcher: news when a serial port comes or goes.

#include <q4471/framework/Components.h>
#include <q4471/framework/Export.h>
#include <q4471/framework/Locks.h>
#include <q4471/serial/SerialPorts.h>
#include <q4471/serial/VaTypes.h>
#include <q4471/serial/Vaconst.h>

#include <functional>
#include <memory>
#include <vector>

class TSerialPortWatchThread;

/// A port that came, went or changed; `sender` is the watcher.
using TSerialPortEvent = std::function<void(q4471::TObject* sender, const TSerialPortInfo& port)>;

/// Tells when a serial port arrives or leaves, with no polling: its thread sleeps until the
/// system reports a change (on Linux inotify on /dev and udev's /dev/serial links, so it also
/// works where no udev daemon runs and no kernel uevents arrive; on Windows the registry's list
/// of serial devices), lists the ports again and hands over the difference. Nothing runs while
/// nothing changes. A port that vanishes while open is noticed by that port (OnDeviceLost); the
/// watcher tells when it comes back.
///
/// Which thread runs the handlers, by HandlerThread, as for a port: htGuiThread (the default)
/// the GUI thread, one delivery at a time; htPortThreads the watcher's own thread. Stop and the
/// destructor are safe from any thread and from inside the watcher's own handlers: a thread never
/// waits for itself, and once Stop has returned no handler runs any more (one that is running
/// further up the caller's stack finishes).
///
/// Lock order: the watcher's mutex is a leaf; it is never held while a handler runs or while
/// the watcher waits for its thread.
class Q4471_API TSerialPortWatcher : public q4471::TComponent {
public:
    /// A stopped watcher; `owner` destroys it with itself, or null for none.
    explicit TSerialPortWatcher(q4471::TComponent* owner = nullptr);
    /// Stops it.
    ~TSerialPortWatcher() override;

    /// Lists the ports (Ports) and starts watching; nothing when it watches already. Raises
    /// EVaCommError `"Can't watch the serial ports (%d), %s"` when the system refuses to watch
    /// (inotify's limit of watches reached): kind ekSystemError, the code in the message only
    /// (SystemCode() 0).
    void Start();
    /// Stops watching; nothing when stopped. Any thread, also from inside a handler.
    void Stop();
    /// Whether it watches.
    bool Active() const;

    /// The ports as the handlers have last been told, in ListSerialPorts' order; what Start
    /// found until the first change. Any thread.
    std::vector<TSerialPortInfo> Ports() const;

    ///@{
    /// The system folders it lists and watches (Linux; tests point them at a tree of their own).
    /// Refused while active (EVaCommError, kind ekSystemError, as HandlerThread).
    const TSerialSystemFolders& Folders() const { return folders_; }
    void SetFolders(const TSerialSystemFolders& value);
    ///@}

    ///@{
    /// Which thread runs the handlers. Default htGuiThread; refused while active (EVaCommError
    /// `"Can't perform this operation while the port watcher is active"`, kind ekSystemError).
    TVaHandlerThread HandlerThread() const { return handlerThread_; }
    void SetHandlerThread(TVaHandlerThread value);
    ///@}

    /// A port appeared. With each change the departures come first, then the arrivals, then the
    /// changes, each in the ports' order.
    TSerialPortEvent OnArrived;
    /// A port disappeared; the record is what was known of it.
    TSerialPortEvent OnLeft;
    /// A port that stays changed what is known of it: udev adds its stable names and permissions a
    /// moment after the node appears. Who holds it open is not watched.
    TSerialPortEvent OnChanged;

private:
    friend class TSerialPortWatchThread;

    void CheckStopped() const;
    // On the handlers' thread: takes the new list and answers what the handlers must hear;
    // `removed` are the nodes that went away meanwhile, whether or not they are back.
    std::vector<std::pair<TSerialPortEvent TSerialPortWatcher::*, TSerialPortInfo>>
    TakePorts(std::vector<TSerialPortInfo> ports, const std::vector<std::string>& removed);

    TSerialSystemFolders folders_;
    TVaHandlerThread handlerThread_ = htGuiThread;
    mutable q4471::TMutex mutex_; // a leaf
    TSerialPortWatchThread* thread_ Q4471_GUARDED_BY(mutex_) = nullptr;
    std::vector<TSerialPortInfo> ports_ Q4471_GUARDED_BY(mutex_);
};
