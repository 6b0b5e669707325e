// How the component's port names ("COM3", "\\.\COM3") become the paths the system opens: by the
// resolver a program installs, or by the system's own naming.

#include "serial/platform/CommPlatform.h"

#include <mutex>
#include <string_view>
#include <utility>

namespace SerialPlatform {

namespace {

constexpr std::string_view WindowsDevicePrefix = "\\\\.\\";

// Installed by the owner's thread, read wherever a port opens or is probed.
std::mutex resolverMutex;
TDeviceResolver installedResolver;

} // namespace

void SetDeviceResolver(TDeviceResolver resolver) {
    std::lock_guard lock(resolverMutex);
    installedResolver = std::move(resolver);
}

std::string DeviceNodeFor(const std::string& name) {
    std::string plain = name;
    if (plain.starts_with(WindowsDevicePrefix)) {
        plain.erase(0, WindowsDevicePrefix.size());
    }
    TDeviceResolver resolver;
    {
        std::lock_guard lock(resolverMutex);
        resolver = installedResolver;
    }
    return resolver ? resolver(plain) : DefaultDeviceNode(plain);
}

} // namespace SerialPlatform
