#include "ScopedEnv.h"
#include "serial/platform/CommPlatform.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace SerialPlatform;

TEST(DeviceNames, PortsMapToTheirNodesOrTheEnvironment) {
    unsetenv("Q4471_COM1");
    unsetenv("Q4471_COM3");
    EXPECT_EQ(DeviceNodeFor("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DeviceNodeFor("COM2"), "/dev/ttyS1");
    EXPECT_EQ(DeviceNodeFor("COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(DeviceNodeFor("COM4"), "/dev/ttyUSB1");
    {
        ScopedEnv com3("Q4471_COM3", "/dev/pts/77");
        EXPECT_EQ(DeviceNodeFor("COM3"), "/dev/pts/77");
        EXPECT_EQ(DeviceNodeFor("\\\\.\\COM3"), "/dev/pts/77");
    }
    {
        ScopedEnv empty("Q4471_COM1", "");
        EXPECT_EQ(DeviceNodeFor("COM1"), "/dev/ttyS0");
    }
    ScopedEnv com12("Q4471_COM12", "/tmp/port12");
    EXPECT_EQ(DeviceNodeFor("COM12"), "/tmp/port12");
}

TEST(DeviceNames, OtherNamesStandOrLiveUnderDev) {
    EXPECT_EQ(DeviceNodeFor("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(DeviceNodeFor("\\\\.\\/dev/ttyACM0"), "/dev/ttyACM0");
    EXPECT_EQ(DeviceNodeFor("ttyACM0"), "/dev/ttyACM0");
    unsetenv("Q4471_COM7");
    EXPECT_EQ(DeviceNodeFor("COM7"), "/dev/COM7");
    EXPECT_EQ(DeviceNodeFor("COM0"), "/dev/COM0");
    EXPECT_EQ(DeviceNodeFor("COMX"), "/dev/COMX");
}

TEST(SystemErrors, CodesAreExplained) {
    EXPECT_TRUE(IsDeviceNotFound(ENOENT));
    EXPECT_TRUE(IsDeviceNotFound(ENXIO));
    EXPECT_FALSE(IsDeviceNotFound(EACCES));
    EXPECT_FALSE(IsDeviceNotFound(EBUSY));
    EXPECT_EQ(SysErrorMessage(EIO), "Input/output error");
}
