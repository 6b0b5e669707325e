#include "app/SerialTrace.h"

#include "serial/diagnostics/TrafficFormat.h"

#include <q4471/serial/VaComm.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <system_error>

namespace {

// Milliseconds since local midnight: the stamps read like the clock beside the bug report.
int64_t MsOfDay() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    return ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + ms;
}

std::string PortOf(const TVaCustomComm& comm) {
    return comm.GetDeviceName() + " (" + comm.GetDeviceNameEx() + ")";
}

// "9600 baud, 8N1, no flow control, DTR off, RTS off".
std::string SettingsOf(const TVaCustomComm& comm) {
    static const char* const stopBits[] = {"1", "1.5", "2"};
    const TVaFlowControl& flow = comm.FlowControl();
    const int32_t rate = comm.Baudrate() == brUser
                             ? comm.UserBaudrate()
                             : static_cast<int32_t>(VaBaudrateValues[comm.Baudrate()]);
    std::string text = std::to_string(rate) + " baud, " + std::to_string(4 + comm.Databits()) +
                       "NOEMS"[comm.Parity()] + stopBits[comm.Stopbits()];
    text += flow.OutCtsFlow()                       ? ", RTS/CTS flow control"
            : flow.XonXoffOut() || flow.XonXoffIn() ? ", XON/XOFF flow control"
                                                    : ", no flow control";
    text += flow.ControlDtr() == dtrDisabled ? ", DTR off" : ", DTR on";
    text += flow.ControlRts() == rtsDisabled ? ", RTS off" : ", RTS on";
    return text;
}

} // namespace

std::unique_ptr<TSerialTrace> TSerialTrace::FromEnvironment() {
    const char* fileName = std::getenv("Q4471_TRACE");
    if (fileName == nullptr || *fileName == '\0') {
        return nullptr;
    }
    try {
        return std::make_unique<TSerialTrace>(fileName);
    } catch (const std::system_error& error) {
        std::cerr << "q4471-editor: no serial trace: " << error.what() << '\n';
        return nullptr;
    }
}

TSerialTrace::TSerialTrace(const std::string& fileName)
    : file_(std::fopen(fileName.c_str(), "ae")) {
    if (file_ == nullptr) {
        throw std::system_error(errno, std::generic_category(), "cannot open " + fileName);
    }
}

TSerialTrace::~TSerialTrace() {
    std::fclose(file_);
}

void TSerialTrace::Opened(const TVaCustomComm& comm) {
    Write(TrafficFormat::FormatNote(MsOfDay(), PortOf(comm) + " opened: " + SettingsOf(comm)));
}

void TSerialTrace::OpenFailed(const TVaCustomComm& comm, const std::string& reason) {
    Write(TrafficFormat::FormatNote(MsOfDay(), PortOf(comm) + " not opened: " + reason));
}

void TSerialTrace::Closed(const TVaCustomComm& comm) {
    Write(TrafficFormat::FormatNote(MsOfDay(), PortOf(comm) + " closed"));
}

void TSerialTrace::Sent(std::string_view bytes, bool whole) {
    const int64_t now = MsOfDay();
    Write(TrafficFormat::FormatExchange(TrafficFormat::TDirection::Sent, now, bytes));
    if (!whole) {
        Write(TrafficFormat::FormatNote(now, "the port did not take all of these bytes"));
    }
}

void TSerialTrace::Received(std::string_view bytes) {
    Write(TrafficFormat::FormatExchange(TrafficFormat::TDirection::Received, MsOfDay(), bytes));
}

void TSerialTrace::Write(const std::string& line) {
    const std::lock_guard lock(mutex_);
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    // A trace is read after a crash or while the editor runs: each line goes out at once.
    std::fflush(file_);
}
