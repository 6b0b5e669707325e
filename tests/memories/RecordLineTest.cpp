#include "memories/RecordLine.h"

#include "MemoryTableFixture.h"

#include <q4471/framework/Exception.h>

#include <QLineEdit>

using namespace q4471;

namespace {

using Values = std::vector<std::string>;
const Values Fresh{"", "", "", "OFF", ""};

class RecordLineTest : public MemoryTableFixture {
protected:
    std::string Compose(int number) {
        std::string record = "untouched";
        EXPECT_TRUE(ComposeRecord(rows, number, record));
        return record;
    }
    // Every memory's values, to see that a parse changed only what it should.
    std::vector<Values> Table() {
        std::vector<Values> table;
        for (int n = 1; n <= 100; ++n) {
            table.push_back(ValuesOf(n));
        }
        return table;
    }
};

TEST_F(RecordLineTest, ComposesFreshClearedAndFilledRows) {
    EXPECT_EQ(Compose(4), "4,,,,0,");
    Row(4).Clear();
    EXPECT_EQ(Compose(4), "4,---,,,0,");
    SetValues(7, {"CH 1", "146.520", "146.520", "CTCSS", "100.0"});
    EXPECT_EQ(Compose(7), "7,CH 1,146.520,146.520,1,100.0");
    SetValues(100, {" a ", "b", "c", "DCS", "d "});
    EXPECT_EQ(Compose(100), "100, a ,b,c,2,d ");
    SetValues(1, {"", "", "", "", ""});
    EXPECT_EQ(Compose(1), "1,,,,0,");
}

TEST_F(RecordLineTest, ComposesTheModeDigitFromTheExactModeText) {
    const std::pair<const char*, char> modes[] = {{"OFF", '0'}, {"", '0'},    {"CTCSS", '1'},
                                                  {"DCS", '2'}, {"off", '0'}, {"Dcs ", '0'},
                                                  {"XYZ", '0'}};
    for (const auto& [mode, digit] : modes) {
        Row(9).SetMode(mode);
        EXPECT_EQ(Compose(9), std::string("9,,,,") + digit + ",") << '"' << mode << '"';
    }
}

TEST_F(RecordLineTest, ComposeFailsForNumbersWithoutARow) {
    for (int number : {101, 1000, 0, -1}) {
        std::string record = "untouched";
        EXPECT_FALSE(ComposeRecord(rows, number, record)) << number;
        EXPECT_EQ(record, "untouched");
    }
}

struct ParseCase {
    const char* line;
    int memory;
    Values values;
};

TEST_F(RecordLineTest, ParsingWritesAllFiveValuesOfTheRowTheRecordNames) {
    const ParseCase cases[] = {
        {"7,CH 1,146.520,146.520,1,100.0", 7, {"CH 1", "146.520", "146.520", "CTCSS", "100.0"}},
        {"12,A,B,C,2,D,E,F", 12, {"A", "B", "C", "DCS", "D"}},
        {"3,L", 3, {"", "", "", "", ""}},
        {"3,L,T,R,1", 3, {"L", "T", "R", "", ""}},
        {"9,,,,x,", 9, {"", "", "", "", ""}},
        {"5,A,B,T,R,0,C", 5, {"A", "B", "T", "", "0"}},
        {"8,a,b,c,10,d", 8, {"a", "b", "c", "OFF", "d"}},
        {"8,a,b,c,21,d", 8, {"a", "b", "c", "CTCSS", "d"}},
        {"8,a,b,c,OFF,d", 8, {"a", "b", "c", "", "d"}},
        {"100, x , y ,z,0,w ", 100, {" x ", " y ", "z", "OFF", "w "}},
        {"007,a,b,c,0,d", 7, {"a", "b", "c", "OFF", "d"}},
        {"  42,a,b,c,2,d", 42, {"a", "b", "c", "DCS", "d"}},
        {"+1,a,b,c,1,d", 1, {"a", "b", "c", "CTCSS", "d"}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.line);
        // Start from values that every field of the case overwrites.
        SetValues(c.memory, {"old", "old", "old", "DCS", "old"});
        std::vector<Values> expected = Table();
        expected[static_cast<size_t>(c.memory - 1)] = c.values;
        ParseRecord(rows, c.line);
        EXPECT_EQ(Table(), expected);
    }
}

TEST_F(RecordLineTest, ALineWithoutAMemoryNumberChangesNoRow) {
    SetValues(3, {"keep", "keep", "keep", "CTCSS", "keep"});
    const std::vector<Values> before = Table();
    for (const char* line : {"OK", "42", "", ",A,B,C,0,1", ",", "\r", "100"}) {
        ParseRecord(rows, line);
        EXPECT_EQ(Table(), before) << '"' << line << '"';
    }
}

TEST_F(RecordLineTest, ANumberOutsideOneToHundredChangesNoRow) {
    const std::vector<Values> before = Table();
    for (const char* line : {"0,A,B,C,1,D", "-1,A,B,C,1,D", "101,A,B,C,1,D", "-0,A,B,C,1,D",
                             "2147483647,A,B,C,1,D", "-2147483648,A,B,C,1,D"}) {
        EXPECT_NO_THROW(ParseRecord(rows, line)) << line;
        EXPECT_EQ(Table(), before) << line;
    }
}

TEST_F(RecordLineTest, ANumberThatIsNoIntegerRaisesTheConversionErrorAndChangesNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"abc,1,2,3,0,4", "'abc' is not a valid integer value"},
        {"x,", "'x' is not a valid integer value"},
        {" ,a,b,c,0,d", "' ' is not a valid integer value"},
        {"5 ,a,b,c,0,d", "'5 ' is not a valid integer value"},
        {"99999999999,a,b,c,0,d", "'99999999999' is not a valid integer value"},
        {"1.5,a,b,c,0,d", "'1.5' is not a valid integer value"}};
    const std::vector<Values> before = Table();
    for (const auto& [line, message] : cases) {
        try {
            ParseRecord(rows, line);
            ADD_FAILURE() << line << " raised nothing";
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.Message(), message);
        }
        EXPECT_EQ(Table(), before) << line;
    }
}

