#include "serial/diagnostics/PortHelp.h"

#include "serial/platform/SerialPortSystem.h"

#include <q4471/framework/Counted.h>
#include <q4471/serial/SystemErrors.h>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>

using namespace q4471;

namespace {

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
                            : "\nSerial devices present: " + Joined(present, ", ") + ".";
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
           (holders.empty() ? std::string() : ": " + Joined(holders, ", ")) +
           ". Close it, then choose the port again.";
}

} // namespace

std::vector<std::string> SerialDevicesPresent(const TSystemFolders& folders) {
    std::vector<std::string> present;
    for (const TSerialPortInfo& port : ListSerialPorts(folders)) {
        if (port.Kind != pkBuiltIn) {
            present.push_back(port.Device + " (" + PortIdentity(port) + ")");
        }
    }
    return present;
}

std::vector<std::string> ProgramsHolding(const std::string& device, const TSystemFolders& folders) {
    return SerialPlatform::ProgramsHolding({device}, folders.proc)[device];
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
