#include "memories/SubAudibleTone.h"

#include "memories/CsvFields.h"
#include "memories/RadioFrequency.h"

#include <algorithm>

namespace {

bool IsIn(const std::vector<int>& values, int value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace

const std::vector<int>& StandardCtcssTones() {
    static const std::vector<int> tones{670,  693,  719,  744,  770,  797,  825,  854,  885,  915,
                                        948,  974,  1000, 1035, 1072, 1109, 1148, 1188, 1230, 1273,
                                        1318, 1365, 1413, 1462, 1514, 1567, 1598, 1622, 1655, 1679,
                                        1713, 1738, 1773, 1799, 1835, 1862, 1899, 1928, 1966, 1995,
                                        2035, 2065, 2107, 2181, 2257, 2291, 2336, 2418, 2503, 2541};
    return tones;
}

const std::vector<int>& StandardDcsCodes() {
    static const std::vector<int> codes{
        23,  25,  26,  31,  32,  36,  43,  47,  51,  53,  54,  65,  71,  72,  73,  74,  114, 115,
        116, 122, 125, 131, 132, 134, 143, 145, 152, 155, 156, 162, 165, 172, 174, 205, 212, 223,
        225, 226, 243, 244, 245, 246, 251, 252, 255, 261, 263, 265, 266, 271, 274, 306, 311, 315,
        325, 331, 332, 343, 346, 351, 356, 364, 365, 371, 411, 412, 413, 423, 431, 432, 445, 446,
        452, 454, 455, 462, 464, 465, 466, 503, 506, 516, 523, 526, 532, 546, 565, 606, 612, 624,
        627, 631, 632, 654, 662, 664, 703, 712, 723, 731, 732, 734, 743, 754};
    return codes;
}

std::optional<int> CtcssToneOf(const std::string& text) {
    // Frequencies and tones share the decimal form; a tone must be exact to the tenth, not rounded.
    const std::optional<long long> microHertz = HertzOf(text);
    if (!microHertz || *microHertz % 100000 != 0 || *microHertz > 1000000000) {
        return std::nullopt;
    }
    const int tenths = static_cast<int>(*microHertz / 100000);
    return IsIn(StandardCtcssTones(), tenths) ? std::optional<int>(tenths) : std::nullopt;
}

std::string CtcssText(int tenths) {
    return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
}

std::optional<int> DcsCodeOf(const std::string& text) {
    const std::string digits = Trimmed(text);
    if (digits.empty() || digits.size() > 3 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int code = std::stoi(digits);
    return IsIn(StandardDcsCodes(), code) ? std::optional<int>(code) : std::nullopt;
}

std::string DcsText(int code) {
    const std::string digits = std::to_string(code);
    return std::string(3 - digits.size(), '0') + digits;
}
