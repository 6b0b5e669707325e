#include "CommEventFixture.h"
#include "WaitUntil.h"
#include "support/ProcessEntries.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

using namespace q4471;
using namespace SerialPlatform;

namespace {

class CommCloseTest : public CommEventTest {
protected:
    // A port of its own on the same line, for the cases that destroy it.
    std::unique_ptr<TVaComm> NewPort() {
        auto port = std::make_unique<TVaComm>(nullptr);
        port->SetDeviceName(pty_.SlavePath());
        port->SetDirectWrite(true);
        port->SetCommSystem(fake_);
        return port;
    }
};

} // namespace

TEST_F(CommCloseTest, ClosingOrDestroyingThePortFromItsOwnNotificationsDropsTheRest) {
    struct Case {
        const char* name;
        bool destroy;    // destroy the port instead of closing it
        bool fromClient; // from the client's notification instead of the port's handler
        bool lineEvent;  // a line event (OnCts / LineChanged) instead of received data
    };
    const Case cases[] = {
        {"Close in OnRxChar", false, false, false},
        {"Close in a client's data notification: no OnRxBuf", false, true, false},
        {"Close in OnCts: no OnDsr", false, false, true},
        {"Close in a client's line notification: no OnCts", false, true, true},
        {"destruction in OnRxChar", true, false, false},
        {"destruction in a client's data notification", true, true, false},
        {"destruction in OnCts", true, false, true},
        {"destruction in a client's line notification", true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        fake_.scriptedEvents = c.lineEvent ? &script_ : nullptr;
        std::unique_ptr<TVaComm> port = NewPort();
        RecordHandlers(*port);
        RecordingClient client(log_, "A");
        if (c.fromClient) {
            client.SetComm(port.get());
        }
        const auto end = [&, c] {
            log_.push_back("end");
            if (c.destroy) {
                port.reset();
            } else {
                port->Close();
            }
        };
        if (c.fromClient) {
            client.onData = end;
            client.onLine = end;
        } else {
            port->OnRxChar = [&, end](TObject*, int32_t) { end(); };
            port->OnCts = [&, end](TObject*) { end(); };
        }
        port->Open();
        if (c.lineEvent) {
            script_.Raise(EV_CTS | EV_DSR);
        } else {
            pty_.Send("hello");
        }
        ASSERT_TRUE(PlainFrameworkBinding::PumpUntil(
            [&] { return !log_.empty() && log_.back() == "end"; }));
        PumpAWhile();
        EXPECT_EQ(log_.back(), "end") << "a notification after the port was closed";
        EXPECT_TRUE(port == nullptr || !port->Active());
    }
}

TEST_F(CommCloseTest, CloseTakesBackADeliveryThatWaitsForABusyGuiThread) {
    struct Case {
        const char* name;
        bool onWorker;
    };
    for (const Case c : {Case{"on the GUI thread", false}, Case{"on a worker", true}}) {
        SCOPED_TRACE(c.name);
        log_.clear();
        UseScript();
        RecordHandlers(comm_);
        comm_.Open();
        script_.Raise(EV_CTS);
        // The GUI thread does not come back to its loop: the delivery stays queued.
        ASSERT_TRUE(WaitUntil([] { return PendingSyncCalls() == 1; }));
        EXPECT_TRUE(CloseFrom(comm_, c.onWorker));
        EXPECT_EQ(PendingSyncCalls(), 0u);
        PumpAWhile();
        EXPECT_TRUE(log_.empty()) << "a delivery reached the closed port";
    }
}

TEST_F(CommCloseTest, AThreadHoldingTheWriteLockAndACloseBothFinish) {
    struct Case {
        const char* name;
        std::function<void(TVaComm&)> call;
    };
    const Case cases[] = {
        {"SetBreak", [](TVaComm& port) { port.SetBreak(true); }},
        {"SetRTS", [](TVaComm& port) { port.SetRTS(true); }},
        {"GetModemStatus", [](TVaComm& port) { port.GetModemStatus(1); }},
        {"ReadText", [](TVaComm& port) { port.ReadText(); }},
        {"PurgeRead", [](TVaComm& port) { port.PurgeRead(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        comm_.Open();
        std::atomic<bool> holding{false};
        std::atomic<bool> closed{false};
        std::atomic<bool> done{false};
        std::thread holder([&] {
            comm_.WriteLock();
            holding = true;
            while (!closed) {
                try {
                    c.call(comm_);
                } catch (const EVaCommError&) {
                    // a pseudo-terminal lacks some line functions: only the locks matter here
                }
            }
            comm_.WriteUnlock();
            done = true;
        });
        ASSERT_TRUE(WaitUntil([&] { return holding.load(); }));
        std::thread closer([&] {
            comm_.Close();
            closed = true;
        });
        EXPECT_TRUE(WaitUntil([&] { return done.load() && closed.load(); }))
            << "the lock holder and Close wait for each other";
        holder.join();
        closer.join();
    }
}

TEST_F(CommCloseTest, AVanishedDeviceIsReportedOnceAndItsThreadEnds) {
    // Reported through the error box, or to OnDeviceLost, whose handler may close the port.
    for (const bool handled : {false, true}) {
        SCOPED_TRACE(handled ? "OnDeviceLost closes the port" : "the error box");
        PtyPair pty;
        comm_.SetDeviceName(pty.SlavePath());
        std::vector<std::string> reported;
        comm_.OnDeviceLost = nullptr;
        if (handled) {
            comm_.OnDeviceLost = [&](TObject*, const std::string& message) {
                reported.push_back(message);
                comm_.Close();
            };
        }
        const std::size_t shownBefore = framework_.ShownErrors().size();
        comm_.Open();
        // Counted with the port's thread running: a sanitizer may start a thread of its own.
        const int threadsWithPort = RunningThreads();
        pty.CloseMaster(); // the adapter is pulled out
        const auto messages = [&] {
            std::vector<std::string> shown = framework_.ShownErrors();
            shown.erase(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(shownBefore));
            return handled ? reported : shown;
        };
        ASSERT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return !messages().empty(); }));
        // At most: Wine runs serial waits on short-lived threads of its own.
        EXPECT_TRUE(WaitUntil([&] { return RunningThreads() <= threadsWithPort - 1; }))
            << "the receive thread goes on after its device has gone";
        PumpAWhile();
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].rfind("Connection to " + comm_.GetDeviceName() + " lost (", 0), 0u)
            << messages()[0];
        EXPECT_EQ(framework_.ShownErrors().size(), shownBefore + (handled ? 0u : 1u));
        EXPECT_NO_THROW(comm_.Close());
        EXPECT_FALSE(comm_.Active());
    }
}

TEST_F(CommCloseTest, ReopeningAThousandTimesWithTrafficLosesAndLeaksNothing) {
    RecordingClient client(log_, "A");
    client.SetComm(&comm_);
    comm_.Open();
    comm_.Close();
    const int descriptorsBefore = OpenDescriptors();
    const ThreadIdSet threadsBefore = ThreadIds();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        log_.clear();
        comm_.Open();
        const std::string bytes = "cycle " + std::to_string(cycle) + "\r\n";
        pty_.Send(bytes);
        std::string received;
        ASSERT_TRUE(PlainFrameworkBinding::PumpUntil([&] {
            received.clear();
            for (const std::string& entry : log_) {
                received += entry.substr(7); // "A data "
            }
            return received.size() >= bytes.size();
        }));
        ASSERT_EQ(received, bytes);
        if (cycle % 3 == 0) {
            comm_.PurgeReadWrite();
        }
        comm_.Close();
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
    EXPECT_TRUE(WaitUntil([&] { return NoThreadStartedSince(threadsBefore); }));
}
