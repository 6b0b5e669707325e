#include "serial/VaCommFormat.h"
#include "serial/VaCommThread.h"
#include "serial/platform/SerialPortSystem.h"

#include <q4471/framework/Application.h>
#include <q4471/serial/SerialPortWatcher.h>
#include <q4471/serial/SystemErrors.h>
#include <q4471/serial/VaObjects.h>
#include <q4471/serial/VaTypes.h>

#include <algorithm>
#include <utility>

using namespace q4471;

namespace {

constexpr char ErrWatcherActive[] = "Can't perform this operation while the port watcher is active";
constexpr char ErrWatch[] = "Can't watch the serial ports (%d), %s";

std::string WatchError(int code) {
    return FormatSystemError(ErrWatch, code, SerialPlatform::SysErrorMessage(code));
}

// What the watcher compares: who holds a port open changes without news.
bool SameIdentity(TSerialPortInfo a, TSerialPortInfo b) {
    a.Holders.clear();
    b.Holders.clear();
    return a == b;
}

} // namespace

// Sleeps until the system reports a change, lists the ports and hands the difference to the
// handlers' thread.
class TSerialPortWatchThread : public TVaCommThread {
public:
    TSerialPortWatchThread(TSerialPortWatcher* watcher, std::shared_ptr<TVaOwnDeliveries> own)
        : TVaCommThread(std::move(own)), watcher_(watcher), folders_(watcher->Folders()),
          waiter_(SerialPlatform::CreatePortChangeWaiter(folders_, stopSignal_.Handle())) {
        if (!waiter_) {
            throw EVaCommError(WatchError(SerialPlatform::GetLastError()));
        }
    }

    void StopThread() override {
        Terminate();
        stopSignal_.SetEvent();
    }

protected:
    void Serve() override {
        bool failedBefore = false;
        while (!Terminated()) {
            std::vector<std::string> removed;
            const SerialPlatform::TPortWaitResult result = waiter_->WaitForChange(removed);
            if (result == SerialPlatform::pwFailed) {
                // A wait that fails again at once would fail for good: said once, not spun on.
                if (failedBefore) {
                    const int code = SerialPlatform::GetLastError();
                    Post([code] { Application::ShowException(EVaCommError(WatchError(code))); });
                    return;
                }
                failedBefore = true;
                continue;
            }
            failedBefore = false;
            if (result == SerialPlatform::pwChanged) {
                std::vector<TSerialPortInfo> ports = ListSerialPorts(folders_);
                Deliver([&] { Announce(std::move(ports), removed); });
            }
        }
    }

private:
    // On the handlers' thread. A handler may stop or destroy the watcher: the thread is stopped
    // then, and the rest is dropped without touching the watcher again.
    void Announce(std::vector<TSerialPortInfo> ports, const std::vector<std::string>& removed) {
        for (const auto& [event, port] : watcher_->TakePorts(std::move(ports), removed)) {
            if (Terminated()) {
                return;
            }
            // A copy: the handler may replace itself or destroy the watcher that holds it.
            const TSerialPortEvent handler = watcher_->*event;
            if (!handler) {
                continue;
            }
            try {
                handler(watcher_, port);
            } catch (...) {
                Application::HandleException();
            }
        }
    }

    TSerialPortWatcher* const watcher_;
    const TSerialSystemFolders folders_;
    TVaWaitEvent stopSignal_;
    std::unique_ptr<SerialPlatform::IPortChangeWaiter> waiter_; // watches stopSignal_: after it
};

TSerialPortWatcher::TSerialPortWatcher(TComponent* owner) : TComponent(owner) {}

TSerialPortWatcher::~TSerialPortWatcher() {
    Destroying();
    Stop();
}

void TSerialPortWatcher::Start() {
    if (Active()) {
        return;
    }
    auto own = handlerThread_ == htPortThreads ? std::make_shared<TVaOwnDeliveries>() : nullptr;
    // Watching before listing: a change between the two is news, never lost.
    auto thread = std::make_unique<TSerialPortWatchThread>(this, std::move(own));
    std::vector<TSerialPortInfo> ports = ListSerialPorts(folders_);
    TSerialPortWatchThread* const started = thread.release();
    {
        const TLockGuard lock(mutex_);
        ports_ = std::move(ports);
        thread_ = started;
    }
    started->Start();
}

void TSerialPortWatcher::Stop() {
    TSerialPortWatchThread* thread = nullptr;
    {
        const TLockGuard lock(mutex_);
        thread = std::exchange(thread_, nullptr);
    }
    if (thread != nullptr) {
        thread->StopThread();
        TVaCommThread::Release(thread);
    }
}

bool TSerialPortWatcher::Active() const {
    const TLockGuard lock(mutex_);
    return thread_ != nullptr;
}

std::vector<TSerialPortInfo> TSerialPortWatcher::Ports() const {
    const TLockGuard lock(mutex_);
    return ports_;
}

void TSerialPortWatcher::CheckStopped() const {
    if (Active()) {
        throw EVaCommError(ErrWatcherActive);
    }
}

void TSerialPortWatcher::SetFolders(const TSerialSystemFolders& value) {
    CheckStopped();
    folders_ = value;
}

void TSerialPortWatcher::SetHandlerThread(TVaHandlerThread value) {
    CheckStopped();
    handlerThread_ = value;
}

std::vector<std::pair<TSerialPortEvent TSerialPortWatcher::*, TSerialPortInfo>>
TSerialPortWatcher::TakePorts(std::vector<TSerialPortInfo> ports,
                              const std::vector<std::string>& removed) {
    std::vector<TSerialPortInfo> before;
    {
        const TLockGuard lock(mutex_);
        before = std::exchange(ports_, ports);
    }
    // A node removed and made again within one change went and came back: a cable pulled and
    // plugged in again at once.
    const auto replaced = [&](const TSerialPortInfo& port) {
        return std::find(removed.begin(), removed.end(), port.Device) != removed.end();
    };
    const auto find = [&](const std::vector<TSerialPortInfo>& list, const TSerialPortInfo& port) {
        return replaced(port) ? list.end()
                              : std::find_if(list.begin(), list.end(), [&](const auto& other) {
                                    return other.Device == port.Device;
                                });
    };
    std::vector<std::pair<TSerialPortEvent TSerialPortWatcher::*, TSerialPortInfo>> news;
    for (const TSerialPortInfo& port : before) {
        if (find(ports, port) == ports.end()) {
            news.emplace_back(&TSerialPortWatcher::OnLeft, port);
        }
    }
    for (const TSerialPortInfo& port : ports) {
        if (find(before, port) == before.end()) {
            news.emplace_back(&TSerialPortWatcher::OnArrived, port);
        }
    }
    for (const TSerialPortInfo& port : ports) {
        if (const auto old = find(before, port); old != before.end() && !SameIdentity(*old, port)) {
            news.emplace_back(&TSerialPortWatcher::OnChanged, port);
        }
    }
    return news;
}
