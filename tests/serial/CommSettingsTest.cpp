#include "CommFixture.h"
#include "ScopedPortNames.h"
#include "SystemErrorText.h"

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

using namespace q4471;
using namespace SerialPlatform;

TEST(CommDefaults, ANewPortHasTheDefaultsOfItsProperties) {
    TVaComm comm(nullptr);
    EXPECT_FALSE(comm.AutoOpen());
    EXPECT_EQ(comm.Baudrate(), br1200);
    EXPECT_EQ(comm.Parity(), paNone);
    EXPECT_EQ(comm.Databits(), db8);
    EXPECT_EQ(comm.Stopbits(), sb1);
    EXPECT_TRUE(comm.Options().Empty());
    EXPECT_EQ(comm.PortNum(), 0);
    EXPECT_EQ(comm.DeviceName(), "\\\\.\\COM%d");
    EXPECT_EQ(comm.MonitorEvents().ToBits(), 200);
    EXPECT_EQ(comm.EventPriority(), tpNormal);
    EXPECT_EQ(comm.WritePriority(), tpHighest);
    EXPECT_FALSE(comm.DirectWrite());
    EXPECT_TRUE(comm.UpdateDCB());
    EXPECT_EQ(comm.UserBaudrate(), 0);
    EXPECT_EQ(comm.Buffers().ReadSize(), 4096);
    EXPECT_EQ(comm.EventChars().XonChar(), 17);
    EXPECT_FALSE(comm.FlowControl().OutCtsFlow());
    EXPECT_FALSE(comm.Active());
}

TEST(CommDeviceName, ThePatternTakesThePortNumberSafely) {
    TVaComm comm(nullptr);
    comm.SetPortNum(3);
    const ScopedPortNames names("COM3", "/dev/pts/99");
    EXPECT_EQ(comm.GetDeviceName(), "\\\\.\\COM3");
    EXPECT_EQ(comm.GetDeviceNameEx(), "/dev/pts/99");
    comm.SetDeviceName("COM%d");
    EXPECT_EQ(comm.GetDeviceName(), "COM3");
    EXPECT_EQ(comm.GetDeviceNameEx(), "/dev/pts/99");
    comm.SetDeviceName("/dev/ttyACM%d");
    EXPECT_EQ(comm.GetDeviceNameEx(), "/dev/ttyACM3");
    // A pattern is the user's text: stray conversions stay as they are.
    comm.SetDeviceName("%s%x%n%d%%");
    EXPECT_EQ(comm.GetDeviceName(), "%s%x%n3%");
}

TEST_F(CommTest, PropertiesOfTheDeviceAreRefusedWhileOpen) {
    comm_.Open();
    const std::string open = "Can't perform this operation while port is open";
    EXPECT_EQ(ErrorOf([&] { comm_.SetPortNum(4); }), open);
    EXPECT_EQ(comm_.PortNum(), 0);
    EXPECT_EQ(ErrorOf([&] { comm_.SetDeviceName("COM%d"); }), open);
    EXPECT_EQ(ErrorOf([&] { comm_.SetMonitorEvents({}); }), open);
    EXPECT_EQ(ErrorOf([&] { comm_.SetDirectWrite(false); }), open);
    EXPECT_EQ(ErrorOf([&] { comm_.SetUpdateDCB(false); }), open);
    EXPECT_EQ(ErrorOf([&] { comm_.SetCommSystem(fake_); }), open);
    EXPECT_TRUE(comm_.DirectWrite());

    TVaBuffers equal;
    EXPECT_EQ(ErrorOf([&] { comm_.SetBuffers(equal); }), open);
    // An equal copy still notifies, and the notification refuses.
    EXPECT_EQ(ErrorOf([&] { comm_.Buffers().Assign(equal); }), open);
    // Through the group's own setter too; the group keeps its value (RefusedSettings below).
    EXPECT_EQ(ErrorOf([&] { comm_.Buffers().SetReadSize(8192); }), open);
    EXPECT_TRUE(comm_.Active());

    comm_.Close();
    comm_.SetPortNum(4);
    EXPECT_EQ(comm_.PortNum(), 4);
}

