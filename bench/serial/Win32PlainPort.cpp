#include "PlainPort.h"
#include "serial/platform/Win32Handle.h"

#include <stdexcept>
#include <windows.h>

namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": error " + std::to_string(GetLastError()));
}

} // namespace

PlainPort::PlainPort(const std::string& device) {
    const std::string path = "\\\\.\\" + device;
    // Synchronous: each call waits for its own end, as a plain program's would.
    SerialPlatform::Win32Handle port(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port.Valid()) {
        Fail("cannot open " + device);
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = TRUE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    COMMTIMEOUTS timeouts{};
    // A read answers at once with what has arrived, as a non-blocking read does on Linux. The
    // time-outs meant to wait for the first byte (MAXDWORD, MAXDWORD, n) wait out all n ms
    // under Wine, and an interval time-out costs a millisecond a read.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!SetCommState(port.Get(), &dcb) || !SetCommTimeouts(port.Get(), &timeouts)) {
        Fail("cannot set up " + device);
    }
    handle_ = reinterpret_cast<std::intptr_t>(port.Release());
}

PlainPort::~PlainPort() {
    CloseHandle(AsHandle(handle_));
}

void PlainPort::Send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD sent = 0;
        if (!WriteFile(AsHandle(handle_), bytes.data() + done,
                       static_cast<DWORD>(bytes.size() - done), &sent, nullptr)) {
            Fail("WriteFile");
        }
        done += sent;
    }
}

std::string PlainPort::ReceiveWaiting() {
    // Read only once bytes are counted, as a Windows program does: under Wine a ReadFile that
    // finds nothing costs a request to the wineserver, where ClearCommError asks the device.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(AsHandle(handle_), &errors, &status)) {
        Fail("ClearCommError");
    }
    if (status.cbInQue == 0) {
        return {};
    }
    char buffer[65536];
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), buffer, sizeof buffer, &got, nullptr)) {
        Fail("ReadFile");
    }
    return std::string(buffer, got);
}
