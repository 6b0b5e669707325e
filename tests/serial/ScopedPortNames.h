#pragma once

#include "serial/platform/CommPlatform.h"

#include <string>
#include <utility>

// Names a port for the life of the object, as a program with its own naming would: `name` is
// `path`, any other name goes by the system's default.
class ScopedPortNames {
public:
    ScopedPortNames(std::string name, std::string path) {
        SerialPlatform::SetDeviceResolver(
            [name = std::move(name), path = std::move(path)](const std::string& asked) {
                return asked == name ? path : SerialPlatform::DefaultDeviceNode(asked);
            });
    }
    ~ScopedPortNames() { SerialPlatform::SetDeviceResolver(nullptr); }
    ScopedPortNames(const ScopedPortNames&) = delete;
    ScopedPortNames& operator=(const ScopedPortNames&) = delete;
};
