// The bytes on the line exactly, read by the test itself at the far end: the radio's own framing
// would hide a stray line feed or CR between commands.
#include "RadioLinkFixture.h"

#include <q4471/serial/LinuxFileDescriptor.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A pseudo-terminal whose far end the test holds; the editor opens DevicePath().
class FarEnd {
public:
    FarEnd() : fd_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        EXPECT_TRUE(fd_.Valid());
        EXPECT_EQ(grantpt(fd_.Get()), 0);
        EXPECT_EQ(unlockpt(fd_.Get()), 0);
    }

    std::string DevicePath() const { return ptsname(fd_.Get()); }

    // Whatever has arrived, without waiting.
    std::string Take() const {
        char buffer[512];
        const ssize_t got = read(fd_.Get(), buffer, sizeof buffer);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

private:
    SerialPlatform::FileDescriptor fd_;
};

class ExactBytesTest : public RadioLinkTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartRadio());
        setenv("Q4471_COM2", line.DevicePath().c_str(), 1);
        Trigger("COM21");
        ASSERT_EQ(Status(), "Port 2 Selected");
    }
    // The editor lets go of the line before the test's end of it closes.
    void TearDown() override {
        CloseWindow();
        RadioLinkTest::TearDown();
    }

    // Runs `command` and serves it until `count` bytes have reached the far end.
    std::string BytesOf(const char* command, std::size_t count) {
        std::string bytes;
        Trigger(command);
        ServeUntil([&] {
            bytes += line.Take();
            return bytes.size() >= count;
        });
        return bytes;
    }

    FarEnd line;
};

TEST_F(ExactBytesTest, AQueryIsItsTextAndOneCarriageReturn) {
    // Nothing answers, so the same query follows after the pause.
    EXPECT_EQ(BytesOf("LoadFromQ44711", 30), "MEM:USR:SET? 1\rMEM:USR:SET? 1\r");
}

TEST_F(ExactBytesTest, ASetCommandIsItsTextAndOneCarriageReturn) {
    EXPECT_EQ(BytesOf("SendFileToQ44711", 40), "MEM:USR:SET 1,,,,0,\rMEM:USR:SET 2,,,,0,\r");
}

} // namespace
