// The rules between a memory and a row of the radio programs' CSV, without a window: frequencies
// and duplex, tones and codes, and the fields' quoting.
#include "memories/CsvFields.h"
#include "memories/RadioCsvRow.h"
#include "memories/SubAudibleTone.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

// The written fields of one column, by name.
std::string Column(const Strings& row, const std::string& name) {
    const Strings& columns = RadioCsvColumns();
    return row.at(
        static_cast<size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin()));
}

// Reads one data row under a header of the given column names.
struct ReadOutcome {
    bool read;
    TCsvMemory memory;
    std::string problem;
};
ReadOutcome ReadRow(const Strings& columns, const Strings& fields) {
    ReadOutcome outcome{false, {}, {}};
    const std::optional<TCsvHeader> header = TCsvHeader::Of(columns);
    EXPECT_TRUE(header.has_value());
    outcome.read = ReadCsvRow(*header, fields, outcome.memory, outcome.problem);
    return outcome;
}

TEST(CsvFrequencyTest, TxFreqIsWrittenAsDuplexAndOffsetAtSixDecimals) {
    struct Case {
        const char* rx;
        const char* tx;
        const char* frequency;
        const char* duplex;
        const char* offset;
        bool whole;
    };
    const Case cases[] = {
        {"146.520", "146.520", "146.520000", "", "0.000000", true},
        {"146.52", " 146.5200 ", "146.520000", "", "0.000000", true},
        {"146.940", "146.340", "146.940000", "-", "0.600000", true},
        {"442.100", "447.100", "442.100000", "+", "5.000000", true},
        {"446.00625", "446.0125", "446.006250", "+", "0.006250", true},
        // Rounded half up at the sixth decimal, on both frequencies.
        {"146.5200005", "146.5200005", "146.520001", "", "0.000000", true},
        {"146.52000049", "146.520", "146.520000", "", "0.000000", true},
        {"145.9999996", "146.600", "146.000000", "+", "0.600000", true},
        // 100 MHz apart or more is a frequency of its own.
        {"145.000", "245.000", "145.000000", "split", "245.000000", true},
        {"435.000", "335.000001", "435.000000", "-", "99.999999", true},
        {"145.000", "244.999999", "145.000000", "+", "99.999999", true},
        {"1296.000", "146.000", "1296.000000", "split", "146.000000", true},
        {"146.520", "", "146.520000", "off", "0.000000", true},
        {"146.520", "  ", "146.520000", "off", "0.000000", true},
        // Not guessed: no TX is safer than a wrong one, and a missing RX is not made up.
        {"146.520", "abc", "146.520000", "off", "0.000000", false},
        {"146.520", "-146.520", "146.520000", "off", "0.000000", false},
        {"146.520", "1e2", "146.520000", "off", "0.000000", false},
        {"146.520", "0", "146.520000", "off", "0.000000", false},
        {"146,520", "146.520", "", "split", "146.520000", false},
        {"abc", "", "", "off", "0.000000", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rx) + " / " + c.tx);
        Strings problems;
        const Strings row = ComposeCsvRow(7, {"L", c.tx, c.rx, "OFF", ""}, problems);
        EXPECT_EQ(Column(row, "Frequency"), c.frequency);
        EXPECT_EQ(Column(row, "Duplex"), c.duplex);
        EXPECT_EQ(Column(row, "Offset"), c.offset);
        EXPECT_EQ(problems.empty(), c.whole);
    }
}

