// The serial ports as Linux shows them, read from sysfs and /dev directly rather than through
// libudev: the same facts (udev itself reads them from sysfs), no library to link or package, and
// it also works where no udev daemon runs (containers, small systems), where libudev's database is
// empty. The stable names are udev's /dev/serial links, read where udev made them.

#include "serial/platform/SerialPortSystem.h"

#include <q4471/serial/SerialPorts.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The entries of `folder`, sorted; none when it cannot be read.
std::vector<fs::path> EntriesOf(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Where a link leads, fully resolved; empty when it leads nowhere.
fs::path Resolved(const fs::path& path) {
    std::error_code error;
    fs::path target = fs::canonical(path, error);
    return error ? fs::path() : target;
}

// The same for a sysfs folder, whose deep paths of links cost canonical a readlink per component
// each: the kernel tells the whole path of a folder held with O_PATH at once. Folders only, so
// that no device is ever reached this way.
fs::path ResolvedFolder(const fs::path& path) {
    const int fd = open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    char target[PATH_MAX];
    const std::string held = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(held.c_str(), target, sizeof target);
    close(fd);
    if (length <= 0 || target[0] != '/') {
        return Resolved(path); // no /proc to ask
    }
    return fs::path(std::string(target, static_cast<std::size_t>(length)));
}

// A sysfs attribute's first line; empty when it is missing or unreadable.
std::string Attribute(const fs::path& folder, const char* name) {
    std::string line;
    std::ifstream file(folder / name);
    std::getline(file, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0) {
        line.pop_back();
    }
    return line;
}

// The name of the folder a sysfs link (subsystem, driver) leads to.
std::string LinkName(const fs::path& folder, const char* link) {
    std::error_code error;
    return fs::read_symlink(folder / link, error).filename().string();
}

bool HasPrefix(const std::string& name, std::initializer_list<const char*> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const char* prefix) { return name.starts_with(prefix); });
}

// Kernel names of the serial nodes that are listed even without a sysfs entry: the kinds a user
// plugs in.
bool PluggedKindName(const std::string& name) {
    return HasPrefix(name, {"ttyUSB", "ttyACM", "rfcomm"});
}

TSerialPortKind KindOf(const std::string& name, const std::string& subsystem,
                       const std::string& driver) {
    if (name.starts_with("ttyUSB") || subsystem == "usb-serial") {
        return pkUsbAdapter;
    }
    if (name.starts_with("ttyACM") || driver == "cdc_acm") {
        return pkUsbModem;
    }
    if (name.starts_with("rfcomm") || subsystem == "bluetooth") {
        return pkBluetooth;
    }
    return name.starts_with("ttyS") ? pkBuiltIn : pkOther;
}

uint16_t HexId(const std::string& text, bool& ok) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    ok = ok && error == std::errc() && end == text.data() + text.size() && value <= 0xFFFF;
    return static_cast<uint16_t>(value);
}

// The USB device above a tty's device folder (the interface's parent), within sysfs.
void ReadUsbIdentity(fs::path folder, const fs::path& sysRoot, TSerialPortInfo& port) {
    for (; folder.string().starts_with(sysRoot.string()) && folder != sysRoot;
         folder = folder.parent_path()) {
        const std::string vendor = Attribute(folder, "idVendor");
        if (vendor.empty()) {
            continue;
        }
        bool ok = true;
        port.VendorId = HexId(vendor, ok);
        port.ProductId = HexId(Attribute(folder, "idProduct"), ok);
        port.HasUsbIds = ok;
        port.Manufacturer = Attribute(folder, "manufacturer");
        port.Product = Attribute(folder, "product");
        port.SerialNumber = Attribute(folder, "serial");
        return;
    }
}

// What sysfs tells of the tty `name`; false for a UART slot without a UART.
bool ReadSysfs(const fs::path& ttyFolder, const fs::path& sysRoot, TSerialPortInfo& port) {
    const fs::path device = ResolvedFolder(ttyFolder / "device");
    const std::string subsystem = LinkName(device, "subsystem");
    // Newer kernels put the serial core's own port devices between a UART and its tty.
    fs::path driverFolder = device;
    while (!driverFolder.empty() && LinkName(driverFolder, "subsystem") == "serial-base") {
        driverFolder = driverFolder.parent_path();
    }
    port.Driver = LinkName(driverFolder, "driver");
    const std::string name = ttyFolder.filename().string();
    port.Kind = KindOf(name, subsystem, port.Driver);
    if (port.Kind == pkBuiltIn && Attribute(ttyFolder, "type") == "0") {
        return false; // PORT_UNKNOWN: the kernel keeps the slot, no UART answers there
    }
    if (port.Kind == pkUsbAdapter || port.Kind == pkUsbModem || subsystem.starts_with("usb")) {
        ReadUsbIdentity(device, sysRoot, port);
    }
    return true;
}

