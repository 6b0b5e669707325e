#pragma once

#include <functional>

namespace q4471 {

// Turns the system's requests to end the program (SIGINT, SIGTERM and SIGHUP, Ctrl+C or a closed
// console on Windows) into a call of `stop` for as long as it lives, instead of the default ending
// that would skip every destructor. `stop` runs on a thread of its own, never inside a signal
// handler, so it may take locks. One at a time; the previous handling comes back when it goes.
class TStopSignals {
public:
    explicit TStopSignals(std::function<void()> stop);
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

private:
    struct TState;
    TState* state_;
};

} // namespace q4471
