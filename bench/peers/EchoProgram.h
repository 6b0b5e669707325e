#pragma once

// What every echo program shares: its arguments, the check of every received byte against the
// host's pattern, the counts it reports when the host ends it with SIGTERM, and its report lines.
// The counters are lock-free atomics, so that the signal handler may read them.

#include "PeerProtocol.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace echo {

inline std::atomic<uint64_t> received{0};
inline std::atomic<uint64_t> returned{0};
inline std::atomic<bool> lostReported{false};

// One whole line to the host; a write of a short line to a pipe is never split.
inline void Report(const std::string& line) {
    const std::string whole = line + "\n";
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, whole.data(), whole.size());
}

[[noreturn]] inline void Fail(const std::string& what) {
    Report("error " + what);
    _exit(3);
}

// The first notice that the line went away; later ones say nothing new.
inline void Lost(const std::string& how) {
    if (!lostReported.exchange(true)) {
        Report("lost " + how);
    }
}

// Every received byte must be the next of the host's pattern.
inline void CheckReceived(const char* data, std::size_t count) {
    const uint64_t start = received.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < count; ++i) {
        if (data[i] != PatternByte(start + i)) {
            Fail("byte " + std::to_string(start + i) + " corrupted or out of order");
        }
    }
    received.store(start + count, std::memory_order_relaxed);
}

inline void Returned(std::size_t count) {
    returned.fetch_add(count, std::memory_order_relaxed);
}

// Async-signal-safe: digits by hand, one write, _exit.
inline void AppendNumber(char*& out, uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) {
        *out++ = digits[--n];
    }
}

inline void OnTerminate(int) {
    const uint64_t in = received.load();
    const uint64_t out = returned.load();
    char line[64] = "done ";
    char* end = line + 5;
    AppendNumber(end, in);
    *end++ = ' ';
    AppendNumber(end, out);
    *end++ = '\n';
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, line, end - line);
    _exit(in == out ? 0 : 4);
}

struct Arguments {
    std::string device;
    bool noTaker = false;
};

// Reads "DEVICE [--no-taker]" and makes SIGTERM end the program with its counts.
inline Arguments Start(int argc, char** argv) {
    if (argc < 2 || (argc == 3 && std::strcmp(argv[2], NoTaker) != 0) || argc > 3) {
        Fail(std::string("usage: ") + argv[0] + " DEVICE [" + NoTaker + "]");
    }
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    return {argv[1], argc == 3};
}

} // namespace echo
