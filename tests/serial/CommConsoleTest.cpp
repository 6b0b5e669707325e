// A program that runs no GUI loop: a console program that writes, waits and reads on its main
// thread, which is the GUI thread and never serves the port's hand-overs.

#include "CommFixture.h"
#include "WaitUntil.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

class CommConsoleTest : public CommTest {
protected:
    // The defaults of a new port: queued writes, the default events, no handler, no client.
    CommConsoleTest() { comm_.SetDirectWrite(false); }
};

} // namespace

TEST_F(CommConsoleTest, QueuedWritesWithoutHandlersAllGoOutWithoutALoop) {
    comm_.Open();
    for (const std::string line : {"one\r\n", "two\r\n", "three\r\n", "four\r\n"}) {
        ASSERT_TRUE(comm_.WriteText(line));
        // The peer's answers make receive batches too, which nobody takes either.
        pty_.Send("ok\r\n");
        ASSERT_EQ(pty_.Receive(line.size()), line);
        ASSERT_TRUE(WaitUntil([&] { return comm_.WriteBufUsed() == 0; }));
    }
    EXPECT_TRUE(WaitUntil([&] { return comm_.ReadBufUsed() == 16; }));
    EXPECT_EQ(comm_.ReadText(), "ok\r\nok\r\nok\r\nok\r\n");
}

TEST_F(CommConsoleTest, ReadsWaitForACountOrAnEndCharacterWithinTheirTime) {
    using namespace std::chrono_literals;
    struct Case {
        const char* name;
        std::string arrives;
        int32_t count;
        int endChar; // -1: a read of `count`
        int32_t timeout;
        std::string read;
        bool complete;
        std::string left; // what ReadText finds afterwards
    };
    const Case cases[] = {
        {"an answer and the start of the next", "answer\rnext", 64, '\r', 5000, "answer\r", true,
         "next"},
        {"a count", "12345678", 5, -1, 5000, "12345", true, "678"},
        {"a count not reached in time", "ab", 5, -1, 200, "ab", false, ""},
        {"no end character in time", "no end", 64, '\r', 200, "no end", false, ""},
        {"the count reached before the end character", "abcdef", 4, '\r', 5000, "abcd", false,
         "ef"},
        {"nothing at all", "", 8, '\r', 200, "", false, ""},
    };
    comm_.Open();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        // Half now and half while the read waits, or before: the answer is the same.
        const std::size_t half = test.arrives.size() / 2;
        pty_.Send(test.arrives.substr(0, half));
        std::thread peer([&] { pty_.Send(test.arrives.substr(half)); });
        std::string buffer(static_cast<std::size_t>(test.count), '\0');
        const auto start = std::chrono::steady_clock::now();
        const TVaTransfer got =
            test.endChar < 0 ? comm_.ReadWait(buffer.data(), test.count, test.timeout)
                             : comm_.ReadUntil(buffer.data(), test.count,
                                               static_cast<char>(test.endChar), test.timeout);
        const auto took = std::chrono::steady_clock::now() - start;
        peer.join();
        EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(got.Count)), test.read);
        EXPECT_EQ(got.Complete, test.complete);
        if (!test.complete && got.Count < test.count) {
            EXPECT_GE(took, std::chrono::milliseconds(test.timeout));
        }
        EXPECT_TRUE(WaitUntil([&] { return comm_.ReadBufUsed() >= int32_t(test.left.size()); }));
        EXPECT_EQ(comm_.ReadText(), test.left);
    }
}

TEST_F(CommConsoleTest, WaitWrittenTellsWhenTheOutputHasLeftAndHowMuchWent) {
    comm_.Open();
    comm_.SetXon(true);
    EXPECT_TRUE(comm_.WriteText("request\r"));
    const TVaTransfer sent = comm_.WaitWritten(10000);
    EXPECT_TRUE(sent.Complete);
    EXPECT_LE(sent.Count, 8); // what had not gone before the wait began
    EXPECT_EQ(comm_.WriteBufUsed(), 0);
    EXPECT_EQ(pty_.Receive(8), "request\r");

    comm_.SetXon(false); // the line holds the output, as after a received XOFF
    const std::string bytes(100, 'x');
    EXPECT_TRUE(comm_.WriteText(bytes));
    const TVaTransfer held = comm_.WaitWritten(200);
    EXPECT_FALSE(held.Complete);
    EXPECT_EQ(held.Count, 0);
    std::thread release([&] { comm_.SetXon(true); }); // before the wait begins, or during it
    const TVaTransfer released = comm_.WaitWritten(10000);
    release.join();
    EXPECT_TRUE(released.Complete);
    EXPECT_LE(released.Count, 100);
    EXPECT_EQ(comm_.WriteBufUsed(), 0);
    EXPECT_EQ(pty_.Receive(100), bytes);
    EXPECT_EQ(comm_.WaitWritten(0).Count, 0); // nothing was waiting
    EXPECT_TRUE(comm_.WaitWritten(0).Complete);
}

TEST_F(CommConsoleTest, ClosingEndsWaitsOnOtherThreadsAtOnce) {
    comm_.Open();
    comm_.SetXon(false);
    EXPECT_TRUE(comm_.WriteText("held"));
    std::string read = "unset";
    TVaTransfer written{-1, true};
    std::thread reader([&] { read = comm_.ReadTextUntil('\r', 8, 60000); });
    std::thread writer([&] { written = comm_.WaitWritten(60000); });
    const auto start = std::chrono::steady_clock::now();
    comm_.Close();
    reader.join();
    writer.join();
    // Far below the waits' own time: a close that waited them out would take a minute.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(read, "");
    EXPECT_FALSE(written.Complete);
    char ch = 0;
    EXPECT_FALSE(comm_.ReadWait(&ch, 1, 0).Complete); // closed: nothing, at once
}