namespace {

// Every setting of the port and its option groups, as one text.
std::string Settings(const TVaComm& comm) {
    const TVaFlowControl& flow = comm.FlowControl();
    const TVaEventChars& chars = comm.EventChars();
    const TVaBuffers& buffers = comm.Buffers();
    std::string text;
    for (const long value :
         {long{comm.Baudrate()},       long{comm.UserBaudrate()},     long{comm.Parity()},
          long{comm.Databits()},       long{comm.Stopbits()},         long{comm.Options().ToBits()},
          long{flow.OutCtsFlow()},     long{flow.OutDsrFlow()},       long{flow.ControlDtr()},
          long{flow.ControlRts()},     long{flow.XonXoffOut()},       long{flow.XonXoffIn()},
          long{flow.DsrSensitivity()}, long{flow.TxContinueOnXoff()}, long{chars.XonChar()},
          long{chars.XoffChar()},      long{chars.ErrorChar()},       long{chars.EventChar()},
          long{chars.EofChar()},       long{buffers.ReadSize()},      long{buffers.WriteSize()},
          long{buffers.ReadTimeout()}, long{buffers.WriteTimeout()},  long{buffers.XonLimit()},
          long{buffers.XoffLimit()}}) {
        text += std::to_string(value) + ' ';
    }
    return text;
}

} // namespace

TEST_F(CommTest, RefusedSettingsLeaveThePortAsItWas) {
    struct Case {
        const char* name;
        bool deviceRefuses; // else refused because the port is open
        std::function<void(TVaComm&)> change;
    };
    TVaFlowControl flow;
    flow.SetOutDsrFlow(true);
    flow.SetXonXoffIn(true);
    TVaEventChars chars;
    chars.SetEventChar(TVaEventChars::EventIndex, '\n');
    TVaBuffers buffers;
    buffers.SetReadSize(8192);
    buffers.SetReadTimeout(5);
    const Case cases[] = {
        {"Baudrate", true, [](TVaComm& c) { c.SetBaudrate(br115200); }},
        {"UserBaudrate", true, [](TVaComm& c) { c.SetUserBaudrate(250000); }},
        {"Parity", true, [](TVaComm& c) { c.SetParity(paEven); }},
        {"Databits", true, [](TVaComm& c) { c.SetDatabits(db4); }},
        {"Stopbits", true, [](TVaComm& c) { c.SetStopbits(sb15); }},
        {"Options", true, [](TVaComm& c) { c.SetOptions({coParityCheck}); }},
        {"OutCtsFlow", true, [](TVaComm& c) { c.FlowControl().SetOutCtsFlow(true); }},
        {"OutDsrFlow", true, [](TVaComm& c) { c.FlowControl().SetOutDsrFlow(true); }},
        {"ControlDtr", true, [](TVaComm& c) { c.FlowControl().SetControlDtr(dtrHandshake); }},
        {"ControlRts", true, [](TVaComm& c) { c.FlowControl().SetControlRts(rtsToggle); }},
        {"XonXoffOut", true, [](TVaComm& c) { c.FlowControl().SetXonXoffOut(true); }},
        {"XonXoffIn", true, [](TVaComm& c) { c.FlowControl().SetXonXoffIn(true); }},
        {"DsrSensitivity", true, [](TVaComm& c) { c.FlowControl().SetDsrSensitivity(true); }},
        {"TxContinueOnXoff", true, [](TVaComm& c) { c.FlowControl().SetTxContinueOnXoff(true); }},
        {"FlowControl", true, [&](TVaComm& c) { c.SetFlowControl(flow); }},
        {"XonChar", true,
         [](TVaComm& c) { c.EventChars().SetEventChar(TVaEventChars::XonIndex, 'Q'); }},
        {"XoffChar", true,
         [](TVaComm& c) { c.EventChars().SetEventChar(TVaEventChars::XoffIndex, 'S'); }},
        {"ErrorChar", true,
         [](TVaComm& c) { c.EventChars().SetEventChar(TVaEventChars::ErrorIndex, '?'); }},
        {"EventChar", true,
         [](TVaComm& c) { c.EventChars().SetEventChar(TVaEventChars::EventIndex, '\r'); }},
        {"EofChar", true,
         [](TVaComm& c) { c.EventChars().SetEventChar(TVaEventChars::EofIndex, '\x1a'); }},
        {"EventChars", true, [&](TVaComm& c) { c.SetEventChars(chars); }},
        {"ReadSize", false, [](TVaComm& c) { c.Buffers().SetReadSize(8192); }},
        {"WriteSize", false, [](TVaComm& c) { c.Buffers().SetWriteSize(64); }},
        {"XonLimit", false, [](TVaComm& c) { c.Buffers().SetXonLimit(10); }},
        {"XoffLimit", false, [](TVaComm& c) { c.Buffers().SetXoffLimit(10); }},
        {"Buffers.Assign", false, [&](TVaComm& c) { c.Buffers().Assign(buffers); }},
    };
    UseFake();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        comm_.Open();
        const std::string before = Settings(comm_);
        const std::size_t written = fake_.settings.size();
        if (test.deviceRefuses) {
            fake_.failures[FakeCall::SetCommState] = 22;
        }
        const std::string error = ErrorOf([&] { test.change(comm_); });
        EXPECT_EQ(error, test.deviceRefuses ? WithSystemError("Error writing dcb", 22)
                                            : "Can't perform this operation while port is open");
        EXPECT_EQ(Settings(comm_), before);
        fake_.failures.clear();
        // The next opening writes the settings as they were, and the device takes them.
        comm_.Close();
        ASSERT_NO_THROW(comm_.Open());
        EXPECT_EQ(Settings(comm_), before);
        EXPECT_EQ(fake_.settings.size(), written + 1);
        comm_.Close();
    }
}

