#include "memories/Q4471Commands.h"

std::string QueryCommand(int number) {
    return "MEM:USR:SET? " + std::to_string(number) + '\r';
}

std::string SetCommand(const std::string& record) {
    return "MEM:USR:SET " + record + '\r';
}

std::string CutAtLineEnd(const std::string& answer) {
    std::string line = answer.substr(0, answer.find('\r'));
    return line.substr(0, line.find('\n'));
}