TEST(CsvFrequencyTest, DuplexAndOffsetAreReadBackAsTheEditorShowsFrequencies) {
    struct Case {
        const char* frequency;
        const char* duplex;
        const char* offset;
        const char* rx; // nullptr: the row cannot be read
        const char* tx;
    };
    const Case cases[] = {
        {"146.520000", "", "0.000000", "146.520", "146.520"},
        // Simplex rows of other programs carry an Offset, which means nothing there.
        {"146.520000", "", "0.600000", "146.520", "146.520"},
        {"146.520000", "", "", "146.520", "146.520"},
        {"146.940000", "-", "0.600000", "146.940", "146.340"},
        {"442.100000", "+", "5.000000", "442.100", "447.100"},
        {"446.006250", "+", "0.00625", "446.00625", "446.0125"},
        {"146.5200004", "", "", "146.520", "146.520"},
        {"146.5200005", "", "", "146.520001", "146.520001"},
        {" 146.52 ", "SPLIT", "433.5", "146.520", "433.500"},
        {"145.000000", "split", "245.000000", "145.000", "245.000"},
        {"162.550000", "off", "0.000000", "162.550", ""},
        {"162.550000", " Off ", "", "162.550", ""},
        {"146.520000", "-", "200.000000", nullptr, nullptr},
        {"146.520000", "+", "abc", nullptr, nullptr},
        {"146.520000", "split", "0", nullptr, nullptr},
        {"146.520000", "x", "0.600000", nullptr, nullptr},
        {"abc", "", "", nullptr, nullptr},
        {"", "", "", nullptr, nullptr},
        {"0.000000", "", "", nullptr, nullptr},
        {"-146.52", "", "", nullptr, nullptr},
        {"1234567890.5", "", "", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.frequency) + " " + c.duplex + " " + c.offset);
        const ReadOutcome outcome = ReadRow({"Location", "Frequency", "Duplex", "Offset"},
                                            {"1", c.frequency, c.duplex, c.offset});
        ASSERT_EQ(outcome.read, c.rx != nullptr) << outcome.problem;
        if (c.rx != nullptr) {
            EXPECT_EQ(outcome.memory.values[mcRxFreq], c.rx);
            EXPECT_EQ(outcome.memory.values[mcTxFreq], c.tx);
        } else {
            EXPECT_FALSE(outcome.problem.empty());
        }
    }
}

const Strings ToneColumns{"Location",  "Frequency", "Tone",        "rToneFreq",
                          "cToneFreq", "DtcsCode",  "DtcsPolarity"};

TEST(CsvToneTest, EveryStandardToneAndCodeIsWrittenAndReadBack) {
    EXPECT_EQ(StandardCtcssTones().size(), 50u);
    EXPECT_EQ(StandardDcsCodes().size(), 104u);
    struct Mode {
        const char* mode;
        const std::vector<int>& values;
        std::string (*text)(int);
    };
    for (const Mode& m : {Mode{"CTCSS", StandardCtcssTones(), CtcssText},
                          Mode{"DCS", StandardDcsCodes(), DcsText}}) {
        for (const int value : m.values) {
            const std::string code = m.text(value);
            SCOPED_TRACE(std::string(m.mode) + " " + code);
            Strings problems;
            const Strings row = ComposeCsvRow(1, {"", "", "146.520", m.mode, code}, problems);
            EXPECT_TRUE(problems.empty());
            const bool ctcss = std::string(m.mode) == "CTCSS";
            EXPECT_EQ(Column(row, "Tone"), ctcss ? "TSQL" : "DTCS");
            EXPECT_EQ(Column(row, "rToneFreq"), ctcss ? code : "88.5");
            EXPECT_EQ(Column(row, "cToneFreq"), ctcss ? code : "88.5");
            EXPECT_EQ(Column(row, "DtcsCode"), ctcss ? "023" : code);
            EXPECT_EQ(Column(row, "DtcsPolarity"), "NN");
            const ReadOutcome back = ReadRow(RadioCsvColumns(), row);
            ASSERT_TRUE(back.read) << back.problem;
            EXPECT_EQ(back.memory.values[mcMode], m.mode);
            EXPECT_EQ(back.memory.values[mcCode], code);
            EXPECT_EQ(back.memory.droppedTone, "");
        }
    }
}

