// This component echoing on the slave end, one program per path (ECHO_PATH):
//   direct  a worker waits for input on the port's descriptor, then ReadText and WriteText;
//   event   OnRxBuf -> WriteBuf on the GUI thread, written directly (DirectWrite true);
//   queued  OnRxBuf -> WriteBuf, queued for the transmit thread (DirectWrite false);
//   thread  OnRxBuf -> WriteBuf on the port's receive thread (htPortThreads), written directly.
// The first thread is the GUI thread and runs what the port's threads hand it (none on the
// thread path). A lost line shows as the component shows it to a user: through the application's
// error display.

#include "EchoProgram.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/VaCommClients.h>

#include <poll.h>
#include <string_view>
#include <thread>

using namespace q4471;

namespace {

constexpr std::string_view Path = ECHO_PATH;

void EchoOnRxBuf(TVaComm& comm) {
    comm.OnRxBuf = [&comm](TObject*, PVaData data, int32_t count) {
        echo::CheckReceived(data, static_cast<std::size_t>(count));
        if (comm.WriteBuf(data, count) != count) {
            echo::Fail("WriteBuf took fewer bytes than it was given");
        }
        echo::Returned(static_cast<std::size_t>(count));
    };
}

// The direct path's worker: the editor's calls, woken by the descriptor instead of a fixed pause.
void EchoDirect(TVaComm& comm) {
    try {
        for (;;) {
            pollfd ready{comm.Handle(), POLLIN, 0};
            if (poll(&ready, 1, -1) < 0) {
                continue;
            }
            const std::string text = comm.ReadText();
            if (text.empty()) {
                if ((ready.revents & (POLLHUP | POLLERR)) != 0) {
                    echo::Lost("hang-up seen by the worker");
                    return;
                }
                continue;
            }
            echo::CheckReceived(text.data(), text.size());
            if (!comm.WriteText(text)) {
                echo::Fail("WriteText did not send the whole text");
            }
            echo::Returned(text.size());
        }
    } catch (const std::exception& error) {
        echo::Lost(std::string("error: ") + error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    const echo::Arguments arguments = echo::Start(argc, argv);
    Application::SetExceptionDisplay(
        [](const std::string& message) { echo::Lost("error: " + message); });
    TVaComm comm(nullptr);
    comm.SetDeviceName(arguments.device);
    comm.SetBaudrate(br115200);
    comm.SetDirectWrite(Path != "queued");
    if (Path == "thread") {
        comm.SetHandlerThread(htPortThreads);
    }
    // A batch of OnRxBuf can hold up to ReadSize bytes: a queue that takes it whole keeps each
    // echo one append, where a larger batch would go in piece by piece.
    comm.Buffers().SetWriteSize(4 * comm.Buffers().ReadSize());
    // Without a taker the port stays as the editor opens it: default events, no handler, no client.
    TVaCommComponent client(nullptr);
    std::thread worker;
    if (!arguments.noTaker) {
        if (Path == "direct") {
            comm.SetMonitorEvents({}); // the worker takes the input and sees the errors itself
        } else {
            client.SetComm(&comm); // a client makes the port take the bytes for OnRxBuf
            EchoOnRxBuf(comm);
        }
    }
    try {
        comm.Open();
    } catch (const std::exception& error) {
        echo::Fail(std::string("cannot open: ") + error.what());
    }
    if (!arguments.noTaker && Path == "direct") {
        worker = std::thread([&comm] { EchoDirect(comm); });
    }
    echo::Report("ready");
    // Until the host ends the program with SIGTERM, which the echo's own handler answers.
    Application::Run(false);
}
