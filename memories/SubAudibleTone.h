#pragma once

#include <optional>
#include <string>
#include <vector>

// The sub-audible tones other radio programs accept: the standard CTCSS tones and DCS codes.

// In tenths of a Hz: 670 for 67.0 Hz.
const std::vector<int>& StandardCtcssTones();
// As the digits read: 23 for code 023.
const std::vector<int>& StandardDcsCodes();

// "88.5" and "100" alike, when they name a standard tone; "100.0" is 1000.
std::optional<int> CtcssToneOf(const std::string& text);
// "100.0": one decimal, as the editor shows a CTCSS Code.
std::string CtcssText(int tenths);

// "23" and "023" alike, when they name a standard code.
std::optional<int> DcsCodeOf(const std::string& text);
// "023": three digits.
std::string DcsText(int code);
