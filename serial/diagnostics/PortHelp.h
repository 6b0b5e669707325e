#pragma once

#include <q4471/serial/SerialPorts.h>

#include <string>
#include <vector>

// Why a serial port could not be opened, in words a user can act on: the device that is missing
// and the serial devices that do exist, the group to join for permission, the program that holds
// the device. The facts come from the component's port list, which reads the system's folders; a
// test points them elsewhere.
using TSystemFolders = TSerialSystemFolders;

std::string ExplainOpenFailure(int code, const std::string& device,
                               const TSystemFolders& folders = {});

// The serial devices present but the built-in UARTs, each with what it is:
// "/dev/ttyUSB0 (FTDI FT232R USB UART, serial A10K3ZQ4, 0403:6001)".
std::vector<std::string> SerialDevicesPresent(const TSystemFolders& folders = {});

// "name (process N)" for each other process that holds `device` open, as far as this user may
// look into other processes.
std::vector<std::string> ProgramsHolding(const std::string& device,
                                         const TSystemFolders& folders = {});
