// line-logger DEVICE: logs what a serial line carries, one time-stamped line per event: the bytes
// received (in hex and as text), modem-line changes and line errors, until Ctrl+C or SIGTERM.
// Needs no GUI: the program hands its main thread to the framework, which runs the port's handlers.
#include <q4471/framework/Application.h>
#include <q4471/serial/VaComm.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

namespace {

// "HH:MM:SS.mmm", local time.
std::string Stamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(ms.count() % 1000));
    return text;
}

void Log(const std::string& text) {
    std::printf("%s %s\n", Stamp().c_str(), text.c_str());
    std::fflush(stdout);
}

// "3 bytes: 68 69 0A  hi\x0A"
std::string Received(std::string_view bytes) {
    std::string hex, text;
    char code[8];
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        std::snprintf(code, sizeof code, "%02X ", value);
        hex += code;
        if (value >= 0x20 && value < 0x7F && value != '\\') {
            text += byte;
        } else {
            std::snprintf(code, sizeof code, "\\x%02X", value);
            text += code;
        }
    }
    return "RX " + std::to_string(bytes.size()) + " bytes: " + hex + " " + text;
}

std::string LineErrors(int32_t errors) {
    static constexpr struct {
        uint32_t flag;
        const char* name;
    } names[] = {{CE_RXOVER, "input overflow"}, {CE_OVERRUN, "overrun"},
                 {CE_RXPARITY, "parity error"}, {CE_FRAME, "framing error"},
                 {CE_BREAK, "break"},           {CE_TXFULL, "output full"}};
    std::string text;
    for (const auto& name : names) {
        if ((static_cast<uint32_t>(errors) & name.flag) != 0) {
            text += text.empty() ? name.name : std::string(", ") + name.name;
        }
    }
    return "line error: " + (text.empty() ? std::to_string(errors) : text);
}

// A modem line's change, with its state where the driver can tell it.
void LogLine(TVaComm& comm, const char* line, int32_t index) {
    try {
        Log(std::string(line) + (comm.GetModemStatus(index) ? " on" : " off"));
    } catch (const EVaCommError&) {
        Log(std::string(line) + " changed");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: line-logger DEVICE\n");
        return 2;
    }
    TVaComm comm(nullptr);
    comm.SetDeviceName(argv[1]);
    comm.SetBaudrate(br9600);
    comm.SetMonitorEvents({ceRxChar, ceCts, ceDsr, ceRing, ceRlsd, ceBreak, ceError});
    // Without clients the port tells how many bytes wait, and the handler reads them.
    comm.OnRxChar = [&](q4471::TObject*, int32_t) { Log(Received(comm.ReadText())); };
    comm.OnCts = [&](q4471::TObject*) { LogLine(comm, "CTS", 1); };
    comm.OnDsr = [&](q4471::TObject*) { LogLine(comm, "DSR", 2); };
    comm.OnRing = [&](q4471::TObject*) { LogLine(comm, "RING", 3); };
    comm.OnRlsd = [&](q4471::TObject*) { LogLine(comm, "DCD", 4); };
    comm.OnBreak = [](q4471::TObject*) { Log("break received"); };
    comm.OnError = [](q4471::TObject*, int32_t errors) { Log(LineErrors(errors)); };
    comm.OnDeviceLost = [](q4471::TObject*, const std::string& message) {
        Log(message);
        q4471::Application::Terminate();
    };

    try {
        comm.Open();
    } catch (const EVaCommError& error) {
        std::fprintf(stderr, "line-logger: %s\n", error.what());
        return 1;
    }
    Log("logging " + comm.GetDeviceNameEx() + "; Ctrl+C ends");
    q4471::Application::Run(); // the handlers run here until Ctrl+C, SIGTERM or a lost device
    comm.Close();
    Log("closed");
    return 0;
}
