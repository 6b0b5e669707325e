// request-answer DEVICE: sends three requests and prints each answer, with no handler and no
// event loop: each request is written, waited out, and its answer read up to its carriage return,
// each step with a deadline. The way of a console program that talks in request and answer.
#include <q4471/serial/VaComm.h>

#include <iostream>
#include <string>

namespace {

// What to tell the user for a failure the program can act on.
std::string Advice(const EVaCommError& error) {
    switch (error.Kind()) {
    case ekDeviceMissing:
        return "is the adapter plugged in?";
    case ekNoPermission:
        return "add yourself to the group dialout, then log in again";
    case ekBusy:
        return "another program has the port open";
    case ekDeviceGone:
        return "the device has gone away";
    default:
        return "system error " + std::to_string(error.SystemCode());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: request-answer DEVICE\n";
        return 2;
    }
    TVaComm comm(nullptr); // queued writes, the default: nothing here runs the GUI thread's loop
    comm.SetDeviceName(argv[1]);
    comm.SetBaudrate(br9600);
    try {
        comm.Open();
        for (int request = 1; request <= 3; ++request) {
            comm.WriteText("REQ " + std::to_string(request) + "\r");
            if (!comm.WaitWritten(2000).Complete) {
                std::cerr << "request " << request << " did not leave within 2 s\n";
                return 1;
            }
            const std::string answer = comm.ReadTextUntil('\r', 256, 2000);
            if (answer.empty() || answer.back() != '\r') {
                std::cerr << "no whole answer to request " << request << ": " << answer << '\n';
                return 1;
            }
            std::cout << "answer " << request << ": " << answer.substr(0, answer.size() - 1)
                      << '\n';
        }
    } catch (const EVaCommError& error) {
        std::cerr << error.Message() << " (" << Advice(error) << ")\n";
        return 1;
    }
}
