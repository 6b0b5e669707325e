#pragma once

#include <string>

namespace radiosim {

// A symbolic link to the radio's device under a fixed name, so that the editor can be pointed at
// the same path on every run. Removed again on destruction, unless someone replaced it meanwhile.
class DeviceLink {
public:
    // Replaces a link to a pseudo-terminal left by a radio that was killed. Throws
    // std::runtime_error if `linkPath` is anything else that exists, or cannot be made.
    DeviceLink(std::string linkPath, std::string devicePath);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

private:
    std::string linkPath_;
    std::string devicePath_;
};

} // namespace radiosim
