#include "DeviceLink.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace radiosim {

namespace {

// The link's target, or the empty text if `path` is not a symbolic link.
std::string LinkTarget(const std::string& path) {
    std::error_code error;
    return std::filesystem::read_symlink(path, error).string();
}

// Only pseudo-terminals are linked like this, so such a link is a leftover of a killed radio
// and may be replaced; replacing it leaves its target alone.
bool IsPtyLink(const std::string& path) {
    return LinkTarget(path).starts_with("/dev/pts/");
}

} // namespace

DeviceLink::DeviceLink(std::string linkPath, std::string devicePath)
    : linkPath_(std::move(linkPath)), devicePath_(std::move(devicePath)) {
    if (IsPtyLink(linkPath_)) {
        ::unlink(linkPath_.c_str());
    }
    if (::symlink(devicePath_.c_str(), linkPath_.c_str()) != 0) {
        const std::string reason = errno == EEXIST
                                       ? "it already exists and is not a link to a pseudo-terminal"
                                       : std::strerror(errno);
        throw std::runtime_error("cannot make the link '" + linkPath_ + "': " + reason);
    }
}

DeviceLink::~DeviceLink() {
    if (LinkTarget(linkPath_) == devicePath_) {
        ::unlink(linkPath_.c_str());
    }
}

} // namespace radiosim
