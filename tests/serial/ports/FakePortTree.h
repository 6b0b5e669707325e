#pragma once

// A folder laid out as sysfs, /dev and /proc are for serial ports, with pseudo-terminals standing
// in for the device nodes: USB adapters with their attribute files, UARTs, Bluetooth links, udev's
// by-id and by-path links, and the ways a real tree can be incomplete.

#include "TempFolder.h"

#include <q4471/serial/SerialPorts.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class LinuxPtyPair; // kept out: its kernel termios header clashes with <termios.h>

// A USB device's attribute files; an empty text leaves its file out.
struct FakeUsb {
    std::string vendor;
    std::string product;
    std::string manufacturer;
    std::string productName;
    std::string serial;
};

class FakePortTree {
public:
    FakePortTree();
    ~FakePortTree();
    FakePortTree(const FakePortTree&) = delete;
    FakePortTree& operator=(const FakePortTree&) = delete;

    TSerialSystemFolders Folders() const;
    std::string Dev(const std::string& name) const { return root_.File("dev/" + name); }
    std::string Sys(const std::string& path) const { return root_.File("sys/" + path); }

    // A USB serial port `name` (ttyUSB* through a usb-serial driver, ttyACM* on its interface)
    // of the device plugged at bus port `busPort`, with its node and, unless empty, by-id link.
    void AddUsbPort(const std::string& name, const std::string& driver, const FakeUsb& usb,
                    int busPort, const std::string& byId = "");
    // A UART slot: `type` 0 is the kernel's "no UART here".
    void AddUart(const std::string& name, const std::string& type);
    void AddBluetooth(const std::string& name);
    // sysfs's entry for `name` without a node, or a node without sysfs's entry.
    void AddSysfsOnly(const std::string& name);
    void AddNode(const std::string& name);
    // Both of `name`'s udev links and its node, as an unplugged adapter's go; its pseudo-terminal
    // hangs up, so that a port open on it finds its device gone.
    void RemoveNode(const std::string& name);

private:
    // The tty's sysfs folder under `device`, with class/tty's link to it.
    void AddTty(const std::string& name, const std::string& device);
    void Link(const std::string& target, const std::string& link) const;

    TempFolder root_;
    std::map<std::string, std::unique_ptr<LinuxPtyPair>> nodes_;
};
