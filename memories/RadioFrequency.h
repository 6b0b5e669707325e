#pragma once

#include <optional>
#include <string>

// Frequencies of the radio programs' CSV: MHz with six decimals, so one Hz is the finest step.
// The editor shows them with three decimals where that is exact and more where needed.

// A decimal number of MHz in Hz, rounded half up at the sixth decimal: "146.52" and " 146.520000 "
// alike. Digits with at most one point and blanks around them; no sign, no exponent.
std::optional<long long> HertzOf(const std::string& megahertz);

// "146.520000": as the format writes frequencies and offsets.
std::string SixDecimals(long long hertz);
// "146.520", "446.00625": as the editor shows a frequency.
std::string EditorFrequency(long long hertz);

// How the format describes the TX frequency: relative to the RX one, apart, or none.
struct TDuplex {
    std::string duplex;  // "", "+", "-", "split" or "off"
    std::string offset;  // six decimals
    std::string problem; // why TX Freq could not be written as it stands; empty when it could
};

// The Duplex and Offset of a memory; `rxFreq` and `txFreq` are the editor's texts.
TDuplex DuplexOf(const std::string& rxFreq, const std::string& txFreq);

// TX Freq in the editor's form from a row's Duplex and Offset, or an empty text for "off". Fails
// with `problem` set when they give no frequency.
bool TxFreqOf(long long rxHertz, const std::string& duplex, const std::string& offset,
              std::string& txFreq, std::string& problem);
