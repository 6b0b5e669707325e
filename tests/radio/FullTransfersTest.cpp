// Whole transfers at the real pace: every memory over the line, the bytes of every command, and
// the spacing of the commands as the radio saw them arrive.
#include "RadioLinkFixture.h"

#include <QTest>

namespace {

using namespace std::chrono_literals;

constexpr auto Pause = 350ms;
// The pause is timed in whole milliseconds.
constexpr auto PauseRounding = 1ms;

std::string RecordOf(int number) {
    static const char* const modes[] = {"0", "1", "2"};
    return std::to_string(number) + ",CH " + std::to_string(number) + ",146." +
           std::to_string(100 + number) + ",147." + std::to_string(300 + number) + "," +
           modes[number % 3] + "," + std::to_string(60 + number) + ".5";
}

class FullTransfersTest : public RadioLinkTest {
protected:
    // The radio stamps a command when its thread reads it: never before the write, but later by
    // as long as the thread waits for a core, which on a busy machine shortens the gap to the
    // next command. Measured from the start, every pause before a command still shows, a single
    // missing one included, and lateness cannot hide or fake one.
    void ExpectPacedCommands(Clock::time_point start) {
        const std::vector<radiosim::ReceivedCommand> commands = radio->Commands();
        for (std::size_t i = 1; i < commands.size(); ++i) {
            EXPECT_GE(commands[i].arrival - start, static_cast<int>(i) * (Pause - PauseRounding))
                << "command " << i + 1 << " came before " << i << " pauses had passed";
        }
    }
};

TEST_F(FullTransfersTest, ALoadAsksForAllHundredMemoriesOnceEachAndFillsEveryRow) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    for (int n = 1; n <= 100; ++n) {
        radio->SetRecord(n, RecordOf(n));
    }
    const Clock::time_point start = Clock::now();
    Trigger("LoadFromQ44711");
    ASSERT_TRUE(ServeUntilEnd("Finished loading from Q4471", 60s));
    EXPECT_GE(Clock::now() - start, 100 * Pause);

    Strings expected;
    for (int n = 1; n <= 100; ++n) {
        expected.push_back(Query(n));
    }
    EXPECT_EQ(CommandsWithoutLateRetries(), expected);
    ExpectPacedCommands(start);
    EXPECT_EQ(ValuesOf(1), (Strings{"CH 1", "146.101", "147.301", "CTCSS", "61.5"}));
    EXPECT_EQ(ValuesOf(59), (Strings{"CH 59", "146.159", "147.359", "DCS", "119.5"}));
    EXPECT_EQ(ValuesOf(100), (Strings{"CH 100", "146.200", "147.400", "CTCSS", "160.5"}));
    Strings statuses = RetryStatuses(); // none but for a late answer
    statuses.insert(statuses.begin(), "Loading from Q4471...");
    statuses.push_back("Finished loading from Q4471");
    EXPECT_EQ(Statuses, statuses);
}

TEST_F(FullTransfersTest, ASendWritesEveryMemoryAsASetCommandAndTheRadioHoldsThemAll) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    Trigger("ClearAllMemories1");
    SetValues(7, {"CH 1", "146.520", "146.520", "CTCSS", "100.0"});
    SetValues(8, {"A,B", "1", "2", "DCS", "023"});   // the comma goes out unchanged
    SetValues(9, {"ODD", "1", "2", "SQUELCH", "3"}); // a mode other than CTCSS or DCS is 0
    const Clock::time_point start = Clock::now();
    Trigger("SendFileToQ44711");
    ASSERT_TRUE(ServeUntilEnd("Finished sending to Q4471", 60s));
    // The wait follows every command, the last one included.
    EXPECT_GE(Clock::now() - start, 100 * Pause);

    Strings expected;
    for (int n = 1; n <= 100; ++n) {
        expected.push_back(Set(std::to_string(n) + ",---,,,0,"));
    }
    expected[6] = Set("7,CH 1,146.520,146.520,1,100.0");
    expected[7] = Set("8,A,B,1,2,2,023");
    expected[8] = Set("9,ODD,1,2,0,3");
    EXPECT_EQ(Commands(), expected);
    ExpectPacedCommands(start);
    EXPECT_EQ(radio->Record(100), "100,---,,,0,");
    EXPECT_EQ(Statuses, (Strings{"Sending to Q4471...", "Finished sending to Q4471"}));
}

} // namespace
