// News of serial ports from inotify on /dev (and on udev's /dev/serial links where they exist)
// rather than from kernel uevents or udev: a node that devtmpfs or a container's manager makes or
// removes is news even where no uevent reaches the process and no udev daemon runs.

#include "serial/platform/SerialPortSystem.h"

#include <q4471/serial/LinuxFileDescriptor.h>
#include <q4471/serial/SystemErrors.h>

#include <cerrno>
#include <climits>
#include <map>
#include <poll.h>
#include <sys/inotify.h>
#include <vector>

namespace SerialPlatform {

namespace {

// A burst (a plugged adapter: its node, then udev's permissions and links) is taken as one change
// once it has been quiet this long, but never waited out longer than the cap.
constexpr int QuietMs = 100;
constexpr int BurstCapMs = 1000;

constexpr uint32_t FolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

class TLinuxPortChangeWaiter : public IPortChangeWaiter {
public:
    TLinuxPortChangeWaiter(const TSerialSystemFolders& folders, TSignalHandle stop)
        : dev_(folders.dev), stop_(stop), inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

    bool Start() {
        if (!inotify_.Valid()) {
            return false;
        }
        const int root = inotify_add_watch(inotify_.Get(), dev_.c_str(), FolderEvents);
        if (root < 0) {
            return false;
        }
        watched_[root] = dev_;
        WatchSerialFolders();
        return true;
    }

    TPortWaitResult WaitForChange(std::vector<std::string>& removed) override {
        removed_.clear();
        const TPortWaitResult result = WaitAndSettle();
        removed = std::move(removed_);
        return result;
    }

private:
    TPortWaitResult WaitAndSettle() {
        for (;;) {
            const int woken = WaitReadable(-1);
            if (woken != 1) {
                return woken == 0 ? pwStopped : pwFailed;
            }
            if (!ReadEvents()) {
                continue; // nothing that concerns serial ports
            }
            return Settle();
        }
    }

    // Waits for the stop signal or for events, up to `timeoutMs` (-1: no limit). Answers 0 when
    // stopped, 1 when events wait, 2 when the time ran out, -1 on failure.
    int WaitReadable(int timeoutMs) {
        pollfd waited[] = {{static_cast<int>(stop_.Native), POLLIN, 0},
                           {inotify_.Get(), POLLIN, 0}};
        int ready;
        do {
            ready = poll(waited, 2, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            SetLastError(errno);
            return -1;
        }
        if (waited[0].revents != 0) {
            return 0;
        }
        return ready == 0 ? 2 : 1;
    }

    // Reads the waiting events; answers whether one concerns serial ports.
    bool ReadEvents() {
        alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
        bool relevant = false;
        ssize_t length;
        while ((length = read(inotify_.Get(), buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                relevant = Take(*event) || relevant;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        WatchSerialFolders();
        return relevant;
    }

    bool Take(const inotify_event& event) {
        if ((event.mask & IN_IGNORED) != 0) {
            watched_.erase(event.wd); // a removed folder, watched again if it comes back
            return true;
        }
        if (event.wd != RootWatch() || (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
            return true; // the serial link folders concern nothing else
        }
        const std::string name = event.len > 0 ? event.name : "";
        const bool relevant =
            name.starts_with("tty") || name.starts_with("rfcomm") || name == "serial";
        if (relevant && (event.mask & (IN_DELETE | IN_MOVED_FROM)) != 0) {
            removed_.push_back(dev_ + "/" + name);
        }
        return relevant;
    }

    int RootWatch() const {
        for (const auto& [watch, path] : watched_) {
            if (path == dev_) {
                return watch;
            }
        }
        return -1;
    }

    // udev makes and removes /dev/serial and its link folders as adapters come and go.
    void WatchSerialFolders() {
        if (RootWatch() < 0) {
            return; // /dev itself is gone: nothing under it can come back
        }
        for (const std::string& folder :
             {dev_ + "/serial", dev_ + "/serial/by-id", dev_ + "/serial/by-path"}) {
            const int watch = inotify_add_watch(inotify_.Get(), folder.c_str(), FolderEvents);
            if (watch >= 0) {
                watched_[watch] = folder;
            }
        }
    }

    // Takes the rest of a burst; the change is reported either way.
    TPortWaitResult Settle() {
        for (int waited = 0; waited < BurstCapMs; waited += QuietMs) {
            switch (WaitReadable(QuietMs)) {
            case 0:
                return pwStopped;
            case 1:
                ReadEvents();
                break;
            default:
                return pwChanged; // quiet, or the wait failed: what came is news already
            }
        }
        return pwChanged;
    }

    const std::string dev_;
    const TSignalHandle stop_;
    FileDescriptor inotify_;
    std::map<int, std::string> watched_;
    std::vector<std::string> removed_; // during the present wait
};

} // namespace

std::unique_ptr<IPortChangeWaiter> CreatePortChangeWaiter(const TSerialSystemFolders& folders,
                                                          TSignalHandle stop) {
    auto waiter = std::make_unique<TLinuxPortChangeWaiter>(folders, stop);
    if (!waiter->Start()) {
        SetLastError(errno);
        return nullptr;
    }
    return waiter;
}

} // namespace SerialPlatform
