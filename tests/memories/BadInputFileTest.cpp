#include "MemoryFileFixture.h"

#include <q4471/framework/Exception.h>

#include <map>
#include <random>

using namespace q4471;

namespace {

using Strings = std::vector<std::string>;
using BadInputFileTest = MemoryFileFixture;

class RandomText {
public:
    explicit RandomText(unsigned seed) : engine_(seed) {}
    int Between(int low, int high) { return std::uniform_int_distribution<>(low, high)(engine_); }
    // Bytes of any value but `excluded`.
    std::string Bytes(size_t length, const std::string& excluded) {
        std::string text;
        while (text.size() < length) {
            const char byte = static_cast<char>(Between(0, 255));
            if (excluded.find(byte) == std::string::npos) {
                text += byte;
            }
        }
        return text;
    }

private:
    std::mt19937 engine_;
};

TEST_F(BadInputFileTest, TenMegabytesOfRandomLinesLeaveEachMemoryWithItsLastRecord) {
    static const std::pair<const char*, const char*> modes[] = {
        {"0", "OFF"}, {"1", "CTCSS"}, {"2", "DCS"}, {"", ""}, {"x", ""}};
    RandomText random(4471);
    std::map<int, Strings> expected;
    std::string bytes;
    while (bytes.size() < 10 * 1024 * 1024) {
        std::string line;
        switch (random.Between(0, 9)) {
        case 0:
            break; // empty line
        case 1:
            line = random.Bytes(static_cast<size_t>(random.Between(1, 79)), "\n,");
            break; // no comma: changes nothing
        case 2:
            line = std::to_string(random.Between(101, 99999)) + ",out,of,range,1,x";
            break;
        default: {
            const int number = random.Between(1, 100);
            const auto& [digit, mode] = modes[random.Between(0, 4)];
            Strings values;
            for (int field = 0; field < 3; ++field) {
                values.push_back(random.Bytes(static_cast<size_t>(random.Between(0, 14)), "\n,"));
            }
            values.emplace_back(mode);
            // A CR at the end of the last field would count as part of a CR LF line end.
            values.push_back(random.Bytes(static_cast<size_t>(random.Between(0, 14)), "\n,\r"));
            line = std::to_string(number) + ',' + values[0] + ',' + values[1] + ',' + values[2] +
                   ',' + digit + ',' + values[4];
            expected[number] = values;
        }
        }
        bytes += line + (random.Between(0, 1) == 0 ? "\n" : "\r\n");
    }
    const std::string file = folder.File("random.mem");
    WriteBytes(file, bytes);
    ClearAll();
    Load(file);
    EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
    const Strings cleared{"---", "", "", "OFF", ""};
    for (int n = 1; n <= 100; ++n) {
        const auto found = expected.find(n);
        EXPECT_EQ(ValuesOf(n), found != expected.end() ? found->second : cleared) << n;
    }
}

TEST_F(BadInputFileTest, TenThousandLinesForOneMemoryLeaveTheLastOne) {
    std::string bytes;
    for (int i = 1; i <= 10000; ++i) {
        bytes += "17,label " + std::to_string(i) + ",tx " + std::to_string(i) + ",rx," +
                 std::to_string(i % 3) + ",code " + std::to_string(i) + "\r\n";
    }
    const std::string file = folder.File("one-memory.mem");
    WriteBytes(file, bytes);
    ClearAll();
    const auto before = Table();
    Load(file);
    auto expected = before;
    expected[16] = {"label 10000", "tx 10000", "rx", "CTCSS", "code 10000"};
    EXPECT_EQ(Table(), expected);
    EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
}

TEST_F(BadInputFileTest, BinaryGarbageNeverCrashesAndEndsInAKnownWay) {
    const std::string file = folder.File("garbage.mem");
    for (unsigned seed = 1; seed <= 40; ++seed) {
        RandomText random(seed);
        // Short lines now and then, so that some garbage gets as far as the record splitting.
        std::string bytes;
        while (bytes.size() < 256 * 1024) {
            bytes += random.Bytes(static_cast<size_t>(random.Between(0, seed % 2 ? 90 : 8)), "\n");
            bytes += random.Between(0, 3) == 0 ? std::to_string(random.Between(-2, 102)) + "," : "";
            bytes += '\n';
        }
        WriteBytes(file, bytes);
        try {
            Load(file);
            const std::string& last = statuses.back();
            EXPECT_TRUE(last == "Closing " + file + ", reading successful" ||
                        last.find(" is longer than 79 characters") != std::string::npos)
                << last;
        } catch (const EConvertError& error) {
            EXPECT_NE(error.Message().find("' is not a valid integer value"), std::string::npos);
            EXPECT_EQ(statuses.back(), "Opening " + file + " for reading...");
        }
    }
}

TEST_F(BadInputFileTest, ALongFileWithoutLineEndsStopsAtItsFirstLine) {
    const std::string file = folder.File("no-line-ends.mem");
    WriteBytes(file, "1,x,,,0," + std::string(8 * 1024 * 1024, 'z'));
    ClearAll();
    const auto before = Table();
    Load(file);
    EXPECT_EQ(Table(), before);
    EXPECT_EQ(statuses.back(), "Reading " + file + " stopped: line 1 is longer than 79 characters");
}

} // namespace
