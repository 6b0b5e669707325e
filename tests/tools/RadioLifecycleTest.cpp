#include "RadioFixture.h"

#include <filesystem>
#include <regex>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string BlankFile() {
    std::string bytes;
    for (int number = 1; number <= 100; ++number) {
        bytes += std::to_string(number) + ",,,,0,\r\n";
    }
    return bytes;
}

TEST_F(RadioTest, LogsEachCommandWithItsArrivalTime) {
    StartRadio();
    const auto before = Clock::now();
    port->Write(Query(1));
    ASSERT_TRUE(radio->WaitForCommands(1, Soon()));
    port->Write(std::string("A\x01\xff\\", 4) + "\r");
    ASSERT_TRUE(radio->WaitForCommands(2, Soon()));
    const auto after = Clock::now();

    const auto commands = radio->Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1].text, std::string("A\x01\xff\\", 4));
    EXPECT_LE(before, commands[0].arrival);
    EXPECT_LE(commands[0].arrival, commands[1].arrival);
    EXPECT_LE(commands[1].arrival, after);

    std::vector<std::string> received;
    const std::regex format(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \d+\.\d{3} < (.*))");
    for (const std::string& line : LogLines(log)) {
        std::smatch match;
        if (std::regex_match(line, match, format)) {
            received.push_back(match[1]);
        }
    }
    EXPECT_EQ(received, (std::vector<std::string>{"MEM:USR:SET? 1", "A\\x01\\xFF\\\\"}));
}

TEST_F(RadioTest, StopReturnsPromptlyWhileADelayedAnswerIsPending) {
    radiosim::RadioOptions options;
    options.behaviour.delay = std::chrono::hours(1);
    StartRadio(options);
    port->Write(Query(1));
    ASSERT_TRUE(radio->WaitForCommands(1, Soon()));
    const auto stopping = Clock::now();
    radio->Stop();
    EXPECT_LT(Clock::now() - stopping, 5s);
    radio->Stop(); // a second stop does nothing
}

TEST_F(RadioTest, LoadsAMemFileAndSavesOnStop) {
    const std::string memFile = dir.File("in.mem");
    WriteBytes(memFile, "42,A,B,C,2,D\n"
                        "3,X,,,0,1\r\n"
                        "0,ZERO,,,0,\n"
                        "x,BAD,,,0,\n"
                        "\n"
                        "3,Y,,,1,2"); // no line end, and the later line for 3 wins
    radiosim::RadioOptions options;
    options.loadPath = memFile;
    options.savePath = dir.File("out.mem");
    StartRadio(options);
    EXPECT_EQ(port->Ask(Query(42), 14), "42,A,B,C,2,D\r\n");
    EXPECT_EQ(port->Ask(Query(3), 11), "3,Y,,,1,2\r\n");
    port->Write(Set("100,LAST,,,0,"));
    ASSERT_TRUE(radio->WaitForCommands(3, Soon()));
    radio->Stop();

    std::string expected = BlankFile();
    expected.replace(expected.find("3,,,,0,"), 7, "3,Y,,,1,2");
    expected.replace(expected.find("42,,,,0,"), 8, "42,A,B,C,2,D");
    expected.replace(expected.find("100,,,,0,"), 9, "100,LAST,,,0,");
    EXPECT_EQ(ReadBytes(options.savePath), expected);

    radiosim::SimulatedRadio other;
    const auto summary = other.LoadMemories(memFile);
    EXPECT_EQ(summary.stored, 3);
    EXPECT_EQ(summary.ignored, 2);
}

TEST_F(RadioTest, SavingReplacesAnOldFileWholeAndAFailedSaveLosesNothing) {
    radiosim::SimulatedRadio memories;
    const std::string path = dir.File("old.mem");
    WriteBytes(path, std::string(20000, 'x'));
    memories.SaveMemories(path);
    EXPECT_EQ(ReadBytes(path), BlankFile());

    EXPECT_THROW(memories.SaveMemories(dir.File("missing/new.mem")), std::runtime_error);
    EXPECT_THROW(memories.LoadMemories(dir.File("missing.mem")), std::runtime_error);

    radiosim::RadioOptions options;
    options.savePath = dir.File("missing/out.mem");
    StartRadio(options);
    EXPECT_THROW(radio->Stop(), std::runtime_error);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}),
              2); // old.mem, the log
}

TEST_F(RadioTest, LinksTheDeviceWhileRunningAndNeverReplacesAFile) {
    radiosim::RadioOptions options;
    options.linkPath = dir.File("radio");
    StartRadio(options);
    EXPECT_EQ(std::filesystem::read_symlink(options.linkPath), radio->DevicePath());
    EXPECT_EQ(PortClient(options.linkPath).Ask(Query(1), 9), "1,,,,0,\r\n");
    radio->Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(options.linkPath)));

    WriteBytes(options.linkPath, "precious");
    options.logPath = log;
    radiosim::SimulatedRadio blocked(options);
    EXPECT_THROW(blocked.Start(), std::runtime_error);
    EXPECT_EQ(ReadBytes(options.linkPath), "precious");
}

} // namespace
