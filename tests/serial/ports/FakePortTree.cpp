#include "FakePortTree.h"

#include "serial/LinuxPtyPair.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

void Attribute(const std::string& folder, const std::string& name, const std::string& text) {
    if (!text.empty()) {
        WriteBytes(folder + "/" + name, text + "\n");
    }
}

} // namespace

FakePortTree::FakePortTree() {
    for (const char* folder : {"sys/class/tty", "sys/bus/usb-serial", "sys/bus/usb", "dev", "proc",
                               "sys/class/bluetooth"}) {
        fs::create_directories(root_.File(folder));
    }
}

FakePortTree::~FakePortTree() = default;

TSerialSystemFolders FakePortTree::Folders() const {
    return {root_.File("dev"), root_.File("proc"), root_.File("sys")};
}

void FakePortTree::Link(const std::string& target, const std::string& link) const {
    fs::create_directories(fs::path(link).parent_path());
    fs::remove(link); // a plugged-in-again adapter's
    fs::create_symlink(target, link);
}

void FakePortTree::AddTty(const std::string& name, const std::string& device) {
    const std::string tty = device + "/tty/" + name;
    fs::create_directories(tty);
    Link(device, tty + "/device");
    Link(tty, Sys("class/tty/" + name));
}

void FakePortTree::AddUsbPort(const std::string& name, const std::string& driver,
                              const FakeUsb& usb, int busPort, const std::string& byId) {
    const std::string busName = "1-" + std::to_string(busPort);
    const std::string usbDevice = Sys("devices/pci0000:00/0000:00:14.0/usb1/" + busName);
    const std::string interface = usbDevice + "/" + busName + ":1.0";
    fs::create_directories(interface);
    Attribute(usbDevice, "idVendor", usb.vendor);
    Attribute(usbDevice, "idProduct", usb.product);
    Attribute(usbDevice, "manufacturer", usb.manufacturer);
    Attribute(usbDevice, "product", usb.productName);
    Attribute(usbDevice, "serial", usb.serial);
    Link(Sys("bus/usb"), interface + "/subsystem");
    std::string device = interface;
    if (name.starts_with("ttyUSB")) {
        device = interface + "/" + name;
        fs::create_directories(device);
        Link(Sys("bus/usb-serial"), device + "/subsystem");
        Link(Sys("bus/usb-serial/drivers/" + driver), device + "/driver");
    } else {
        Link(Sys("bus/usb/drivers/" + driver), interface + "/driver");
    }
    fs::create_directories(Sys("bus/usb-serial/drivers/" + driver));
    fs::create_directories(Sys("bus/usb/drivers/" + driver));
    AddTty(name, device);
    AddNode(name);
    if (!byId.empty()) {
        Link("../../" + name, Dev("serial/by-id/" + byId));
        Link("../../" + name,
             Dev("serial/by-path/pci-0000:00:14.0-usb-0:" + std::to_string(busPort) + ":1.0"));
    }
}

void FakePortTree::AddUart(const std::string& name, const std::string& type) {
    // The serial core's port devices sit between the UART's own device and its tty.
    const std::string uart = Sys("devices/pnp0/00:0" + name.substr(4));
    const std::string port = uart + "/ctrl/port";
    fs::create_directories(port);
    fs::create_directories(Sys("bus/pnp/drivers/serial"));
    fs::create_directories(Sys("bus/serial-base"));
    Link(Sys("bus/pnp"), uart + "/subsystem");
    Link(Sys("bus/pnp/drivers/serial"), uart + "/driver");
    Link(Sys("bus/serial-base"), uart + "/ctrl/subsystem");
    Link(Sys("bus/serial-base"), port + "/subsystem");
    AddTty(name, port);
    Attribute(port + "/tty/" + name, "type", type);
    AddNode(name);
}

void FakePortTree::AddBluetooth(const std::string& name) {
    const std::string adapter = Sys("devices/virtual/bluetooth/hci0");
    fs::create_directories(adapter);
    Link(Sys("class/bluetooth"), adapter + "/subsystem");
    AddTty(name, adapter);
    AddNode(name);
}

void FakePortTree::AddSysfsOnly(const std::string& name) {
    const std::string device = Sys("devices/platform/" + name);
    fs::create_directories(device);
    AddTty(name, device);
}

void FakePortTree::AddNode(const std::string& name) {
    auto& node = nodes_[name];
    node = std::make_unique<LinuxPtyPair>();
    fs::create_symlink(node->SlavePath(), Dev(name));
}

void FakePortTree::RemoveNode(const std::string& name) {
    std::vector<fs::path> links;
    for (const char* folder : {"serial/by-id", "serial/by-path"}) {
        std::error_code error;
        for (fs::directory_iterator it(Dev(folder), error), end; !error && it != end;
             it.increment(error)) {
            if (fs::read_symlink(it->path()).filename() == name) {
                links.push_back(it->path());
            }
        }
    }
    for (const fs::path& link : links) {
        fs::remove(link);
    }
    fs::remove(Dev(name));
    if (const auto node = nodes_.find(name); node != nodes_.end()) {
        node->second->CloseMaster();
    }
}