// The device number of a node; a link (a test's stand-in for a node) counts as what it leads to.
bool DeviceNumber(const std::string& node, dev_t& number) {
    struct stat info {};
    if (stat(node.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    number = info.st_rdev;
    return true;
}

} // namespace

namespace SerialPlatform {

std::map<std::string, std::vector<std::string>>
ProgramsHolding(const std::vector<std::string>& nodes, const std::string& proc) {
    std::map<dev_t, std::vector<std::string>> byNumber;
    for (const std::string& node : nodes) {
        if (dev_t number = 0; DeviceNumber(node, number)) {
            byNumber[number].push_back(node);
        }
    }
    std::map<std::string, std::vector<std::string>> holders;
    if (byNumber.empty()) {
        return holders;
    }
    const std::string self = std::to_string(getpid());
    // One pass over the processes' descriptors for all the nodes at once.
    for (const fs::path& process : EntriesOf(proc)) {
        const std::string pid = process.filename().string();
        if (pid == self || !std::all_of(pid.begin(), pid.end(), ::isdigit)) {
            continue;
        }
        // Another user's descriptors stay hidden unless this user may trace that process.
        std::set<std::string> held;
        for (const fs::path& descriptor : EntriesOf(process / "fd")) {
            struct stat open {};
            if (stat(descriptor.c_str(), &open) == 0 && S_ISCHR(open.st_mode)) {
                if (const auto found = byNumber.find(open.st_rdev); found != byNumber.end()) {
                    held.insert(found->second.begin(), found->second.end());
                }
            }
        }
        for (const std::string& node : held) {
            holders[node].push_back(Attribute(process, "comm") + " (process " + pid + ")");
        }
    }
    return holders;
}

} // namespace SerialPlatform

std::vector<TSerialPortInfo> ListSerialPorts(const TSerialSystemFolders& folders) {
    const fs::path sysRoot = ResolvedFolder(folders.sys);
    const fs::path dev = folders.dev;
    // Each candidate name with its sysfs folder, empty for a node that sysfs does not show.
    std::map<std::string, fs::path> candidates;
    for (const fs::path& tty :
         sysRoot.empty() ? std::vector<fs::path>() : EntriesOf(sysRoot / "class" / "tty")) {
        std::error_code error;
        if (fs::exists(tty / "device", error)) { // consoles and virtual terminals have none
            candidates[tty.filename().string()] = tty;
        }
    }
    for (const fs::path& node : EntriesOf(dev)) {
        if (PluggedKindName(node.filename().string())) {
            candidates.try_emplace(node.filename().string());
        }
    }
    // udev's links lead to the nodes by name ("../../ttyUSB0"): read, not resolved, they match
    // the node's own name at one call each.
    std::map<fs::path, std::vector<std::string>> stableNames;
    for (const char* folder : {"by-id", "by-path"}) {
        for (const fs::path& link : EntriesOf(dev / "serial" / folder)) {
            std::error_code error;
            const fs::path target = fs::read_symlink(link, error);
            if (!error) {
                stableNames[(link.parent_path() / target).lexically_normal()].push_back(
                    link.string());
            }
        }
    }
    std::vector<TSerialPortInfo> ports;
    for (const auto& [name, ttyFolder] : candidates) {
        TSerialPortInfo port;
        const fs::path node = (dev / name).lexically_normal();
        port.Device = node.string();
        if (std::error_code error; !fs::exists(node, error)) {
            continue; // sysfs knows it, but it has no node here
        }
        if (ttyFolder.empty()) {
            port.Kind = KindOf(name, "", "");
        } else if (!ReadSysfs(ttyFolder, sysRoot, port)) {
            continue;
        }
        if (const auto found = stableNames.find(node); found != stableNames.end()) {
            port.StableNames = found->second;
        }
        port.Accessible = access(port.Device.c_str(), R_OK | W_OK) == 0;
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
        return SerialPlatform::NaturalLess(a.Device, b.Device);
    });
    std::vector<std::string> nodes;
    for (const TSerialPortInfo& port : ports) {
        nodes.push_back(port.Device);
    }
    auto holders = SerialPlatform::ProgramsHolding(nodes, folders.proc);
    for (TSerialPortInfo& port : ports) {
        port.Holders = std::move(holders[port.Device]);
    }
    return ports;
}
