// The Com Port menu: opening the radio's port, a device that is missing, what each item's tooltip
// tells, and the radio commands refused while no port is open.
#include "RadioLinkFixture.h"
#include "serial/diagnostics/EditorPortTree.h"

#include <q4471/serial/LinuxFileDescriptor.h>
#include <q4471/serial/VaComm.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const std::string NoPort =
    "No Com Port is open: choose the radio's port in the Com Port menu first";

using ComPortTest = RadioLinkTest;

// The line settings the device has now, as any process that opens it sees them. (The speed is set
// the way that allows any rate, which termios here does not read back.)
termios LineSettingsOf(const std::string& device) {
    termios settings{};
    const SerialPlatform::FileDescriptor fd(open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
    EXPECT_TRUE(fd.Valid()) << device;
    EXPECT_EQ(tcgetattr(fd.Get(), &settings), 0);
    return settings;
}

TEST_F(ComPortTest, ChoosingThePortOpensItAndChoosingItAgainOpensItAnew) {
    ASSERT_NO_FATAL_FAILURE(StartRadio());
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(form->Comm().Active());
    EXPECT_EQ(form->Comm().PortNum(), 0);

    Trigger("COM11");
    EXPECT_EQ(Status(), "Port 1 Selected");
    EXPECT_TRUE(form->Comm().Active());
    EXPECT_EQ(form->Comm().PortNum(), 1);
    const termios line = LineSettingsOf(radio->DevicePath());
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), tcflag_t{0});

    Trigger("COM11"); // the device is opened exclusively: it must have been closed first
    EXPECT_EQ(Status(), "Port 1 Selected");
    ASSERT_TRUE(form->Comm().Active());
    form->Comm().WriteText(Query(9) + '\r');
    EXPECT_TRUE(radio->WaitForCommands(1, Clock::now() + 10s));
    EXPECT_EQ(Commands(), Strings{Query(9)});
}

TEST_F(ComPortTest, AMissingDeviceIsUnavailableLeavesNoPortOpenAndItsTooltipSaysWhy) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    const std::string missing = folder.File("no-COM3");
    Trigger("COM31");
    EXPECT_EQ(Status(), "Port 3 Unavailable");
    EXPECT_FALSE(form->Comm().Active());
    EXPECT_EQ(form->Comm().PortNum(), 3);
    const std::string tip = Item("COM31")->toolTip().toStdString();
    EXPECT_NE(tip.find("COM3 is " + missing), std::string::npos) << tip;
    EXPECT_NE(tip.find("There is no device " + missing), std::string::npos) << tip;

    // COM1 was let go: it opens again, and the failure's reason is gone from the tooltip.
    Trigger("COM11");
    EXPECT_EQ(Status(), "Port 1 Selected");
    EXPECT_EQ(Item("COM31")->toolTip().toStdString(), "COM3 is " + missing);
}

TEST_F(ComPortTest, ChoosingAPortNeverChangesTheTable) {
    ASSERT_NO_FATAL_FAILURE(StartRadio());
    radio->SetRecord(2, "2,RADIO,1,2,1,3"); // what a port change must not fetch
    SetValues(2, {"CH 2", "146.520", "146.580", "DCS", "023"});
    Trigger("COM11");
    Trigger("COM31");
    Trigger("COM11");
    EXPECT_EQ(ValuesOf(2), (Strings{"CH 2", "146.520", "146.580", "DCS", "023"}));
    EXPECT_EQ(ValuesOf(1), (Strings{"", "", "", "OFF", ""}));
    EXPECT_TRUE(radio->Commands().empty());
}

TEST_F(ComPortTest, EachItemsTooltipNamesTheDeviceItOpens) {
    ASSERT_NO_FATAL_FAILURE(StartRadio());
    EXPECT_EQ(Item("COM11")->toolTip().toStdString(), "COM1 is " + radio->DevicePath());
    EXPECT_EQ(Item("COM21")->toolTip().toStdString(), "COM2 is " + folder.File("no-COM2"));
    EXPECT_EQ(Item("COM41")->toolTip().toStdString(), "COM4 is " + folder.File("no-COM4"));
}

