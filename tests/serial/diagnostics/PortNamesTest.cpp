#include "serial/diagnostics/PortNames.h"

#include "serial/ScopedEnv.h"
#include "serial/platform/CommPlatform.h"

#include <cstdlib>
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

TEST(EditorPortNames, InstalledTheyNameThePortsOfTheSerialComponent) {
    const ScopedEnv com3("Q4471_COM3", "/dev/pts/77");
    UseEditorPortNames();
    EXPECT_EQ(SerialPlatform::DeviceNodeFor("\\\\.\\COM3"), "/dev/pts/77");
    EXPECT_EQ(SerialPlatform::DeviceNodeFor("COM2"), "/dev/ttyS1");
    SerialPlatform::SetDeviceResolver(nullptr);
    EXPECT_EQ(SerialPlatform::DeviceNodeFor("COM2"), "/dev/COM2");
}

} // namespace
