#pragma once

#include <string>

// The memory record line: memory number, Label, TX Freq, RX Freq, mode digit and Code, separated
// by single commas, without quoting and without a terminator of its own. This is the one text form
// of a memory: a line of a memory file, and the body of the radio's query answer and set command.
struct TRecordFields {
    std::string number;
    std::string label;
    std::string txFreq;
    std::string rxFreq;
    std::string mode;
    std::string code;
};

// The record line of memory `number` from its values, the mode already as its digit.
std::string JoinRecord(int number, const std::string& label, const std::string& txFreq,
                       const std::string& rxFreq, const std::string& modeDigit,
                       const std::string& code);

// Splits a record line into its six fields. Fields from the first one that no comma ends are
// empty (the rest of the line is dropped), and whatever follows a sixth comma is ignored.
TRecordFields SplitRecord(const std::string& line);

// "0" OFF, "1" CTCSS, "2" DCS; any other mode text, the empty one included, is "0".
std::string ModeDigitOf(const std::string& modeText);

// The mode text a record's mode field stands for: the first of "0", "1", "2" found in the field
// decides, in that order of testing; without any of them the mode text is empty.
std::string ModeTextOf(const std::string& modeField);

// Converts a memory number field. Accepts plain decimal digits, with optional leading blanks and
// an optional sign; anything else, and numbers outside the 32-bit range, raise EConvertError
// "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);
