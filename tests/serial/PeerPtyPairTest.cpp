// The Wine harness seen from a Windows program: the pty peer's pairs open as COM ports, carry
// bytes both ways, hang up, and have modem lines (through the preloaded shim) that the port and
// the peer drive and that WaitCommEvent watches.

#include "PeerPtyPair.h"

#include "WaitUntil.h"
#include "tools/wine/PtyPeerProtocol.h"

#include <gtest/gtest.h>
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
        port_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
        done_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = 9600;
        dcb.fBinary = TRUE;
        dcb.ByteSize = 8;
        configured_ = port_ != INVALID_HANDLE_VALUE && SetCommState(port_, &dcb);
    }
    ~PeerPortTest() override {
        CloseHandle(done_.hEvent);
        if (port_ != INVALID_HANDLE_VALUE) {
            CloseHandle(port_);
        }
    }

    // The result of an overlapped call, waited for up to five seconds. `started` is what the call
    // answered and its error, taken at once: asking the peer sets the error anew.
    bool Finish(BOOL started, DWORD error, DWORD& count) {
        if (!started && error != ERROR_IO_PENDING) {
            return false;
        }
        if (WaitForSingleObject(done_.hEvent, 5000) != WAIT_OBJECT_0) {
            CancelIo(port_);
            return false;
        }
        return GetOverlappedResult(port_, &done_, &count, FALSE) != 0;
    }

    bool Write(const std::string& bytes) {
        ResetEvent(done_.hEvent);
        DWORD count = 0;
        const BOOL started =
            WriteFile(port_, bytes.data(), static_cast<DWORD>(bytes.size()), &count, &done_);
        return Finish(started, started ? 0 : GetLastError(), count) && count == bytes.size();
    }

    // The events of the mask that come while `cause` runs.
    DWORD EventsOf(DWORD mask, void (*cause)(const PeerPtyPair&)) {
        EXPECT_TRUE(SetCommMask(port_, mask));
        ResetEvent(done_.hEvent);
        DWORD events = 0;
        DWORD count = 0;
        const BOOL started = WaitCommEvent(port_, &events, &done_);
        const DWORD error = started ? 0 : GetLastError();
        cause(pty_);
        EXPECT_TRUE(Finish(started, error, count))
            << "error " << error << ", then " << GetLastError();
        return events;
    }

    PeerPtyPair pty_;
    HANDLE port_ = INVALID_HANDLE_VALUE;
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
        ASSERT_TRUE(EscapeCommFunction(port_, test.function)) << test.function;
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
        ASSERT_TRUE(GetCommModemStatus(port_, &status));
        EXPECT_EQ(status, test.status) << test.line;
        pty_.SetModemLines(0, test.line);
        ASSERT_TRUE(GetCommModemStatus(port_, &status));
        EXPECT_EQ(status, 0u) << test.line;
    }
    // The port cannot drive the peer's lines.
    pty_.SetModemLines(0, PtyPeer::kPeerLines);
    EXPECT_TRUE(EscapeCommFunction(port_, SETDTR));
    EXPECT_EQ(pty_.ModemLines(), static_cast<uint32_t>(PtyPeer::lineDtr));
}

TEST_F(PeerPortTest, WaitCommEventSeesInputAndLineChanges) {
    ASSERT_TRUE(configured_);
    EXPECT_EQ(EventsOf(EV_RXCHAR, [](const PeerPtyPair& pty) { pty.Send("x"); }), DWORD{EV_RXCHAR});
    PurgeComm(port_, PURGE_RXCLEAR);
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
        const HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        if (port == INVALID_HANDLE_VALUE) {
            return true;
        }
        CloseHandle(port);
        return false;
    }));
}
