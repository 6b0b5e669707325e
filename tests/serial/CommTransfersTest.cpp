#include "CommFixture.h"
#include "SystemErrorText.h"
#include "WaitUntil.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

using namespace SerialPlatform;

namespace {

class CommTransfersTest : public CommTest {
protected:
    void SetUp() override { comm_.Open(); }

    // The peer sends `bytes` and the test waits until the port has them all.
    void Arrive(const std::string& bytes) {
        const int before = comm_.ReadBufUsed();
        pty_.Send(bytes);
        ASSERT_TRUE(WaitUntil(
            [&] { return comm_.ReadBufUsed() >= before + static_cast<int>(bytes.size()); }));
    }
};

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    }
    return bytes;
}

} // namespace

TEST_F(CommTransfersTest, ReadsAnswerAtOnceWithWhatHasArrived) {
    EXPECT_EQ(comm_.ReadText(), "");
    char ch = 'z';
    EXPECT_FALSE(comm_.ReadChar(ch));
    EXPECT_EQ(ch, 'z');

    Arrive("A");
    EXPECT_TRUE(comm_.ReadChar(ch));
    EXPECT_EQ(ch, 'A');

    Arrive("twelve bytes");
    EXPECT_EQ(comm_.ReadText(), "twelve bytes");
    EXPECT_EQ(comm_.ReadBufUsed(), 0);
}

