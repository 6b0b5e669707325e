// Opens and closes a port many times, with a query and its answer each time, against a peer on
// a pseudo-terminal that keeps nothing; prints descriptors, threads and memory at the start, on
// the way and at the end.
//
//   bench/soak/port_cycle_soak [cycles]

#include "AnsweringPeer.h"
#include "ProcessFigures.h"

#include <q4471/framework/Thread.h>
#include <q4471/serial/VaComm.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace q4471;

namespace {

using Clock = std::chrono::steady_clock;

const std::string Query = "MEM:USR:SET? 7\r";
const std::string Answer = "7,SOAK,146.520,146.520,1,100.0\r\n";

// One opening: the query out, the whole answer back (the receive thread's deliveries served
// meanwhile), then closed. False when the answer did not come within 5 seconds.
bool Cycle(TVaComm& comm) {
    comm.Open();
    comm.WriteText(Query);
    std::string received;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    while (received.size() < Answer.size() && Clock::now() < deadline) {
        CheckSynchronize(1);
        received += comm.ReadText();
    }
    comm.Close();
    return received == Answer;
}

} // namespace

int main(int argc, char** argv) {
    const long cycles = argc > 1 ? std::atol(argv[1]) : 10000;
    const AnsweringPeer peer(Answer);
    TVaComm comm(nullptr);
    comm.SetDeviceName(peer.Device());
    comm.SetDirectWrite(true);

    long failed = 0;
    // The first cycles set up what lives for the whole process (the thread pool of the
    // framework, the allocator's arenas): the start figures are taken after them.
    constexpr long WarmUp = 20;
    for (long i = 0; i < WarmUp; ++i) {
        failed += Cycle(comm) ? 0 : 1;
    }
    const ProcessFigures start = ReadProcessFigures();
    PrintFigures("start", 0, start);
    const Clock::time_point began = Clock::now();
    for (long done = 1; done <= cycles; ++done) {
        failed += Cycle(comm) ? 0 : 1;
        if (done % (cycles / 10 > 0 ? cycles / 10 : 1) == 0 && done != cycles) {
            PrintFigures("", done, ReadProcessFigures());
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    const ProcessFigures end = ReadProcessFigures();
    PrintFigures("end", cycles, end);
    std::printf("%ld open/query/answer/close cycles in %.1f s (%.2f ms each), %ld without the "
                "answer\n",
                cycles, seconds, 1000.0 * seconds / static_cast<double>(cycles), failed);
    const bool leaked = Leaked(start, end);
    std::printf("%s\n", leaked ? "GROWTH: descriptors or threads left behind" : "no growth");
    return leaked || failed > 0 ? 1 : 0;
}
