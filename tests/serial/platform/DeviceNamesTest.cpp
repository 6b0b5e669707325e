#include "ScopedPortNames.h"
#include "serial/platform/CommPlatform.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace SerialPlatform;

using NamesAndPaths = std::vector<std::pair<std::string, std::string>>;

TEST(DeviceNames, WithoutAResolverNamesAreNodesUnderDevOrPathsAsTheyStand) {
    SetDeviceResolver(nullptr);
    const NamesAndPaths cases = {
        {"/dev/pts/3", "/dev/pts/3"}, {"\\\\.\\/dev/ttyACM0", "/dev/ttyACM0"},
        {"ttyACM0", "/dev/ttyACM0"},  {"\\\\.\\ttyUSB2", "/dev/ttyUSB2"},
        {"COM1", "/dev/COM1"},        {"\\\\.\\COM3", "/dev/COM3"},
        {"COMX", "/dev/COMX"},
    };
    for (const auto& [name, path] : cases) {
        EXPECT_EQ(DeviceNodeFor(name), path) << name;
    }
}

TEST(DeviceNames, AnInstalledResolverGetsThePlainNameUntilItIsRemoved) {
    std::vector<std::string> asked;
    SetDeviceResolver([&asked](const std::string& name) {
        asked.push_back(name);
        return "/tmp/port-" + name;
    });
    EXPECT_EQ(DeviceNodeFor("\\\\.\\COM3"), "/tmp/port-COM3");
    EXPECT_EQ(DeviceNodeFor("ttyS0"), "/tmp/port-ttyS0");
    EXPECT_EQ(asked, (std::vector<std::string>{"COM3", "ttyS0"}));
    SetDeviceResolver(nullptr);
    EXPECT_EQ(DeviceNodeFor("COM3"), "/dev/COM3");
    {
        const ScopedPortNames names("COM2", "/tmp/two");
        EXPECT_EQ(DeviceNodeFor("COM2"), "/tmp/two");
        EXPECT_EQ(DeviceNodeFor("COM4"), "/dev/COM4");
    }
    EXPECT_EQ(DeviceNodeFor("COM2"), "/dev/COM2");
}

TEST(SystemErrors, CodesAreExplained) {
    EXPECT_TRUE(IsDeviceNotFound(ENOENT));
    EXPECT_TRUE(IsDeviceNotFound(ENXIO));
    EXPECT_FALSE(IsDeviceNotFound(EACCES));
    EXPECT_FALSE(IsDeviceNotFound(EBUSY));
    EXPECT_EQ(SysErrorMessage(EIO), "Input/output error");
}