TEST_F(CommTransfersTest, ReadTextDeliversMoreThanTheDriverCounts) {
    const std::string bytes = Pattern(10000); // a pseudo-terminal counts at most 4095
    pty_.Send(bytes);
    ASSERT_TRUE(WaitUntil([&] { return comm_.ReadBufUsed() >= 4095; }));
    const std::string received = comm_.ReadText(); // one call: everything, in order
    // Where they part, rather than ten thousand bytes of each.
    const auto parted = std::mismatch(received.begin(), received.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(parted.first - received.begin(), 10000);
    EXPECT_EQ(received.size(), bytes.size());
}

TEST_F(CommTransfersTest, ReadTextReturnsWhileThePeerKeepsSending) {
    std::atomic<bool> reading{true};
    std::thread peer([&] {
        const std::string chunk = Pattern(4096);
        while (reading) {
            pty_.Send(chunk);
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return comm_.ReadBufUsed() >= 4095; }));
    // Only what can have been waiting when the call began: the driver's count, and what the
    // tty layer may hold behind it.
    const std::size_t read = comm_.ReadText().size();
    reading = false;
    comm_.PurgeRead(); // frees the peer's last write
    peer.join();
    EXPECT_GE(read, 4095u);
    EXPECT_LE(read, 4095u + 640 * 1024);
}

TEST_F(CommTransfersTest, WritesPassEveryByteUnchanged) {
    const std::string protocol = "MEM:USR:SET? 1\r\n\x11\x13\x03\x04\x7F\xFF";
    EXPECT_TRUE(comm_.WriteText(protocol));
    EXPECT_EQ(pty_.Receive(protocol.size()), protocol);
    EXPECT_TRUE(comm_.WriteChar('\0'));
    EXPECT_EQ(pty_.Receive(1), std::string(1, '\0'));
    EXPECT_TRUE(comm_.WriteText(""));

    Arrive(protocol);
    EXPECT_EQ(comm_.ReadText(), protocol);
}

TEST_F(CommTransfersTest, NullStrippingDropsReceivedZeroBytesOnly) {
    comm_.SetOptions({coNullStrip});
    Arrive(std::string("a\0b\0\0c", 6));
    EXPECT_EQ(comm_.ReadText(), "abc");
    EXPECT_TRUE(comm_.WriteChar('\0')); // what goes out is not stripped
    EXPECT_EQ(pty_.Receive(1), std::string(1, '\0'));
    comm_.SetOptions({});
    Arrive(std::string("\0", 1));
    EXPECT_EQ(comm_.ReadText(), std::string(1, '\0'));
}

TEST_F(CommTransfersTest, AWriteThatCannotFinishInTimeAnswersZero) {
    comm_.Buffers().SetReadTimeout(100);
    const std::string big(200000, 'x'); // the peer reads nothing
    EXPECT_EQ(comm_.WriteBuf(big.data(), static_cast<int32_t>(big.size())), 0);
    EXPECT_FALSE(comm_.WriteText(big));
}

TEST_F(CommTransfersTest, QueueCountsAndPurges) {
    Arrive(std::string(100, 'q'));
    EXPECT_EQ(comm_.ReadBufUsed(), 100);
    EXPECT_EQ(comm_.ReadBufFree(), 3996);
    EXPECT_EQ(comm_.WriteBufUsed(), 0); // a pseudo-terminal's output queue always counts 0
    EXPECT_EQ(comm_.WriteBufFree(), 2048);
    comm_.PurgeRead();
    EXPECT_EQ(comm_.ReadBufUsed(), 0);
    EXPECT_EQ(pty_.SlaveInput(), 0); // gone from the device, not just unseen
    EXPECT_EQ(comm_.ReadText(), "");

    Arrive("more");
    comm_.PurgeWrite(); // the output only
    EXPECT_EQ(comm_.ReadBufUsed(), 4);
    comm_.PurgeReadWrite();
    EXPECT_EQ(comm_.ReadBufUsed(), 0);
}

TEST_F(CommTransfersTest, AClosedPortMovesNothing) {
    comm_.Close();
    pty_.Send("ignored");
    char buffer[8];
    EXPECT_EQ(comm_.ReadBuf(buffer, 8), 0);
    EXPECT_EQ(comm_.ReadText(), "");
    EXPECT_EQ(comm_.WriteBuf("abc", 3), 0);
    EXPECT_FALSE(comm_.WriteText("abc"));
    EXPECT_TRUE(comm_.WriteText(""));
    EXPECT_FALSE(comm_.WriteChar('a'));
    EXPECT_EQ(comm_.ReadBufUsed(), 0);
    EXPECT_EQ(comm_.ReadBufFree(), 0);
    EXPECT_EQ(comm_.WriteBufUsed(), 0);
    EXPECT_EQ(comm_.WriteBufFree(), 0);
    comm_.PurgeReadWrite();

    // What came while the port was closed is stale: it opens empty.
    ASSERT_TRUE(WaitUntil([&] { return pty_.SlaveInput() == 7; }));
    comm_.Open();
    EXPECT_EQ(comm_.ReadBufUsed(), 0);
    EXPECT_EQ(pty_.SlaveInput(), 0);
}

TEST_F(CommTransfersTest, AVanishedDeviceRaisesReadAndWriteErrors) {
    pty_.CloseMaster();
    char ch = 0;
    EXPECT_EQ(ErrorOf([&] { comm_.ReadChar(ch); }), WithSystemError("Read error", HungUpError));
    EXPECT_EQ(ErrorOf([&] { comm_.WriteText("MEM"); }),
              WithSystemError("Write error", HungUpError));
    // A gone device is no driver without lines or counters: the queries raise too.
    EXPECT_EQ(ErrorOf([&] { comm_.ReadBufUsed(); }),
              WithSystemError("Error retrieving statistics", HungUpError));
    EXPECT_EQ(ErrorOf([&] { comm_.GetModemStatus(1); }),
              WithSystemError("Error reading modem state", HungUpError));
    EXPECT_EQ(ErrorOf([&] { comm_.SetRTS(true); }),
              WithSystemError("Error calling comm function", HungUpError));
#ifndef _WIN32
    // Wine purges a hung-up terminal without an error; the next read reports the loss.
    EXPECT_EQ(ErrorOf([&] { comm_.PurgeRead(); }),
              WithSystemError("Error clearing buffers", HungUpError));
#endif
    comm_.Close();
}

TEST_F(CommTransfersTest, FailedPurgesAndQueriesRaise) {
    comm_.Close();
    UseFake();
    comm_.Open();
    fake_.calls.clear();
    EXPECT_EQ(comm_.ReadText(), ""); // nothing waits: not even a read is tried
    EXPECT_EQ(std::count(fake_.calls.begin(), fake_.calls.end(), "ReadFile"), 0);
    fake_.failures = {{FakeCall::PurgeComm, EIO}};
    EXPECT_EQ(ErrorOf([&] { comm_.PurgeRead(); }), WithSystemError("Error clearing buffers", EIO));
    fake_.failures = {{FakeCall::ClearCommError, EIO}};
    EXPECT_EQ(ErrorOf([&] { comm_.ReadText(); }),
              WithSystemError("Error retrieving statistics", EIO));
}
