// Linux's own naming of serial devices: nodes under /dev.

#include "serial/platform/CommPlatform.h"

namespace SerialPlatform {

std::string DefaultDeviceNode(const std::string& name) {
    return name.starts_with('/') ? name : "/dev/" + name;
}

} // namespace SerialPlatform
