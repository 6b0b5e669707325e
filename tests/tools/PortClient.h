#pragma once

#include <q4471/serial/LinuxFileDescriptor.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// The editor's side of the line: opens the radio's device the way the serial component does
// (raw mode, no controlling terminal) and reads with deadlines instead of sleeps.
class PortClient {
public:
    explicit PortClient(const std::string& devicePath);

    void Write(std::string_view bytes);
    // Reads until `count` bytes have arrived or `within` has passed; returns what arrived.
    std::string Read(std::size_t count,
                     std::chrono::milliseconds within = std::chrono::seconds(10));
    // Writes a query and returns its answer, which is `expectedLength` bytes long.
    std::string Ask(std::string_view command, std::size_t expectedLength);

private:
    SerialPlatform::FileDescriptor fd_;
};
