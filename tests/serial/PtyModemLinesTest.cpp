// The file of modem lines that the pty peer and the shim preloaded into Wine share: a pair's lines
// change whole and are found only for the slave of a pair that has a file.

#include "tools/wine/PtyModemLines.h"

#include "LinuxPtyPair.h"
#include "ScopedEnv.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

TEST(PtyModemLines, ChangesRaiseAndDropOnlyTheirLinesAndALongerValueLeavesNoDigitsBehind) {
    const TempFolder folder;
    const std::string file = PtyModemLines::FileFor(folder.Path(), 7);
    ASSERT_TRUE(PtyModemLines::Create(file));
    struct Case {
        int raise, drop, after;
    };
    const int all = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_RI | TIOCM_CAR;
    for (const Case& test : {Case{0, 0, 0}, Case{all, 0, all}, Case{0, TIOCM_DTR, all & ~TIOCM_DTR},
                             Case{TIOCM_DTR, all & ~TIOCM_DTR, TIOCM_DTR}, Case{0, all, 0}}) {
        EXPECT_EQ(PtyModemLines::Update(file, test.raise, test.drop), test.after);
        EXPECT_EQ(PtyModemLines::Read(file), test.after);
    }
    EXPECT_EQ(PtyModemLines::Read(folder.File("pts-8")), -1); // a pair without a file
}

TEST(PtyModemLines, OnlyTheSlaveOfAPairWithAFileHasLines) {
    const TempFolder folder;
    const LinuxPtyPair pair;
    const SerialPlatform::FileDescriptor slave(open(pair.SlavePath().c_str(), O_RDWR | O_NOCTTY));
    const unsigned number = std::stoul(pair.SlavePath().substr(pair.SlavePath().rfind('/') + 1));
    const std::string file = PtyModemLines::FileFor(folder.Path(), number);
    {
        const ScopedEnv directory(PtyModemLines::DirectoryVariable, folder.Path());
        EXPECT_FALSE(PtyModemLines::FileOfSlave(slave.Get())); // no file yet
        ASSERT_TRUE(PtyModemLines::Create(file));
        EXPECT_EQ(PtyModemLines::FileOfSlave(slave.Get()), file);
        EXPECT_FALSE(PtyModemLines::FileOfSlave(pair.Master())); // the peer's side has none
    }
    EXPECT_FALSE(PtyModemLines::FileOfSlave(slave.Get())); // no folder named
}
