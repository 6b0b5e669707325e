// A program that runs no GUI loop: a console program that writes, waits and reads on its main
// thread, which is the GUI thread and never serves the port's hand-overs.

#include "CommFixture.h"
#include "WaitUntil.h"

#include <string>

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
