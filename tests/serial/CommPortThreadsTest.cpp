// Ports whose handlers, clients and line events run on the port's own threads.

#include "PortThreadsFixture.h"
#include "support/ProcessEntries.h"

#include <q4471/serial/VaDisplay.h>

#include <atomic>
#include <thread>

using namespace q4471;
using namespace SerialPlatform;

TEST_F(PortThreadsTest, BatchesKeepTheirOrderAndNeverReachTheGuiThread) {
    struct Case {
        const char* name;
        bool scripted;    // the line events are the test's
        bool directWrite; // false: a transmit thread tells the drained queue
        std::function<void()> cause;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"received data: the client, then OnRxBuf",
         false,
         true,
         [this] { pty_.Send("hello"); },
         {"A data hello", "OnRxBuf hello"}},
        {"line events: the client, then the handlers in their order",
         true,
         true,
         [this] { script_.Raise(EV_DSR | EV_CTS); },
         {"A line 0018", "OnCts", "OnDsr"}},
        {"an error and a drained driver queue",
         true,
         true,
         [this] { script_.Raise(EV_ERR | EV_TXEMPTY); },
         {"A line 0084", "OnTxEmpty"}},
        {"a drained transmit queue, on the transmit thread",
         false,
         false,
         [this] { comm_.WriteText("x"); },
         {"A line 0004", "OnTxEmpty"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.Clear();
        fake_.scriptedEvents = &script_;
        if (c.scripted) {
            UseFake();
        } else {
            comm_.SetCommSystem(DefaultCommSystem());
        }
        comm_.SetDirectWrite(c.directWrite);
        RecordingClient client(log_.Sink(), "A");
        client.SetComm(&comm_);
        RecordHandlers(comm_, log_.Sink());
        comm_.Open();
        c.cause();
        ASSERT_TRUE(log_.WaitForCount(c.expected.size()));
        ExpectNoMoreAfter(c.expected.back());
        comm_.Close();
        EXPECT_EQ(log_.Entries(), c.expected);
        EXPECT_FALSE(log_.SawGuiThread());
        EXPECT_EQ(PendingSyncCalls(), 0u);
    }
}

TEST_F(PortThreadsTest, AHandlerClosesReopensOrDestroysItsPortOnItsOwnThread) {
    enum How { close, reopen, destroy };
    enum Where { rxChar, cts, txEmpty }; // receive thread (data, line event), transmit thread
    struct Case {
        const char* name;
        How how;
        Where where;
    };
    const Case cases[] = {
        {"Close in OnRxChar", close, rxChar},
        {"Close in OnCts", close, cts},
        {"Close in OnTxEmpty", close, txEmpty},
        {"reopening in OnRxChar", reopen, rxChar},
        {"reopening in OnCts", reopen, cts},
        {"reopening in OnTxEmpty", reopen, txEmpty},
        {"destruction in OnRxChar", destroy, rxChar},
        {"destruction in OnCts", destroy, cts},
        {"destruction in OnTxEmpty", destroy, txEmpty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.Clear();
        // Both threads run in every case: each must let the other go while it closes.
        std::unique_ptr<TVaComm> port = NewPort(false, c.where == cts);
        RecordHandlers(*port, log_.Sink());
        std::atomic<bool> done{false};
        const auto end = [&, c](TObject*) {
            auto* const finished = &done; // this closure goes with a destroyed port
            log_.Add("end");
            if (c.how == destroy) {
                port.reset();
            } else {
                port->Close();
                if (c.how == reopen) {
                    port->Open();
                }
            }
            *finished = true;
        };
        port->OnRxChar = [end](TObject* sender, int32_t) { end(sender); };
        port->OnCts = end;
        port->OnTxEmpty = end;
        port->Open();
        if (c.where == rxChar) {
            pty_.Send("hello");
        } else if (c.where == cts) {
            script_.Raise(EV_CTS | EV_DSR);
        } else {
            port->WriteText("x");
        }
        ASSERT_TRUE(WaitUntil([&] { return done.load(); })) << "the port's thread waits for itself";
        ExpectNoMoreAfter("end");
        EXPECT_EQ(log_.Entries(), std::vector<std::string>{"end"});
        EXPECT_TRUE(c.how == destroy ? port == nullptr : port->Active() == (c.how == reopen));
        port.reset();
    }
}

TEST_F(PortThreadsTest, DestroyingThePortServesTheGuiThreadCallsOfAHandlerThatClosedIt) {
    auto port = NewPort(true, false);
    TVaComm* const raw = port.get();
    std::atomic<bool> closed{false};
    std::atomic<bool> served{false};
    raw->OnRxChar = [&, raw](TObject*, int32_t) {
        raw->Close();
        closed = true;
        // The GUI thread is destroying the port by now; it must serve this call, not wait for the
        // handler that makes it (this would hang until the test's time-out).
        TThread::Synchronize([&] { served = true; });
    };
    port->Open();
    pty_.Send("x");
    ASSERT_TRUE(WaitUntil([&] { return closed.load(); }));
    port.reset(); // on the GUI thread, which never ran a hand-over before
    EXPECT_TRUE(served);
}

TEST_F(PortThreadsTest, CloseFromAnotherThreadWaitsForTheRunningHandlerOnly) {
    struct Case {
        const char* name;
        bool onWorker; // Close on a worker instead of the GUI thread
        bool txEmpty;  // the handler runs on the transmit thread instead of the receive thread
    };
    const Case cases[] = {
        {"GUI thread, OnRxChar", false, false},
        {"worker, OnRxChar", true, false},
        {"GUI thread, OnTxEmpty", false, true},
        {"worker, OnTxEmpty", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.Clear();
        comm_.SetDirectWrite(false);
        std::atomic<bool> release{false};
        const auto hold = [&](TObject*) {
            log_.Add("in");
            WaitUntil([&] { return release.load(); });
            log_.Add("out");
        };
        comm_.OnRxChar = [hold](TObject* sender, int32_t) { hold(sender); };
        comm_.OnTxEmpty = hold;
        comm_.Open();
        c.txEmpty ? static_cast<void>(comm_.WriteText("x")) : pty_.Send("hello");
        ASSERT_TRUE(log_.WaitForLast("in"));
        // Lets the handler go once Close has had time to start waiting for it.
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            release = true;
        });
        EXPECT_TRUE(CloseFrom(comm_, c.onWorker));
        EXPECT_EQ(log_.Last(), "out") << "Close returned while the handler ran";
        releaser.join();
        EXPECT_FALSE(comm_.Active());
        ExpectNoMoreAfter("out");
    }
}

TEST_F(PortThreadsTest, AReceiveHandlerAnswersThroughEitherWritePath) {
    for (const bool directWrite : {true, false}) {
        SCOPED_TRACE(directWrite ? "direct writes" : "queued writes");
        comm_.SetDirectWrite(directWrite);
        std::atomic<int> failures{0};
        comm_.OnRxChar = [&](TObject*, int32_t) {
            if (!comm_.WriteText(comm_.ReadText())) {
                ++failures;
            }
        };
        comm_.Open();
        std::string expected;
        for (int round = 0; round < 20; ++round) {
            const std::string line = "round " + std::to_string(round) + "\r\n";
            pty_.Send(line);
            expected += line;
        }
        EXPECT_EQ(pty_.Receive(expected.size()), expected);
        EXPECT_EQ(failures, 0);
        comm_.Close();
    }
}

TEST_F(PortThreadsTest, AVanishedDeviceIsToldOnceOnThePortsThread) {
    for (const bool handled : {false, true}) {
        SCOPED_TRACE(handled ? "OnDeviceLost closes the port" : "the error display");
        PtyPair pty;
        comm_.SetDeviceName(pty.SlavePath());
        LockedLog reported;
        comm_.OnDeviceLost = nullptr;
        if (handled) {
            comm_.OnDeviceLost = [&](TObject*, const std::string& message) {
                reported.Add(message);
                comm_.Close();
            };
        }
        const std::size_t shownBefore = framework_.ShownErrors().size();
        comm_.Open();
        const int threadsWithPort = RunningThreads();
        pty.CloseMaster();
        const auto messages = [&] {
            std::vector<std::string> shown = framework_.ShownErrors();
            shown.erase(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(shownBefore));
            return handled ? reported.Entries() : shown;
        };
        ASSERT_TRUE(WaitUntil([&] { return !messages().empty(); }));
        EXPECT_TRUE(WaitUntil([&] { return RunningThreads() <= threadsWithPort - 1; }))
            << "the receive thread goes on after its device has gone";
        WaitUntil([] { return false; }, std::chrono::milliseconds(200));
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].rfind("Connection to " + comm_.GetDeviceName() + " lost (", 0), 0u)
            << messages()[0];
        EXPECT_FALSE(reported.SawGuiThread());
        EXPECT_NO_THROW(comm_.Close());
    }
}

TEST_F(PortThreadsTest, ADisplayIsRefusedWhicheverComesFirst) {
    class NoDisplay : public TVaDisplay {
    public:
        NoDisplay() : TVaDisplay(nullptr) {}
        void UpdateDisplay(TComponent*) override {}
    } display;
    EXPECT_EQ(ErrorOf([&] { comm_.SetDisplay(&display); }), sErrDisplayOnPortThreads);
    EXPECT_EQ(comm_.Display(), nullptr);
    comm_.SetHandlerThread(htGuiThread);
    comm_.SetDisplay(&display);
    EXPECT_EQ(ErrorOf([&] { comm_.SetHandlerThread(htPortThreads); }), sErrDisplayOnPortThreads);
    EXPECT_EQ(comm_.HandlerThread(), htGuiThread);
    comm_.SetDisplay(nullptr);
}
