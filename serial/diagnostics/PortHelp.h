#pragma once

#include <string>
#include <vector>

// Why a serial port could not be opened, in words a user can act on: the device that is missing
// and the serial devices that do exist, the group to join for permission, the program that holds
// the device. Reads the system's folders; a test points them elsewhere.
struct TSystemFolders {
    std::string dev = "/dev";
    std::string proc = "/proc";
};

std::string ExplainOpenFailure(int code, const std::string& device,
                               const TSystemFolders& folders = {});

// The serial devices present: /dev/serial/by-id names with their node, then /dev/ttyUSB* and
// /dev/ttyACM* not already named.
std::vector<std::string> SerialDevicesPresent(const TSystemFolders& folders = {});

// "name (process N)" for each other process that holds `device` open, as far as this user may
// look into other processes.
std::vector<std::string> ProgramsHolding(const std::string& device,
                                         const TSystemFolders& folders = {});
