// What only the Windows layer has: its records beside Windows' own, event objects as signals,
// the "\\.\" names, GetLastError's codes, and the open of a port as Windows does it.

// <windows.h> first on purpose: the neutral headers must stand the macros it brings.
// clang-format off
#include <windows.h>
// clang-format on

#include "serial/platform/Win32CommSystem.h"

#include "PtyPair.h"
#include "WaitUntil.h"
#include "serial/platform/CommPlatform.h"
#include "serial/platform/Win32Records.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

// The interface's names, which <windows.h> made macros; the neutral records get names of their
// own beside Windows'.
#undef CreateFile
#undef GetDefaultCommConfig

using namespace SerialPlatform;
using NeutralDCB = SerialPlatform::DCB;
using NeutralCOMSTAT = SerialPlatform::COMSTAT;
using NeutralCOMMPROP = SerialPlatform::COMMPROP;

namespace {

NeutralDCB Record(const std::function<void(NeutralDCB&)>& change) {
    NeutralDCB dcb;
    dcb.BaudRate = 9600;
    dcb.fBinary = true;
    dcb.ByteSize = 8;
    change(dcb);
    return dcb;
}

} // namespace

TEST(Win32Records, DeviceControlRecordsPassThroughWindowsUnchangedAndKeepItsOwnMembers) {
    const std::vector<NeutralDCB> records = {
        Record([](NeutralDCB&) {}),
        Record([](NeutralDCB& d) {
            d.fParity = d.fOutxCtsFlow = d.fOutxDsrFlow = d.fDsrSensitivity = true;
            d.fTXContinueOnXoff = d.fOutX = d.fInX = d.fErrorChar = d.fNull = true;
            d.fAbortOnError = true;
        }),
        Record([](NeutralDCB& d) {
            d.fDtrControl = DTR_CONTROL_HANDSHAKE;
            d.fRtsControl = RTS_CONTROL_TOGGLE;
        }),
        Record([](NeutralDCB& d) {
            d.BaudRate = 921600;
            d.ByteSize = 5;
            d.Parity = SPACEPARITY;
            d.StopBits = ONE5STOPBITS;
            d.XonLim = 2048;
            d.XoffLim = 512;
        }),
        Record([](NeutralDCB& d) {
            d.XonChar = 0x11;
            d.XoffChar = 0x13;
            d.ErrorChar = '?';
            d.EofChar = 0x1A;
            d.EvtChar = '\r';
        }),
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        ::DCB win{};
        win.wReserved1 = 0x5A5A;
        ToWindowsDCB(records[i], win);
        EXPECT_EQ(win.DCBlength, sizeof(::DCB)) << i;
        EXPECT_EQ(win.fDtrControl, records[i].fDtrControl) << i;
        EXPECT_EQ(win.fRtsControl, records[i].fRtsControl) << i;
        EXPECT_EQ(win.wReserved1, 0x5A5A) << i;
        EXPECT_EQ(FromWindowsDCB(win), records[i]) << i;
    }
}

TEST(Win32Records, StatusHoldFlagsKeepWindowsBitOrderAndQueuesTheirCounts) {
    const std::vector<std::pair<std::function<void(::COMSTAT&)>, uint32_t>> cases = {
        {[](::COMSTAT& s) { s.fCtsHold = 1; }, COMSTAT_CTS_HOLD},
        {[](::COMSTAT& s) { s.fXoffHold = 1; }, COMSTAT_XOFF_HOLD},
        {[](::COMSTAT& s) { s.fDsrHold = 1; }, 0x02},
        {[](::COMSTAT& s) { s.fTxim = 1; }, 0x40},
        {[](::COMSTAT& s) { s.fCtsHold = s.fRlsdHold = s.fXoffSent = s.fEof = 1; }, 0x35},
    };
    for (const auto& [set, flags] : cases) {
        ::COMSTAT win{};
        win.cbInQue = 7;
        win.cbOutQue = 9;
        set(win);
        const NeutralCOMSTAT stat = FromWindowsComStat(win);
        EXPECT_EQ(stat.Flags, flags);
        EXPECT_EQ(stat.cbInQue, 7u);
        EXPECT_EQ(stat.cbOutQue, 9u);
    }
    ::COMMPROP prop{};
    prop.wPacketLength = sizeof prop;
    prop.dwMaxBaud = BAUD_USER;
    prop.dwCurrentRxQueue = 4096;
    const NeutralCOMMPROP converted = FromWindowsCommProp(prop);
    EXPECT_EQ(converted.wPacketLength, 64);
    EXPECT_EQ(converted.dwMaxBaud, BAUD_USER);
    EXPECT_EQ(converted.dwCurrentRxQueue, 4096u);
}

