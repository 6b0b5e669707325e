// The Wine harness seen from a Windows program: the pty peer's pairs open as COM ports, carry
// bytes both ways, hang up, and have modem lines (through the preloaded shim) that the port and
// the peer drive and that WaitCommEvent watches; the peer also plays a benchmark's side of the
// line.

#include "PeerPtyPair.h"

#include "WaitUntil.h"
#include "serial/platform/Win32Handle.h"
#include "tools/wine/PtyPeerProtocol.h"

#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <windows.h>

namespace {

// An open port on a pair, raw at 9600 8N1 (a pseudo-terminal starts as a terminal, with lines
// of text and echo), read and written at once as the component does.
class PeerPortTest : public testing::Test {
protected:
    PeerPortTest() {
        const std::string name = "\\\\.\\" + pty_.SlavePath();
        port_ = SerialPlatform::Win32Handle(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                        0, nullptr, OPEN_EXISTING,
                                                        FILE_FLAG_OVERLAPPED, nullptr));
        done_.hEvent = doneEvent_.Get();
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = 9600;
        dcb.fBinary = TRUE;
        dcb.ByteSize = 8;
        configured_ = port_.Valid() && SetCommState(port_.Get(), &dcb);
    }

    // The result of an overlapped call, waited for up to five seconds. `started` is what the call
    // answered and its error, taken at once: asking the peer sets the error anew.
    bool Finish(BOOL started, DWORD error, DWORD& count) {
        if (!started && error != ERROR_IO_PENDING) {
            return false;
        }
        if (WaitForSingleObject(done_.hEvent, 5000) != WAIT_OBJECT_0) {
            CancelIo(port_.Get());
            return false;
        }
        return GetOverlappedResult(port_.Get(), &done_, &count, FALSE) != 0;
    }

    bool Write(const std::string& bytes) {
        ResetEvent(done_.hEvent);
        DWORD count = 0;
        const BOOL started =
            WriteFile(port_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, &done_);
        return Finish(started, started ? 0 : GetLastError(), count) && count == bytes.size();
    }

    // `count` bytes read from the port, or what came within five seconds.
    std::string Read(std::size_t count) {
        std::string bytes(count, '\0');
        ResetEvent(done_.hEvent);
        DWORD got = 0;
        const BOOL started =
            ReadFile(port_.Get(), bytes.data(), static_cast<DWORD>(count), &got, &done_);
        if (!Finish(started, started ? 0 : GetLastError(), got)) {
            return "";
        }
        bytes.resize(got);
        return bytes;
    }

    // The events of the mask that come while `cause` runs.
    DWORD EventsOf(DWORD mask, void (*cause)(const PeerPtyPair&)) {
        EXPECT_TRUE(SetCommMask(port_.Get(), mask));
        ResetEvent(done_.hEvent);
        DWORD events = 0;
        DWORD count = 0;
        const BOOL started = WaitCommEvent(port_.Get(), &events, &done_);
        const DWORD error = started ? 0 : GetLastError();
        cause(pty_);
        EXPECT_TRUE(Finish(started, error, count))
            << "error " << error << ", then " << GetLastError();
        return events;
    }

    PeerPtyPair pty_;
    SerialPlatform::Win32Handle port_;
    const SerialPlatform::Win32Handle doneEvent_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    bool configured_ = false;
    OVERLAPPED done_{};
};

} // namespace

TEST_F(PeerPortTest, PairsAreDistinctPortsThatCarryBytesBothWaysAtOnce) {
    ASSERT_TRUE(configured_) << pty_.SlavePath() << ": error " << GetLastError();
    {
        const PeerPtyPair other;
        EXPECT_NE(other.SlavePath(), pty_.SlavePath());
    }
    const std::string toPeer(100000, 'p');
    std::string received;
    // One thread receives while another sends: each asks on its own connection.
    std::thread peer([&] { received = pty_.Receive(toPeer.size(), std::chrono::seconds(20)); });
    std::thread sender([&] { pty_.Send("from the peer"); });
    EXPECT_TRUE(Write(toPeer));
    peer.join();
    sender.join();
    EXPECT_TRUE(received == toPeer) << received.size() << " bytes came";
    EXPECT_EQ(pty_.SlaveInput(), 13);
    // A deadline of a millisecond still reads what waits: the queued-write tests poll so.
    ASSERT_TRUE(Write("tick"));
    std::string tick;
    EXPECT_TRUE(WaitUntil([&] {
        tick += pty_.Receive(4 - tick.size(), std::chrono::milliseconds(1));
        return tick.size() >= 4;
    }));
    EXPECT_EQ(tick, "tick");
}