TEST(CsvToneTest, CodesThatNameNoStandardToneAreNotWritten) {
    const std::pair<const char*, const char*> cases[] = {
        {"CTCSS", "12x"},   {"CTCSS", ""},    {"CTCSS", "100.05"}, {"CTCSS", "101.0"},
        {"CTCSS", "-88.5"}, {"CTCSS", "1e2"}, {"DCS", "24"},       {"DCS", "0023"},
        {"DCS", "D023N"},   {"DCS", ""},      {"DCS", "8"},        {"DCS", "-23"}};
    for (const auto& [mode, code] : cases) {
        SCOPED_TRACE(std::string(mode) + " '" + code + "'");
        Strings problems;
        const Strings row = ComposeCsvRow(1, {"", "", "146.520", mode, code}, problems);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find(code), std::string::npos);
        EXPECT_EQ(Column(row, "Tone"), "");
        EXPECT_EQ(Column(row, "rToneFreq"), "88.5");
        EXPECT_EQ(Column(row, "DtcsCode"), "023");
    }
    // Codes written another way, and any mode but CTCSS and DCS, which carries no tone.
    const std::tuple<const char*, const char*, const char*, const char*> written[] = {
        {"CTCSS", "100", "TSQL", "100.0"}, {"CTCSS", " 67.00 ", "TSQL", "67.0"},
        {"DCS", "23", "DTCS", "88.5"},     {"OFF", "100.0", "", "88.5"},
        {"", "023", "", "88.5"},           {"ctcss", "100.0", "", "88.5"}};
    for (const auto& [mode, code, tone, rTone] : written) {
        Strings problems;
        const Strings row = ComposeCsvRow(1, {"", "", "146.520", mode, code}, problems);
        EXPECT_TRUE(problems.empty()) << mode << " " << code;
        EXPECT_EQ(Column(row, "Tone"), tone) << mode << " " << code;
        EXPECT_EQ(Column(row, "rToneFreq"), rTone) << mode << " " << code;
    }
}

TEST(CsvToneTest, ToneModesAreReadByTheFormatsRulesAndOthersAreDropped) {
    struct Case {
        Strings fields; // Tone, rToneFreq, cToneFreq, DtcsCode, DtcsPolarity
        const char* mode;
        const char* code;
        bool dropped;
    };
    const Case cases[] = {
        {{"", "100.0", "131.8", "754", "NN"}, "OFF", "", false},
        {{"Tone", "100.0", "131.8", "754", "NN"}, "CTCSS", "100.0", false},
        {{"TSQL", "100.0", "131.8", "754", "NN"}, "CTCSS", "131.8", false},
        {{" TSQL ", "88.5", "67", "023", "NN"}, "CTCSS", "67.0", false},
        {{"DTCS", "100.0", "131.8", "754", "NN"}, "DCS", "754", false},
        {{"DTCS", "", "", "23", ""}, "DCS", "023", false},
        {{"DTCS", "", "", "023", "RN"}, "OFF", "", true},
        {{"DTCS", "", "", "024", "NN"}, "OFF", "", true},
        {{"Tone", "101.0", "88.5", "023", "NN"}, "OFF", "", true},
        {{"TSQL", "88.5", "abc", "023", "NN"}, "OFF", "", true},
        {{"Cross", "88.5", "88.5", "023", "NN"}, "OFF", "", true},
        {{"TSQL-R", "88.5", "88.5", "023", "NN"}, "OFF", "", true},
        {{"DTCS-R", "88.5", "88.5", "023", "NN"}, "OFF", "", true},
        {{"tone", "88.5", "88.5", "023", "NN"}, "OFF", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields[0] + " " + c.fields[1] + " " + c.fields[2] + " " + c.fields[3]);
        Strings fields{"1", "146.52"};
        fields.insert(fields.end(), c.fields.begin(), c.fields.end());
        const ReadOutcome outcome = ReadRow(ToneColumns, fields);
        ASSERT_TRUE(outcome.read) << outcome.problem;
        EXPECT_EQ(outcome.memory.values[mcMode], c.mode);
        EXPECT_EQ(outcome.memory.values[mcCode], c.code);
        EXPECT_EQ(!outcome.memory.droppedTone.empty(), c.dropped) << outcome.memory.droppedTone;
    }
    // Where a file has one of the two tone columns only, that one serves both modes.
    for (const char* column : {"rToneFreq", "cToneFreq"}) {
        for (const char* tone : {"Tone", "TSQL"}) {
            const ReadOutcome outcome =
                ReadRow({"Location", "Frequency", "Tone", column}, {"1", "146.52", tone, "77.0"});
            EXPECT_EQ(outcome.memory.values[mcCode], "77.0") << column << " " << tone;
        }
    }
    EXPECT_EQ(
        ReadRow({"Location", "Frequency", "Tone"}, {"1", "146.52", "Tone"}).memory.values[mcMode],
        "OFF");
}

