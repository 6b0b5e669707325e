#include "CommEventFixture.h"
#include "SystemErrorText.h"
#include "WaitUntil.h"

#include <q4471/serial/VaDisplay.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

using namespace q4471;
using namespace SerialPlatform;

namespace {

// A display that logs each refresh and the port it was asked to read.
class RecordingDisplay : public TVaDisplay {
public:
    RecordingDisplay(std::vector<std::string>& log) : TVaDisplay(nullptr), log_(log) {}
    void UpdateDisplay(TComponent* sender) override {
        log_.push_back(dynamic_cast<TVaCustomComm*>(sender) != nullptr ? "display" : "not a port");
    }

private:
    std::vector<std::string>& log_;
};

} // namespace

TEST_F(CommEventTest, ReceivedBytesReachClientsOrOnRxCharAsTheClientListDecides) {
    struct Case {
        const char* name;
        std::vector<bool> clientsActive; // one client per entry, named A, B, ...
        bool controlsEnabled;
        std::vector<std::string> expected;
        int32_t leftInDriver;
    };
    const Case cases[] = {
        {"no client: the count, bytes left", {}, true, {"OnRxChar 5"}, 5},
        {"a client, then OnRxBuf", {true}, true, {"A data hello", "OnRxBuf hello"}, 0},
        {"an inactive client is skipped",
         {false, true},
         true,
         {"B data hello", "OnRxBuf hello"},
         0},
        {"controls disabled: OnRxBuf only", {true}, false, {"OnRxBuf hello"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        std::vector<std::unique_ptr<RecordingClient>> clients;
        for (std::size_t i = 0; i < c.clientsActive.size(); ++i) {
            clients.push_back(std::make_unique<RecordingClient>(log_, std::string(1, 'A' + i)));
            clients.back()->SetActive(c.clientsActive[i]);
            clients.back()->SetComm(&comm_);
        }
        c.controlsEnabled ? comm_.EnableControls() : comm_.DisableControls();
        RecordHandlers(comm_);
        comm_.Open();
        pty_.Send("hello");
        ASSERT_TRUE(PumpUntilLogged(c.expected.size()));
        EXPECT_EQ(log_, c.expected);
        EXPECT_EQ(comm_.ReadBufUsed(), c.leftInDriver);
        comm_.Close();
    }
}

TEST_F(CommEventTest, AClientGetsEveryByteOnceAndInOrderHoweverManyArriveAtOnce) {
    struct Case {
        const char* name;
        std::size_t size;
        bool nullStrip;
    };
    // The port reads a batch a block of 4096 bytes at a time.
    const Case cases[] = {
        {"one byte", 1, false},        {"a byte short of a block", 4095, false},
        {"a block", 4096, false},      {"a byte more than a block", 4097, false},
        {"many blocks", 50000, false}, {"many blocks that lose their NULs on the way", 50000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string sent(c.size, '\0');
        for (std::size_t i = 0; i < sent.size(); ++i) {
            sent[i] = static_cast<char>(i % 251); // a NUL every 251 bytes
        }
        std::string expected = sent;
        if (c.nullStrip) {
            std::erase(expected, '\0');
        }
        std::string received;
        const std::string prefix = "A data ";
        RecordingClient client([&](std::string entry) { received += entry.substr(prefix.size()); },
                               "A");
        client.SetComm(&comm_);
        comm_.SetOptions(c.nullStrip ? TVaCommOptions{coNullStrip} : TVaCommOptions{});
        comm_.Open();
        // The peer may have to wait for room while the port takes the first blocks.
        std::thread peer([&] { pty_.Send(sent); });
        PlainFrameworkBinding::PumpUntil([&] { return received.size() >= expected.size(); });
        peer.join();
        EXPECT_EQ(received.size(), expected.size());
        EXPECT_TRUE(received == expected) << "lost, doubled or reordered bytes";
        comm_.Close();
    }
}

TEST_F(CommEventTest, ABatchForClientsAsksTheDriverForACountOnlyAfterAFullBlock) {
    struct Case {
        const char* name;
        std::size_t waiting; // in a driver's queue larger than a pseudo-terminal's
        std::vector<std::string> driverCalls;
    };
    const Case cases[] = {
        {"less than a block: one read", 4095, {"ReadFile"}},
        {"a block: the count finds nothing left", 4096, {"ReadFile", "ClearCommError"}},
        {"more than a block: the rest is read into the same batch",
         10000,
         {"ReadFile", "ClearCommError", "ReadFile"}},
    };
    UseScript();
    RecordingClient client(log_, "A");
    client.SetComm(&comm_);
    comm_.Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string waiting(c.waiting, '\0');
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            waiting[i] = static_cast<char>('a' + i % 26);
        }
        fake_.input = waiting;
        fake_.calls.clear();
        log_.clear();
        script_.Raise(EV_RXCHAR);
        ASSERT_TRUE(PumpUntilLogged(1));
        EXPECT_TRUE(log_[0] == "A data " + waiting) << "the batch is not the whole queue";
        std::vector<std::string> driverCalls;
        std::copy_if(
            fake_.calls.begin(), fake_.calls.end(), std::back_inserter(driverCalls),
            [](const std::string& call) { return call == "ReadFile" || call == "ClearCommError"; });
        EXPECT_EQ(driverCalls, c.driverCalls);
    }
}

TEST_F(CommEventTest, BytesWithNoTakerStayForTheReader) {
    comm_.Open(); // as the editor's port: default events, no handler, no client
    pty_.Send("MEM:USR:SET 1,A,1,2,0,0\r");
    ASSERT_TRUE(WaitUntil([&] { return comm_.ReadBufUsed() == 24; }));
    PumpAWhile();
    EXPECT_EQ(comm_.ReadText(), "MEM:USR:SET 1,A,1,2,0,0\r");
}

TEST_F(CommEventTest, LineEventsArriveInTheirFixedOrderAfterTheData) {
    struct Case {
        const char* name;
        uint32_t mask;
        std::vector<bool> clientsActive;
        uint32_t pendingErrors;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"data first, then the line event without its data bit",
         EV_RXCHAR | EV_CTS,
         {true},
         0,
         {"display", "A line 0008", "OnCts"}},
        {"errors, then the clients with the whole mask, then the rest",
         EV_ERR | EV_TXEMPTY,
         {true},
         CE_FRAME,
         {"display", "OnError 0008", "A line 0084", "OnTxEmpty"}},
        {"an inactive client hears nothing",
         EV_DSR,
         {false, true},
         0,
         {"display", "B line 0010", "OnDsr"}},
        {"every line event, in the port's order",
         0x1FFE,
         {},
         0,
         {"display", "OnRxFlag", "OnCts", "OnDsr", "OnRing", "OnRlsd", "OnTxEmpty", "OnBreak",
          "OnPErr", "OnRx80Full", "OnEvent1", "OnEvent2"}},
        {"data alone raises no line event", EV_RXCHAR, {true}, 0, {"display"}},
    };
    UseScript();
    RecordingDisplay display(log_);
    comm_.SetDisplay(&display);
    RecordHandlers(comm_);
    comm_.Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<RecordingClient>> clients;
        for (std::size_t i = 0; i < c.clientsActive.size(); ++i) {
            clients.push_back(std::make_unique<RecordingClient>(log_, std::string(1, 'A' + i)));
            clients.back()->SetActive(c.clientsActive[i]);
            clients.back()->SetComm(&comm_);
        }
        fake_.pendingErrors = c.pendingErrors;
        log_.clear();
        script_.Raise(c.mask);
        // A second batch marks the end of the first.
        script_.Raise(0);
        ASSERT_TRUE(PumpUntilLogged(c.expected.size() + 1));
        log_.pop_back();
        EXPECT_EQ(log_, c.expected);
    }
}

