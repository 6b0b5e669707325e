#pragma once

#include <string>

// The radio's command protocol: short ASCII commands, each ended by a carriage return.

// Asks for memory `number`: "MEM:USR:SET? " + number + CR.
std::string QueryCommand(int number);

// Writes a memory: "MEM:USR:SET " + record line + CR.
std::string SetCommand(const std::string& record);

// An answer cut at its line end: at the first CR, then at the first LF of what is left.
std::string CutAtLineEnd(const std::string& answer);
