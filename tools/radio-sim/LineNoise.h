#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace radiosim {

// Corrupts answers on their way to the line: with the given probability per answer, either one
// byte is replaced by a different random byte or one to four random bytes are inserted.
class LineNoise {
public:
    LineNoise(double probability, std::uint64_t seed);

    // Returns what was done to `answer` for the log, or the empty text when it went out clean.
    std::string Apply(std::string& answer);

private:
    std::string Replace(std::string& answer);
    std::string Insert(std::string& answer);
    char RandomByte();

    std::bernoulli_distribution hit_;
    std::mt19937_64 random_;
};

} // namespace radiosim