TEST_F(CommEventTest, AFailingHandlerIsShownEndsItsBatchAndTheThreadGoesOn) {
    UseScript();
    RecordHandlers(comm_);
    comm_.OnCts = [](TObject*) { throw EVaCommError("handler failed"); };
    comm_.Open();
    script_.Raise(EV_CTS | EV_DSR);
    script_.Raise(EV_DSR);
    ASSERT_TRUE(PumpUntilLogged(1));
    EXPECT_EQ(log_, std::vector<std::string>{"OnDsr"}); // from the second batch only
    EXPECT_EQ(framework_.ShownErrors(), std::vector<std::string>{"handler failed"});
}

TEST_F(CommEventTest, AHandlerThatServesTheGuiThreadIsNotEnteredAgainByTheNextBatch) {
    UseScript();
    RecordHandlers(comm_);
    comm_.OnCts = [this](TObject*) {
        log_.push_back("OnCts begins");
        // As a message box's loop would, until the next batch waits for the GUI thread.
        PlainFrameworkBinding::PumpUntil([] { return PendingSyncCalls() == 1; });
        log_.push_back("OnCts ends");
    };
    comm_.Open();
    script_.Raise(EV_CTS);
    script_.Raise(EV_DSR);
    ASSERT_TRUE(PumpUntilLogged(3));
    EXPECT_EQ(log_, (std::vector<std::string>{"OnCts begins", "OnCts ends", "OnDsr"}));
}

