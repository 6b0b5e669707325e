#include "serial/diagnostics/PortNames.h"

#include "EditorPortTree.h"
#include "serial/ScopedEnv.h"
#include "serial/platform/CommPlatform.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct NamingCase {
    std::string name;
    std::vector<std::pair<std::string, std::string>> environment;
    std::string path;
};

TEST(EditorPortNames, PortsMapToTheEnvironmentOrTheirNodesOtherNamesToTheSystems) {
    const EditorPortTree noCables; // whatever this computer has plugged in
    for (const char* variable : {"Q4471_COM1", "Q4471_COM3", "Q4471_COM7", "Q4471_COM12"}) {
        unsetenv(variable);
    }
    const std::vector<NamingCase> cases = {
        {"COM1", {}, "/dev/ttyS0"},
        {"COM2", {}, "/dev/ttyS1"},
        {"COM3", {}, "/dev/ttyUSB0"},
        {"COM4", {}, "/dev/ttyUSB1"},
        {"COM3", {{"Q4471_COM3", "/dev/pts/77"}}, "/dev/pts/77"},
        {"COM1", {{"Q4471_COM1", ""}}, "/dev/ttyS0"}, // empty: as if unset
        {"COM12", {{"Q4471_COM12", "/tmp/port12"}}, "/tmp/port12"},
        {"COM7", {}, "/dev/COM7"},
        {"COM0", {}, "/dev/COM0"},
        {"COMX", {}, "/dev/COMX"},
        {"ttyACM0", {}, "/dev/ttyACM0"},
        {"/dev/pts/3", {{"Q4471_COM3", "/dev/pts/77"}}, "/dev/pts/3"},
    };
    for (const NamingCase& naming : cases) {
        std::vector<std::unique_ptr<ScopedEnv>> environment;
        for (const auto& [variable, value] : naming.environment) {
            environment.push_back(std::make_unique<ScopedEnv>(variable, value));
        }
        EXPECT_EQ(EditorDeviceFor(naming.name), naming.path) << naming.name;
    }
}

struct CablesCase {
    const char* cables;
    std::function<void(FakePortTree&)> plug;
    std::string com3; // under the tree's /dev unless absolute
    std::string com4;
};

TEST(EditorPortNames, Com3AndCom4AreTheUsbCablesPresentInTheOrderOfTheirStableNames) {
    const FakeUsb usb{"0403", "6001", "FTDI", "FT232R USB UART", "A1"};
    const CablesCase cases[] = {
        {"none", [](FakePortTree&) {}, "/dev/ttyUSB0", "/dev/ttyUSB1"},
        {"one modem-class cable",
         [&](FakePortTree& tree) { tree.AddUsbPort("ttyACM0", "cdc_acm", usb, 1, "usb-Pico"); },
         "ttyACM0", "/dev/ttyUSB0"},
        {"one adapter, second in the kernel's numbering",
         [&](FakePortTree& tree) { tree.AddUsbPort("ttyUSB1", "ftdi_sio", usb, 1, "usb-FTDI"); },
         "ttyUSB1", "/dev/ttyUSB0"},
        {"two cables, plugged in the other order",
         [&](FakePortTree& tree) {
             tree.AddUsbPort("ttyUSB0", "ch341", usb, 1, "usb-Z_CH340");
             tree.AddUsbPort("ttyUSB1", "ftdi_sio", usb, 2, "usb-A_FTDI");
         },
         "ttyUSB1", "ttyUSB0"},
        {"a UART and Bluetooth are not USB cables",
         [&](FakePortTree& tree) {
             tree.AddUart("ttyS0", "4");
             tree.AddBluetooth("rfcomm0");
             tree.AddNode("ttyACM3"); // no sysfs entry, no stable name
         },
         "ttyACM3", "/dev/ttyUSB0"},
    };
    for (const char* variable : {"Q4471_COM3", "Q4471_COM4"}) {
        unsetenv(variable);
    }
    for (const CablesCase& test : cases) {
        SCOPED_TRACE(test.cables);
        EditorPortTree tree;
        test.plug(tree);
        const auto expected = [&](const std::string& node) {
            return node.starts_with('/') ? node : tree.Dev(node);
        };
        EXPECT_EQ(EditorDeviceFor("COM3"), expected(test.com3));
        EXPECT_EQ(EditorDeviceFor("COM4"), expected(test.com4));
        EXPECT_EQ(EditorDeviceFor("COM1"), "/dev/ttyS0");
    }
}

TEST(EditorPortNames, InstalledTheyNameThePortsOfTheSerialComponent) {
    const ScopedEnv com3("Q4471_COM3", "/dev/pts/77");
    UseEditorPortNames();
    EXPECT_EQ(SerialPlatform::DeviceNodeFor("\\\\.\\COM3"), "/dev/pts/77");
    EXPECT_EQ(SerialPlatform::DeviceNodeFor("COM2"), "/dev/ttyS1");
    SerialPlatform::SetDeviceResolver(nullptr);
    EXPECT_EQ(SerialPlatform::DeviceNodeFor("COM2"), "/dev/COM2");
}

} // namespace
