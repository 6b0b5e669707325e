// With Q4471_TRACE set, the editor writes every opening and closing of the port and every byte
// that goes out and comes in to the trace file, one exchange per line; without it, nothing.
#include "RadioLinkFixture.h"
#include "serial/ScopedEnv.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

namespace {

// The lines of the trace with their time stamps checked and taken off.
Strings UnstampedLines(const std::string& trace) {
    static const std::regex stamp("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3} ");
    Strings lines;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(
            std::regex_search(line.substr(0, 13), stamp, std::regex_constants::match_continuous))
            << line;
        lines.push_back(line.substr(13));
    }
    return lines;
}

// The lines before `end` with the bytes that came back joined into one line after the others:
// the editor reads an answer in whatever pieces it finds, and a late answer has the memory asked
// again and both answers come back in whatever order with the queries.
Strings JoinAnswers(const Strings& lines, std::size_t end) {
    Strings joined;
    std::string hex, text;
    for (std::size_t i = 0; i < end; ++i) {
        if (!lines[i].starts_with("RX  ")) {
            joined.push_back(lines[i]);
            continue;
        }
        const std::size_t gap = lines[i].find("  ", 4);
        hex += (hex.empty() ? "" : " ") + lines[i].substr(4, gap - 4);
        text += lines[i].substr(gap + 2);
    }
    joined.push_back("RX  " + hex + "  " + text);
    joined.insert(joined.end(), lines.begin() + static_cast<std::ptrdiff_t>(end), lines.end());
    return joined;
}

using SerialTraceTest = RadioLinkTest;

TEST_F(SerialTraceTest, ATraceHoldsThePortsAndEveryByteOfAShortLoadAndNothingWithoutTheVariable) {
    const std::string file = folder.File("trace.txt");
    {
        const ScopedEnv trace("Q4471_TRACE", file);
        // Memory 1 answers, memory 2 never does: one answer, then five queries.
        ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.stopFrom = 2; }));
        radio->SetRecord(1, "1,CH 1,146.520,146.580,1,100.0");
        Trigger("LoadFromQ44711");
        ASSERT_TRUE(ServeUntilEnd("Load from Q4471 stopped: memory 2 did not answer"));
        Trigger("COM21");
        CloseWindow();
    }
    Strings asked(5, Query(2));
    asked.insert(asked.begin(), Query(1));
    ASSERT_EQ(CommandsWithoutLateRetries(), asked);
    // Memory 1 once, or again as often as the radio answered it too late, and each answer back.
    const Strings commands = Commands();
    const auto tries = std::count(commands.begin(), commands.end(), Query(1));

    const std::string com1 = "COM1 (" + radio->DevicePath() + ")";
    const std::string query2 =
        "TX  4D 45 4D 3A 55 53 52 3A 53 45 54 3F 20 32 0D  MEM:USR:SET? 2<CR>";
    Strings expected{"--  " + com1 + " opened: 9600 baud, 8N1, no flow control, DTR off, RTS off"};
    expected.insert(expected.end(), static_cast<std::size_t>(tries),
                    "TX  4D 45 4D 3A 55 53 52 3A 53 45 54 3F 20 31 0D  MEM:USR:SET? 1<CR>");
    std::string hex, text;
    for (auto i = tries; i > 0; --i) {
        hex += "31 2C 43 48 20 31 2C 31 34 36 2E 35 32 30 2C 31 34 36 2E 35 38 30 2C 31 2C 31 30 "
               "30 2E 30 0D 0A";
        hex += i > 1 ? " " : "";
        text += "1,CH 1,146.520,146.580,1,100.0<CR><LF>";
    }
    expected.push_back("RX  " + hex + "  " + text);
    expected.insert(expected.end(), 5, query2);
    expected.push_back("--  " + com1 + " closed");
    expected.push_back("--  COM2 (" + folder.File("no-COM2") +
                       ") not opened: Specified device not found (COM2).");
    const Strings lines = UnstampedLines(ReadBytes(file));
    const auto end = std::find(lines.begin(), lines.end(), query2) - lines.begin();
    EXPECT_EQ(JoinAnswers(lines, static_cast<std::size_t>(end)), expected);

    // Without the variable the next window writes nothing.
    std::filesystem::remove(file);
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    Trigger("ClearAllMemories1");
    CloseWindow();
    EXPECT_FALSE(std::filesystem::exists(file));
}

} // namespace