TEST_F(RecordLineTest, AComposedRecordParsesBackToTheSameValuesUnlessTheyHoldACommaOrAnOddMode) {
    const Values kept[] = {{"CH 1", "146.520", "146.520", "CTCSS", "100.0"},
                           {" L ", "t", "r", "DCS", " c "},
                           {"---", "", "", "OFF", ""},
                           {std::string("a\0b", 3), "\xff", "\x80", "OFF", "\x01"}};
    for (const Values& values : kept) {
        SetValues(30, values);
        const std::string record = Compose(30);
        SetValues(30, {"x", "x", "x", "x", "x"});
        ParseRecord(rows, record);
        EXPECT_EQ(ValuesOf(30), values) << record;
    }
    // An empty or unlisted mode comes back as "OFF".
    for (const char* mode : {"", "ctcss", "XYZ"}) {
        SetValues(31, {"a", "b", "c", mode, "d"});
        ParseRecord(rows, Compose(31));
        EXPECT_EQ(ValuesOf(31), (Values{"a", "b", "c", "OFF", "d"})) << mode;
    }
    // A comma in the Label shifts the fields; the last one is dropped.
    SetValues(5, {"A,B", "T", "R", "OFF", "C"});
    EXPECT_EQ(Compose(5), "5,A,B,T,R,0,C");
    ParseRecord(rows, Compose(5));
    EXPECT_EQ(ValuesOf(5), (Values{"A", "B", "T", "", "0"}));
}

TEST_F(RecordLineTest, TheRecordsNumberPicksTheRowNotTheNumberBox) {
    Row(10).NumberBox()->setText("11");
    ParseRecord(rows, "11,n,t,r,2,c");
    EXPECT_EQ(ValuesOf(11), (Values{"n", "t", "r", "DCS", "c"}));
    EXPECT_EQ(ValuesOf(10), Fresh);
}

} // namespace
