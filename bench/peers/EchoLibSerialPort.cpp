// libserialport echoing on the slave end: sp_wait on an event set (received data, errors), then a
// non-blocking read and a blocking write. A lost line shows as a failed read; the program keeps
// its port in the event set, as an application does that shows the error and waits for its user.
// On a pseudo-terminal it needs the modem-line shim (libpty_modem_shim.so) preloaded.

#include "EchoProgram.h"

#include <libserialport.h>
#include <vector>

namespace {

void Check(sp_return result, const char* what) {
    if (result != SP_OK) {
        char* message = sp_last_error_message();
        const std::string text = std::string(what) + ": " + (message ? message : "?");
        sp_free_error_message(message);
        echo::Fail(text);
    }
}

} // namespace

int main(int argc, char** argv) {
    const echo::Arguments arguments = echo::Start(argc, argv);
    sp_port* port = nullptr;
    Check(sp_get_port_by_name(arguments.device.c_str(), &port), "cannot find the port");
    Check(sp_open(port, SP_MODE_READ_WRITE), "cannot open");
    Check(sp_set_baudrate(port, 115200), "baud rate");
    Check(sp_set_bits(port, 8), "data bits");
    Check(sp_set_parity(port, SP_PARITY_NONE), "parity");
    Check(sp_set_stopbits(port, 1), "stop bits");
    Check(sp_set_flowcontrol(port, SP_FLOWCONTROL_NONE), "flow control");
    sp_event_set* events = nullptr;
    Check(sp_new_event_set(&events), "event set");
    Check(
        sp_add_port_events(events, port, static_cast<sp_event>(SP_EVENT_RX_READY | SP_EVENT_ERROR)),
        "port events");
    echo::Report("ready");
    std::vector<char> buffer(65536);
    for (;;) {
        Check(sp_wait(events, 0), "wait");
        if (arguments.noTaker) {
            continue;
        }
        const int got = sp_nonblocking_read(port, buffer.data(), buffer.size());
        if (got < 0) {
            echo::Lost("read failed");
            continue;
        }
        echo::CheckReceived(buffer.data(), static_cast<std::size_t>(got));
        if (sp_blocking_write(port, buffer.data(), static_cast<std::size_t>(got), 0) != got) {
            echo::Fail("write sent fewer bytes than it was given");
        }
        echo::Returned(static_cast<std::size_t>(got));
    }
}
