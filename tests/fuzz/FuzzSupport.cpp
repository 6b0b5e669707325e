#include "FuzzSupport.h"

#include "memories/RecordFormat.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <vector>

void Require(bool holds, const std::string& what) {
    if (!holds) {
        std::fprintf(stderr, "PROPERTY FAILED: %s\n", what.c_str());
        std::abort();
    }
}

void StartOffscreenApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
}

TFuzzTable::TFuzzTable() {
    BuildMemoryRows(&panel_, rows_);
    expected_.fill(FreshRow);
    held_.fill(FreshRow);
    for (int number = 1; number <= MemoryCount; ++number) {
        const TMemoryRow& row = *rows_[static_cast<size_t>(number)];
        for (QWidget* box : row.ValueBoxes()) {
            QObject::connect(TextFieldOf(box), &QLineEdit::textChanged,
                             [this, number] { touched_.set(number); });
        }
    }
}

TRowValues TFuzzTable::Actual(int number) const {
    TMemoryRow& row = *rows_[static_cast<size_t>(number)];
    return {row.GetLabel(), row.GetTxFreq(), row.GetRxFreq(), row.GetMode(), row.GetCode()};
}

void TFuzzTable::Set(int number, const TRowValues& values) {
    TMemoryRow& row = *rows_[static_cast<size_t>(number)];
    row.SetLabel(values[0]);
    row.SetTxFreq(values[1]);
    row.SetRxFreq(values[2]);
    row.SetMode(values[3]);
    row.SetCode(values[4]);
    held_[static_cast<size_t>(number)] = values;
}

void TFuzzTable::Expect(int number, const TRowValues& values) {
    TRowValues held;
    for (size_t value = 0; value < values.size(); ++value) {
        const std::string& given = values[value];
        for (size_t i = 0; i < given.size(); ++i) {
            const bool lineEnd = given[i] == '\n' || given.compare(i, 2, "\r\n") == 0;
            held[value] += lineEnd ? ' ' : given[i];
            i += given[i] == '\r' && lineEnd ? 1 : 0;
        }
    }
    TRowValues& expected = expected_[static_cast<size_t>(number)];
    if (held != expected) {
        expected = held;
        touched_.set(number);
    }
}

void TFuzzTable::Reset() {
    ResetRows();
    for (int number = 1; number <= MemoryCount; ++number) {
        Expect(number, FreshRow);
    }
}

void TFuzzTable::ResetRows() {
    for (int number = 1; number <= MemoryCount; ++number) {
        if (held_[static_cast<size_t>(number)] != FreshRow) {
            Set(number, FreshRow);
        }
    }
}

void TFuzzTable::RequireExpected(const std::string& context) {
    for (int number = 1; number <= MemoryCount; ++number) {
        if (!touched_.test(number)) {
            continue;
        }
        const TRowValues actual = Actual(number);
        const TRowValues& expected = expected_[static_cast<size_t>(number)];
        for (size_t value = 0; value < actual.size(); ++value) {
            Require(actual[value] == expected[value],
                    context + ": memory " + std::to_string(number) + " value " +
                        std::to_string(value + 1) + " is " + Quoted(actual[value]) + ", expected " +
                        Quoted(expected[value]));
        }
        held_[static_cast<size_t>(number)] = actual;
    }
    touched_.reset();
}

namespace {

// The mode text that field 5 stands for: the first of the digits 0, 1, 2 that it holds decides.
std::string ModeTextFor(const std::string& field) {
    for (const auto& [digit, text] : {std::pair{'0', "OFF"}, {'1', "CTCSS"}, {'2', "DCS"}}) {
        if (field.find(digit) != std::string::npos) {
            return text;
        }
    }
    return "";
}

} // namespace

TExpectedParse ExpectedParse(const std::string& line) {
    // Every piece between commas; the last piece is a field only when it is the sixth.
    std::vector<std::string> pieces(1);
    for (const char byte : line) {
        if (byte == ',') {
            pieces.emplace_back();
        } else {
            pieces.back() += byte;
        }
    }
    if (pieces.size() < 6) {
        pieces.back().clear();
    }
    pieces.resize(6);
    TExpectedParse expected;
    expected.numberField = pieces[0];
    if (pieces[0].empty()) {
        return expected;
    }
    long long number = 0;
    try {
        number = StrToInt(pieces[0]);
    } catch (const std::exception&) {
        expected.raises = true;
        return expected;
    }
    if (number >= 1 && number <= MemoryCount) {
        expected.memory = static_cast<int>(number);
        expected.values = {pieces[1], pieces[2], pieces[3], ModeTextFor(pieces[4]), pieces[5]};
    }
    return expected;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x20 || code >= 0x7F || byte == '"' || byte == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", code);
            quoted += escape;
        } else {
            quoted += byte;
        }
    }
    return quoted + "\"";
}
