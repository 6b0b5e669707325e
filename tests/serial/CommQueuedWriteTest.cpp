#include "QueuedWriteFixture.h"
#include "SystemErrorText.h"
#include "WaitUntil.h"
#include "support/ProcessEntries.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace q4471;
using namespace SerialPlatform;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

} // namespace

TEST_F(QueuedWriteTest, AnAppendTakesAnExactFitAtOnceAndOtherwiseWaitsForOneByteToSpare) {
    EXPECT_FALSE(comm_.WriteText("closed")) << "a closed port takes nothing";
    struct Case {
        const char* name;
        int32_t queued; // first, while the line is held (none: the line stays open)
        int32_t count;  // then appended
        bool release;   // the line is released while the append waits
        int32_t timeout;
        bool accepted;
    };
    const Case cases[] = {
        {"2000 + 48 fills the 2048 exactly, at once", 2000, 48, false, 5000, true},
        {"2000 + 49 waits until the thread has sent some", 2000, 49, true, 20000, true},
        {"2000 + 49 times out while the line stays held", 2000, 49, false, 300, false},
        // With a byte to spare it would never fit.
        {"2000 + 2048 waits until the queue is empty", 2000, 2048, true, 20000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        comm_.Buffers().SetWriteTimeout(c.timeout);
        Open();
        if (c.queued > 0) {
            HoldLine();
        }
        const std::string first = Pattern(static_cast<std::size_t>(c.queued));
        ASSERT_EQ(comm_.WriteBuf(first.data(), c.queued), c.queued);
        const std::string second = Pattern(static_cast<std::size_t>(c.count), first.size());
        std::atomic<bool> done{false};
        std::string error;
        const Clock::time_point start = Clock::now();
        std::thread writer([&] {
            error = ErrorOf([&] { comm_.WriteBuf(second.data(), c.count); });
            done = true;
        });
        if (c.release) {
            PumpAWhile();
            EXPECT_FALSE(done.load()) << "appended with no byte to spare";
            ReleaseLine();
        }
        EXPECT_TRUE(WaitUntil([&] { return done.load(); }));
        writer.join();
        if (c.accepted) {
            EXPECT_EQ(error, "");
            if (!c.release) {
                EXPECT_LT(MillisecondsSince(start), c.timeout);
                EXPECT_EQ(comm_.WriteBufUsed(), 2048);
                EXPECT_EQ(comm_.WriteBufFree(), 0);
            }
            ReleaseLine();
            EXPECT_TRUE(Receive(first.size() + second.size()) == first + second);
        } else {
            EXPECT_EQ(error, sErrOutputFull);
            EXPECT_GE(MillisecondsSince(start), c.timeout);
            EXPECT_EQ(comm_.WriteBufUsed(), c.queued) << "a refused append left bytes";
        }
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, ACallOfAnySizeGoesInWhileTheLineMovesAndFailsOnceItStands) {
    constexpr std::size_t All = SIZE_MAX;
    struct Case {
        const char* name;
        std::size_t size;
        std::size_t peerChunk;
        std::chrono::milliseconds peerPause;
        std::size_t peerReads; // then the peer stops reading
        int32_t timeout;
    };
    const Case cases[] = {
        {"below the queue", 100, 4096, 0ms, All, 1000},
        {"exactly the queue", 2048, 4096, 0ms, All, 1000},
        {"one byte more than the queue", 2049, 4096, 0ms, All, 1000},
        {"a hundred times the queue", 204800 + 5, 4096, 0ms, All, 1000},
        // At least 512 reads with a pause after each: over two time-outs in all.
        {"a slow peer: the line moves for longer than one time-out", 512 * 1024, 1024, 4ms, All,
         1000},
        // At least 400 reads before it stops.
        {"a peer that stops reading", 512 * 1024, 1024, 4ms, 400 * 1024, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        comm_.Buffers().SetWriteTimeout(c.timeout);
        Open();
        const std::string bytes = Pattern(c.size);
        std::atomic<bool> done{false};
        int32_t written = -1;
        std::string error;
        int32_t transferred = -1;
        Clock::time_point ended;
        const Clock::time_point start = Clock::now();
        std::thread writer([&] {
            try {
                written = comm_.WriteBuf(bytes.data(), static_cast<int32_t>(c.size));
            } catch (const EVaCommError& failure) {
                error = failure.Message();
                transferred = failure.Kind() == ekTimedOut ? failure.Transferred() : -2;
            }
            ended = Clock::now();
            done = true;
        });
        const std::size_t expected = std::min(c.size, c.peerReads);
        const std::string received = Receive(expected, c.peerChunk, 60s, c.peerPause);
        EXPECT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return done.load(); }, 60s));
        writer.join();
        EXPECT_EQ(received.size(), expected);
        EXPECT_TRUE(received == bytes.substr(0, expected)) << "lost, doubled or torn bytes";
        if (c.peerReads == All) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(written, static_cast<int32_t>(c.size));
            if (c.peerPause > 0ms) {
                EXPECT_GT(MillisecondsSince(start), 2 * c.timeout);
            }
        } else {
            EXPECT_EQ(error, sErrOutputFull);
            const auto sinceTake = ended - spy_.lastTake.load();
            EXPECT_GE(sinceTake, std::chrono::milliseconds(c.timeout))
                << "failed while the line still moved";
            EXPECT_LT(sinceTake, std::chrono::milliseconds(c.timeout) + 10s);
            EXPECT_GT(ended - start, std::chrono::milliseconds(2 * c.timeout))
                << "timed from the start of the call";
            // Nothing of the failed call stays queued: what the device took is all that goes,
            // and the caller knows how much that was.
#ifndef _WIN32
            // (Windows' driver takes the queue's bytes in a write that runs on, and the queue
            // keeps them until it ends: they count as taken, and go once.)
            EXPECT_EQ(comm_.WriteBufUsed(), 0);
#endif
            ASSERT_GE(transferred, static_cast<int32_t>(expected));
            const std::size_t rest = static_cast<std::size_t>(transferred) - expected;
            EXPECT_TRUE(received + Receive(rest, 4096, 30s) == bytes.substr(0, transferred));
            comm_.Close(); // a queued byte left behind would go out on closing
            EXPECT_EQ(pty_.Receive(1, 100ms), "");
        }
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, AHandlerRunWhileTheGuiThreadWaitsInsideItsOwnLargerCallWritesBetween) {
    // The larger call waits beneath the handler on the same thread: waiting for it would never
    // end.
    Open();
    HoldLine();
    std::atomic<bool> handlerEntered{false};
    bool echoAccepted = false;
    comm_.OnRxChar = [&](TObject*, int32_t) {
        // Once: under Wine the byte, left unread, is told again.
        if (!handlerEntered.exchange(true)) {
            echoAccepted = comm_.WriteText("echo");
        }
    };
    const std::string bytes = Pattern(10000);
    std::string received;
    std::atomic<bool> peerDone{false};
    std::thread peer([&] {
        if (WaitUntil([&] { return comm_.WriteBufUsed() == 2048; })) {
            pty_.Send("x");
            WaitUntil([&] { return handlerEntered.load(); });
        }
        ReleaseLine();
        received = pty_.Receive(bytes.size() + 4, 30s);
        peerDone = true;
    });
    EXPECT_EQ(comm_.WriteBuf(bytes.data(), static_cast<int32_t>(bytes.size())), 10000);
    // The thread may wait for the GUI thread to take its report of a drained queue.
    PlainFrameworkBinding::PumpUntil([&] { return peerDone.load(); }, 30s);
    peer.join();
    EXPECT_TRUE(echoAccepted);
    const std::size_t echo = received.find("echo");
    ASSERT_NE(echo, std::string::npos);
    EXPECT_TRUE(received.substr(0, echo) + received.substr(echo + 4) == bytes);
}

