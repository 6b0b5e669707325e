#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace radiosim {

// How the radio misbehaves. The defaults make a well-behaved radio.
struct Behaviour {
    bool silent = false;                      // never send a byte (set commands are still stored)
    std::optional<int> stopFrom;              // no answer to queries for this memory and above
    std::chrono::milliseconds delay{0};       // answer this late after the command's CR
    int fragments = 1;                        // send each answer in this many pieces ...
    std::chrono::milliseconds fragmentGap{0}; // ... this far apart
    bool answerErr = false;                   // answer "ERR,1" CR to every query
    bool answerOk = false;                    // answer "OK" CR to every other command
    int wrongNumber = 0;                      // answer query n with the number n + wrongNumber
    double noise = 0.0;                       // chance that an answer is corrupted on the line
    bool splitSweep = false; // the k-th answer in two pieces: first k bytes, the rest fragmentGap
                             // later (k wraps to stay inside the answer)
    std::optional<int> floodFrom; // from the query for this memory on, random bytes at line speed
                                  // instead of answers
    std::optional<std::uint64_t> seed; // for the noise and the flood; random (logged) if unset
    // Set commands taken in and then lost, the memory keeping what it held, as a busy radio loses
    // them: these ones, counted from 1 ...
    std::vector<int> dropWrites;
    int dropEveryWrite = 0; // ... and every this-many-th one (0: none)
};

struct RadioOptions {
    std::string loadPath; // .mem file read at Start (otherwise all memories are blank)
    std::string savePath; // .mem file written at Stop (and by SaveMemories on request)
    std::string logPath;  // command log, appended to; empty: standard error
    std::string linkPath; // symbolic link to the device, made at Start and removed at Stop
    Behaviour behaviour;
};

// Throws std::invalid_argument, naming the command-line option, for a value out of range.
void CheckBehaviour(const Behaviour& behaviour);

} // namespace radiosim