TEST_F(CommEventTest, ABatchThatFindsTheDeviceGoneTellsThatOnceInsteadOfItsFailedStep) {
    UseScript();
    // Told through the error box, or to OnDeviceLost, whose handler closes the port from inside
    // the batch.
    for (const bool handled : {false, true}) {
        SCOPED_TRACE(handled ? "OnDeviceLost closes the port" : "the error box");
        PtyPair pty;
        comm_.SetDeviceName(pty.SlavePath());
        const std::size_t shownBefore = framework_.ShownErrors().size();
        std::vector<std::string> told;
        // A receiver of the data, so that the batch is handed over and its first step fails.
        comm_.OnRxChar = [](TObject*, int32_t) {};
        if (handled) {
            comm_.OnDeviceLost = [&](TObject*, const std::string& message) {
                told.push_back(message);
                comm_.Close();
            };
        }
        comm_.Open();
        pty.CloseMaster(); // the queue's count can no longer be read
        script_.Raise(EV_RXCHAR | EV_ERR);
        script_.Vanish(ENODEV); // told too only if the batch were not: its code differs
        const auto messages = [&] {
            const std::vector<std::string> shown = framework_.ShownErrors();
            return handled
                       ? told
                       : std::vector<std::string>(
                             shown.begin() + static_cast<std::ptrdiff_t>(shownBefore), shown.end());
        };
        ASSERT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return !messages().empty(); }));
        PumpAWhile();
        EXPECT_EQ(messages(),
                  std::vector<std::string>{WithSystemError(
                      "Connection to " + comm_.GetDeviceName() + " lost", HungUpError)});
        EXPECT_EQ(framework_.ShownErrors().size(), shownBefore + (handled ? 0u : 1u));
        comm_.Close();
    }
}

TEST_F(CommEventTest, ClientsAreListedAsAttachedAndLeaveWhenEitherSideGoes) {
    RecordingClient a(log_, "A");
    RecordingClient b(log_, "B");
    TVaDispatcher stray(a);
    comm_.RemoveClient(&stray); // not listed: nothing changes
    a.SetComm(&comm_);
    b.SetComm(&comm_);
    a.SetComm(&comm_); // again: moves to the end
    EXPECT_EQ(comm_.Clients(), (std::vector<TVaDispatcher*>{&b.Dispatcher(), &a.Dispatcher()}));
    comm_.InsertClient(&stray);
    comm_.InsertClient(&stray);
    EXPECT_EQ(comm_.Clients().size(), 4u);
    {
        RecordingClient gone(log_, "C");
        gone.SetComm(&comm_);
        EXPECT_EQ(comm_.Clients().size(), 5u);
    }
    EXPECT_EQ(comm_.Clients().size(), 4u);

    auto port = std::make_unique<TVaComm>(nullptr);
    RecordingClient c(log_, "C");
    c.SetComm(port.get());
    port.reset();
    EXPECT_EQ(c.Comm(), nullptr);
    // Detached: every pass-through does nothing and answers 0 or false.
    EXPECT_EQ(c.Dispatcher().WriteBuf("x", 1), 0);
    EXPECT_FALSE(c.Dispatcher().WriteText("x"));
    EXPECT_FALSE(c.Dispatcher().WriteChar('x'));
    c.Dispatcher().PurgeReadWrite();
    c.Dispatcher().SetDTRState(true);
    comm_.DestroyClients();
}

TEST_F(CommEventTest, AClientListedTwiceIsToldTwiceAndItsPassThroughReachesThePort) {
    UseScript();
    RecordingClient a(log_, "A");
    a.SetComm(&comm_);
    comm_.InsertClient(&a.Dispatcher());
    comm_.Open();
    script_.Raise(EV_CTS);
    ASSERT_TRUE(PumpUntilLogged(2));
    EXPECT_EQ(log_, (std::vector<std::string>{"A line 0008", "A line 0008"}));
    EXPECT_TRUE(a.Dispatcher().WriteText("query\r"));
    EXPECT_EQ(pty_.Receive(6), "query\r");
    comm_.RemoveClient(&a.Dispatcher());
}

TEST_F(CommEventTest, ARemovedDisplayIsForgotten) {
    auto display = std::make_unique<RecordingDisplay>(log_);
    comm_.SetDisplay(display.get());
    comm_.UpdateDisplay();
    display.reset();
    EXPECT_EQ(comm_.Display(), nullptr);
    comm_.UpdateDisplay(); // nothing to refresh
    EXPECT_EQ(log_, std::vector<std::string>{"display"});
}
