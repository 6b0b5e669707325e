#include "framework/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace q4471 {

namespace {

// SIGHUP too: a closed terminal or a logout ends the program as Ctrl+C does.
const int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// What the pipe carries: a signal came, or the listener is to end.
constexpr char SignalByte = 's';
constexpr char EndByte = 'e';

volatile sig_atomic_t signalWriteEnd = -1;

// Only writes to the pipe: nothing else is safe inside a signal handler.
void OnStopSignal(int) {
    const int savedErrno = errno;
    const char byte = SignalByte;
    [[maybe_unused]] const ssize_t written = write(signalWriteEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

struct TStopSignals::TState {
    int readEnd = -1;
    int writeEnd = -1;
    std::thread listener;
    struct sigaction previous[std::size(StopSignals)] = {};
};

TStopSignals::TStopSignals(std::function<void()> stop) : state_(new TState) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return; // the program still runs; a signal then ends it the default way
    }
    state_->readEnd = ends[0];
    state_->writeEnd = ends[1];
    signalWriteEnd = ends[1];
    state_->listener = std::thread([readEnd = ends[0], stop = std::move(stop)] {
        for (;;) {
            char byte = 0;
            const ssize_t got = read(readEnd, &byte, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got != 1 || byte == EndByte) {
                return;
            }
            stop();
        }
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(StopSignals); ++i) {
        sigaction(StopSignals[i], &action, &state_->previous[i]);
    }
}

TStopSignals::~TStopSignals() {
    if (state_->listener.joinable()) {
        for (std::size_t i = 0; i < std::size(StopSignals); ++i) {
            sigaction(StopSignals[i], &state_->previous[i], nullptr);
        }
        signalWriteEnd = -1;
        const char byte = EndByte;
        [[maybe_unused]] const ssize_t written = write(state_->writeEnd, &byte, 1);
        state_->listener.join();
        close(state_->readEnd);
        close(state_->writeEnd);
    }
    delete state_;
}

} // namespace q4471
