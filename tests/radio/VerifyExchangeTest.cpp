// The verify exchange without a window: the table in a panel of its own, the real port on a
// pseudo-terminal whose far end this test plays. The pause after each query is where the radio's
// scripted answer goes out, so no 350 ms wait happens. A verify queries as the load does and
// compares each answer with the row's record line; it never changes the table or writes a memory.
#include "MemoryTableFixture.h"
#include "memories/Q4471Radio.h"
#include "memories/RecordLine.h"
#include "serial/LinuxPtyPair.h"

#include <q4471/framework/Thread.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/VaPrst.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>

using namespace q4471;

namespace {

using Strings = std::vector<std::string>;
using Answer = std::optional<std::string>; // none: the radio stays silent
using Difference = std::pair<int, Answer>;

struct VerifyCase {
    const char* what;
    std::map<int, Strings> rows;   // values typed into these rows; the others are fresh
    std::map<int, Answer> answers; // instead of the row's record line + CR LF
    bool silentRadio;
    std::string finalText;
    std::vector<Difference> differences;
};

const VerifyCase Cases[] = {
    {"every answer matches",
     {{7, {"CH 1", "146.520", "146.520", "CTCSS", "100.0"}}},
     {},
     false,
     "Verified 100 memories: all match",
     {}},
    {"three differ",
     {},
     {{7, "7,OTHER,,,0,\r\n"}, {42, "42,,,,1,\r"}, {99, "99,,,,0,X\n"}},
     false,
     "Verified 100 memories: 3 differ (7, 42, 99)",
     {{7, "7,OTHER,,,0,"}, {42, "42,,,,1,"}, {99, "99,,,,0,X"}}},
    {"a memory that does not answer, then one that answers a lone 0",
     {},
     {{5, std::nullopt}, {6, "0"}},
     false,
     "Verified 100 memories: 2 differ (5, 6)",
     {{5, std::nullopt}, {6, std::nullopt}}},
    {"the radio stores text: 100.00 is not 100.0",
     {{3, {"", "", "", "OFF", "100.00"}}},
     {{3, "3,,,,0,100.0\r\n"}},
     false,
     "Verified 100 memories: 1 differs (3)",
     {{3, "3,,,,0,100.0"}}},
    {"answers that name another memory, that are no record, or that are empty",
     {},
     {{8, "9,,,,0,\r\n"}, {2, "ERR,1\r"}, {4, "\n4,,,,0,\r\n"}},
     false,
     "Verified 100 memories: 3 differ (2, 4, 8)",
     {{2, "ERR,1"}, {4, ""}, {8, "9,,,,0,"}}},
    {"a silent radio: every memory differs, the list is cut short",
     {},
     {},
     true,
     "Verified 100 memories: 100 differ (1, 2, 3, 4, 5, 6, 7, 8, 9, 10 and 90 more)",
     {}},
};

class VerifyExchangeTest : public MemoryTableFixture {
protected:
    VerifyExchangeTest() {
        comm.SetBaudrate(br9600);
        comm.SetFlowControl(TVaFlowControl());
        comm.SetDirectWrite(true);
        comm.SetDeviceName(pty.SlavePath());
        comm.Open();
    }

    // The next command the port wrote, without its CR; empty when none came.
    std::string NextCommand() const {
        std::string text;
        for (std::string byte; (byte = pty.Receive(1)) != "\r" && !byte.empty();) {
            text += byte;
        }
        return text;
    }

    // The radio's side of one pause: takes the command, sends the scripted answer and waits
    // until the port holds all of it.
    bool PlayRadio(const VerifyCase& c) {
        const std::string command = NextCommand();
        commands.push_back(command);
        const std::string prefix = "MEM:USR:SET? ";
        if (c.silentRadio || !command.starts_with(prefix)) {
            return true;
        }
        const int memory = std::stoi(command.substr(prefix.size()));
        Answer answer;
        if (const auto scripted = c.answers.find(memory); scripted != c.answers.end()) {
            answer = scripted->second;
        } else {
            std::string record;
            ComposeRecord(rows, memory, record);
            answer = record + "\r\n";
        }
        if (answer) {
            pty.Send(*answer);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (pty.SlaveInput() < static_cast<int>(answer->size()) &&
                   std::chrono::steady_clock::now() < deadline) {
                CheckSynchronize(1); // the port's deliveries to this thread
            }
        }
        return true;
    }

    LinuxPtyPair pty;
    TVaComm comm{nullptr};
    Strings commands;
};

TEST_F(VerifyExchangeTest, AVerifyComparesEveryAnswerWithItsRowAndChangesNothing) {
    for (const VerifyCase& c : Cases) {
        SCOPED_TRACE(c.what);
        commands.clear();
        for (int n = 1; n <= 100; ++n) {
            SetValues(n, c.rows.contains(n) ? c.rows.at(n) : Strings{"", "", "", "OFF", ""});
        }
        std::vector<Strings> before;
        for (int n = 1; n <= 100; ++n) {
            before.push_back(ValuesOf(n));
        }
        Strings statuses;
        std::vector<Difference> differences;
        TQ4471Radio radio(
            rows, comm, [&](const std::string& text) { statuses.push_back(text); }, [](int) {},
            [&](int) { return PlayRadio(c); });

        const std::optional<TOutcome> outcome = radio.VerifyRadio(
            [&](const TMemoryDifference& d) { differences.emplace_back(d.memory, d.radioRecord); });
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->statusText, c.finalText);
        EXPECT_TRUE(outcome->succeeded);
        if (!c.silentRadio) {
            EXPECT_EQ(differences, c.differences);
        } else {
            EXPECT_EQ(differences.size(), 100u);
        }

        // Each memory is asked for as the load asks: once, or five times when no answer came,
        // with a retry text after each failed attempt; nothing but queries goes out.
        Strings queries;
        Strings retries;
        for (int n = 1; n <= 100; ++n) {
            const bool unanswered = c.silentRadio || (c.answers.contains(n) &&
                                                      (!c.answers.at(n) || c.answers.at(n) == "0"));
            queries.insert(queries.end(), unanswered ? 5 : 1, "MEM:USR:SET? " + std::to_string(n));
            for (int attempt = 1; unanswered && attempt <= 5; ++attempt) {
                retries.push_back("ReadQ4471 Retry : " + std::to_string(attempt));
            }
        }
        EXPECT_EQ(commands, queries);
        EXPECT_EQ(statuses, retries);
        for (int n = 1; n <= 100; ++n) {
            EXPECT_EQ(ValuesOf(n), before[static_cast<size_t>(n - 1)]) << "row " << n;
        }
    }
}

} // namespace
