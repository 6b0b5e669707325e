// How the port names of the component ("COM3") find the device nodes of Linux.

#include "serial/platform/CommPlatform.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace SerialPlatform {

namespace {

constexpr std::string_view windowsDevicePrefix = "\\\\.\\";

constexpr std::array<const char*, 4> defaultNodes = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0",
                                                     "/dev/ttyUSB1"};

// The n of "COMn" (n of 1 to 9 digits), or 0 when the name has another form.
long PortNumberOf(const std::string& name) {
    if (name.size() < 4 || name.size() > 12 || name.compare(0, 3, "COM") != 0) {
        return 0;
    }
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(name[i])) == 0) {
            return 0;
        }
    }
    return std::strtol(name.c_str() + 3, nullptr, 10);
}

} // namespace

std::string DeviceNodeFor(const std::string& name) {
    std::string plain = name;
    if (plain.starts_with(windowsDevicePrefix)) {
        plain.erase(0, windowsDevicePrefix.size());
    }
    if (plain.starts_with('/')) {
        return plain;
    }
    if (const long number = PortNumberOf(plain); number > 0) {
        const std::string variable = "Q4471_COM" + std::to_string(number);
        if (const char* node = std::getenv(variable.c_str()); node != nullptr && *node != '\0') {
            return node;
        }
        if (number <= static_cast<long>(defaultNodes.size())) {
            return defaultNodes[number - 1];
        }
    }
    // Any other name (a COMn without a node, "ttyACM0") is a node of that name under /dev.
    return "/dev/" + plain;
}

} // namespace SerialPlatform
