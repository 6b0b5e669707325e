#pragma once

// Ports whose handlers run on their own threads (htPortThreads). The test's thread never runs
// hand-overs, so whatever reaches a handler came without the GUI thread; the log is locked, as
// the port's two threads and the test use it at once.

#include "CommEventFixture.h"
#include "WaitUntil.h"

#include <memory>
#include <mutex>

class LockedLog {
public:
    void Add(std::string entry) {
        const std::lock_guard lock(mutex_);
        onGuiThread_ = onGuiThread_ || q4471::IsMainThread();
        entries_.push_back(std::move(entry));
    }
    LogSink Sink() {
        return [this](std::string entry) { Add(std::move(entry)); };
    }
    std::vector<std::string> Entries() const {
        const std::lock_guard lock(mutex_);
        return entries_;
    }
    std::string Last() const {
        const std::lock_guard lock(mutex_);
        return entries_.empty() ? "" : entries_.back();
    }
    bool WaitForCount(std::size_t count) const {
        return WaitUntil([&] { return Entries().size() >= count; });
    }
    bool WaitForLast(const std::string& entry) const {
        return WaitUntil([&] { return Last() == entry; });
    }
    bool SawGuiThread() const {
        const std::lock_guard lock(mutex_);
        return onGuiThread_;
    }
    void Clear() {
        const std::lock_guard lock(mutex_);
        entries_.clear();
        onGuiThread_ = false;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
    bool onGuiThread_ = false;
};

class PortThreadsTest : public CommTest {
protected:
    PortThreadsTest() { comm_.SetHandlerThread(htPortThreads); }
    ~PortThreadsTest() override { comm_.Close(); }

    // A port of its own on the test's line, for the cases that destroy or reopen it. With
    // `scripted`, its line events are the test's (ScriptedEvents) and its data the line's.
    std::unique_ptr<TVaComm> NewPort(bool directWrite, bool scripted) {
        auto port = std::make_unique<TVaComm>(nullptr);
        port->SetDeviceName(pty_.SlavePath());
        port->SetDirectWrite(directWrite);
        port->SetHandlerThread(htPortThreads);
        if (scripted) {
            fake_.scriptedEvents = &script_;
            port->SetCommSystem(fake_);
        }
        return port;
    }

    // Expects nothing more to reach the handlers within a short while.
    void ExpectNoMoreAfter(const std::string& last) const {
        WaitUntil([] { return false; }, std::chrono::milliseconds(200));
        EXPECT_EQ(log_.Last(), last) << "a delivery after the last expected one";
    }

    q4471::PlainFrameworkBinding framework_; // records the errors shown
    ScriptedEvents script_;
    LockedLog log_;
};