TEST(Win32Signals, AWaitAnswersTheEarliestSetSignalAndResetsOnlyTheAutoResetOneItChose) {
    const TSignalHandle manual = CreateSignal(true, false);
    const TSignalHandle autoReset = CreateSignal(false, false);
    ASSERT_TRUE(manual.Valid() && autoReset.Valid());
    const TSignalHandle both[] = {autoReset, manual};
    EXPECT_EQ(WaitForSignals(both, 0), 2); // neither set: out of time

    SetSignal(manual);
    SetSignal(autoReset);
    EXPECT_EQ(WaitForSignals(both, 0), 0);
    EXPECT_EQ(WaitForSignals(both, 0), 1); // the auto-reset one was taken, the manual one stays
    EXPECT_EQ(WaitForSignals(both, 0), 1);
    ResetSignal(manual);
    EXPECT_EQ(WaitForSignals(both, 10), 2);

    const TSignalHandle invalid[] = {manual, TSignalHandle()};
    EXPECT_EQ(WaitForSignals(invalid, 0), -1);
    EXPECT_EQ(SerialPlatform::GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSignals({}, 0), -1);
    CloseSignal(manual);
    CloseSignal(autoReset);
}

TEST(Win32Names, PlainNamesAreDevicesAndPathsStandAsTheyAre) {
    SetDeviceResolver(nullptr);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"COM3", "\\\\.\\COM3"},   {"\\\\.\\COM3", "\\\\.\\COM3"},
        {"COM12", "\\\\.\\COM12"}, {"C:\\ports\\fake", "C:\\ports\\fake"},
        {"\\\\.\\C:\\x", "C:\\x"}, {"dir/port", "dir/port"},
    };
    for (const auto& [name, path] : cases) {
        EXPECT_EQ(DeviceNodeFor(name), path) << name;
    }
}

