#include "MemoryTableFixture.h"

std::vector<std::string> MemoryTableFixture::ValuesOf(int number) {
    TMemoryRow& row = Row(number);
    return {row.GetLabel(), row.GetTxFreq(), row.GetRxFreq(), row.GetMode(), row.GetCode()};
}

void MemoryTableFixture::SetValues(int number, const std::vector<std::string>& values) {
    TMemoryRow& row = Row(number);
    row.SetLabel(values.at(0));
    row.SetTxFreq(values.at(1));
    row.SetRxFreq(values.at(2));
    row.SetMode(values.at(3));
    row.SetCode(values.at(4));
}
