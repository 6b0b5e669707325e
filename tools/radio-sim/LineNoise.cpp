#include "LineNoise.h"

#include "LogText.h"

namespace radiosim {

LineNoise::LineNoise(double probability, std::uint64_t seed) : hit_(probability), random_(seed) {}

std::string LineNoise::Apply(std::string& answer) {
    if (!hit_(random_)) {
        return {};
    }
    if (!answer.empty() && std::bernoulli_distribution(0.5)(random_)) {
        return Replace(answer);
    }
    return Insert(answer);
}

std::string LineNoise::Replace(std::string& answer) {
    const std::size_t at =
        std::uniform_int_distribution<std::size_t>(0, answer.size() - 1)(random_);
    const char before = answer[at];
    // An offset of 1..255 guarantees the byte really changes.
    const auto offset = std::uniform_int_distribution<int>(1, 255)(random_);
    answer[at] = static_cast<char>(static_cast<unsigned char>(before) + offset);
    return "noise: byte " + std::to_string(at) + " " + EscapeBytes(std::string(1, before)) +
           " became " + EscapeBytes(std::string(1, answer[at]));
}

std::string LineNoise::Insert(std::string& answer) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, answer.size())(random_);
    std::string inserted(std::uniform_int_distribution<std::size_t>(1, 4)(random_), '\0');
    for (char& byte : inserted) {
        byte = RandomByte();
    }
    answer.insert(at, inserted);
    return "noise: inserted " + EscapeBytes(inserted) + " at byte " + std::to_string(at);
}

char LineNoise::RandomByte() {
    return static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random_));
}

} // namespace radiosim