TEST_F(QueuedWriteTest, EveryByteArrivesOnceAndInOrderThroughPartialWrites) {
    struct Case {
        const char* name;
        std::size_t largestAppend;
        std::size_t peerChunk;
        bool writerIsGuiThread; // which must let the drained queue be told while it waits
    };
    const Case cases[] = {
        {"small appends", 97, 256, false},
        // Once waiting, an append needs a byte to spare: the whole capacity never goes in.
        {"appends of up to the capacity", 2047, 512, false},
        {"appends from the GUI thread", 1000, 512, true},
        {"appends of up to many times the capacity", 9000, 512, false},
        {"appends of up to many times the capacity from the GUI thread", 9000, 512, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        spy_.partialWrites = 0;
        spy_.roomWaits = 0;
        comm_.Buffers().SetWriteTimeout(30000);
        Open();
        const std::string bytes = Pattern(96 * 1024);
        const auto write = [&] {
            for (std::size_t at = 0; at < bytes.size();) {
                const auto count =
                    static_cast<int32_t>(std::min(1 + at % c.largestAppend, bytes.size() - at));
                if (comm_.WriteBuf(bytes.data() + at, count) != count) {
                    ADD_FAILURE() << "append refused at " << at;
                    return;
                }
                at += static_cast<std::size_t>(count);
            }
        };
        std::string received;
        if (c.writerIsGuiThread) {
            // The peer reads on a thread of its own, which must not run the GUI thread's calls.
            std::atomic<bool> receivedAll{false};
            std::thread peer([&] {
                received = pty_.Receive(bytes.size(), std::chrono::seconds(30));
                receivedAll = true;
            });
            write();
            // Back in its loop, the GUI thread lets the thread tell the last drain.
            PlainFrameworkBinding::PumpUntil([&] { return receivedAll.load(); },
                                             std::chrono::seconds(30));
            peer.join();
        } else {
            std::atomic<bool> written{false};
            std::thread writer([&] {
                write();
                written = true;
            });
#ifndef _WIN32
            // The peer reads nothing until the device is full and the transmit thread waits for
            // room, however slow the writer: from then on the slow peer frees less room at a
            // time than the queue holds, and the device takes writes in part.
            PlainFrameworkBinding::PumpUntil(
                [&] { return spy_.roomWaits.load() > 0 || written.load(); },
                std::chrono::seconds(30));
#endif
            received = Receive(bytes.size(), c.peerChunk);
            writer.join();
        }
        const auto differ = std::mismatch(received.begin(), received.end(), bytes.begin());
        EXPECT_EQ(received.size(), bytes.size());
        EXPECT_EQ(differ.first, received.end())
            << "first wrong byte at " << (differ.first - received.begin());
#ifndef _WIN32 // a Windows driver takes an overlapped write whole, however slow the peer
        if (!c.writerIsGuiThread) {
            EXPECT_GT(spy_.partialWrites.load(), 0)
                << "the slow peer never made the device take part";
        }
#endif
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, OnTxEmptyComesOncePerDrainAndAppendsCoalesceIntoFewWrites) {
    RecordingClient client(log_, "A");
    client.SetComm(&comm_);
    struct Case {
        const char* name;
        std::vector<std::string> bursts; // each appended a byte at a time while the line is held
        int mostWrites;
    };
    const Case cases[] = {
        {"a hundred bytes: one write that takes nothing, one that sends all",
         {std::string(100, 'x')},
         2},
        {"two bursts, two drains", {"first", "second"}, 4},
        {"nothing, on an empty queue: a write of none, and a drain", {""}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        Open();
        spy_.writes = 0;
        std::vector<std::string> expected;
        for (const std::string& burst : c.bursts) {
            HoldLine();
            for (const char ch : burst) {
                ASSERT_TRUE(comm_.WriteChar(ch));
            }
            EXPECT_TRUE(burst.empty() ? comm_.WriteText("") : comm_.WriteBufUsed() > 0);
            ReleaseLine();
            EXPECT_EQ(Receive(burst.size()), burst);
            expected.insert(expected.end(), {"A line 0004", "OnTxEmpty"});
            ASSERT_TRUE(PumpUntilLogged(expected.size()));
        }
        PumpAWhile();
        EXPECT_EQ(log_, expected);
        EXPECT_LE(spy_.writes.load(), c.mostWrites);
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, OutputPurgesEmptyTheQueueThroughTheThreadAndPurgeReadLeavesIt) {
    struct Case {
        const char* name;
        std::function<void(TVaComm&)> purge;
        // Bytes that wait for the held line (none: the thread idles); more than the queue holds
        // are a call that goes in piece by piece, on a writer thread.
        std::size_t pending;
        bool empties;
    };
    const Case cases[] = {
        {"PurgeWrite while a write waits", [](TVaComm& port) { port.PurgeWrite(); }, 1000, true},
        {"PurgeReadWrite while a write waits", [](TVaComm& port) { port.PurgeReadWrite(); }, 1000,
         true},
        {"PurgeRead", [](TVaComm& port) { port.PurgeRead(); }, 1000, false},
        {"PurgeWrite on an idle thread", [](TVaComm& port) { port.PurgeWrite(); }, 0, true},
        {"PurgeWrite while a call larger than the queue goes in: the rest of it is dropped too",
         [](TVaComm& port) { port.PurgeWrite(); }, 10000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open();
        HoldLine();
        std::string kept;
        // The second purge must get its own answer from the thread.
        for (std::size_t round = 0; round < 2; ++round) {
            const std::string queued = Pattern(c.pending > 0 ? c.pending + round : 0, kept.size());
            const auto size = static_cast<int32_t>(queued.size());
            std::atomic<int32_t> accepted{-1};
            std::thread writer;
            if (queued.size() > 2048) {
                writer = std::thread([&] { accepted = comm_.WriteBuf(queued.data(), size); });
                EXPECT_TRUE(WaitUntil([&] { return comm_.WriteBufUsed() == 2048; }));
            } else if (!queued.empty()) {
                ASSERT_TRUE(comm_.WriteText(queued));
                kept += c.empties ? "" : queued;
            }
            const Clock::time_point start = Clock::now();
            c.purge(comm_);
            EXPECT_LT(MillisecondsSince(start), 2000) << "the thread did not answer";
            if (writer.joinable()) {
                writer.join(); // the purge has ended the call, which answers as a queued one
                EXPECT_EQ(accepted.load(), size);
            }
            EXPECT_EQ(comm_.WriteBufUsed(), static_cast<int32_t>(kept.size()));
        }
        ASSERT_TRUE(comm_.WriteText("tail"));
        ReleaseLine();
        const std::string expected = kept + "tail";
        EXPECT_TRUE(Receive(expected.size() + 1, 4096, std::chrono::milliseconds(200)) == expected);
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, APurgeThatTheBusyThreadCannotAnswerGivesUpAfterTwoSecondsLeavingTheQueue) {
    Open();
    // The queue drains twice; the thread waits for the GUI thread, which does not come, to
    // take the first report before it hands over the second.
    ASSERT_TRUE(comm_.WriteText("a"));
    ASSERT_TRUE(WaitUntil([] { return PendingSyncCalls() == 1; }));
    ASSERT_TRUE(comm_.WriteText("bb"));
    ASSERT_EQ(pty_.Receive(3), "abb"); // without serving the GUI thread
    // Taken out of the queue: the write has ended for the thread too (a Windows write ends
    // after its bytes have left), so it is on its way to the report that it cannot hand over.
    ASSERT_TRUE(WaitUntil([this] { return comm_.WriteBufUsed() == 0; }));
    ASSERT_TRUE(comm_.WriteText("cccc"));
    const Clock::time_point start = Clock::now();
    comm_.PurgeWrite();
    EXPECT_GE(MillisecondsSince(start), 2000);
    EXPECT_EQ(comm_.WriteBufUsed(), 4);
    // The late answer drops nothing.
    EXPECT_EQ(Receive(4), "cccc");
    EXPECT_TRUE(PumpUntilLogged(3));
    EXPECT_EQ(log_, (std::vector<std::string>{"OnTxEmpty", "OnTxEmpty", "OnTxEmpty"}));
}

TEST_F(QueuedWriteTest, StoppingWhileAWriteWaitsEndsItWithoutAnotherWord) {
    struct Case {
        const char* name;
        bool destroy;        // destroy the port instead of closing it
        int32_t writerBytes; // a writer of so many waits for room, and a worker closes the port
    };
    const Case cases[] = {
        {"Close", false, 0},
        {"destruction", true, 0},
        {"Close from a worker while a writer waits for room", false, 100},
        {"Close from a worker while a call larger than the queue goes in", false, 10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        std::unique_ptr<TVaComm> port = NewPort();
        constexpr int32_t Timeout = 60000;
        port->Buffers().SetWriteTimeout(Timeout);
        Open(*port);
        port->SetXon(false);
        ASSERT_EQ(port->WriteText(std::string(2000, 'q')), true);
        std::atomic<int32_t> appended{-1};
        std::string error;
        std::thread writer;
        if (c.writerBytes > 0) {
            const std::string bytes = Pattern(static_cast<std::size_t>(c.writerBytes));
            writer = std::thread([&] {
                error = ErrorOf([&] { appended = port->WriteBuf(bytes.data(), c.writerBytes); });
            });
            PumpAWhile();
            EXPECT_EQ(appended.load(), -1) << "appended with no room";
            const Clock::time_point closing = Clock::now();
            std::thread([&] { port->Close(); }).join();
            writer.join();
            EXPECT_LT(MillisecondsSince(closing), Timeout / 2) << "the writer waited out its time";
            EXPECT_EQ(appended.load(), 0);
            EXPECT_EQ(error, "");
        } else if (c.destroy) {
            port.reset();
        } else {
            port->Close();
        }
        PumpAWhile();
        EXPECT_TRUE(log_.empty()) << log_.front();
        EXPECT_EQ(Receive(1, 4096, std::chrono::milliseconds(200)), "");
        port.reset();
        Open(); // lets go of the held output
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, WritersAtOnceNeitherInterleaveNorOverfill) {
    struct Case {
        const char* name;
        int writers;
        std::size_t recordSize;
        int records; // per writer
    };
    const Case cases[] = {
        {"two writers whose records never fit twice", 2, 1500, 40},
        {"six writers of small records", 6, 40, 300},
        {"two writers whose records are five times the queue", 2, 10240, 8},
        {"three writers whose records are each one byte more than the queue", 3, 2049, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        comm_.Buffers().SetWriteTimeout(30000);
        Open();
        std::atomic<bool> writing{true};
        std::atomic<int32_t> mostUsed{0};
        std::thread sampler([&] {
            while (writing) {
                mostUsed = std::max(mostUsed.load(), comm_.WriteBufUsed());
            }
        });
        std::vector<std::thread> writers;
        for (int w = 0; w < c.writers; ++w) {
            writers.emplace_back([&, w] {
                for (int r = 0; r < c.records; ++r) {
                    std::string record(c.recordSize, static_cast<char>('a' + w));
                    std::snprintf(record.data(), record.size(), "%d:%05d|", w, r);
                    record[8] = '|'; // over snprintf's terminator
                    EXPECT_TRUE(comm_.WriteText(record));
                }
            });
        }
        const std::string received =
            Receive(c.recordSize * static_cast<std::size_t>(c.writers * c.records), 512);
        for (std::thread& writer : writers) {
            writer.join();
        }
        writing = false;
        sampler.join();
        std::vector<int> next(static_cast<std::size_t>(c.writers), 0);
        for (std::size_t at = 0; at + c.recordSize <= received.size(); at += c.recordSize) {
            const std::string record = received.substr(at, c.recordSize);
            int w = -1;
            int r = -1;
            ASSERT_EQ(std::sscanf(record.c_str(), "%d:%05d|", &w, &r), 2) << "torn at " << at;
            ASSERT_TRUE(w >= 0 && w < c.writers);
            EXPECT_EQ(r, next[static_cast<std::size_t>(w)]++) << "writer " << w;
            EXPECT_EQ(record.find_first_not_of(static_cast<char>('a' + w), 9), std::string::npos)
                << "interleaved at " << at;
        }
        EXPECT_EQ(next, std::vector<int>(static_cast<std::size_t>(c.writers), c.records));
        EXPECT_LE(mostUsed.load(), 2048);
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, AFailedWriteIsToldAndTriedAgainUnlessTheDeviceHasGone) {
    RecordingClient client(log_, "A");
    client.SetComm(&comm_);
    struct Case {
        const char* name;
        int failures; // passing ones, each told and tried again
        bool pullAdapter;
    };
    const Case cases[] = {
        {"two passing failures, then all of it goes", 2, false},
        // Last: the line stays gone.
        {"a pulled adapter: told once, never tried again, the bytes stay counted", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        Open();
        spy_.writeFailure = ENOBUFS;
        spy_.failingWrites = c.failures;
        spy_.roomWaits = 0;
        if (!c.pullAdapter) {
            ASSERT_TRUE(comm_.WriteText("hello"));
            EXPECT_EQ(Receive(5), "hello");
            ASSERT_TRUE(PumpUntilLogged(4));
            EXPECT_EQ(log_, (std::vector<std::string>{"A line 0080", "A line 0080", "A line 0004",
                                                      "OnTxEmpty"}));
            EXPECT_GE(spy_.roomWaits.load(), 2) << "tried again before the device took output";
            EXPECT_TRUE(framework_.ShownErrors().empty());
            comm_.Close();
            continue;
        }
        HoldLine();
        ASSERT_TRUE(comm_.WriteText(std::string(1000, 'z')));
        ASSERT_TRUE(WaitUntil([&] { return spy_.roomWaits.load() > 0; }));
        pty_.CloseMaster();
        ASSERT_TRUE(PlainFrameworkBinding::PumpUntil(
            [&] { return spy_.refusedWrites.load() > 0 && !framework_.ShownErrors().empty(); }));
        PumpAWhile();
        EXPECT_EQ(spy_.refusedWrites.load(), 1) << "a gone device was written again";
        ASSERT_EQ(framework_.ShownErrors().size(), 1u);
        EXPECT_EQ(framework_.ShownErrors()[0],
                  WithSystemError("Connection to " + comm_.GetDeviceName() + " lost", HungUpError));
        EXPECT_EQ(comm_.WriteBufUsed(), 1000);
        EXPECT_EQ(Logged("OnTxEmpty"), 0u);
        comm_.Close();
    }
}

TEST_F(QueuedWriteTest, AFailingHandlerIsShownAndTheThreadGoesOn) {
    RecordingClient client(log_, "A");
    client.SetComm(&comm_);
    struct Case {
        const char* name;
        int failingWrites;
        std::function<void()> arm;
    };
    const Case cases[] = {
        {"OnTxEmpty", 0,
         [this] {
             comm_.OnTxEmpty = [](TObject*) { throw std::runtime_error("handler failed"); };
         }},
        {"a client told of a write error", 1,
         [this, &client] {
             client.onLine = [this] {
                 if (log_.back() == "A line 0080") {
                     throw std::runtime_error("handler failed");
                 }
             };
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arm();
        spy_.writeFailure = ENOBUFS;
        spy_.failingWrites = c.failingWrites;
        const std::size_t shown = framework_.ShownErrors().size();
        Open();
        for (const std::size_t drains : {1u, 2u}) {
            ASSERT_TRUE(comm_.WriteText("text"));
            EXPECT_EQ(Receive(4), "text");
            // Each drain on its own, not one for both texts.
            EXPECT_TRUE(
                PlainFrameworkBinding::PumpUntil([&] { return Logged("A line 0004") == drains; }));
        }
        EXPECT_GT(framework_.ShownErrors().size(), shown);
        EXPECT_EQ(framework_.ShownErrors().back(), "handler failed");
        comm_.Close();
        log_.clear();
        RecordHandlers(comm_);
        client.onLine = nullptr;
    }
}

TEST_F(QueuedWriteTest, ReopeningAThousandTimesWithQueuedTrafficLeavesNothingBehind) {
    Open();
    comm_.Close();
    const int descriptorsBefore = OpenDescriptors();
    const ThreadIdSet threadsBefore = ThreadIds();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        Open();
        const std::string text = "cycle " + std::to_string(cycle) + "\r\n";
        switch (cycle % 3) {
        case 0: // sent, drained and told
            ASSERT_TRUE(comm_.WriteText(text));
            ASSERT_EQ(Receive(text.size()), text);
            ASSERT_TRUE(PlainFrameworkBinding::PumpUntil([&] { return !log_.empty(); }));
            log_.clear();
            break;
        case 1: // closed while the write waits
            HoldLine();
            ASSERT_TRUE(comm_.WriteText(text));
            break;
        default: // purged while the write waits
            HoldLine();
            ASSERT_TRUE(comm_.WriteText(text));
            comm_.PurgeReadWrite();
            break;
        }
        comm_.Close();
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
    EXPECT_TRUE(WaitUntil([&] { return NoThreadStartedSince(threadsBefore); }));
    EXPECT_TRUE(log_.empty());
}

TEST_F(QueuedWriteTest, WritePriorityReachesTheTransmitThreadAtOnce) {
    // Lowered only, which needs no privilege: nice 5 for tpLower, 19 for tpIdle.
    if (ThreadsAtNice(0) != RunningThreads()) {
        GTEST_SKIP() << "the tests run niced already";
    }
    comm_.SetWritePriority(tpLower);
    Open();
    EXPECT_TRUE(WaitUntil([] { return ThreadsAtNice(5) == 1; }));
    comm_.SetWritePriority(tpIdle);
    EXPECT_TRUE(WaitUntil([] { return ThreadsAtNice(19) == 1 && ThreadsAtNice(5) == 0; }));
}
