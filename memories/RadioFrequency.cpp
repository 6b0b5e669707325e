#include "memories/RadioFrequency.h"

#include "memories/CsvFields.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr long long HertzPerMegahertz = 1000000;
// Other programs take a larger difference for a frequency of its own, not an offset.
constexpr long long LargestOffset = 100 * HertzPerMegahertz;
// Far above any radio; keeps the sums clear of overflow.
constexpr size_t LongestWholePart = 9;

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

std::optional<long long> HertzOf(const std::string& megahertz) {
    const std::string text = Trimmed(megahertz);
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    const auto allDigits = [](const std::string& part) {
        return part.find_first_not_of("0123456789") == std::string::npos;
    };
    if (whole.size() + fraction.size() == 0 || whole.size() > LongestWholePart ||
        !allDigits(whole) || !allDigits(fraction)) {
        return std::nullopt;
    }
    long long hertz = whole.empty() ? 0 : std::stoll(whole) * HertzPerMegahertz;
    long long place = HertzPerMegahertz;
    for (size_t i = 0; i < fraction.size() && i < 6; ++i) {
        place /= 10;
        hertz += (fraction[i] - '0') * place;
    }
    if (fraction.size() > 6 && fraction[6] >= '5') {
        ++hertz;
    }
    return hertz;
}

std::string SixDecimals(long long hertz) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%06lld", hertz / HertzPerMegahertz,
                  hertz % HertzPerMegahertz);
    return text;
}

std::string EditorFrequency(long long hertz) {
    std::string text = SixDecimals(hertz);
    const size_t point = text.find('.');
    while (text.size() > point + 4 && text.back() == '0') {
        text.pop_back();
    }
    return text;
}

TDuplex DuplexOf(const std::string& rxFreq, const std::string& txFreq) {
    const std::string zero = SixDecimals(0);
    if (Trimmed(txFreq).empty()) {
        return {"off", zero, ""};
    }
    const std::optional<long long> tx = HertzOf(txFreq);
    if (!tx || *tx == 0) {
        return {"off", zero, "TX Freq '" + txFreq + "' is not a frequency in MHz"};
    }
    const std::optional<long long> rx = HertzOf(rxFreq);
    const long long difference = rx ? *tx - *rx : LargestOffset;
    if (difference == 0) {
        return {"", zero, ""};
    }
    if (difference > -LargestOffset && difference < LargestOffset) {
        return {difference > 0 ? "+" : "-", SixDecimals(difference > 0 ? difference : -difference),
                ""};
    }
    return {"split", SixDecimals(*tx), ""};
}

bool TxFreqOf(long long rxHertz, const std::string& duplex, const std::string& offset,
              std::string& txFreq, std::string& problem) {
    const std::string kind = Lower(Trimmed(duplex));
    if (kind.empty()) {
        txFreq = EditorFrequency(rxHertz); // simplex, whatever the Offset holds
        return true;
    }
    if (kind == "off") {
        txFreq.clear();
        return true;
    }
    if (kind != "+" && kind != "-" && kind != "split") {
        problem = "Duplex '" + duplex + "' is none of +, -, split, off";
        return false;
    }
    const std::optional<long long> hertz = HertzOf(offset);
    if (!hertz) {
        problem = "Offset '" + offset + "' is not a number of MHz";
        return false;
    }
    const long long tx = kind == "split" ? *hertz
                         : kind == "+"   ? rxHertz + *hertz
                                         : rxHertz - *hertz;
    if (tx <= 0) {
        problem = "Duplex " + kind + " with Offset " + Trimmed(offset) + " gives no TX frequency";
        return false;
    }
    txFreq = EditorFrequency(tx);
    return true;
}
