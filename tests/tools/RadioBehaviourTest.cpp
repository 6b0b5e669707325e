#include "CommandLine.h"
#include "LogText.h"
#include "RadioFixture.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

radiosim::RadioOptions With(const std::function<void(radiosim::Behaviour&)>& change) {
    radiosim::RadioOptions options;
    change(options.behaviour);
    return options;
}

TEST_F(RadioTest, SilentRadioSendsNothingButStoresSets) {
    StartRadio(With([](auto& b) { b.silent = true; }));
    port->Write(Set("5,QUIET,,,0,") + Query(5) + "HELLO\r");
    ASSERT_TRUE(radio->WaitForCommands(3, Soon()));
    radio->Stop(); // everything the radio was going to send has been sent and logged by now
    EXPECT_TRUE(Logged('>').empty());
    EXPECT_EQ(radio->Record(5), "5,QUIET,,,0,");
}

TEST_F(RadioTest, StopFromLeavesThatMemoryAndHigherOnesUnanswered) {
    StartRadio(With([](auto& b) { b.stopFrom = 60; }));
    port->Write(Query(60) + Query(100));
    EXPECT_EQ(port->Ask(Query(59), 10), "59,,,,0,\r\n");
}

TEST_F(RadioTest, DelayedAnswerComesNoEarlierThanTheDelay) {
    StartRadio(With([](auto& b) { b.delay = 300ms; }));
    const auto asked = Clock::now();
    EXPECT_EQ(port->Ask(Query(4), 9), "4,,,,0,\r\n");
    EXPECT_GE(Clock::now() - asked, 300ms);
}

TEST_F(RadioTest, FragmentedAnswerLeavesInPiecesSpacedApart) {
    StartRadio(With([](auto& b) {
        b.fragments = 3;
        b.fragmentGap = 100ms;
    }));
    const auto asked = Clock::now();
    EXPECT_EQ(port->Ask(Query(12), 10), "12,,,,0,\r\n");
    EXPECT_GE(Clock::now() - asked, 200ms);
    radio->Stop(); // the radio logs a piece after sending it: stopping lets the last entry land
    EXPECT_EQ(Logged('>'), (std::vector<std::string>{"12,", ",,,", "0,\\r\\n"}));
}

TEST_F(RadioTest, AnswerErrAndAnswerOkReplaceTheAnswers) {
    StartRadio(With([](auto& b) { b.answerErr = true; }));
    EXPECT_EQ(port->Ask(Query(1), 6), "ERR,1\r");
    EXPECT_EQ(port->Ask(Query(0), 6), "ERR,1\r");

    StartRadio(With([](auto& b) { b.answerOk = true; }));
    EXPECT_EQ(port->Ask(Set("2,X,,,0,"), 3), "OK\r");
    EXPECT_EQ(radio->Record(2), "2,X,,,0,");
    EXPECT_EQ(port->Ask(Query(2), 3), "OK\r");

    StartRadio(With([](auto& b) { b.answerOk = b.answerErr = true; }));
    EXPECT_EQ(port->Ask(Query(3), 6), "ERR,1\r");
    EXPECT_EQ(port->Ask(Set("3,Y,,,0,"), 3), "OK\r");
}

TEST_F(RadioTest, WrongNumberRenumbersTheQueriedRecord) {
    StartRadio(With([](auto& b) { b.wrongNumber = 2; }));
    radio->SetRecord(5, "5,CH 5,146.520,146.520,1,100.0");
    EXPECT_EQ(port->Ask(Query(5), 32), "7,CH 5,146.520,146.520,1,100.0\r\n");

    StartRadio(With([](auto& b) { b.wrongNumber = -5; }));
    EXPECT_EQ(port->Ask(Query(5), 9), "0,,,,0,\r\n");
}

TEST_F(RadioTest, SplitSweepCutsEachNextAnswerOneByteLaterAndWrapsInsideIt) {
    StartRadio(With([](auto& b) {
        b.splitSweep = true;
        b.fragmentGap = 20ms;
    }));
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(port->Ask(Query(7), 9), "7,,,,0,\r\n") << k; // 9 bytes: cuts after 1..8
    }
    for (int k = 5; k <= 9; ++k) {
        port->Ask(Query(7), 9);
    }
    radio->Stop();
    const std::vector<std::string> sent = Logged('>');
    ASSERT_EQ(sent.size(), 18u);
    EXPECT_EQ(sent[0], "7");
    EXPECT_EQ(sent[1], ",,,,0,\\r\\n");
    EXPECT_EQ(sent[6], "7,,,");
    EXPECT_EQ(sent[14], "7,,,,0,\\r");
    EXPECT_EQ(sent[16], "7"); // the ninth answer: cut after byte 1 again
}

