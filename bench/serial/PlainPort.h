#pragma once

// A serial port driven by the system's plain calls and nothing else: the floor the component's
// figures are set against. Opens raw at 9600 8N1 without flow control; a read answers at once
// with what has arrived.

#include <cstdint>
#include <string>

class PlainPort {
public:
    // `device` as the component names it: "/dev/pts/3", "COM5". Throws when it cannot be opened.
    explicit PlainPort(const std::string& device);
    ~PlainPort();
    PlainPort(const PlainPort&) = delete;
    PlainPort& operator=(const PlainPort&) = delete;

    // Writes every byte, waiting for room; throws when the device fails.
    void Send(const std::string& bytes);
    // The bytes that have arrived, possibly none; throws when the device fails.
    std::string ReceiveWaiting();

private:
    std::intptr_t handle_; // a descriptor, or a HANDLE
};
