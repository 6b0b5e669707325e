// Blocks of cells to and from a spreadsheet.
#include "memories/CellBlock.h"

#include "MemoryTableFixture.h"

namespace {

using Strings = std::vector<std::string>;
using CellBlockTest = MemoryTableFixture;

TEST(CellBlockText, LinesAndTabsMakeRowsAndCells) {
    const std::pair<std::string, TCellBlock> cases[] = {
        {"", {}},
        {"a", {{"a"}}},
        {"a\n", {{"a"}}},
        {"a\tb", {{"a", "b"}}},
        {"a\tb\r\nc\td\r\n", {{"a", "b"}, {"c", "d"}}},
        {"a\rb\nc", {{"a"}, {"b"}, {"c"}}},
        {"a\n\nb", {{"a"}, {""}, {"b"}}},
        {"\t\t", {{"", "", ""}}},
        {"a\t\n", {{"a", ""}}},
        {"\n", {{""}}},
        {" x \t,y,", {{" x ", ",y,"}}},
    };
    for (const auto& [text, block] : cases) {
        EXPECT_EQ(SplitCellBlock(text), block) << text;
        EXPECT_EQ(IsCellBlock(text), text.find_first_of("\t\r\n") != std::string::npos);
    }
    EXPECT_FALSE(IsCellBlock("146.520"));
    EXPECT_TRUE(IsCellBlock("146.520\n"));
}

TEST_F(CellBlockTest, APasteFillsDownAndRightAndDropsWhatFallsOutsideTheTable) {
    struct Case {
        const char* text;
        int memory;
        TMemoryColumn column;
        int pasted, dropped, first, last;
        std::vector<std::pair<int, Strings>> expected; // memory and its values afterwards
    };
    const Strings fresh{"", "", "", "OFF", ""};
    const Case cases[] = {
        {"A\t1\t2\tDCS\t023\nB\t3\t4\tCTCSS\t100.0\n",
         20,
         mcLabel,
         10,
         0,
         20,
         21,
         {{19, fresh},
          {20, {"A", "1", "2", "DCS", "023"}},
          {21, {"B", "3", "4", "CTCSS", "100.0"}},
          {22, fresh}}},
        {"1\t2\n3\t4",
         5,
         mcTxFreq,
         4,
         0,
         5,
         6,
         {{5, {"", "1", "2", "OFF", ""}}, {6, {"", "3", "4", "OFF", ""}}}},
        {"DCS\t023\textra\tmore\nOFF",
         7,
         mcMode,
         3,
         2,
         7,
         8,
         {{7, {"", "", "", "DCS", "023"}}, {8, {"", "", "", "OFF", ""}}}},
        {"a\nb\nc\nd",
         99,
         mcCode,
         2,
         2,
         99,
         100,
         {{99, {"", "", "", "OFF", "a"}}, {100, {"", "", "", "OFF", "b"}}}},
        {"a\tb\nc\td\ne\tf", 100, mcCode, 1, 5, 100, 100, {{100, {"", "", "", "OFF", "a"}}}},
        {"x\t\ty", 3, mcLabel, 3, 0, 3, 3, {{3, {"x", "", "y", "OFF", ""}}}},
        {"only\nshort\tlines\there",
         1,
         mcLabel,
         4,
         0,
         1,
         2,
         {{1, {"only", "", "", "OFF", ""}}, {2, {"short", "lines", "here", "OFF", ""}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        for (int n = 1; n <= 100; ++n) {
            SetValues(n, fresh);
        }
        const TPastedCells outcome =
            PasteCellBlock(rows, SplitCellBlock(c.text), c.memory, c.column);
        EXPECT_EQ(outcome.pasted, c.pasted);
        EXPECT_EQ(outcome.dropped, c.dropped);
        EXPECT_EQ(outcome.firstMemory, c.first);
        EXPECT_EQ(outcome.lastMemory, c.last);
        for (const auto& [memory, values] : c.expected) {
            EXPECT_EQ(ValuesOf(memory), values) << "memory " << memory;
        }
    }
}

TEST_F(CellBlockTest, CopiedMemoriesPasteBackAsTheyWereElsewhere) {
    SetValues(10, {"CH 1", "146.520", "146.520", "CTCSS", "100.0"});
    SetValues(11, {"", "", "", "typed", ""});
    SetValues(12, {"a\tb", "x\ry", "1", "DCS", "023"});
    const std::string text = CopyCellBlock(rows, 10, 12);
    EXPECT_EQ(text, "CH 1\t146.520\t146.520\tCTCSS\t100.0\n"
                    "\t\t\ttyped\t\n"
                    "a b\tx y\t1\tDCS\t023\n");
    EXPECT_EQ(CopyCellBlock(rows, 100, 100), "\t\t\tOFF\t\n");
    EXPECT_EQ(CopyCellBlock(rows, 0, 1), "\t\t\tOFF\t\n"); // memory 0 is no memory
    PasteCellBlock(rows, SplitCellBlock(text), 50, mcLabel);
    EXPECT_EQ(ValuesOf(50), ValuesOf(10));
    EXPECT_EQ(ValuesOf(51), ValuesOf(11));
    EXPECT_EQ(ValuesOf(52), (Strings{"a b", "x y", "1", "DCS", "023"}));
}

} // namespace
