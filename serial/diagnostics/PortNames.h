#pragma once

#include <string>

// The editor's names for its four ports, shared by the line monitor: "COMn" is the device that
// the environment variable Q4471_COMn names when it is set and not empty, otherwise COM1
// /dev/ttyS0, COM2 /dev/ttyS1, COM3 /dev/ttyUSB0, COM4 /dev/ttyUSB1. Any other name (a path,
// "ttyACM0", a COMn beyond 4 without its variable) goes by the system's own naming.
std::string EditorDeviceFor(const std::string& name);

// Makes EditorDeviceFor the serial component's resolver of port names. The editor's and the line
// monitor's windows call it when they are made, so that their tests and benchmarks name ports as
// the programs do.
void UseEditorPortNames();
