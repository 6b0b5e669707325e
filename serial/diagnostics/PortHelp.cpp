#include "serial/diagnostics/PortHelp.h"

#include "serial/SystemErrors.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

// The names in `folder` that start with `prefix`, sorted; none when the folder cannot be read.
std::vector<fs::path> EntriesOf(const fs::path& folder, const std::string& prefix = "") {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().starts_with(prefix)) {
            entries.push_back(it->path());
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Whether two names lead to the same device (or file).
bool SameNode(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) {
        return a.st_rdev == b.st_rdev;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string OwningGroup(const std::string& device) {
    struct stat info {};
    if (stat(device.c_str(), &info) != 0) {
        return {};
    }
    const group* owner = getgrgid(info.st_gid);
    return owner != nullptr ? owner->gr_name : std::to_string(info.st_gid);
}

std::string MissingDevice(const std::string& device, const TSystemFolders& folders) {
    std::string text = "There is no device " + device +
                       ": the adapter is not plugged in, or the port does not exist on this "
                       "computer.";
    const std::vector<std::string> present = SerialDevicesPresent(folders);
    text += present.empty() ? "\nNo USB serial adapter is connected."
                            : "\nSerial devices present: " + Joined(present) + ".";
    return text + "\nA port can be pointed at any device with Q4471_COM1 to Q4471_COM4.";
}

std::string NoPermission(const std::string& device) {
    const std::string group = OwningGroup(device);
    return "No permission to use " + device + ": it belongs to the group \"" +
           (group.empty() ? "dialout" : group) + "\". Join that group (sudo adduser $USER " +
           (group.empty() ? "dialout" : group) + "), then log out and in again.";
}

std::string HeldByAnother(const std::string& device, const TSystemFolders& folders) {
    const std::vector<std::string> holders = ProgramsHolding(device, folders);
    return "The device " + device + " is in use by another program" +
           (holders.empty() ? std::string() : ": " + Joined(holders)) +
           ". Close it, then choose the port again.";
}

} // namespace

std::vector<std::string> SerialDevicesPresent(const TSystemFolders& folders) {
    std::vector<std::string> present;
    std::vector<fs::path> named;
    for (const fs::path& link : EntriesOf(fs::path(folders.dev) / "serial" / "by-id")) {
        std::error_code error;
        const fs::path node = fs::canonical(link, error);
        if (!error) {
            present.push_back(link.string() + " (" + node.string() + ")");
            named.push_back(node);
        }
    }
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        for (const fs::path& node : EntriesOf(folders.dev, prefix)) {
            if (std::find(named.begin(), named.end(), node) == named.end()) {
                present.push_back(node.string());
            }
        }
    }
    return present;
}

std::vector<std::string> ProgramsHolding(const std::string& device, const TSystemFolders& folders) {
    struct stat wanted {};
    if (stat(device.c_str(), &wanted) != 0) {
        return {};
    }
    const std::string self = std::to_string(getpid());
    std::vector<std::string> holders;
    for (const fs::path& process : EntriesOf(folders.proc)) {
        const std::string pid = process.filename().string();
        if (pid == self || !std::all_of(pid.begin(), pid.end(), ::isdigit)) {
            continue;
        }
        // Another user's descriptors stay hidden unless this user may trace that process.
        const std::vector<fs::path> descriptors = EntriesOf(process / "fd");
        const bool holds = std::any_of(descriptors.begin(), descriptors.end(), [&](auto& fd) {
            struct stat open {};
            return stat(fd.c_str(), &open) == 0 && SameNode(open, wanted);
        });
        if (holds) {
            std::string name;
            std::getline(std::ifstream(process / "comm"), name);
            holders.push_back(name + " (process " + pid + ")");
        }
    }
    return holders;
}

std::string ExplainOpenFailure(int code, const std::string& device, const TSystemFolders& folders) {
    if (SerialPlatform::IsDeviceNotFound(code)) {
        return MissingDevice(device, folders);
    }
    switch (code) {
    case EACCES:
    case EPERM:
        return NoPermission(device);
    case EBUSY:
    case EWOULDBLOCK:
        return HeldByAnother(device, folders);
    case ENOTTY:
    case EINVAL:
        return device + " is not a serial device.";
    default:
        return "The device " + device +
               " cannot be opened: " + SerialPlatform::SysErrorMessage(code) + ".";
    }
}
