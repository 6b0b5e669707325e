// The serial ports as Windows lists them: every port in the registry's list of serial devices
// (HARDWARE\DEVICEMAP\SERIALCOMM, which each serial driver fills), with the identity of the
// devices that the Ports class of the device manager knows, matched by port name.

#include "serial/platform/SerialPortSystem.h"

#include <q4471/serial/SerialPorts.h>

#include <algorithm>
#include <windows.h>
// After windows.h: the setup API's headers need its types; initguid makes devguid's GUIDs here.
#include <devguid.h>
#include <initguid.h>
#include <setupapi.h>

namespace {

std::string RegistryText(HKEY key, const char* name) {
    char text[512];
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    text[size] = '\0';
    return text;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char text[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(text), sizeof text - 1,
                                           nullptr)) {
        return {};
    }
    return text; // a multi-string's first string: the most specific hardware id
}

bool HexAfter(const std::string& text, const char* key, uint16_t& value) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos) {
        return false;
    }
    value = static_cast<uint16_t>(std::strtoul(text.substr(at + 4, 4).c_str(), nullptr, 16));
    return true;
}

TSerialPortKind KindOf(const std::string& driverName) {
    const auto has = [&](const char* part) { return driverName.find(part) != std::string::npos; };
    if (has("BthModem")) {
        return pkBluetooth;
    }
    if (has("USBSER")) {
        return pkUsbModem; // usbser.sys, the system's CDC-ACM driver
    }
    if (has("VCP") || has("Silabser") || has("Prolific") || has("CH341") || has("USBSERIAL")) {
        return pkUsbAdapter;
    }
    return has("\\Device\\Serial") ? pkBuiltIn : pkOther;
}

// The Ports class's record of `port`, when the device manager has one.
void ReadIdentity(TSerialPortInfo& port) {
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key =
            SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        const std::string name = RegistryText(key, "PortName");
        RegCloseKey(key);
        if (name != port.Device) {
            continue;
        }
        const std::string hardware = DeviceProperty(set, device, SPDRP_HARDWAREID);
        port.HasUsbIds =
            HexAfter(hardware, "VID_", port.VendorId) && HexAfter(hardware, "PID_", port.ProductId);
        port.Manufacturer = DeviceProperty(set, device, SPDRP_MFG);
        port.Product = DeviceProperty(set, device, SPDRP_DEVICEDESC);
        port.Driver = DeviceProperty(set, device, SPDRP_SERVICE);
        char instance[512] = {};
        // USB\VID_0403&PID_6001\A10K3ZQ4: the last part is the serial number, unless Windows
        // made one up (it then holds '&').
        if (SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, nullptr)) {
            const std::string id = instance;
            const std::string last = id.substr(id.rfind('\\') + 1);
            if (id.starts_with("USB\\") && last.find('&') == std::string::npos) {
                port.SerialNumber = last;
            }
        }
        if (port.Kind == pkOther && port.HasUsbIds) {
            port.Kind = pkUsbAdapter;
        }
        break;
    }
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace

std::vector<TSerialPortInfo> ListSerialPorts(const TSerialSystemFolders&) {
    std::vector<TSerialPortInfo> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return ports; // no serial driver has registered a port
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        char data[256];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataSize] = '\0';
        TSerialPortInfo port;
        port.Device = data;
        port.Kind = KindOf(name);
        port.Accessible = true; // Windows lets every user open a serial port
        ReadIdentity(port);
        ports.push_back(std::move(port));
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
        return SerialPlatform::NaturalLess(a.Device, b.Device);
    });
    return ports;
}

namespace SerialPlatform {

std::map<std::string, std::vector<std::string>> ProgramsHolding(const std::vector<std::string>&,
                                                                const std::string&) {
    return {}; // Windows does not tell which program holds a device
}

} // namespace SerialPlatform
