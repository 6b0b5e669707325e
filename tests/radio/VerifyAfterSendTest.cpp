// Verify after a send, at the real pace against the simulated radio: the button that stands
// where Stop does once a send has finished, the verify that reads the memories back without
// touching the table or writing to the radio, the marks on the rows that differ, and the send of
// just those rows.
#include "RadioLinkFixture.h"
#include "memories/MemoryRow.h"
#include "serial/ScopedEnv.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <regex>

namespace {

using namespace std::chrono_literals;

std::string RecordOf(int number) {
    return std::to_string(number) + ",CH " + std::to_string(number) + ",146.520,146.580,1,100.0";
}

class VerifyAfterSendTest : public RadioLinkTest {
protected:
    QToolButton* VerifyButton() const {
        return form->findChild<QToolButton*>(QStringLiteral("VerifyButton"));
    }
    QLineEdit* NumberBox(int number) const {
        return form->MemoryRows()[static_cast<size_t>(number)]->NumberBox();
    }
    // The rows whose number box is drawn apart from the rest of the row.
    std::vector<int> MarkedRows() const {
        std::vector<int> marked;
        for (int n = 1; n <= 100; ++n) {
            const TMemoryRow& row = *form->MemoryRows()[static_cast<size_t>(n)];
            if (row.NumberBox()->palette().color(QPalette::Base) !=
                row.LabelBox()->palette().color(QPalette::Base)) {
                marked.push_back(n);
            }
        }
        return marked;
    }
    std::vector<Strings> Table() const {
        std::vector<Strings> values;
        for (int n = 1; n <= 100; ++n) {
            values.push_back(ValuesOf(n));
        }
        return values;
    }
    // The verify's queries: one per memory, five for the memories from `silentFrom` on.
    static Strings AllQueries(int silentFrom = 101) {
        Strings queries;
        for (int n = 1; n <= 100; ++n) {
            queries.insert(queries.end(), n < silentFrom ? 1 : 5, Query(n));
        }
        return queries;
    }
    // Fills the table, sends it whole and waits for the end.
    void SendTable() {
        for (int n = 1; n <= 100; ++n) {
            SetValues(n, {"CH " + std::to_string(n), "146.520", "146.580", "CTCSS", "100.0"});
        }
        Trigger("SendFileToQ44711");
        EXPECT_FALSE(VerifyButton()->isVisible());
        ASSERT_TRUE(ServeUntilEnd("Finished sending to Q4471", 60s));
        ASSERT_TRUE(VerifyButton()->isVisible());
        EXPECT_EQ(VerifyButton()->text(), QStringLiteral("Verify"));
    }
    // Runs a verify to its end, checking that it changed nothing and only asked.
    void VerifyUntil(const std::string& finalText, bool byShortcut = false, int silentFrom = 101) {
        const std::vector<Strings> before = Table();
        const std::size_t sent = Commands().size();
        Statuses.clear();
        if (byShortcut) {
            QTest::keyClick(form.get(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            QTest::mouseClick(VerifyButton(), Qt::LeftButton);
        }
        EXPECT_FALSE(VerifyButton()->isVisible()); // Stop stands there while it runs
        ASSERT_TRUE(ServeUntilEnd(finalText, 60s));
        EXPECT_EQ(CommandsWithoutLateRetries(sent), AllQueries(silentFrom));
        EXPECT_EQ(Table(), before);
        EXPECT_EQ(Statuses.front(), "Verifying Q4471...");
    }
};

TEST_F(VerifyAfterSendTest, DroppedWritesAreFoundMarkedSentAgainAndThenAllMatch) {
    const std::string trace = folder.File("trace.txt");
    const ScopedEnv traced("Q4471_TRACE", trace);
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.dropWrites = {7, 42}; }));
    ASSERT_NO_FATAL_FAILURE(SendTable());
    EXPECT_EQ(radio->Record(7), "7,,,,0,");

    ASSERT_NO_FATAL_FAILURE(VerifyUntil("Verified 100 memories: 2 differ (7, 42)", true));
    EXPECT_EQ(MarkedRows(), (std::vector<int>{7, 42}));
    EXPECT_EQ(NumberBox(7)->toolTip(), QStringLiteral("The radio holds: 7,,,,0,"));
    EXPECT_EQ(NumberBox(42)->toolTip(), QStringLiteral("The radio holds: 42,,,,0,"));
    EXPECT_EQ(NumberBox(8)->toolTip(), QString());
    ASSERT_TRUE(VerifyButton()->isVisible());
    EXPECT_EQ(VerifyButton()->text(), QStringLiteral("Send 2 Differing"));

    // Just the two go out, as a send writes them; then Verify is offered again.
    const std::size_t sent = Commands().size();
    QTest::mouseClick(VerifyButton(), Qt::LeftButton);
    ASSERT_TRUE(ServeUntilEnd("Finished sending to Q4471"));
    EXPECT_EQ(CommandsWithoutLateRetries(sent), (Strings{Set(RecordOf(7)), Set(RecordOf(42))}));
    EXPECT_EQ(radio->Record(42), RecordOf(42));
    ASSERT_TRUE(VerifyButton()->isVisible());
    EXPECT_EQ(VerifyButton()->text(), QStringLiteral("Verify"));

