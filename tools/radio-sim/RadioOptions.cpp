#include "RadioOptions.h"

#include "RecordLine.h"

#include <algorithm>
#include <stdexcept>

namespace radiosim {

namespace {

constexpr std::chrono::milliseconds LongestWait = std::chrono::hours(1);
// Keeps n + wrongNumber far from int overflow while still reaching any memory number and beyond.
constexpr int LargestShift = 1000000;

void Require(bool condition, const char* message) {
    if (!condition) {
        throw std::invalid_argument(message);
    }
}

} // namespace

void CheckBehaviour(const Behaviour& b) {
    Require(!b.stopFrom || (*b.stopFrom >= 1 && *b.stopFrom <= MemoryCount),
            "--stop-from needs a memory number from 1 to 100");
    Require(!b.floodFrom || (*b.floodFrom >= 1 && *b.floodFrom <= MemoryCount),
            "--flood-from needs a memory number from 1 to 100");
    Require(b.delay.count() >= 0 && b.delay <= LongestWait,
            "--delay needs 0 to 3600000 milliseconds");
    Require(b.fragments >= 1 && b.fragments <= static_cast<int>(MaxLineLength),
            "--fragments needs 1 to 4096 pieces");
    Require(b.fragmentGap.count() >= 0 && b.fragmentGap <= LongestWait,
            "--fragments and --split-sweep need a gap of 0 to 3600000 milliseconds");
    Require(b.wrongNumber >= -LargestShift && b.wrongNumber <= LargestShift,
            "--wrong-number needs a shift from -1000000 to 1000000");
    Require(b.noise >= 0.0 && b.noise <= 1.0, "--noise needs a probability from 0 to 1");
    Require(std::ranges::all_of(b.dropWrites, [](int write) { return write >= 1; }) &&
                b.dropEveryWrite >= 0,
            "--drop-writes needs write counts of 1 or more");
}

} // namespace radiosim
