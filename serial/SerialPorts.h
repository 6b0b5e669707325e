#pragma once

/// @file
/// The serial ports present on this computer, each with what it is: ListSerialPorts, and the
/// record it fills, TSerialPortInfo. TSerialPortWatcher (SerialPortWatcher.h) tells when one
/// comes or goes.

#include <q4471/framework/Export.h>

#include <cstdint>
#include <string>
#include <vector>

/// What stands behind a serial port.
enum TSerialPortKind : uint8_t { pkBuiltIn, pkUsbAdapter, pkUsbModem, pkBluetooth, pkOther };
/** @var pkBuiltIn
    A UART of the computer itself (Linux ttyS*, Windows \\Device\\Serial*).
    @var pkUsbAdapter
    A USB serial adapter with a maker's own driver: FTDI, Prolific, CH340, CP210x (ttyUSB*).
    @var pkUsbModem
    A USB device of the modem class, CDC-ACM (ttyACM*): many adapters, and radios with a USB
    port of their own.
    @var pkBluetooth
    A Bluetooth serial link (rfcomm*).
    @var pkOther
    Anything else the system calls a serial port. */

/// One serial port as the system describes it. Text the device reports is kept as it came;
/// what the system does not tell stays empty.
struct TSerialPortInfo {
    /// The name to open it by: the node on Linux ("/dev/ttyUSB0"), the port name on Windows
    /// ("COM3").
    std::string Device;
    /// Names that stay the same for the same adapter, whatever order it was plugged in:
    /// /dev/serial/by-id/... first, then /dev/serial/by-path/...; empty where the system keeps
    /// none.
    std::vector<std::string> StableNames;
    /// What stands behind it.
    TSerialPortKind Kind = pkOther;
    /// Whether VendorId and ProductId were read: USB ports only.
    bool HasUsbIds = false;
    /// The USB vendor id (0x0403 for FTDI).
    uint16_t VendorId = 0;
    /// The USB product id (0x6001 for an FT232R).
    uint16_t ProductId = 0;
    /// The maker, as the device reports it ("FTDI").
    std::string Manufacturer;
    /// The product, as the device reports it ("FT232R USB UART").
    std::string Product;
    /// The serial number, as the device reports it: two adapters of one model differ here.
    std::string SerialNumber;
    /// The system's driver ("ftdi_sio", "cdc_acm", "serial8250"; the service on Windows).
    std::string Driver;
    /// Whether the current user may open it (on Linux: read and write permission on the node).
    bool Accessible = false;
    /// "name (process N)" for each other program holding it open, as far as this user may look
    /// into other programs; Linux only.
    std::vector<std::string> Holders;

    /// Field by field.
    bool operator==(const TSerialPortInfo&) const = default;
};

/// Where the listing looks on Linux: the system's folders, which a test points at a tree of its
/// own. Windows reads its registry and ignores them.
struct TSerialSystemFolders {
    /// The device nodes, with serial/by-id and serial/by-path.
    std::string dev = "/dev";
    /// The processes, for the programs holding a port.
    std::string proc = "/proc";
    /// sysfs, for what each tty is: class/tty/NAME and the device folders behind it.
    std::string sys = "/sys";
};

/// The serial ports present, in the order of their device names (ttyS2 before ttyS10). Linux
/// reads sysfs and /dev directly (no udev daemon needed): a tty with a device behind it whose
/// node exists, a UART slot that the kernel keeps without a UART left out; a ttyUSB, ttyACM or
/// rfcomm node without a sysfs entry (a container) is listed with its kind and nothing more.
/// Windows reads the system's list of serial devices (HARDWARE\\DEVICEMAP\\SERIALCOMM) and the
/// USB identity from the ports' device records. A folder it cannot read costs only what it would
/// have told. Any thread.
Q4471_API std::vector<TSerialPortInfo> ListSerialPorts(const TSerialSystemFolders& folders = {});

/// "USB serial adapter", "USB modem-class device", "built-in UART", "Bluetooth", "other".
Q4471_API std::string PortKindName(TSerialPortKind kind);

/// What a user recognises the port by, on one line: maker and product, the serial number and the
/// ids, "FTDI FT232R USB UART, serial A10K3ZQ4, 0403:6001"; the kind when the system tells no
/// more ("built-in UART").
Q4471_API std::string PortIdentity(const TSerialPortInfo& port);
