// The Stop button and Escape end a running load or send: the port stays open, the status line
// says how far the transfer got, what it loaded stays, and the next transfer works.
#include "RadioLinkFixture.h"

#include <q4471/serial/VaComm.h>

#include <QTest>
#include <QToolButton>
#include <regex>
#include <set>

namespace {

using namespace std::chrono_literals;

std::string RecordOf(int number) {
    return std::to_string(number) + ",R" + std::to_string(number) + ",146.520,146.580,1,100.0";
}

struct StopCase {
    const char* command;
    bool byEscape;
    const char* stoppedText; // followed by " after memory N"
};

const StopCase Cases[] = {
    {"LoadFromQ44711", false, "Load from Q4471 stopped"},
    {"LoadFromQ44711", true, "Load from Q4471 stopped"},
    {"SendFileToQ44711", false, "Send to Q4471 stopped"},
    {"SendFileToQ44711", true, "Send to Q4471 stopped"},
};

class StopTransferTest : public RadioLinkTest {
protected:
    QToolButton* StopButton() const {
        for (auto* button : form->findChildren<QToolButton*>()) {
            if (button->text() == QStringLiteral("Stop")) {
                return button;
            }
        }
        return nullptr;
    }

    // Starts `command`, lets three memories go by, stops it, and answers how far it got.
    int StopAfterThreeMemories(const StopCase& c) {
        Trigger(c.command);
        EXPECT_TRUE(StopButton()->isVisible());
        // The radio has been asked about a third memory, whatever a late answer had repeated.
        EXPECT_TRUE(ServeUntil([this] {
            const Strings commands = Commands();
            return std::set(commands.begin(), commands.end()).size() >= 3;
        }));
        if (c.byEscape) {
            QTest::keyClick(form.get(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(StopButton(), Qt::LeftButton);
        }
        std::smatch match;
        const std::string status = Status();
        const std::regex pattern(std::string(c.stoppedText) + " after memory ([0-9]+)");
        EXPECT_TRUE(std::regex_match(status, match, pattern)) << status;
        EXPECT_FALSE(StopButton()->isVisible());
        EXPECT_FALSE(Progress()->isVisible());
        return match.empty() ? 0 : std::stoi(match[1]);
    }
};

// GCC 12 at -O3 reports a false -Wrestrict inside std::string concatenation (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST_F(StopTransferTest, StopEndsTheTransferKeepsWhatItDidAndTheNextOneWorks) {
    for (const StopCase& c : Cases) {
        SCOPED_TRACE(std::string(c.command) + (c.byEscape ? " by Escape" : " by the button"));
        ASSERT_NO_FATAL_FAILURE(ConnectRadio());
        for (int n = 1; n <= 100; ++n) {
            radio->SetRecord(n, RecordOf(n));
            SetValues(n, {"mine", "", "", "OFF", ""});
        }
        const int done = StopAfterThreeMemories(c);
        EXPECT_GE(done, 2);
        EXPECT_TRUE(form->Comm().Active());
        const std::size_t sent = radio->Commands().size();
        EXPECT_FALSE(radio->WaitForCommands(sent + 1, Clock::now() + 800ms))
            << "the radio got " << Commands().back() << " after Stop";
        if (std::string(c.command) == "LoadFromQ44711") {
            for (int n = 1; n <= 100; ++n) {
                EXPECT_EQ(ValuesOf(n).front(), n <= done ? "R" + std::to_string(n) : "mine") << n;
            }
        } else {
            EXPECT_EQ(sent, static_cast<std::size_t>(done));
        }

        // The port takes the next transfer from its start.
        Trigger(c.command);
        ASSERT_TRUE(ServeUntilCommands(sent + 1));
        form->StopTransferClick();
        EXPECT_TRUE(Commands().at(sent).starts_with(
            std::string(c.command) == "LoadFromQ44711" ? Query(1) : Set("1,")));
        CloseWindow();
        radio.reset();
    }
}
#pragma GCC diagnostic pop

TEST_F(StopTransferTest, StopWithNoTransferRunningChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    EXPECT_FALSE(StopButton()->isVisible());
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(Status(), "Port 1 Selected");
}

} // namespace