TEST(Win32Errors, CodesAreClassifiedAndTheirTextsEndWithoutALineBreak) {
    EXPECT_TRUE(IsDeviceNotFound(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(IsDeviceNotFound(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(DeviceHasGone(ERROR_GEN_FAILURE));
    EXPECT_FALSE(DeviceHasGone(ERROR_OPERATION_ABORTED));
    for (const int code : {int{ERROR_FILE_NOT_FOUND}, int{ERROR_ACCESS_DENIED}, 0x7FFF}) {
        const std::string text = SysErrorMessage(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_NE(text.back(), '\n') << code;
        EXPECT_NE(text.back(), '\r') << code;
    }
}

TEST(Win32CommSystem, AMissingPortIsNotFoundByEveryCallThatNamesIt) {
    Win32CommSystem system;
    const std::string missing = "\\\\.\\COM231";
    EXPECT_EQ(system.CreateFile(missing), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(IsDeviceNotFound(SerialPlatform::GetLastError())) << SerialPlatform::GetLastError();
    EXPECT_EQ(system.ProbeDevice(missing), dpMissing);
    NeutralDCB dcb;
    EXPECT_FALSE(system.GetDefaultCommConfig(missing, dcb));
    uint32_t read = 0;
    char byte = 0;
    EXPECT_FALSE(system.ReadFile(INVALID_HANDLE_VALUE, &byte, 1, read));
}

TEST(Win32CommSystem, AnOpenPortIsHeldExclusivelyAndMovesBytesBothWaysWithoutWaiting) {
    PtyPair pty;
    Win32CommSystem system;
    const std::string device = DeviceNodeFor(pty.SlavePath());
    const THandle handle = system.CreateFile(device);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << SysErrorMessage(SerialPlatform::GetLastError());

    // Wine would let the second open through; this process refuses it as Windows does.
    EXPECT_EQ(system.CreateFile(device), INVALID_HANDLE_VALUE);
    EXPECT_EQ(SerialPlatform::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(system.ProbeDevice(device), dpBusy);

    NeutralDCB written = Record([](NeutralDCB& d) { d.BaudRate = 19200; });
    ASSERT_TRUE(system.SetCommState(handle, written))
        << SysErrorMessage(SerialPlatform::GetLastError());
    NeutralDCB back;
    ASSERT_TRUE(system.GetDefaultCommConfig(device, back));
    EXPECT_EQ(back.BaudRate, 19200u);
    EXPECT_EQ(back.ByteSize, 8);

    // Handed over as the transmit thread does: what the driver has not finished is handed
    // again once it has room, and counts when it has gone.
    const std::string out(3000, 'w');
    uint32_t sent = 0;
    for (int round = 0; round < 100 && sent < out.size(); ++round) {
        uint32_t handed = 0;
        ASSERT_TRUE(
            system.WriteFile(handle, out.data() + sent, 3000 - sent, 0, TSignalHandle(), handed));
        sent += handed;
        EXPECT_EQ(system.WaitWriteRoom(handle, {}), 0);
    }
    EXPECT_EQ(sent, 3000u);
    EXPECT_EQ(pty.Receive(3000), out);

    char in[64] = {};
    uint32_t read = 1;
    ASSERT_TRUE(system.ReadFile(handle, in, sizeof in, read)); // nothing came: no wait
    EXPECT_EQ(read, 0u);
    pty.Send("abc");
    std::string got;
    EXPECT_TRUE(WaitUntil([&] {
        EXPECT_TRUE(system.ReadFile(handle, in, sizeof in, read));
        got.append(in, read);
        return got.size() >= 3;
    }));
    EXPECT_EQ(got, "abc");
    EXPECT_TRUE(system.CloseHandle(handle));
    EXPECT_EQ(system.ProbeDevice(device), dpFree);
}

TEST(Win32CommSystem, TheEventWaiterReportsInputGivesWayToStopAndTellsAHangUpAsTheDeviceGone) {
    PtyPair pty;
    Win32CommSystem system;
    const THandle handle = system.CreateFile(DeviceNodeFor(pty.SlavePath()));
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(system.SetCommMask(handle, EV_RXCHAR));
    const TSignalHandle stop = CreateSignal(true, false);
    uint32_t events = 0;
    char byte = 0;
    uint32_t read = 0;
    {
        const auto waiter = system.CreateEventWaiter(handle, stop);
        ASSERT_NE(waiter, nullptr);
        SetSignal(stop);
        EXPECT_EQ(waiter->WaitCommEvent(events), cwStopped);
        ResetSignal(stop);
        pty.Send("x"); // the wait that the stop left with the driver sees it
        ASSERT_EQ(waiter->WaitCommEvent(events), cwEvents) << SerialPlatform::GetLastError();
        EXPECT_EQ(events, EV_RXCHAR);
        EXPECT_TRUE(
            WaitUntil([&] { return system.ReadFile(handle, &byte, 1, read) && read == 1; }));
        SetSignal(stop);
        EXPECT_EQ(waiter->WaitCommEvent(events), cwStopped);
        ResetSignal(stop);
    } // the destructor ends the wait still with the driver

    pty.CloseMaster();
    const auto waiter = system.CreateEventWaiter(handle, stop);
    ASSERT_NE(waiter, nullptr);
    EXPECT_EQ(waiter->WaitCommEvent(events), cwDeviceGone);
    EXPECT_TRUE(DeviceHasGone(SerialPlatform::GetLastError())) << SerialPlatform::GetLastError();
    EXPECT_FALSE(system.ReadFile(handle, &byte, 1, read));
    EXPECT_TRUE(DeviceHasGone(SerialPlatform::GetLastError())) << SerialPlatform::GetLastError();
    uint32_t handed = 0;
    EXPECT_FALSE(system.WriteFile(handle, "zz", 2, 100, TSignalHandle(), handed));
    EXPECT_TRUE(DeviceHasGone(SerialPlatform::GetLastError())) << SerialPlatform::GetLastError();
    EXPECT_TRUE(system.CloseHandle(handle));
    CloseSignal(stop);
}