TEST(CsvFieldsTest, FieldsAreQuotedWhereNeededAndSplitBack) {
    const std::pair<Strings, const char*> cases[] = {
        {{"a", "", "b c"}, "a,,b c\r\n"},
        {{"Club, North"}, "\"Club, North\"\r\n"},
        {{"say \"hi\"", "x"}, "\"say \"\"hi\"\"\",x\r\n"},
        {{"two\r\nlines", "\n"}, "\"two\r\nlines\",\"\n\"\r\n"},
        {{"\"", ""}, "\"\"\"\",\r\n"},
        {{"caf\xc3\xa9", " blank "}, "caf\xc3\xa9, blank \r\n"},
    };
    for (const auto& [fields, line] : cases) {
        EXPECT_EQ(CsvLine(fields), line);
        Strings split;
        const std::string text(line, std::string(line).size() - 2);
        EXPECT_TRUE(SplitCsvRecord(text, split)) << line;
        EXPECT_EQ(split, fields) << line;
    }
    // Read as spreadsheets read them.
    const std::tuple<const char*, bool, Strings> read[] = {
        {"", true, {""}},
        {"a\"b,c", true, {"a\"b", "c"}},
        {"\"ab\"c,d", true, {"abc", "d"}},
        {" \"a\",b", true, {" \"a\"", "b"}},
        {"\"open,field", false, {"open,field"}},
        {"\"\"", true, {""}},
    };
    for (const auto& [text, closed, fields] : read) {
        Strings split;
        EXPECT_EQ(SplitCsvRecord(text, split), closed) << text;
        EXPECT_EQ(split, fields) << text;
    }
}

TEST(CsvFieldsTest, AQuotedFieldGoesOnOverLineEnds) {
    TCsvRecordSplitter splitter;
    EXPECT_FALSE(splitter.Take("1,\"two"));
    EXPECT_FALSE(splitter.Take(""));
    EXPECT_TRUE(splitter.Take("lines \"\"x\"\"\",3"));
    EXPECT_EQ(splitter.Fields(), (Strings{"1", "two\n\nlines \"x\"", "3"}));
    EXPECT_EQ(splitter.Length(), 22u);
    EXPECT_TRUE(splitter.Take("next"));
    EXPECT_EQ(splitter.Fields(), Strings{"next"});
}

TEST(CsvFieldsTest, TextOutsideLatin1BecomesAQuestionMarkAndIsCounted) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"plain", "plain", 0},
        {"caf\xc3\xa9", "caf\xe9", 0},
        {"\xe2\x82\xac 5", "? 5", 1},             // the euro sign
        {"\xf0\x9f\x93\xbb radio", "? radio", 1}, // one character beyond 16 bits
        {"caf\xe9", "caf?", 1},                   // Latin-1, not UTF-8
        {"\xd0\x9c\xd0\xb8\xd1\x80", "???", 3},
    };
    for (const auto& [utf8, latin1, count] : cases) {
        int replaced = 0;
        EXPECT_EQ(Utf8ToLatin1(utf8, replaced), latin1) << utf8;
        EXPECT_EQ(replaced, count) << utf8;
    }
    EXPECT_EQ(Latin1ToUtf8("caf\xe9 \xb0"), "caf\xc3\xa9 \xc2\xb0");
}

} // namespace