// COM3 and COM4 follow the USB cables present, in the order of their stable names; the open
// port's cable pulled and plugged in again is reopened.
TEST_F(ComPortTest, TheUsbItemsFollowTheCablesAndAReturningCableIsReopened) {
    EditorPortTree tree;
    unsetenv("Q4471_COM3");
    unsetenv("Q4471_COM4");
    const FakeUsb pico{"2e8a", "000a", "Raspberry Pi", "Pico", "E6614"};
    const FakeUsb ftdi{"0403", "6001", "FTDI", "FT232R USB UART", "A10K3ZQ4"};
    const std::string ftdiId = "usb-FTDI_FT232R_USB_UART_A10K3ZQ4-if00-port0";
    tree.AddUsbPort("ttyACM0", "cdc_acm", pico, 1, "usb-Raspberry_Pi_Pico_E6614-if00");
    ASSERT_NO_FATAL_FAILURE(StartRadio());
    const auto tip = [&](const char* item) { return Item(item)->toolTip().toStdString(); };
    EXPECT_EQ(tip("COM31"), "COM3 is " + tree.Dev("ttyACM0") +
                                " (the first USB serial port): Raspberry Pi Pico, serial E6614, "
                                "2e8a:000a");
    EXPECT_EQ(tip("COM41"), "COM4 is /dev/ttyUSB0 (the second USB serial port): not present");

    // Plugged in later, the FTDI cable's stable name comes first.
    tree.AddUsbPort("ttyUSB0", "ftdi_sio", ftdi, 2, ftdiId);
    const std::string ftdiTip = "COM3 is " + tree.Dev("ttyUSB0") +
                                " (the first USB serial port): FTDI FT232R USB UART, serial "
                                "A10K3ZQ4, 0403:6001";
    EXPECT_TRUE(ServeUntil([&] { return tip("COM31") == ftdiTip; }, 20s)) << tip("COM31");
    EXPECT_EQ(tip("COM41"), "COM4 is " + tree.Dev("ttyACM0") +
                                " (the second USB serial port): Raspberry Pi Pico, serial E6614, "
                                "2e8a:000a");

    Trigger("COM31");
    ASSERT_EQ(Status(), "Port 3 Selected");
    tree.RemoveNode("ttyUSB0");
    EXPECT_TRUE(ServeUntil([&] { return !form->Comm().Active(); }, 20s)) << Status();
    EXPECT_NE(Status().find("choose the port again once the device is back"), std::string::npos);
    tree.AddUsbPort("ttyUSB0", "ftdi_sio", ftdi, 2, ftdiId);
    EXPECT_TRUE(
        ServeUntilStatus(tree.Dev("serial/by-id/" + ftdiId) + " is back: Port 3 reopened", 20s));
    EXPECT_TRUE(form->Comm().Active());
    EXPECT_EQ(form->Comm().PortNum(), 3);
}

TEST_F(ComPortTest, WithNoPortOpenLoadAndSendAreRefusedAtOnce) {
    ASSERT_NO_FATAL_FAILURE(StartRadio());
    for (const char* command : {"LoadFromQ44711", "SendFileToQ44711"}) {
        Trigger(command);
        EXPECT_EQ(Status(), NoPort) << command;
        EXPECT_FALSE(Progress()->isVisible()) << command;
    }
    // Also after a port failed to open.
    Trigger("COM31");
    Trigger("LoadFromQ44711");
    EXPECT_EQ(Status(), NoPort);
    // No transfer runs in the background: nothing replaces the text.
    EXPECT_FALSE(ServeUntil([&] { return Status() != NoPort; }, 800ms));
}

} // namespace
