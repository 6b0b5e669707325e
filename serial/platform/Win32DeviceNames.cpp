// Windows' own naming of serial devices: the "\\.\" device namespace.

#include "serial/platform/CommPlatform.h"

namespace SerialPlatform {

std::string DefaultDeviceNode(const std::string& name) {
    // A drive or a separator makes it a path already; a plain name is a device, and only the
    // namespace form opens COM10 and above.
    if (name.empty() || name.find_first_of(":\\/") != std::string::npos) {
        return name;
    }
    return "\\\\.\\" + name;
}

} // namespace SerialPlatform
