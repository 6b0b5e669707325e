#include "CommFixture.h"
#include "SystemErrorText.h"

#include <q4471/framework/plain/PlainFramework.h>

#include <cerrno>

using namespace q4471;
using namespace SerialPlatform;

namespace {

class CommStatusTest : public CommTest {
protected:
    void SetUp() override {
        UseFake();
        comm_.Open();
    }
};

} // namespace

TEST_F(CommStatusTest, LineErrorsAreReportedOnceAndPassedToOnError) {
    std::vector<int32_t> reported;
    comm_.OnError = [&](TObject* sender, int32_t errors) {
        EXPECT_EQ(sender, &comm_);
        reported.push_back(errors);
    };
    fake_.pendingErrors = CE_FRAME;
    EXPECT_TRUE(comm_.ClearLineErrors());
    EXPECT_FALSE(comm_.ClearLineErrors());
    EXPECT_EQ(reported, (std::vector<int32_t>{0x0008}));

    // Every status query reads and so clears the driver's flags; the port keeps them until
    // ClearLineErrors passes them on, so that a query earlier in a batch cannot swallow them.
    fake_.pendingErrors = CE_OVERRUN;
    EXPECT_EQ(comm_.ReadBufUsed(), 0);
    fake_.pendingErrors = CE_RXPARITY;
    EXPECT_FALSE(comm_.GetComStat(1));
    EXPECT_TRUE(comm_.ClearLineErrors());
    EXPECT_FALSE(comm_.ClearLineErrors());
    EXPECT_EQ(reported, (std::vector<int32_t>{0x0008, 0x0006}));
}

TEST_F(CommStatusTest, AFailingErrorHandlerIsShownNotRaised) {
    PlainFrameworkBinding framework;
    comm_.OnError = [](TObject*, int32_t) { throw EVaCommError("handler failed"); };
    fake_.pendingErrors = CE_BREAK;
    EXPECT_TRUE(comm_.ClearLineErrors());
    EXPECT_EQ(framework.ShownErrors(), (std::vector<std::string>{"handler failed"}));
}

TEST_F(CommStatusTest, HoldFlagsAndModemLinesByIndex) {
    fake_.comStatFlags = 0x01 | 0x10 | 0x80; // CTS hold, XOFF sent, the first reserved bit
    EXPECT_TRUE(comm_.GetComStat(1));
    EXPECT_FALSE(comm_.GetComStat(2));
    EXPECT_TRUE(comm_.GetComStat(5));
    EXPECT_TRUE(comm_.GetComStat(8));
    EXPECT_FALSE(comm_.GetComStat(0));
    EXPECT_FALSE(comm_.GetComStat(9));

    fake_.modemStat = MS_CTS_ON | MS_RLSD_ON;
    EXPECT_TRUE(comm_.GetModemStatus(1));
    EXPECT_FALSE(comm_.GetModemStatus(2));
    EXPECT_FALSE(comm_.GetModemStatus(3));
    EXPECT_TRUE(comm_.GetModemStatus(4));
    EXPECT_FALSE(comm_.GetModemStatus(5));

    fake_.failures = {{FakeCall::GetCommModemStatus, EIO}};
    EXPECT_EQ(ErrorOf([&] { comm_.GetModemStatus(1); }),
              WithSystemError("Error reading modem state", EIO));

    comm_.Close();
    fake_.failures.clear();
    for (int index = 0; index <= 9; ++index) {
        EXPECT_FALSE(comm_.GetComStat(index));
        EXPECT_FALSE(comm_.GetModemStatus(index));
    }
    EXPECT_EQ(comm_.GetCommStatus().Errors, 0u);
}

TEST_F(CommStatusTest, LineFunctionsAndTheirRefusals) {
    comm_.SetDTR(true);
    comm_.SetDTR(false);
    comm_.SetRTS(true);
    comm_.SetRTS(false);
    comm_.SetBreak(true);
    comm_.SetBreak(false);
    comm_.SetXon(false);
    comm_.SetXon(true);
    comm_.ResetDev();
    EXPECT_EQ(fake_.functions, (std::vector<uint32_t>{5, 6, 3, 4, 8, 9, 1, 2, 7}));

    fake_.failures = {{FakeCall::EscapeCommFunction, EIO}};
    EXPECT_EQ(ErrorOf([&] { comm_.SetBreak(true); }),
              WithSystemError("Error calling comm function", EIO));
    fake_.failures.clear();

    comm_.FlowControl().SetControlRts(rtsHandshake);
    EXPECT_EQ(ErrorOf([&] { comm_.SetRTS(true); }),
              "RTS line updates not allowed when flowcontrol is set to Handshake or Toggle.");
    comm_.Close();
    fake_.functions.clear();
    comm_.FlowControl().SetControlRts(rtsToggle);
    EXPECT_EQ(ErrorOf([&] { comm_.SetRTS(false); }),
              "RTS line updates not allowed when flowcontrol is set to Handshake or Toggle.");
    comm_.FlowControl().SetControlDtr(dtrHandshake);
    EXPECT_EQ(ErrorOf([&] { comm_.SetDTR(true); }),
              "DTR line updates not allowed when flowcontrol is set to Handshake.");
    comm_.FlowControl().SetControlDtr(dtrDisabled);
    comm_.SetDTR(true); // a closed port: nothing happens
    EXPECT_TRUE(fake_.functions.empty());
    EXPECT_EQ(comm_.FlowControl().ControlDtr(), dtrDisabled);
}

// Under Wine the pseudo-terminal has modem lines (the preloaded shim gives it some).
#ifndef _WIN32
TEST_F(CommTest, ALineFunctionAPseudoTerminalLacksIsAnError) {
    // DTR and RTS held on: no error although the driver has no such lines.
    comm_.FlowControl().SetControlDtr(dtrEnabled);
    comm_.FlowControl().SetControlRts(rtsEnabled);
    comm_.Open();
    comm_.FlowControl().SetControlDtr(dtrDisabled); // held off likewise
    EXPECT_EQ(ErrorOf([&] { comm_.SetDTR(true); }),
              "Error calling comm function (25), Inappropriate ioctl for device");
    EXPECT_FALSE(comm_.GetModemStatus(1));
    EXPECT_FALSE(comm_.ClearLineErrors());
}
#endif