TEST_F(CommTest, TheSettingsRecordIsBuiltFromTheProperties) {
    UseFake();
    fake_.passSettings = false; // settings a pseudo-terminal would refuse
    comm_.SetParity(paSpace);
    comm_.SetDatabits(db5);
    comm_.SetStopbits(sb15);
    comm_.SetOptions({coErrorChar, coNullStrip, coParityCheck});
    TVaFlowControl flow;
    flow.SetOutCtsFlow(true);
    flow.SetOutDsrFlow(true);
    flow.SetControlDtr(dtrHandshake);
    flow.SetControlRts(rtsToggle);
    flow.SetXonXoffOut(true);
    flow.SetXonXoffIn(true);
    flow.SetDsrSensitivity(true);
    flow.SetTxContinueOnXoff(true);
    comm_.SetFlowControl(flow);
    comm_.EventChars().SetEventChar(TVaEventChars::ErrorIndex, '?');
    comm_.EventChars().SetEventChar(TVaEventChars::EventIndex, '!');
    comm_.EventChars().SetEventChar(TVaEventChars::EofIndex, 26);
    comm_.Buffers().SetXonLimit(70000); // cut to 16 bits
    comm_.Buffers().SetXoffLimit(512);
    comm_.Open();

    ASSERT_EQ(fake_.settings.size(), 1u);
    const DCB& dcb = fake_.settings.front();
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_TRUE(dcb.fParity);
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_TRUE(dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.fDtrControl, 2);
    EXPECT_TRUE(dcb.fDsrSensitivity);
    EXPECT_TRUE(dcb.fTXContinueOnXoff);
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_TRUE(dcb.fInX);
    EXPECT_TRUE(dcb.fErrorChar);
    EXPECT_TRUE(dcb.fNull);
    EXPECT_EQ(dcb.fRtsControl, 3);
    EXPECT_FALSE(dcb.fAbortOnError);
    EXPECT_EQ(dcb.XonLim, 70000 & 0xFFFF);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.Parity, 4);
    EXPECT_EQ(dcb.StopBits, 1);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EvtChar, '!');
    EXPECT_EQ(dcb.EofChar, 26);
}

