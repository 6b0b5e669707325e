#include "MemoryFileFixture.h"

#include <q4471/framework/Exception.h>

using namespace q4471;

namespace {

using EightBitFileTest = MemoryFileFixture;

// Every byte value but the line feed and the field separator, in fields of 16 bytes.
std::vector<std::string> FieldsOfEveryByte() {
    std::vector<std::string> fields(1);
    for (int byte = 0; byte <= 0xff; ++byte) {
        if (byte == '\n' || byte == ',') {
            continue;
        }
        if (fields.back().size() == 16) {
            fields.emplace_back();
        }
        fields.back() += static_cast<char>(byte);
    }
    return fields;
}

// A file as the editor saves it, whose first lines carry every byte value in their fields.
std::string FileOfEveryByte() {
    const std::vector<std::string> fields = FieldsOfEveryByte();
    std::string bytes;
    size_t next = 0;
    for (int n = 1; n <= 100; ++n) {
        auto field = [&] { return next < fields.size() ? fields[next++] : std::string("---"); };
        const std::string label = field();
        const std::string tx = field();
        const std::string rx = field();
        const std::string code = field();
        bytes += std::to_string(n) + ',' + label + ',' + tx + ',' + rx + ',' +
                 std::to_string(n % 3) + ',' + code + "\r\n";
    }
    return bytes;
}

TEST_F(EightBitFileTest, EveryByteValueButTheLineFeedSurvivesLoadingAndSaving) {
    const std::string original = FileOfEveryByte();
    const std::string loaded = folder.File("every-byte.mem");
    WriteBytes(loaded, original);
    Load(loaded);
    ASSERT_EQ(statuses.back(), "Closing " + loaded + ", reading successful");

    const std::vector<std::string> fields = FieldsOfEveryByte();
    EXPECT_EQ(Row(1).GetLabel(), fields[0]); // NUL first: nothing after it is cut off
    EXPECT_EQ(Row(1).GetTxFreq(), fields[1]);
    EXPECT_EQ(Row(4).GetCode(), fields[15]);

    const std::string saved = folder.File("saved.mem");
    ASSERT_TRUE(Save(saved));
    EXPECT_EQ(ReadBytes(saved), original);
}

TEST_F(EightBitFileTest, ControlCharactersDoNotCutTheRestOfTheLineOrTheFile) {
    const std::string bytes("1,a\0b,\x1a,\x04\x7f,1,\0\r\n2,\x1b\x08,t,r,2,end\r\n3,last,,,0,", 43);
    const std::string file = folder.File("control.mem");
    WriteBytes(file, bytes);
    Load(file);
    EXPECT_EQ(ValuesOf(1), (std::vector<std::string>{std::string("a\0b", 3), "\x1a", "\x04\x7f",
                                                     "CTCSS", std::string("\0", 1)}));
    EXPECT_EQ(ValuesOf(2), (std::vector<std::string>{"\x1b\x08", "t", "r", "DCS", "end"}));
    EXPECT_EQ(Row(3).GetLabel(), "last");
}

TEST_F(EightBitFileTest, ANulInTheMemoryNumberIsQuotedWholeInTheConversionError) {
    const std::string file = folder.File("nul-number.mem");
    WriteBytes(file, std::string("1\0x,a,b,c,0,d\r\n", 15));
    try {
        Load(file);
        FAIL() << "no conversion error";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), std::string("'1\0x' is not a valid integer value", 34));
    }
}

} // namespace
