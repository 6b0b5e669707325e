// The port's settings as the device holds them, read and written from the pseudo-terminal's
// master side (its termios record), which only Linux offers; with Linux's answers to settings it
// lacks.

#include "CommFixture.h"

using namespace SerialPlatform;

TEST_F(CommTest, BitRateSettersFollowTheirRules) {
    UseFake();
    comm_.Open();
    const std::size_t written = fake_.settings.size();
    comm_.SetBaudrate(br9600); // the value it has: nothing is written
    EXPECT_EQ(fake_.settings.size(), written);
    comm_.SetUserBaudrate(4000);
    EXPECT_EQ(comm_.Baudrate(), brUser);
    ASSERT_EQ(fake_.settings.size(), written + 1);
    EXPECT_EQ(fake_.settings.back().BaudRate, 4000u);
    EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 4000u);
    comm_.SetBaudrate(br9600);
    EXPECT_EQ(comm_.UserBaudrate(), 0);
    EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 9600u);
}

TEST_F(CommTest, ChangesOfTheOptionGroupsAreWrittenAtOnce) {
    UseFake();
    comm_.Open();
    std::size_t written = fake_.settings.size();
    comm_.EventChars().SetEventChar(TVaEventChars::XonIndex, comm_.EventChars().XonChar());
    EXPECT_EQ(fake_.settings.size(), ++written); // even the same character writes the record
    comm_.FlowControl().SetOutCtsFlow(false);    // the same flag does not
    EXPECT_EQ(fake_.settings.size(), written);
    comm_.FlowControl().SetXonXoffOut(true);
    EXPECT_EQ(fake_.settings.size(), ++written);
    EXPECT_NE(pty_.SlaveSettings().c_iflag & IXON, 0u);

    TVaFlowControl flow;
    flow.SetXonXoffIn(true);
    comm_.SetFlowControl(flow);
    EXPECT_EQ(fake_.settings.size(), ++written);
    EXPECT_FALSE(comm_.FlowControl().XonXoffOut());
    EXPECT_TRUE(comm_.FlowControl().XonXoffIn());
}

TEST_F(CommTest, WithoutUpdateDcbTheDeviceKeepsItsSettings) {
    termios2 tio = pty_.SlaveSettings();
    tio.c_cflag = (tio.c_cflag & ~CBAUD) | BOTHER;
    tio.c_ospeed = tio.c_ispeed = 7200;
    ASSERT_EQ(ioctl(pty_.Master(), TCSETS2, &tio), 0);

    UseFake();
    comm_.SetUpdateDCB(false);
    comm_.Open();
    comm_.SetBaudrate(br19200);
    comm_.FlowControl().SetXonXoffOut(true);
    EXPECT_TRUE(fake_.settings.empty());
    EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 7200u);
    // The queues, time-outs and event mask are still set.
    for (const char* call : {"SetupComm", "SetCommTimeouts", "SetCommMask"}) {
        EXPECT_NE(std::find(fake_.calls.begin(), fake_.calls.end(), call), fake_.calls.end())
            << call;
    }
}

TEST_F(CommTest, ResetPortParametersLoadsTheDevicesSettingsWholeOrNotAtAll) {
    const std::string open = "Can't perform this operation while port is open";
    struct Case {
        bool open;
        bool updateDcb;
        std::string error;
    };
    // Open without UpdateDCB the device has none of the port's limits, which are refused open.
    for (const Case& test :
         {Case{false, true, ""}, Case{true, true, ""}, Case{true, false, open}}) {
        SCOPED_TRACE(testing::Message() << "open " << test.open << " updateDcb " << test.updateDcb);
        comm_.Close();
        comm_.SetUpdateDCB(test.updateDcb);
        comm_.SetBaudrate(br9600);
        comm_.FlowControl().SetXonXoffOut(false);
        comm_.Buffers().SetXonLimit(1024);
        comm_.Buffers().SetXoffLimit(1024);
        if (test.open) {
            comm_.Open();
        }
        termios2 tio = pty_.SlaveSettings();
        tio.c_cflag = (tio.c_cflag & ~CBAUD) | B4800;
        tio.c_iflag |= IXON;
        ASSERT_EQ(ioctl(pty_.Master(), TCSETS2, &tio), 0);
        EXPECT_EQ(ErrorOf([&] { comm_.ResetPortParameters(); }), test.error);
        const bool taken = test.error.empty();
        EXPECT_EQ(comm_.Baudrate(), taken ? br4800 : br9600);
        EXPECT_EQ(comm_.FlowControl().XonXoffOut(), taken);
        // Limits the device does not report are the line discipline's: never 0.
        EXPECT_EQ(comm_.Buffers().XonLimit(), test.open ? 1024 : 128);
        EXPECT_EQ(comm_.Buffers().XoffLimit(), test.open ? 1024 : 128);
    }

    comm_.Close();
    comm_.SetDeviceName("/dev/q4471-no-such-port");
    EXPECT_EQ(ErrorOf([&] { comm_.ResetPortParameters(); }),
              "Error reading default port parameters.");
}

TEST_F(CommTest, ASettingLinuxLacksIsRefusedAndTheDeviceKeepsItsRecord) {
    comm_.Open();
    // brUser with no user rate would be rate 0, which hangs up a Linux line.
    EXPECT_EQ(ErrorOf([&] { comm_.SetBaudrate(brUser); }),
              "Error writing dcb (22), Invalid argument");
    EXPECT_EQ(comm_.Baudrate(), br9600); // the port keeps what the device has
    EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 9600u);
    EXPECT_EQ(ErrorOf([&] { comm_.SetDatabits(db4); }), "Error writing dcb (22), Invalid argument");
    EXPECT_EQ(comm_.Databits(), db8);
    comm_.Close();
    // Set while closed, such a setting makes Open fail and leave the port closed.
    comm_.SetDatabits(db4);
    EXPECT_EQ(ErrorOf([&] { comm_.Open(); }), "Error writing dcb (22), Invalid argument");
    EXPECT_FALSE(comm_.Active());
}
