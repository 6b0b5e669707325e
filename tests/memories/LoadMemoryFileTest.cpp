#include "MemoryFileFixture.h"
#include "support/ProcessEntries.h"

#include <q4471/framework/Exception.h>
#include <q4471/serial/LinuxFileDescriptor.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace q4471;

namespace {

using Strings = std::vector<std::string>;
using TableValues = std::vector<Strings>;
using LoadMemoryFileTest = MemoryFileFixture;

// Hands out the file one byte per read, so every line crosses the reader's buffer boundaries.
ssize_t ReadByteByByte(int descriptor, void* data, size_t size) {
    return ::read(descriptor, data, size > 0 ? 1 : 0);
}

TEST_F(LoadMemoryFileTest, ALineChangesOnlyTheMemoryItNames) {
    ClearAll();
    auto expected = Table();
    expected[41] = {"A", "B", "C", "DCS", "D"};
    const std::string file = folder.File("one.mem");
    WriteBytes(file, "42,A,B,C,2,D");
    Load(file);
    EXPECT_EQ(Table(), expected);
    EXPECT_EQ(statuses, (Strings{"Opening " + file + " for reading...",
                                 "Closing " + file + ", reading successful"}));
}

TEST_F(LoadMemoryFileTest, AnEmptyFileChangesNothing) {
    SetValues(8, {"kept", "1", "2", "CTCSS", "3"});
    const auto before = Table();
    const std::string file = folder.File("empty.mem");
    WriteBytes(file, "");
    Load(file);
    EXPECT_EQ(Table(), before);
    EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
}

TEST_F(LoadMemoryFileTest, LinesApplyInFileOrderAndTheTableIsNotClearedFirst) {
    SetValues(50, {"untouched", "t", "r", "DCS", "c"});
    const std::string file = folder.File("order.mem");
    WriteBytes(file, "3,X,,,0,1\r\n\r\nno comma\r\n7,a,b,c,2,d\r\n3,Y,,,1,2\r\n");
    Load(file);
    EXPECT_EQ(ValuesOf(3), (Strings{"Y", "", "", "CTCSS", "2"}));
    EXPECT_EQ(ValuesOf(7), (Strings{"a", "b", "c", "DCS", "d"}));
    EXPECT_EQ(ValuesOf(50), (Strings{"untouched", "t", "r", "DCS", "c"}));
    EXPECT_EQ(ValuesOf(1), (Strings{"", "", "", "OFF", ""}));
}

TEST_F(LoadMemoryFileTest, LfCrLfAndAMissingLastLineEndReadAlike) {
    const std::string lines[] = {"1,a,b,c,1,d", "2,e , f,g ,2, h", "3,,,,0,", "100,x,y,z,0,w"};
    const std::pair<const char*, const char*> endings[] = {
        {"\n", "\n"}, {"\r\n", "\r\n"}, {"\r\n", ""}, {"\n", ""}};
    TableValues first;
    for (const auto& [lineEnd, lastEnd] : endings) {
        std::string bytes;
        for (const std::string& line : lines) {
            bytes += line + (&line == &lines[3] ? lastEnd : lineEnd);
        }
        const std::string file = folder.File("ends.mem");
        WriteBytes(file, bytes);
        ClearAll();
        Load(file);
        EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
        if (first.empty()) {
            first = Table();
        } else {
            EXPECT_EQ(Table(), first)
                << "line end \"" << lineEnd << "\", last \"" << lastEnd << '"';
        }
    }
    EXPECT_EQ(first[1], (Strings{"e ", " f", "g ", "DCS", " h"}));
    EXPECT_EQ(first[99], (Strings{"x", "y", "z", "OFF", "w"}));
}

TEST_F(LoadMemoryFileTest, OnlyACarriageReturnRightBeforeTheLineFeedBelongsToTheLineEnd) {
    const std::string file = folder.File("cr.mem");
    WriteBytes(file, "4,a\rb,t,r,1,c\r\r\n5,x,y,z,2,w\r\n");
    Load(file);
    EXPECT_EQ(ValuesOf(4), (Strings{"a\rb", "t", "r", "CTCSS", "c\r"}));
    EXPECT_EQ(ValuesOf(5), (Strings{"x", "y", "z", "DCS", "w"}));
}

// A record line of exactly `length` characters for memory `number`.
std::string LineOfLength(int number, size_t length) {
    std::string line = std::to_string(number) + ",L,T,R,1,";
    line += std::string(length - line.size(), 'c');
    return line;
}

TEST_F(LoadMemoryFileTest, ALineOfSeventyNineCharactersIsReadWhole) {
    for (const bool byteByByte : {false, true}) {
        const TLineReader::ReadFunction read = byteByByte ? ReadByteByByte : ::read;
        const std::string line = LineOfLength(61, 79);
        const std::string file = folder.File("79.mem");
        WriteBytes(file, line + "\r\n" + LineOfLength(62, 79) + "\n" + LineOfLength(63, 79));
        ClearAll();
        Load(file, read);
        EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
        for (int n : {61, 62, 63}) {
            EXPECT_EQ(Row(n).GetCode(), std::string(79 - 11, 'c')) << n;
        }
    }
}

TEST_F(LoadMemoryFileTest, ALongerLineStopsReadingAndTheLinesBeforeItStayAppliedOnce) {
    const std::pair<const char*, size_t> tooLong[] = {
        {"\r\n", 80}, {"\n", 80}, {"", 80}, {"\r\n", 5000}, {"", 1 << 20}};
    for (const bool byteByByte : {false, true}) {
        const TLineReader::ReadFunction read = byteByByte ? ReadByteByByte : ::read;
        for (const auto& [lineEnd, length] : tooLong) {
            if (length > 5000 && byteByByte) {
                continue; // a megabyte byte by byte takes long and adds nothing
            }
            SCOPED_TRACE(std::to_string(length) + " characters");
            ClearAll();
            // A later line for the same memory must not be applied, nor an earlier one again.
            const std::string file = folder.File("long.mem");
            WriteBytes(file, "9,first,,,0,\r\n9,second,,,1,\r\n" + LineOfLength(9, length) +
                                 lineEnd + "9,after,,,2,\r\n10,after,,,2,\r\n");
            Load(file, read);
            EXPECT_EQ(ValuesOf(9), (Strings{"second", "", "", "CTCSS", ""}));
            EXPECT_EQ(ValuesOf(10), (Strings{"---", "", "", "OFF", ""}));
            EXPECT_EQ(statuses, (Strings{"Opening " + file + " for reading...",
                                         "Reading " + file +
                                             " stopped: line 3 is longer than 79 characters"}));
        }
    }
}

TEST_F(LoadMemoryFileTest, ANameThatCannotBeOpenedIsReportedRightAfterTheOpeningText) {
    std::filesystem::create_directory(folder.File("folder.mem"));
    const auto before = Table();
    for (const std::string& name : {folder.File("missing.mem"), folder.File("folder.mem"),
                                    std::string(), std::string("/dev/null")}) {
        Load(name);
        EXPECT_EQ(statuses, (Strings{"Opening " + name + " for reading...",
                                     "Unable to open " + name + ", exiting"}));
    }
    EXPECT_EQ(Table(), before);
}

TEST_F(LoadMemoryFileTest, ANumberThatIsNoIntegerStopsAtItsLineWithTheConversionError) {
    ClearAll();
    const std::string file = folder.File("bad.mem");
    WriteBytes(file, "1,one,,,0,\r\n2,two,,,1,\r\nx,three\r\n4,four,,,2,\r\n");
    const int descriptors = OpenDescriptors();
    try {
        Load(file);
        FAIL() << "no conversion error";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(OpenDescriptors(), descriptors); // the file was closed as the error passed
    EXPECT_EQ(statuses, (Strings{"Opening " + file + " for reading..."}));
    EXPECT_EQ(Row(1).GetLabel(), "one");
    EXPECT_EQ(Row(2).GetLabel(), "two");
    EXPECT_EQ(Row(4).GetLabel(), "---");
}

TEST_F(LoadMemoryFileTest, RecordsForMemoriesOutsideTheTableAreSkipped) {
    ClearAll();
    const auto before = Table();
    const std::string file = folder.File("outside.mem");
    WriteBytes(file, "0,a,,,0,\n101,b,,,0,\n-5,c,,,0,\n");
    Load(file);
    EXPECT_EQ(Table(), before);
    EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
}

TEST_F(LoadMemoryFileTest, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
    const std::string pipe = folder.File("pipe.mem");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Should the load wait for a writer, this one turns up after a while so the test can fail.
    std::atomic<bool> loaded{false};
    std::atomic<bool> hadToUnblock{false};
    std::thread writer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!loaded && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!loaded) {
            hadToUnblock = true;
            const SerialPlatform::FileDescriptor writeEnd(open(pipe.c_str(), O_WRONLY | O_CLOEXEC));
        }
    });
    Load(pipe);
    loaded = true;
    writer.join();
    EXPECT_FALSE(hadToUnblock);
    EXPECT_EQ(statuses, (Strings{"Opening " + pipe + " for reading...",
                                 "Unable to open " + pipe + ", exiting"}));
}

} // namespace
