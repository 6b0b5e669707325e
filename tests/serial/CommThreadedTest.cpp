#include "CommFixture.h"
#include "WaitUntil.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class CommThreadedTest : public CommTest {
protected:
    void SetUp() override { comm_.Open(); }
};

std::string Pattern(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 31 + seed) % 256);
    }
    return bytes;
}

} // namespace

TEST_F(CommThreadedTest, AReaderAndAWriterShareThePort) {
    const std::string outgoing = Pattern(60000, 1);
    const std::string incoming = Pattern(60000, 2);

    // A direct write waits for room as long as ReadTimeout says: the default second is too short
    // for a peer thread that a loaded machine leaves without a core.
    comm_.Buffers().SetReadTimeout(20000);
    std::atomic<bool> allWritten{true};
    std::thread writer([&] {
        // The peer keeps reading, so every chunk finds room in time. (A chunk that did not
        // may have gone out in part: sending it again would garble the stream.)
        for (std::size_t at = 0; at < outgoing.size() && allWritten; at += 60) {
            allWritten = comm_.WriteText(outgoing.substr(at, 60));
        }
    });
    std::string read;
    std::thread reader([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (read.size() < incoming.size() && std::chrono::steady_clock::now() < end) {
            read += comm_.ReadText();
        }
    });
    std::thread peer([&] { pty_.Send(incoming); });
    const std::string received = pty_.Receive(outgoing.size(), std::chrono::seconds(20));

    writer.join();
    reader.join();
    peer.join();
    EXPECT_TRUE(allWritten);
    EXPECT_EQ(received, outgoing);
    EXPECT_EQ(read, incoming);
}

TEST_F(CommThreadedTest, AWriteLargerThanTheLineHoldsWaitsForRoomUntilAllIsOut) {
    const std::string big = Pattern(200000, 4); // many times what a pseudo-terminal holds
    std::string received;
    std::thread peer([&] { received = pty_.Receive(big.size(), std::chrono::seconds(20)); });
    comm_.Buffers().SetReadTimeout(20000);
    EXPECT_EQ(comm_.WriteBuf(big.data(), static_cast<int32_t>(big.size())),
              static_cast<int32_t>(big.size()));
    peer.join();
    EXPECT_EQ(received, big);
}

TEST_F(CommThreadedTest, PurgesDuringReadsKeepThePortSound) {
    std::atomic<bool> sending{true};
    std::thread peer([&] {
        const std::string chunk = Pattern(500, 3);
        for (int i = 0; i < 200; ++i) {
            pty_.Send(chunk);
        }
        sending = false;
    });
    std::size_t read = 0;
    std::thread reader([&] {
        while (sending) {
            read += comm_.ReadText().size();
        }
    });
    while (sending) {
        comm_.PurgeRead();
    }
    peer.join();
    reader.join();
    comm_.PurgeRead();
    EXPECT_LE(read, 100000u);
    EXPECT_EQ(comm_.ReadBufUsed(), 0);
    EXPECT_EQ(comm_.ReadText(), "");
}

// Reads the master's queue through its descriptor, which only a Linux test holds.
#ifndef _WIN32
TEST_F(CommThreadedTest, CloseReleasesAWriterWaitingForRoom) {
    comm_.Buffers().SetReadTimeout(60000);
    std::atomic<int32_t> result{-1};
    std::thread writer([&] {
        const std::string big(1000000, 'x'); // the peer reads nothing
        result = comm_.WriteBuf(big.data(), static_cast<int32_t>(big.size()));
    });
    // Once the peer's side is full, the writer waits for room.
    ASSERT_TRUE(WaitUntil([&] {
        int waiting = 0;
        ioctl(pty_.Master(), TIOCINQ, &waiting);
        return waiting > 0;
    }));
    const auto start = std::chrono::steady_clock::now();
    comm_.Close();
    writer.join();
    // Far less than the writer's own time of a minute.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(comm_.Active());
}
#endif
