// The shortest complete program: opens a port, sends a line, prints the answer that the port's
// handler receives. hello-port DEVICE
#include <q4471/framework/Thread.h>
#include <q4471/serial/VaComm.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: hello-port DEVICE\n";
        return 2;
    }
    TVaComm comm(nullptr);
    comm.SetDeviceName(argv[1]);
    comm.SetBaudrate(br9600);
    std::string answer;
    // Bytes have come: the handler reads them.
    comm.OnRxChar = [&](q4471::TObject*, int32_t) { answer += comm.ReadText(); };
    try {
        comm.Open();
        comm.WriteText("hello\r\n");
        // Handlers run where the hand-over is pumped: here, on this thread, for up to 5 s.
        for (int wait = 0; wait < 50 && answer.find('\n') == std::string::npos; ++wait) {
            q4471::CheckSynchronize(100);
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    if (answer.empty()) {
        std::cerr << "no answer from " << argv[1] << '\n';
        return 1;
    }
    std::cout << "answer: " << answer;
}
