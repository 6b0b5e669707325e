// CSV files of the radio programs through real files: the header's variants, the files other
// programs write, what a load skips and a save cannot write, and the round trip.
#include "CsvFileFixture.h"
#include "memories/SubAudibleTone.h"

#include <cerrno>
#include <functional>
#include <random>

namespace {

using Strings = std::vector<std::string>;
using CsvFileTest = CsvFileFixture;

const Strings Kept{"kept", "1.000", "2.000", "DCS", "023"};

TEST_F(CsvFileTest, HeaderVariantsReadAlike) {
    // The record line has no quoting: the Name's comma becomes a blank.
    const Strings expected{"Club \"North\"", "146.340", "146.940", "CTCSS", "100.0"};
    const std::pair<const char*, std::string> cases[] = {
        {"the editor's own", EditorCsvHeader +
                                 "4,\"Club, \"\"North\"\"\",146.940000,-,0.600000,Tone,100.0,88."
                                 "5,023,NN,FM,5.00,,,,,,\r\n"},
        {"LF line ends", "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq\n"
                         "4,\"Club, \"\"North\"\"\",146.94,-,0.6,Tone,100.0\n"},
        {"no line end at the end", "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq\r\n"
                                   "4,\"Club, \"\"North\"\"\",146.94,-,0.6,Tone,100.0"},
        {"a byte order mark", "\xef\xbb\xbfLocation,Name,Frequency,Duplex,Offset,Tone,rToneFreq\r\n"
                              "4,\"Club, \"\"North\"\"\",146.94,-,0.6,Tone,100.0\r\n"},
        {"any order, unknown columns, quoted names",
         "\"Tone\",Extra,rToneFreq,Offset,Duplex,\"Frequency\",Name,Location\r\n"
         "Tone,x,100.0,0.6,-,146.94,\"Club, \"\"North\"\"\",4\r\n"},
        {"blank lines and blanks around values",
         "Location , Name,Frequency,Duplex,Offset,Tone,rToneFreq\r\n\r\n \r\n"
         " 4 ,\"Club, \"\"North\"\"\", 146.94 , - , 0.6 , Tone , 100.0 \r\n\n"},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        ClearAll();
        SetValues(5, Kept);
        const std::string error = LoadBytes("variant.csv", bytes);
        EXPECT_EQ(error, "");
        EXPECT_EQ(ValuesOf(4), expected);
        EXPECT_EQ(ValuesOf(5), Kept); // not named by the file
        EXPECT_EQ(statuses.back(), "Read 1 memory from " + folder.File("variant.csv") +
                                       "; commas replaced in 1 name");
        ASSERT_EQ(details.size(), 2u);
        EXPECT_EQ(details[0].rfind("1 send-only tone (Tone) was loaded as CTCSS", 0), 0u);
        EXPECT_NE(details[1].find(", memory 4: comma replaced"), std::string::npos);
    }
    // Without the optional columns a memory is simplex, without tone and without a label.
    ClearAll();
    EXPECT_EQ(LoadBytes("minimal.csv", "Frequency,Location\n446.00625,9\n"), "");
    EXPECT_EQ(ValuesOf(9), (Strings{"", "446.00625", "446.00625", "OFF", ""}));
}

TEST_F(CsvFileTest, FilesAsOtherProgramsWriteThemLoadWhole) {
    struct Case {
        const char* file;
        std::vector<std::pair<int, Strings>> memories;
        const char* notes; // after the count in the status line
    };
    const Case cases[] = {
        {"full-columns.csv",
         {{1, {"CALL", "146.520", "146.520", "OFF", ""}},
          {2, {"W1AW", "146.340", "146.940", "CTCSS", "100.0"}},
          {3, {"UHF RPT", "447.100", "442.100", "CTCSS", "131.8"}},
          {4, {"DCS", "441.00625", "446.00625", "DCS", "754"}},
          {5, {"LISTEN", "", "162.550", "OFF", ""}}},
         ""},
        {"no-dstar-columns.csv",
         {{1, {"CALL", "146.520", "146.520", "OFF", ""}},
          {2, {"Club North", "147.600", "147.000", "CTCSS", "127.3"}}},
         "; commas replaced in 1 name"},
        {"rx-dtcs-cross-power.csv",
         {{1, {"SIMPLEX", "145.500", "145.500", "OFF", ""}},
          {2, {"RPT", "145.050", "145.650", "CTCSS", "71.9"}},
          {3, {"CROSS", "145.100", "145.700", "OFF", ""}},
          {4, {"DTCS", "431.400", "439.000", "DCS", "065"}}},
         "; 1 tone dropped"},
        {"from-zero.csv",
         {{1, {"FIRST", "144.800", "144.800", "OFF", ""}},
          {2, {"SECOND", "144.625", "145.225", "CTCSS", "88.5"}},
          {100, {"LAST", "433.500", "433.500", "OFF", ""}}},
         "; 1 row skipped; locations counted from 0 moved up by one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ClearAll();
        auto expected = Table();
        for (const auto& [number, values] : c.memories) {
            expected[static_cast<size_t>(number - 1)] = values;
        }
        EXPECT_EQ(LoadAny(CsvFixture(c.file)), "");
        EXPECT_EQ(Table(), expected);
        EXPECT_EQ(statuses.back(), "Read " + std::to_string(c.memories.size()) + " memories from " +
                                       CsvFixture(c.file) + c.notes);
    }
}

TEST_F(CsvFileTest, RowsThatCannotBeReadAreSkippedCountedAndNamed) {
    ClearAll();
    SetValues(50, Kept);
    const std::string bytes = "Location,Name,Frequency,Duplex,Offset,Tone,cToneFreq\r\n"
                              "1,ok,146.52,,,,\r\n"
                              "2,bad frequency,146.5x,,,,\r\n"
                              "3,short,146.52\r\n"
                              "x,no location,146.52,,,,\r\n"
                              "101,too high,146.52,,,,\r\n"
                              "-1,too low,146.52,,,,\r\n"
                              "6,cross,146.52,,,Cross,\r\n"
                              "7,\xe2\x82\xac\xe2\x82\xac,146.52,,,TSQL,99.9\r\n"
                              "8,\"open quote,146.52\r\n";
    EXPECT_EQ(LoadBytes("mixed.csv", bytes), "");
    EXPECT_EQ(statuses.back(), "Read 3 memories from " + folder.File("mixed.csv") +
                                   "; 6 rows skipped, 2 tones dropped, 2 characters shown as ?");
    EXPECT_EQ(ValuesOf(1), (Strings{"ok", "146.520", "146.520", "OFF", ""}));
    EXPECT_EQ(ValuesOf(6), (Strings{"cross", "146.520", "146.520", "OFF", ""}));
    EXPECT_EQ(ValuesOf(7), (Strings{"??", "146.520", "146.520", "OFF", ""}));
    EXPECT_EQ(ValuesOf(2), (Strings{"---", "", "", "OFF", ""}));
    EXPECT_EQ(ValuesOf(50), Kept);
    const Strings expectedDetails{
        "line 3 skipped: Frequency '146.5x' is not a frequency in MHz",
        "line 4 skipped: it has 3 fields, the header names 7",
        "line 5 skipped: Location 'x' is not a whole number",
        "line 6 skipped: Location 101 names no memory 1 to 100",
        "line 7 skipped: Location -1 names no memory 1 to 100",
        "line 8, memory 6: loaded without its tone: tone mode Cross cannot be held by a Q4471",
        "line 9, memory 7: loaded without its tone: Tone TSQL with '99.9', no standard CTCSS tone",
        "line 9, memory 7: 2 characters of its Name shown as ?, as the table cannot hold them",
        "line 10 skipped: a quoted field is not closed"};
    EXPECT_EQ(details, expectedDetails);
}

TEST_F(CsvFileTest, AFileThatIsNoCsvOfMemoriesChangesNothingAndSaysWhy) {
    struct Case {
        const char* what;
        const char* name;
        std::function<std::string()> bytes;
        const char* error; // a part of the message; "" when the load goes through
        const char* status;
    };
    const std::string header = "Location,Name,Frequency\r\n";
    const auto rows = [&](int count) {
        std::string bytes = header;
        for (int i = 0; i < count; ++i) {
            bytes += std::to_string(i % 100 + 1) + ",r,146.52\r\n";
        }
        return bytes;
    };
    std::mt19937 random(4471);
    const Case cases[] = {
        {"50 MB", "big.csv", [&] { return rows(4000000); },
         "more than a CSV of radio memories holds", "stopped"},
        {"100,000 rows", "many.csv", [&] { return rows(100000); }, "more than 10000 rows",
         "stopped"},
        {"10,000 columns", "wide.csv",
         [&] { return header + "1,x,146.52" + std::string(9997, ','); },
         "holds 10000 fields, more than 1000", "stopped"},
        {"binary", "binary.csv",
         [&] {
             std::string bytes(256 * 1024, '\0');
             for (char& byte : bytes) {
                 byte = static_cast<char>(random());
             }
             return bytes;
         },
         "", "stopped"},
        {"binary after a header", "binary-rows.csv",
         [&] { return header + "1,\x01\x02" + '\0' + ",146.52\r\n"; },
         "line 2 holds a control character: it is not a text file", "stopped"},
        {"no header", "plain.csv", [] { return std::string("1,A,146.52\r\n"); },
         "its first line names no Location and Frequency columns", "stopped"},
        {"empty", "empty.csv", [] { return std::string(); }, "it is empty", "stopped"},
        {"notes only", "notes.csv", [] { return std::string("# Location,Frequency\r\n#\r"); },
         "it holds only notes (lines starting with #)", "stopped"},
        {"one endless line", "endless.csv", [&] { return header + std::string(3 << 20, 'x'); },
         "line 2 is longer than 65536 characters", "stopped"},
        // Line ends only: each line must not make the whole field be read again.
        {"an endless quoted field", "quoted.csv",
         [&] { return header + "1,\"" + std::string(1 << 20, '\n'); },
         "the row from line 2 is longer than 65536 characters", "stopped"},
        {"header only", "header.csv", [&] { return header; }, nullptr,
         ": it holds no rows below its header line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearAll();
        SetValues(1, Kept);
        const auto before = Table();
        const std::string error = LoadBytes(c.name, c.bytes());
        EXPECT_EQ(Table(), before);
        if (c.error == nullptr) {
            EXPECT_EQ(error, "");
        } else {
            EXPECT_EQ(error.rfind(folder.File(c.name) + " was not loaded: ", 0), 0u) << error;
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
        EXPECT_NE(statuses.back().find(c.status), std::string::npos) << statuses.back();
    }
}

TEST_F(CsvFileTest, TheFirstLineDecidesTheFormatWhateverTheName) {
    const std::string csv = "Location,Frequency\r\n3,146.52\r\n";
    const std::string mem = "3,mem,1,2,1,100.0\r\n";
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"list.mem", csv, "146.520"}, {"list.txt", csv, "146.520"}, {"list.CSV", csv, "146.520"},
        {"list.mem", mem, "2"},       {"list.csv.mem", mem, "2"},
    };
    for (const auto& [name, bytes, rx] : cases) {
        ClearAll();
        EXPECT_EQ(LoadBytes(name, bytes), "") << name;
        EXPECT_EQ(Row(3).GetRxFreq(), rx) << name;
    }
    // A missing file is reported as for memory files, whatever its name.
    EXPECT_EQ(LoadAny(folder.File("missing.csv")), "");
    EXPECT_EQ(statuses.back(), "Unable to open " + folder.File("missing.csv") + ", exiting");
}

TEST_F(CsvFileTest, SaveWritesTheFormatAndNamesWhatItCouldNotWriteWhole) {
    ClearAll();
    SetValues(2, {"A,\"B\"", "146.940", "146.340", "CTCSS", "100.0"});
    SetValues(5, {"caf\xe9", "abc", "146.520", "DCS", "023"});
    SetValues(9, {"", "", "446.00625", "CTCSS", "12x"});
    SetValues(10, {"no rx", "146.520", "", "OFF", ""});
    const std::string file = folder.File("saved.csv");
    ASSERT_TRUE(SaveCsv(file));
    EXPECT_EQ(
        ReadBytes(file),
        EditorCsvHeader +
            "2,\"A,\"\"B\"\"\",146.340000,+,0.600000,TSQL,100.0,100.0,023,NN,FM,5.00,,,,,,\r\n"
            "5,caf\xc3\xa9,146.520000,off,0.000000,DTCS,88.5,88.5,023,NN,FM,5.00,,,,,,\r\n"
            "9,,446.006250,off,0.000000,,88.5,88.5,023,NN,FM,5.00,,,,,,\r\n");
    EXPECT_EQ(statuses,
              (Strings{"Opening " + file + " for writing...",
                       "Closing " + file +
                           ", writing successful; 2 memories could not be written whole"}));
    EXPECT_EQ(details, (Strings{"memory 5: TX Freq 'abc' is not a frequency in MHz",
                                "memory 9: Code '12x' is no standard CTCSS tone"}));

    // Written as memory files are: a failed write leaves the old file as it was.
    const std::string before = ReadBytes(file);
    int calls = 0;
    EXPECT_FALSE(SaveCsv(file, [&](int descriptor, const void* data, size_t size) {
        return ++calls == 1 ? (errno = ENOSPC, -1) : ::write(descriptor, data, size);
    }));
    EXPECT_EQ(statuses.back(), "Unable to write " + file + ", exiting");
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(folder.Listing(), "saved.csv");
    EXPECT_FALSE(SaveCsv(folder.Path()));
    EXPECT_EQ(statuses.back(), "Unable to open " + folder.Path() + ", exiting");
}

TEST_F(CsvFileTest, EveryToneAndCodeComesBackFromASavedFile) {
    // 154 tones and codes in 100 memories: two tables, each saved, cleared and loaded again.
    std::vector<Strings> memories;
    for (const int tone : StandardCtcssTones()) {
        memories.push_back(
            {"T " + CtcssText(tone), "146.340", "146.940", "CTCSS", CtcssText(tone)});
    }
    for (const int code : StandardDcsCodes()) {
        memories.push_back(
            {"D\xe9 \"" + DcsText(code) + "\" x", "441.00625", "446.00625", "DCS", DcsText(code)});
    }
    memories.push_back({"split", "1296.000", "145.000", "OFF", ""});
    memories.push_back({"rx only", "", "162.550", "OFF", ""});
    memories.push_back({"simplex", "433.500001", "433.500001", "OFF", ""});
    for (size_t start = 0; start < memories.size(); start += 100) {
        ClearAll();
        for (size_t i = start; i < memories.size() && i < start + 100; ++i) {
            SetValues(static_cast<int>(i - start + 1), memories[i]);
        }
        const auto saved = Table();
        ASSERT_TRUE(SaveCsv(folder.File("round.csv")));
        EXPECT_EQ(details, Strings{});
        ClearAll();
        EXPECT_EQ(LoadAny(folder.File("round.csv")), "");
        EXPECT_EQ(Table(), saved);
    }
}

} // namespace
