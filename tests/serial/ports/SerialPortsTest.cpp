// The port list read from a fake system tree: each kind of adapter with its identity, the UART
// slots without a UART, and the ways a tree can be incomplete.
#include "FakePortTree.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

const FakeUsb Ftdi{"0403", "6001", "FTDI", "FT232R USB UART", "A10K3ZQ4"};

struct ListCase {
    const char* family;
    std::function<void(FakePortTree&)> build;
    // The one port expected, as PortIdentity says it with its kind, driver and stable name count;
    // empty: nothing listed.
    std::string device;
    TSerialPortKind kind;
    std::string identity;
    std::string driver;
    std::size_t stableNames;
};

std::string Named(const TSerialPortInfo& port) {
    return fs::path(port.Device).filename().string();
}

TEST(SerialPortsTest, EachKindOfPortIsListedWithWhatTheSystemTellsOfIt) {
    const ListCase cases[] = {
        {"FTDI",
         [](FakePortTree& tree) {
             tree.AddUsbPort("ttyUSB0", "ftdi_sio", Ftdi, 1, "usb-FTDI_FT232R_A10K3ZQ4-if00-port0");
         },
         "ttyUSB0", pkUsbAdapter, "FTDI FT232R USB UART, serial A10K3ZQ4, 0403:6001", "ftdi_sio",
         2},
        {"Prolific",
         [](FakePortTree& tree) {
             tree.AddUsbPort(
                 "ttyUSB1", "pl2303",
                 {"067b", "2303", "Prolific Technology Inc.", "USB-Serial Controller", ""}, 2,
                 "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0");
         },
         "ttyUSB1", pkUsbAdapter, "Prolific Technology Inc. USB-Serial Controller, 067b:2303",
         "pl2303", 2},
        {"CH340",
         [](FakePortTree& tree) {
             tree.AddUsbPort("ttyUSB2", "ch341", {"1a86", "7523", "", "USB Serial", ""}, 3,
                             "usb-1a86_USB_Serial-if00-port0");
         },
         "ttyUSB2", pkUsbAdapter, "USB Serial, 1a86:7523", "ch341", 2},
        {"CP210x",
         [](FakePortTree& tree) {
             tree.AddUsbPort(
                 "ttyUSB3", "cp210x",
                 {"10c4", "ea60", "Silicon Labs", "CP2102 USB to UART Bridge Controller", "0001"},
                 4);
         },
         "ttyUSB3", pkUsbAdapter,
         "Silicon Labs CP2102 USB to UART Bridge Controller, serial 0001, 10c4:ea60", "cp210x", 0},
        {"CDC-ACM",
         [](FakePortTree& tree) {
             tree.AddUsbPort("ttyACM0", "cdc_acm",
                             {"2e8a", "000a", "Raspberry Pi", "Pico", "E6614"}, 5,
                             "usb-Raspberry_Pi_Pico_E6614-if00");
         },
         "ttyACM0", pkUsbModem, "Raspberry Pi Pico, serial E6614, 2e8a:000a", "cdc_acm", 2},
        {"UART with hardware", [](FakePortTree& tree) { tree.AddUart("ttyS0", "4"); }, "ttyS0",
         pkBuiltIn, "built-in UART", "serial", 0},
        {"UART slot without hardware", [](FakePortTree& tree) { tree.AddUart("ttyS1", "0"); }, "",
         pkOther, "", "", 0},
        {"Bluetooth", [](FakePortTree& tree) { tree.AddBluetooth("rfcomm0"); }, "rfcomm0",
         pkBluetooth, "Bluetooth", "", 0},
        {"missing attribute files",
         [](FakePortTree& tree) { tree.AddUsbPort("ttyUSB4", "ftdi_sio", {}, 6); }, "ttyUSB4",
         pkUsbAdapter, "USB serial adapter", "ftdi_sio", 0},
        {"unreadable device folder",
         [](FakePortTree& tree) {
             tree.AddUsbPort("ttyUSB5", "ftdi_sio", Ftdi, 7);
             // A link that loops cannot be followed, whoever reads it (root reads any mode).
             const std::string device = tree.Sys("class/tty/ttyUSB5/device");
             fs::remove(device);
             fs::create_symlink("device", device);
         },
         "ttyUSB5", pkUsbAdapter, "USB serial adapter", "", 0},
        {"unreadable class folder",
         [](FakePortTree& tree) {
             tree.AddUsbPort("ttyACM3", "cdc_acm", Ftdi, 8);
             fs::remove_all(tree.Sys("class/tty"));
             WriteBytes(tree.Sys("class/tty"), "not a folder");
         },
         "ttyACM3", pkUsbModem, "USB modem-class device", "", 0},
        {"unreadable link folder",
         [](FakePortTree& tree) {
             tree.AddUsbPort("ttyUSB6", "ftdi_sio", Ftdi, 9);
             fs::create_directories(tree.Dev("serial"));
             fs::create_symlink("by-id", tree.Dev("serial/by-id"));
         },
         "ttyUSB6", pkUsbAdapter, "FTDI FT232R USB UART, serial A10K3ZQ4, 0403:6001", "ftdi_sio",
         0},
        {"node without sysfs entry", [](FakePortTree& tree) { tree.AddNode("ttyACM1"); }, "ttyACM1",
         pkUsbModem, "USB modem-class device", "", 0},
        {"sysfs entry without node", [](FakePortTree& tree) { tree.AddSysfsOnly("ttyUSB9"); }, "",
         pkOther, "", "", 0},
        {"a virtual terminal", [](FakePortTree& tree) { tree.AddNode("tty1"); }, "", pkOther, "",
         "", 0},
    };
    for (const ListCase& test : cases) {
        SCOPED_TRACE(test.family);
        FakePortTree tree;
        test.build(tree);
        const std::vector<TSerialPortInfo> ports = ListSerialPorts(tree.Folders());
        if (test.device.empty()) {
            EXPECT_TRUE(ports.empty());
            continue;
        }
        ASSERT_EQ(ports.size(), 1u);
        EXPECT_EQ(ports[0].Device, tree.Dev(test.device));
        EXPECT_EQ(ports[0].Kind, test.kind);
        EXPECT_EQ(PortIdentity(ports[0]), test.identity);
        EXPECT_EQ(ports[0].Driver, test.driver);
        EXPECT_EQ(ports[0].StableNames.size(), test.stableNames);
        EXPECT_TRUE(ports[0].Accessible);
        EXPECT_TRUE(ports[0].Holders.empty());
    }
}

TEST(SerialPortsTest, TwoAdaptersOfOneModelAreToldApartAndListedInNaturalOrder) {
    FakePortTree tree;
    FakeUsb second = Ftdi;
    second.serial = "B20Z9";
    tree.AddUsbPort("ttyUSB10", "ftdi_sio", Ftdi, 1, "usb-FTDI_FT232R_A10K3ZQ4-if00-port0");
    tree.AddUsbPort("ttyUSB2", "ftdi_sio", second, 2, "usb-FTDI_FT232R_B20Z9-if00-port0");
    const std::vector<TSerialPortInfo> ports = ListSerialPorts(tree.Folders());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(Named(ports[0]), "ttyUSB2");
    EXPECT_EQ(ports[0].SerialNumber, "B20Z9");
    EXPECT_EQ(ports[0].StableNames[0], tree.Dev("serial/by-id/usb-FTDI_FT232R_B20Z9-if00-port0"));
    EXPECT_EQ(ports[0].StableNames[1], tree.Dev("serial/by-path/pci-0000:00:14.0-usb-0:2:1.0"));
    EXPECT_EQ(Named(ports[1]), "ttyUSB10");
    EXPECT_EQ(ports[1].SerialNumber, "A10K3ZQ4");
}

} // namespace
