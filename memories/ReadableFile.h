#pragma once

#include <q4471/serial/LinuxFileDescriptor.h>

#include <string>

// Opens an existing regular file for reading; a folder, a pipe or a device counts as not openable
// and is not even opened: opening a named pipe waits for a writer, opening a serial line may wait
// for its carrier. The flags keep that so should the name change its kind before the open.
SerialPlatform::FileDescriptor OpenForReading(const std::string& fileName);