TEST_F(RadioTest, FloodSendsRandomBytesAtLineSpeedUntilTheBehaviourChanges) {
    StartRadio(With([](auto& b) {
        b.floodFrom = 3;
        b.seed = 7;
    }));
    EXPECT_EQ(port->Ask(Query(2), 9), "2,,,,0,\r\n");
    port->Write(Query(3));
    const auto start = Clock::now();
    const std::string flood = port->Read(480, 5s);
    const auto took = Clock::now() - start;
    ASSERT_EQ(flood.size(), 480u); // half a second's worth at 960 bytes a second
    EXPECT_GE(took, 400ms);
    EXPECT_LT(took, 2s);

    radio->SetBehaviour({});
    port->Read(100000, 300ms); // what was on its way
    EXPECT_EQ(port->Ask(Query(4), 9), "4,,,,0,\r\n");
}

TEST(RadioCommandLineTest, SplitSweepAndFloodFromSetTheirBehaviourWithinRange) {
    const radiosim::Behaviour b =
        radiosim::ParseCommandLine({"--split-sweep", "120", "--flood-from=7"}).options.behaviour;
    EXPECT_TRUE(b.splitSweep);
    EXPECT_EQ(b.fragmentGap, 120ms);
    EXPECT_EQ(b.floodFrom, 7);
    for (const char* bad : {"0", "101", "x"}) {
        EXPECT_THROW(radiosim::ParseCommandLine({"--flood-from", bad}), radiosim::UsageError);
    }
}

TEST_F(RadioTest, DropWritesLosesTheChosenSetCommandsAndLogsEach) {
    struct Case {
        const char* value;
        std::vector<int> lost; // of six writes
    };
    const Case cases[] = {
        {"2", {2}}, {"1,5", {1, 5}}, {"every:3", {3, 6}}, {"every:1", {1, 2, 3, 4, 5, 6}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::size_t notesBefore = Logged('#').size();
        StartRadio(radiosim::ParseCommandLine({"--drop-writes", c.value}).options);
        for (int n = 1; n <= 6; ++n) {
            port->Write(Set(std::to_string(n) + ",NEW,,,0,"));
        }
        ASSERT_TRUE(radio->WaitForCommands(6, Soon()));
        radio->Stop(); // every command has been handled by now
        std::vector<int> lost;
        for (int n = 1; n <= 6; ++n) {
            if (radio->Record(n) == std::to_string(n) + ",,,,0,") {
                lost.push_back(n);
            } else {
                EXPECT_EQ(radio->Record(n), std::to_string(n) + ",NEW,,,0,");
            }
        }
        EXPECT_EQ(lost, c.lost);
        // Each case's notes follow the earlier cases' in the one log.
        std::vector<std::string> notes, expected;
        const std::vector<std::string> logged = Logged('#');
        std::copy_if(logged.begin() + static_cast<std::ptrdiff_t>(notesBefore), logged.end(),
                     std::back_inserter(notes),
                     [](const std::string& note) { return note.ends_with(" dropped"); });
        for (const int write : c.lost) {
            expected.push_back("set command " + std::to_string(write) + " dropped");
        }
        EXPECT_EQ(notes, expected);
    }
    for (const char* bad : {"0", "x", "1,,2", "2,", "-1", "every:0", "every:", "every:x"}) {
        EXPECT_THROW(radiosim::ParseCommandLine({"--drop-writes", bad}), radiosim::UsageError)
            << bad;
    }
}

TEST_F(RadioTest, NoiseCorruptsAnswersAndTheSeedRepeatsIt) {
    const auto sentWithNoise = [this](std::uint64_t seed) {
        StartRadio(With([seed](auto& b) {
            b.noise = 1.0;
            b.seed = seed;
        }));
        port->Write(Query(8));
        const std::string sent = WaitForLogLine(
            log, [](const std::string& line) { return line.find(" > ") != std::string::npos; });
        radio->Stop();
        std::remove(log.c_str());
        return sent.substr(sent.find(" > "));
    };
    const std::string first = sentWithNoise(42);
    EXPECT_NE(first, " > " + radiosim::EscapeBytes("8,,,,0,\r\n"));
    EXPECT_EQ(sentWithNoise(42), first);
}

} // namespace