    ASSERT_NO_FATAL_FAILURE(VerifyUntil("Verified 100 memories: all match"));
    EXPECT_EQ(MarkedRows(), std::vector<int>{});
    EXPECT_TRUE(VerifyButton()->isVisible());
    EXPECT_EQ(VerifyButton()->text(), QStringLiteral("Verify"));

    // A load changes the table: the offer goes.
    Trigger("LoadFromQ44711");
    form->StopTransferClick();
    EXPECT_FALSE(VerifyButton()->isVisible());

    // Both verifies went through the trace: each query out, each answer in (twice, unless a
    // late answer had memory 100 asked again).
    const auto asked = [](const Strings& commands) {
        return std::count(commands.begin(), commands.end(), Query(100));
    };
    EXPECT_EQ(asked(CommandsWithoutLateRetries()), 2);
    const std::string lines = ReadBytes(trace);
    for (const std::string& text : {std::string("MEM:USR:SET? 100<CR>"),
                                    std::string("100,CH 100,146.520,146.580,1,100.0<CR><LF>")}) {
        std::ptrdiff_t count = 0;
        for (std::size_t at = lines.find(text); at != std::string::npos;
             at = lines.find(text, at + 1)) {
            ++count;
        }
        EXPECT_EQ(count, asked(Commands())) << text;
    }
}

TEST_F(VerifyAfterSendTest, AMemoryThatDoesNotAnswerDiffersAndAMarkLastsUntilItsRowChanges) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.stopFrom = 99; }));
    ASSERT_NO_FATAL_FAILURE(SendTable());
    ASSERT_NO_FATAL_FAILURE(VerifyUntil("Verified 100 memories: 2 differ (99, 100)", false, 99));
    EXPECT_NE(std::find(Statuses.begin(), Statuses.end(), "ReadQ4471 Retry : 5"), Statuses.end());
    EXPECT_EQ(MarkedRows(), (std::vector<int>{99, 100}));
    EXPECT_EQ(NumberBox(100)->toolTip(),
              QStringLiteral("The radio did not answer for this memory"));
    EXPECT_EQ(VerifyButton()->text(), QStringLiteral("Send 2 Differing"));

    // Typing into a row takes its mark away, and the offer with it: the table has changed.
    QTest::keyClicks(form->MemoryRows()[99]->LabelBox(), "x");
    EXPECT_EQ(MarkedRows(), std::vector<int>{100});
    EXPECT_EQ(NumberBox(99)->toolTip(), QString());
    EXPECT_FALSE(VerifyButton()->isVisible());
    // A load takes every mark away.
    Trigger("LoadFromQ44711");
    form->StopTransferClick();
    EXPECT_EQ(MarkedRows(), std::vector<int>{});
}

TEST_F(VerifyAfterSendTest, StopEscapeOrAPortChangeEndAVerifyOnlyAFinishedSendOffersOne) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    // A stopped send offers nothing.
    Trigger("SendFileToQ44711");
    ASSERT_TRUE(ServeUntilCommands(2));
    form->StopTransferClick();
    EXPECT_FALSE(VerifyButton()->isVisible());

    ASSERT_NO_FATAL_FAILURE(SendTable());
    struct EarlyEnd {
        const char* how;
        std::function<void()> end;
        const char* status; // a pattern
        bool offerStays;
    };
    const EarlyEnd ends[] = {
        {"the Stop button", [this] { form->StopTransferClick(); },
         "Verify stopped after memory [0-9]+", true},
        {"Escape", [this] { QTest::keyClick(form.get(), Qt::Key_Escape); },
         "Verify stopped after memory [0-9]+", true},
        {"a port change", [this] { Trigger("COM11"); },
         "Verify stopped after memory [0-9]+: the Com Port was changed \\(Port 1 Selected\\)",
         false},
    };
    for (const EarlyEnd& e : ends) {
        SCOPED_TRACE(e.how);
        const std::vector<Strings> before = Table();
        const std::size_t sent = Commands().size();
        QTest::mouseClick(VerifyButton(), Qt::LeftButton);
        ASSERT_TRUE(ServeUntilCommands(sent + 3));
        e.end();
        EXPECT_TRUE(std::regex_match(Status(), std::regex(e.status))) << Status();
        EXPECT_FALSE(Progress()->isVisible());
        EXPECT_FALSE(radio->WaitForCommands(radio->Commands().size() + 1, Clock::now() + 800ms));
        const Strings asked = CommandsWithoutLateRetries(sent);
        Strings queries = AllQueries();
        queries.resize(asked.size());
        EXPECT_EQ(asked, queries);
        EXPECT_EQ(Table(), before);
        EXPECT_EQ(VerifyButton()->isVisible(), e.offerStays);
        EXPECT_EQ(VerifyButton()->text(), QStringLiteral("Verify"));
    }
}

} // namespace
