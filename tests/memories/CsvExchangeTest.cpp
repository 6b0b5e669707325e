// Nothing a CSV file or a spreadsheet brings may damage a memory: each family of input as users'
// files hold it, and every table it leaves taken out of the editor and back again.
#include "CsvFileFixture.h"
#include "memories/CellBlock.h"

#include <map>

namespace {

using Strings = std::vector<std::string>;
const std::string Simplex = ",146.520000,,0.000000,,88.5,88.5,023,NN,FM,5.00,,,,,,\r\n";
const std::string Header = "Location,Name,Frequency";

class CsvExchangeTest : public CsvFileFixture {
protected:
    struct Load {
        std::string bytes;
        std::string status; // %s stands for the file's name
        Strings details;
        std::map<int, std::string> labels;
        const char* name = "in.csv";
    };
    // Loads into a cleared table, checks the status line, the details box and the Labels, and
    // takes the table every way out and back.
    void ExpectLoad(const Load& load) {
        SCOPED_TRACE(load.status);
        ClearAll();
        EXPECT_EQ(LoadBytes(load.name, load.bytes), "");
        std::string status = load.status;
        EXPECT_EQ(statuses.back(), status.replace(status.find("%s"), 2, folder.File(load.name)));
        EXPECT_EQ(details, load.details);
        for (const auto& [memory, label] : load.labels) {
            EXPECT_EQ(Row(memory).GetLabel(), label) << memory;
        }
        ExpectEveryWayOutKeepsTheTable();
    }
    static std::string SendOnly(const std::string& count) {
        return count + " loaded as CTCSS, which also listens for the tone; a CSV saved from the "
                       "table writes them as TSQL";
    }
};

TEST_F(CsvExchangeTest, NamesBecomeLabelsTheRecordLineCarries) {
    const std::string n62(62, 'n');
    ExpectLoad(
        {EditorCsvHeader +
             "1,\"Club, North\",147.000000,+,0.600000,Tone,127.3,88.5,023,NN,FM,5.00,,,,,,\r\n"
             "2," +
             n62 + Simplex + "3,\"A , ,B,\"" + Simplex + "4,\"two\r\n  lines\"" + Simplex +
             "5,\"Caf\xc3\xa9, " + n62 + "\"" + Simplex + "6,keep  two" + Simplex,
         "Read 6 memories from %s; commas replaced in 3 names, line breaks replaced in 1 "
         "name, 2 names cut",
         {SendOnly("1 send-only tone (Tone) was"), "line 2, memory 1: comma replaced",
          "line 3, memory 2: name cut to 58 characters", "line 4, memory 3: comma replaced",
          "line 5, memory 4: line break replaced", "line 7, memory 5: comma replaced",
          "line 7, memory 5: name cut to 58 characters"},
         {{1, "Club North"},
          {2, std::string(58, 'n')},
          {3, "A B"},
          {4, "two lines"},
          {5, "Caf\xe9 " + std::string(53, 'n')},
          {6, "keep  two"}}});
    EXPECT_EQ(ValuesOf(1), (Strings{"Club North", "147.600", "147.000", "CTCSS", "127.3"}));
}

TEST_F(CsvExchangeTest, LocationsCountedFromZeroMoveUpByOneAndTheStatusLineSaysSo) {
    const std::string moved = "; locations counted from 0 moved up by one";
    const Load loads[] = {
        {Header + "\n0,a,146.52\n10,b,146.52\n11,c,146.52\n",
         "Read 3 memories from %s" + moved,
         {},
         {{1, "a"}, {11, "b"}, {12, "c"}}},
        {Header + "\n1,a,146.52\n10,b,146.52\n",
         "Read 2 memories from %s",
         {},
         {{1, "a"}, {10, "b"}, {11, "---"}}},
        {Header + "\n0,a,146.52\n99,b,146.52\n100,c,146.52\n",
         "Read 2 memories from %s; 1 row skipped" + moved,
         {"line 4 skipped: Location 100 (moved up by one as the file counts from 0) names no "
          "memory 1 to 100"},
         {{1, "a"}, {100, "b"}}},
    };
    for (const Load& load : loads) {
        ExpectLoad(load);
    }
}

TEST_F(CsvExchangeTest, ModesAnFmRadioCannotHoldAreSkippedAndSendOnlyTonesAreTold) {
    Load load{EditorCsvHeader,
              "Read 4 memories from %s; 5 rows skipped",
              {SendOnly("2 send-only tones (Tone) were")},
              {}};
    const char* const modes[] = {"AM", "USB", "LSB", "DV", "DMR", "FM", "NFM", "", " FM "};
    for (int n = 1; n <= 9; ++n) {
        const std::string mode = modes[n - 1];
        load.bytes += std::to_string(n) + ",M" + std::to_string(n) + ",146.940000,-,0.600000," +
                      (n % 2 ? "Tone" : "TSQL") + ",127.3,127.3,023,NN," + mode + ",5.00,,,,,,\r\n";
        if (n <= 5) {
            load.details.push_back("line " + std::to_string(n + 1) + " skipped: mode " + mode +
                                   " cannot be held by a Q4471");
        }
        load.labels[n] = n <= 5 ? std::string("---") : std::string("M") + std::to_string(n);
    }
    ExpectLoad(load);
    EXPECT_EQ(ValuesOf(7), (Strings{"M7", "146.340", "146.940", "CTCSS", "127.3"}));
    // Written back, a send-only tone is a tone sent and listened for.
    EXPECT_NE(ReadBytes(folder.File("out.csv")).find("\n7,M7,146.940000,-,0.600000,TSQL,127.3,"),
              std::string::npos);
}

TEST_F(CsvExchangeTest, LoneCrLineEndsReadAsLineEndsAndHashLinesAreNotes) {
    const std::string two = "Read 2 memories from %s";
    const std::string none = "Read no memories from %s: it holds no rows below its header line";
    const std::map<int, std::string> labels{{1, "one"}, {2, "two"}};
    const Load loads[] = {
        {Header + "\r1,one,146.52\r2,two,146.52\r", two, {}, labels},
        {Header + "\r1,one,146.52\n\r\n2,two,146.52", two, {}, labels, "mac.txt"},
        {"# exported\r\n#Location,Frequency\r\n" + Header + "\r\n1,one,146.52\r\n# 2,x,1\r\n" +
             "2,two,146.52\r\n",
         two,
         {},
         labels,
         "notes.txt"},
        {"\xef\xbb\xbf# note\n" + Header + "\n1,one,146.52\n2,two,146.52", two, {}, labels},
        {Header + "\r1,\"one\r#two\",146.52\r",
         "Read 1 memory from %s; line breaks replaced in 1 "
         "name",
         {"line 2, memory 1: line break replaced"},
         {{1, "one #two"}}},
        {Header + "\r\n", none, {}, {{1, "---"}}},
        {Header + "\r\r\n# none\r \r", none, {}, {{1, "---"}}},
    };
    for (const Load& load : loads) {
        ExpectLoad(load);
    }
}

TEST_F(CsvExchangeTest, SaveLeavesOutAMemoryWhoseRxFreqIsNoFrequencyAndNamesIt) {
    ClearAll();
    SetValues(3, {"comma", "146.340", "146,940", "OFF", ""});
    SetValues(4, {"zero", "", "0", "CTCSS", "12x"});
    SetValues(5, {"tx", "x", "146.520", "OFF", ""});
    const std::string file = folder.File("left.csv");
    ASSERT_TRUE(SaveCsv(file));
    EXPECT_EQ(ReadBytes(file),
              EditorCsvHeader + "5,tx,146.520000,off,0.000000,,88.5,88.5,023,NN,FM,5.00,,,,,,\r\n");
    EXPECT_EQ(statuses.back(), "Closing " + file +
                                   ", writing successful; 1 memory could not be written whole, "
                                   "2 memories left out");
    EXPECT_EQ(details, (Strings{"memory 3: left out: RX Freq '146,940' is not a frequency in MHz",
                                "memory 4: left out: RX Freq '0' is not a frequency in MHz",
                                "memory 5: TX Freq 'x' is not a frequency in MHz"}));
    // Read back, no memory comes as 0 Hz or as one that only transmits.
    ExpectLoad({ReadBytes(file), "Read 1 memory from %s", {}, {{3, "---"}, {4, "---"}, {5, "tx"}}});
}

TEST_F(CsvExchangeTest, QuotedSpreadsheetCellsPasteWholeAndLabelsFitTheRecordLine) {
    const std::pair<std::string, TCellBlock> splits[] = {
        {"\"a\r\nb\"\r\nnext", {{"a\r\nb"}, {"next"}}},
        {"\"a\"\"b\"\t\"x\ty\"\t\"\"", {{"a\"b", "x\ty", ""}}},
        {"\"q\"tail\ta\"b", {{"qtail", "a\"b"}}},
        {"\"open\tb\nc", {{"\"open", "b"}, {"c"}}},
    };
    for (const auto& [text, block] : splits) {
        EXPECT_EQ(SplitCellBlock(text), block) << text;
    }
    ClearAll();
    const std::string cells = "\t146.520\t146.520\tOFF\t\n";
    const TPastedCells pasted = PasteCellBlock(
        rows,
        SplitCellBlock("\"Club, \"\"North\"\"\nHall\"\t147.600\t147.000\tCTCSS\t127.3\n" +
                       std::string(70, 'L') + cells + "\"\"\"quoted\"\"\"" + cells + "below" +
                       cells),
        1, mcLabel);
    EXPECT_EQ(pasted.pasted, 20);
    EXPECT_EQ(
        pasted.labels.Notes("Label", "Labels"),
        (Strings{"commas replaced in 1 Label", "line breaks replaced in 1 Label", "1 Label cut"}));
    EXPECT_EQ(ValuesOf(1),
              (Strings{"Club \"North\" Hall", "147.600", "147.000", "CTCSS", "127.3"}));
    EXPECT_EQ((Strings{Row(2).GetLabel(), Row(3).GetLabel(), Row(4).GetLabel()}),
              (Strings{std::string(58, 'L'), "\"quoted\"", "below"})); // no row shifted
    // Copied and pasted back, the memories come as they were.
    const auto before = Table();
    PasteCellBlock(rows, SplitCellBlock(CopyCellBlock(rows, 1, 4)), 1, mcLabel);
    EXPECT_EQ(Table(), before);
    ExpectEveryWayOutKeepsTheTable();
}

} // namespace
