#include "memories/RecordFormat.h"

#include <q4471/framework/Exception.h>

#include <climits>
#include <gtest/gtest.h>

using namespace q4471;

namespace {

struct SplitCase {
    std::string line;
    TRecordFields fields;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

class SplitRecordTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitRecordTest, GivesTheSixFields) {
    const TRecordFields got = SplitRecord(GetParam().line);
    const TRecordFields& want = GetParam().fields;
    EXPECT_EQ(got.number, want.number);
    EXPECT_EQ(got.label, want.label);
    EXPECT_EQ(got.txFreq, want.txFreq);
    EXPECT_EQ(got.rxFreq, want.rxFreq);
    EXPECT_EQ(got.mode, want.mode);
    EXPECT_EQ(got.code, want.code);
}

INSTANTIATE_TEST_SUITE_P(
    RecordLines, SplitRecordTest,
    ::testing::Values(
        // A sixth comma ends the Code even when nothing follows it.
        SplitCase{"12,A,B,C,2,D,", {"12", "A", "B", "C", "2", "D"}},
        // The text after the last comma is dropped when fewer than five commas were found.
        SplitCase{"3,L", {"3", "", "", "", "", ""}},
        SplitCase{"3,L,T,R,1", {"3", "L", "T", "R", "", ""}},
        // An empty number still splits; the caller then changes no row.
        SplitCase{",A,B,C,0,1", {"", "A", "B", "C", "0", "1"}},
        // Blanks and bytes of any value are part of the fields.
        SplitCase{" 4 , a ,b , c,0 , d ", {" 4 ", " a ", "b ", " c", "0 ", " d "}},
        SplitCase{std::string("1,\0,\xff,\r,\t,\x7f", 11),
                  {"1", std::string("\0", 1), "\xff", "\r", "\t", "\x7f"}}));

TEST(ModeTextTest, TheFirstOfZeroOneTwoFoundDecides) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "OFF"},   {"1", "CTCSS"}, {"2", "DCS"},    {"10", "OFF"}, {"21", "CTCSS"},
        {"x2y", "DCS"}, {"3", ""},      {"", ""},        {"OFF", ""},   {"x", ""},
        {"R", ""},      {"201", "OFF"}, {" 1 ", "CTCSS"}};
    for (const auto& [field, mode] : cases) {
        EXPECT_EQ(ModeTextOf(field), mode) << '"' << field << '"';
    }
}

TEST(StrToIntTest, AcceptsDecimalDigitsWithLeadingBlanksAndASign) {
    const std::pair<const char*, int> cases[] = {{"1", 1},
                                                 {"100", 100},
                                                 {"007", 7},
                                                 {"  42", 42},
                                                 {"+5", 5},
                                                 {"-3", -3},
                                                 {"0", 0},
                                                 {" -0", 0},
                                                 {"2147483647", INT_MAX},
                                                 {"-2147483648", INT_MIN}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(StrToInt(text), value) << '"' << text << '"';
    }
}

TEST(StrToIntTest, AnythingElseRaisesTheConversionErrorNamingTheText) {
    for (const char* text : {"", " ", "abc", "x", "1a", "5 ", "1.0", "+", "-", "+-5", "--1", "0x10",
                             "\t7", "2147483648", "-2147483649", "99999999999999999999", "1,2"}) {
        try {
            StrToInt(text);
            ADD_FAILURE() << '"' << text << "\" converted";
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.Message(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

TEST(StrToIntTest, AnEightBitTextIsQuotedByteForByte) {
    const std::string text("\xff\x01"
                           "9",
                           3);
    try {
        StrToInt(text);
        FAIL() << "converted";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "'" + text + "' is not a valid integer value");
    }
}

} // namespace
