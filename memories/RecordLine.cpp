#include "memories/RecordLine.h"

#include "memories/RecordFormat.h"

bool ComposeRecord(const TMemoryRows& rows, int number, std::string& record) {
    TMemoryRow* row = MemoryRowOf(rows, number);
    if (row == nullptr) {
        return false;
    }
    // One getter after the other, in this order: each takes the row's lock on its own.
    const std::string modeDigit = ModeDigitOf(row->GetMode());
    const std::string label = row->GetLabel();
    const std::string txFreq = row->GetTxFreq();
    const std::string rxFreq = row->GetRxFreq();
    record = JoinRecord(number, label, txFreq, rxFreq, modeDigit, row->GetCode());
    return true;
}

void ParseRecord(const TMemoryRows& rows, const std::string& line) {
    const TRecordFields fields = SplitRecord(line);
    if (fields.number.empty()) {
        return;
    }
    TMemoryRow* row = MemoryRowOf(rows, StrToInt(fields.number));
    if (row == nullptr) {
        return; // a number outside 1 to 100 names no memory
    }
    row->SetLabel(fields.label);
    row->SetTxFreq(fields.txFreq);
    row->SetRxFreq(fields.rxFreq);
    row->SetMode(ModeTextOf(fields.mode));
    row->SetCode(fields.code);
}