TEST_F(PeerPortTest, TheLinesThePortSetsReachThePeerAndThePeersReachThePort) {
    ASSERT_TRUE(configured_);
    struct PortCase {
        DWORD function;
        uint32_t lines; // DTR and RTS after it
    };
    for (const PortCase& test :
         {PortCase{SETDTR, PtyPeer::lineDtr}, PortCase{SETRTS, PtyPeer::lineDtr | PtyPeer::lineRts},
          PortCase{CLRDTR, PtyPeer::lineRts}, PortCase{CLRRTS, 0}}) {
        ASSERT_TRUE(EscapeCommFunction(port_.Get(), test.function)) << test.function;
        EXPECT_EQ(pty_.ModemLines() & (PtyPeer::lineDtr | PtyPeer::lineRts), test.lines)
            << test.function;
    }
    struct PeerCase {
        uint32_t line;
        DWORD status;
    };
    for (const PeerCase& test :
         {PeerCase{PtyPeer::lineCts, MS_CTS_ON}, PeerCase{PtyPeer::lineDsr, MS_DSR_ON},
          PeerCase{PtyPeer::lineRing, MS_RING_ON}, PeerCase{PtyPeer::lineCarrier, MS_RLSD_ON}}) {
        DWORD status = 0;
        pty_.SetModemLines(test.line, 0);
        ASSERT_TRUE(GetCommModemStatus(port_.Get(), &status));
        EXPECT_EQ(status, test.status) << test.line;
        pty_.SetModemLines(0, test.line);
        ASSERT_TRUE(GetCommModemStatus(port_.Get(), &status));
        EXPECT_EQ(status, 0u) << test.line;
    }
    // The port cannot drive the peer's lines.
    pty_.SetModemLines(0, PtyPeer::PeerLines);
    EXPECT_TRUE(EscapeCommFunction(port_.Get(), SETDTR));
    EXPECT_EQ(pty_.ModemLines(), static_cast<uint32_t>(PtyPeer::lineDtr));
}

TEST_F(PeerPortTest, WaitCommEventSeesInputAndLineChanges) {
    ASSERT_TRUE(configured_);
    EXPECT_EQ(EventsOf(EV_RXCHAR, [](const PeerPtyPair& pty) { pty.Send("x"); }), DWORD{EV_RXCHAR});
    PurgeComm(port_.Get(), PURGE_RXCLEAR);
    EXPECT_EQ(EventsOf(EV_CTS | EV_DSR,
                       [](const PeerPtyPair& pty) { pty.SetModemLines(PtyPeer::lineCts, 0); }),
              DWORD{EV_CTS});
}

TEST_F(PeerPortTest, APairThatEndsTakesItsPortAlong) {
    std::string name;
    {
        const PeerPtyPair gone;
        name = "\\\\.\\" + gone.SlavePath();
    }
    // The peer learns of the end when the connections close, a moment later.
    EXPECT_TRUE(WaitUntil([&] {
        return !SerialPlatform::Win32Handle(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                        0, nullptr, OPEN_EXISTING, 0, nullptr))
                    .Valid();
    }));
}

TEST_F(PeerPortTest, ThePeerEchoesSinksAndSourcesABenchmarksBytes) {
    ASSERT_TRUE(configured_);
    COMMTIMEOUTS wholeReads{}; // a read waits for all its bytes
    ASSERT_TRUE(SetCommTimeouts(port_.Get(), &wholeReads));
    const std::string bulk(100000, 'k');
    std::string chunks;
    for (int i = 0; i < 100; ++i) {
        chunks += "chunk";
    }
    struct Case {
        const char* name;
        std::function<void(const PeerPtyPair&)> peer;
        std::string portWrites;
        std::string portReads;
    };
    for (const Case& test : {
             Case{"echo", [](const PeerPtyPair& pty) { pty.Echo(4, "ok\r\n", 3); }, "req1req2req3",
                  "ok\r\nok\r\nok\r\n"},
             // The tail stays for the peer: a sink takes what it was asked for and no more.
             Case{"sink", [&](const PeerPtyPair& pty) { pty.Sink(bulk.size()); }, bulk + "tail",
                  ""},
             Case{"source", [](const PeerPtyPair& pty) { pty.Source("chunk", 100); }, "", chunks},
         }) {
        auto peer = std::async(std::launch::async, [&] { test.peer(pty_); });
        EXPECT_TRUE(test.portWrites.empty() || Write(test.portWrites)) << test.name;
        EXPECT_EQ(test.portReads.empty() ? "" : Read(test.portReads.size()), test.portReads)
            << test.name;
        EXPECT_NO_THROW(peer.get()) << test.name;
    }
    EXPECT_EQ(pty_.Receive(4), "tail");
    // A count the request cannot carry is refused rather than cut short.
    EXPECT_THROW(pty_.Sink(std::size_t{1} << 40), std::invalid_argument);
}
