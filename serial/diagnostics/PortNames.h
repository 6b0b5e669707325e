#pragma once

#include <q4471/serial/SerialPorts.h>

#include <string>

// The editor's names for its four ports, shared by the line monitor: "COMn" is the device that
// the environment variable Q4471_COMn names when it is set and not empty, otherwise COM1
// /dev/ttyS0, COM2 /dev/ttyS1, and COM3 and COM4 the first and second USB serial port listed
// (adapters and modem-class devices alike, in the order of their stable names, so that two cables
// keep their items whatever order they were plugged in), or /dev/ttyUSB0 and /dev/ttyUSB1 where
// fewer are present. Any other name (a path, "ttyACM0", a COMn beyond 4 without its variable)
// goes by the system's own naming.
std::string EditorDeviceFor(const std::string& name);

// The system folders that the editor's port names and its port watcher read: the system's own
// unless a test points them at a tree of its own, before it makes a window. Any thread.
TSerialSystemFolders EditorPortFolders();
void SetEditorPortFolders(const TSerialSystemFolders& folders);

// What item "COMn" (1 to 4) stands for with `ports` present, for its tooltip: the device, why
// (its variable, or which USB serial port), and what it is when the list knows it: "COM3 is
// /dev/ttyUSB0 (the first USB serial port): FTDI FT232R USB UART, serial A10K3ZQ4, 0403:6001";
// "not present" for a default device that is missing.
std::string EditorPortDescription(int number, const std::vector<TSerialPortInfo>& ports);

// Makes EditorDeviceFor the serial component's resolver of port names. The editor's and the line
// monitor's windows call it when they are made, so that their tests and benchmarks name ports as
// the programs do.
void UseEditorPortNames();