TEST_F(CommTest, TheEventMaskFollowsMonitorEventsAndDirectWrite) {
    comm_.Open();
    EXPECT_EQ(comm_.EventMask(), 0x85u);
    comm_.Close();
    comm_.SetDirectWrite(false);
    comm_.Open();
    EXPECT_EQ(comm_.EventMask(), 0x81u);
    comm_.Close();
    comm_.SetMonitorEvents({ceTxEmpty});
    comm_.Open();
    EXPECT_EQ(comm_.EventMask(), 0u);
    comm_.Close();
    comm_.SetMonitorEvents({ceBreak, ceCts, ceDsr, ceError, ceRing, ceRlsd, ceRxChar, ceTxEmpty,
                            ceRxFlag, cePErr, ceRx80Full, ceEvent1, ceEvent2});
    comm_.SetDirectWrite(true);
    comm_.Open();
    EXPECT_EQ(comm_.EventMask(), 0x1FFFu);
}

TEST_F(CommTest, ReadDcbTakesARecordIntoTheProperties) {
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.ByteSize = 7;
    dcb.Parity = 2;
    dcb.StopBits = 2;
    dcb.fDtrControl = 0;
    dcb.fRtsControl = 3;
    dcb.fOutX = true;
    dcb.fParity = true;
    dcb.fNull = true;
    dcb.XonChar = 'Q';
    dcb.XonLim = 100;
    comm_.SetUserBaudrate(1234);
    comm_.ReadDCB(dcb);
    EXPECT_EQ(comm_.Baudrate(), br9600);
    EXPECT_EQ(comm_.UserBaudrate(), 0);
    EXPECT_EQ(comm_.Databits(), db7);
    EXPECT_EQ(comm_.Parity(), paEven);
    EXPECT_EQ(comm_.Stopbits(), sb2);
    EXPECT_EQ(comm_.FlowControl().ControlDtr(), dtrDisabled);
    EXPECT_EQ(comm_.FlowControl().ControlRts(), rtsToggle);
    EXPECT_TRUE(comm_.FlowControl().XonXoffOut());
    EXPECT_EQ(comm_.EventChars().XonChar(), 'Q');
    EXPECT_EQ(comm_.Buffers().XonLimit(), 100);
    EXPECT_EQ(comm_.Options(), (TVaCommOptions{coNullStrip, coParityCheck}));

    dcb.BaudRate = 7200;
    dcb.ByteSize = 9;
    dcb.Parity = 7;
    comm_.ReadDCB(dcb);
    EXPECT_EQ(comm_.Baudrate(), brUser);
    EXPECT_EQ(comm_.UserBaudrate(), 7200);
    EXPECT_EQ(comm_.Databits(), db8);
    EXPECT_EQ(comm_.Parity(), paNone);

    // On an open port a changed limit is refused, before anything else changes.
    dcb.fRtsControl = 0; // Linux has no RTS toggle
    comm_.ReadDCB(dcb);
    comm_.Open();
    dcb.XonLim = 200;
    dcb.BaudRate = 9600;
    EXPECT_EQ(ErrorOf([&] { comm_.ReadDCB(dcb); }),
              "Can't perform this operation while port is open");
    EXPECT_EQ(comm_.UserBaudrate(), 7200);
    EXPECT_EQ(comm_.Buffers().XonLimit(), 100);
}

TEST_F(CommTest, TheCapabilityRecordNeedsAnOpenPort) {
    UseFake();
    EXPECT_EQ(ErrorOf([&] { comm_.GetProperties(); }),
              "Can't perform this operation while port is closed");
    comm_.Open();
    comm_.GetProperties();
#ifdef _WIN32
    // SetupComm only recommends the sizes: the driver reports its own (Wine 4096 both ways).
    EXPECT_GT(comm_.Properties().dwCurrentRxQueue, 0u);
    EXPECT_GT(comm_.Properties().dwCurrentTxQueue, 0u);
#else
    EXPECT_EQ(comm_.Properties().dwCurrentRxQueue, 4096u);
    EXPECT_EQ(comm_.Properties().dwCurrentTxQueue, 2048u);
#endif
    fake_.failures = {{FakeCall::GetCommProperties, EIO}};
    EXPECT_EQ(ErrorOf([&] { comm_.GetProperties(); }),
              WithSystemError("Error reading port properties", EIO));
    EXPECT_EQ(comm_.Properties().dwCurrentRxQueue, 0u); // cleared before the query
}

