#include "serial/diagnostics/PortNames.h"

#include "serial/DeviceNames.h"

#include <array>
#include <cctype>
#include <cstdlib>

namespace {

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

std::string EditorDeviceFor(const std::string& name) {
    if (const long number = PortNumberOf(name); number > 0) {
        const std::string variable = "Q4471_COM" + std::to_string(number);
        if (const char* node = std::getenv(variable.c_str()); node != nullptr && *node != '\0') {
            return node;
        }
        if (number <= static_cast<long>(defaultNodes.size())) {
            return defaultNodes[number - 1];
        }
    }
    return SerialPlatform::DefaultDeviceNode(name);
}

void UseEditorPortNames() {
    SerialPlatform::SetDeviceResolver(EditorDeviceFor);
}
