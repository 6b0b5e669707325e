#include "serial/diagnostics/PortNames.h"

#include <q4471/serial/DeviceNames.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <mutex>

namespace {

constexpr std::array<const char*, 2> BuiltInNodes = {"/dev/ttyS0", "/dev/ttyS1"};
// COM3 and COM4 where fewer USB serial ports are listed: the adapters' first names.
constexpr std::array<const char*, 2> UsbFallbacks = {"/dev/ttyUSB0", "/dev/ttyUSB1"};

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

std::string StableOrDevice(const TSerialPortInfo& port) {
    return port.StableNames.empty() ? port.Device : port.StableNames.front();
}

// The devices of COM3 and COM4 by the port list: the USB ports in the order of their stable
// names, then the fallbacks not already among them.
std::vector<std::string> UsbSlots(const std::vector<TSerialPortInfo>& ports) {
    std::vector<const TSerialPortInfo*> usb;
    for (const TSerialPortInfo& port : ports) {
        if (port.Kind == pkUsbAdapter || port.Kind == pkUsbModem) {
            usb.push_back(&port);
        }
    }
    std::stable_sort(usb.begin(), usb.end(), [](const auto* a, const auto* b) {
        return StableOrDevice(*a) < StableOrDevice(*b);
    });
    std::vector<std::string> slots;
    for (const TSerialPortInfo* port : usb) {
        slots.push_back(port->Device);
    }
    for (const char* fallback : UsbFallbacks) {
        if (std::find(slots.begin(), slots.end(), fallback) == slots.end()) {
            slots.emplace_back(fallback);
        }
    }
    return slots;
}

// The device of COMn (1 to 4) without its variable.
std::string DefaultDeviceOf(long number, const std::vector<TSerialPortInfo>& ports) {
    return number <= 2 ? BuiltInNodes[number - 1] : UsbSlots(ports)[number - 3];
}

const char* VariableValue(long number) {
    const std::string variable = "Q4471_COM" + std::to_string(number);
    const char* value = std::getenv(variable.c_str());
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// Set by a test's window; read wherever a port opens.
std::mutex foldersMutex;
TSerialSystemFolders editorFolders;

} // namespace

TSerialSystemFolders EditorPortFolders() {
    const std::lock_guard lock(foldersMutex);
    return editorFolders;
}

void SetEditorPortFolders(const TSerialSystemFolders& folders) {
    const std::lock_guard lock(foldersMutex);
    editorFolders = folders;
}

std::string EditorDeviceFor(const std::string& name) {
    if (const long number = PortNumberOf(name); number > 0) {
        if (const char* node = VariableValue(number)) {
            return node;
        }
        if (number <= 2) {
            return BuiltInNodes[number - 1];
        }
        if (number <= 4) {
            return DefaultDeviceOf(number, ListSerialPorts(EditorPortFolders()));
        }
    }
    return SerialPlatform::DefaultDeviceNode(name);
}

std::string EditorPortDescription(int number, const std::vector<TSerialPortInfo>& ports) {
    const char* variable = VariableValue(number);
    const std::string device = variable != nullptr ? variable : DefaultDeviceOf(number, ports);
    std::string text = "COM" + std::to_string(number) + " is " + device;
    if (variable == nullptr && number >= 3) {
        text += number == 3 ? " (the first USB serial port)" : " (the second USB serial port)";
    }
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const TSerialPortInfo& port) {
        return port.Device == device || std::find(port.StableNames.begin(), port.StableNames.end(),
                                                  device) != port.StableNames.end();
    });
    if (found != ports.end()) {
        return text + ": " + PortIdentity(*found);
    }
    // A device named by the variable may be anything, a pseudo-terminal too.
    return variable != nullptr ? text : text + ": not present";
}

void UseEditorPortNames() {
    SerialPlatform::SetDeviceResolver(EditorDeviceFor);
}