TEST_F(CommTest, EveryFailureTellsItsKindCodeAndSetting) {
#ifdef _WIN32
    constexpr int Invalid = 87;     // ERROR_INVALID_PARAMETER
    constexpr int Missing = 2;      // ERROR_FILE_NOT_FOUND
    constexpr int NoPermission = 0; // Windows answers a held port and a forbidden one alike
    constexpr int Busy = 5;         // ERROR_ACCESS_DENIED
#else
    constexpr int Invalid = EINVAL;
    constexpr int Missing = ENOENT;
    constexpr int NoPermission = EACCES;
    constexpr int Busy = EBUSY;
#endif
    struct Case {
        const char* name;
        std::function<void()> fail;
        TVaCommErrorKind kind;
        int code;
        std::string setting;
    };
    TVaComm other(nullptr);
    other.SetDeviceName(pty_.SlavePath());
    const auto failing = [this](FakeCall call, int code) {
        fake_.failures.clear();
        fake_.failures[call] = code;
    };
    std::vector<Case> cases = {
        {"device missing",
         [&] {
             failing(FakeCall::CreateFile, Missing);
             comm_.Open();
         },
         ekDeviceMissing, Missing, ""},
        {"busy",
         [&] {
             fake_.failures.clear();
             other.Open();
             comm_.Open();
         },
         ekBusy, Busy, ""},
        {"open while open",
         [&] {
             other.Close();
             comm_.Open();
             comm_.Open();
         },
         ekPortOpen, 0, ""},
        {"refused setting",
         [&] {
             failing(FakeCall::SetCommState, Invalid);
             comm_.SetDatabits(db5);
         },
         ekRefusedSetting, Invalid, "Databits"},
        {"refused group", [&] { comm_.FlowControl().SetXonXoffIn(true); }, ekRefusedSetting,
         Invalid, "FlowControl"},
        {"other system error",
         [&] {
             failing(FakeCall::PurgeComm, Invalid);
             comm_.PurgeRead();
         },
         ekSystemError, Invalid, ""},
        {"device gone",
         [&] {
             failing(FakeCall::ReadFile, HungUpError);
             char ch;
             comm_.ReadChar(ch);
         },
         ekDeviceGone, HungUpError, ""},
        {"line control",
         [&] {
             comm_.Close();
             comm_.FlowControl().SetControlDtr(dtrHandshake);
             comm_.SetDTR(true);
         },
         ekLineControl, 0, ""},
        {"needs an open port", [&] { comm_.GetProperties(); }, ekPortClosed, 0, ""},
        {"refused at Open, named",
         [&] {
             comm_.FlowControl().SetControlDtr(dtrDisabled);
             comm_.SetStopbits(sb2);
             comm_.SetParity(paOdd);
             failing(FakeCall::SetCommState, Invalid);
             comm_.Open();
         },
         ekRefusedSetting, Invalid, "FlowControl, Stopbits, Parity"},
    };
    if (NoPermission != 0) {
        cases.push_back({"no permission",
                         [&] {
                             failing(FakeCall::CreateFile, NoPermission);
                             comm_.Open();
                         },
                         ekNoPermission, NoPermission, ""});
    }
    UseFake();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        try {
            test.fail();
            ADD_FAILURE() << "raised nothing";
        } catch (const EVaCommError& error) {
            EXPECT_EQ(error.Kind(), test.kind) << error.Message();
            EXPECT_EQ(error.SystemCode(), test.code);
            EXPECT_EQ(error.Setting(), test.setting);
        }
    }
}
