// A radio that stops answering: five tries for that memory, then the load ends and says where.
#include "RadioLinkFixture.h"

namespace {

using namespace std::chrono_literals;

using StoppedLoadTest = RadioLinkTest;

// GCC 12 at -O3 reports a false -Wrestrict inside std::string concatenation (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST_F(StoppedLoadTest, MemorySixtyUnansweredLeavesRowsOneToFiftyNineLoadedAndSaysSo) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.stopFrom = 60; }));
    for (int n = 1; n <= 100; ++n) {
        radio->SetRecord(n, std::to_string(n) + ",M" + std::to_string(n) + ",1,2,2,3");
    }
    Trigger("LoadFromQ44711");
    ASSERT_TRUE(ServeUntilEnd("Load from Q4471 stopped: memory 60 did not answer", 60s));

    Strings expected;
    for (int n = 1; n <= 59; ++n) {
        expected.push_back(Query(n));
    }
    expected.insert(expected.end(), 5, Query(60)); // five identical tries, nothing after them
    EXPECT_EQ(CommandsWithoutLateRetries(), expected);
    // Memory 60's five tries, after any that a late answer cost an earlier memory.
    Strings retries = RetryStatuses();
    ASSERT_GE(retries.size(), 5u);
    EXPECT_EQ(Strings(retries.end() - 5, retries.end()),
              (Strings{"ReadQ4471 Retry : 1", "ReadQ4471 Retry : 2", "ReadQ4471 Retry : 3",
                       "ReadQ4471 Retry : 4", "ReadQ4471 Retry : 5"}));
    retries.insert(retries.begin(), "Loading from Q4471...");
    retries.push_back("Load from Q4471 stopped: memory 60 did not answer");
    EXPECT_EQ(Statuses, retries);
    for (int n = 1; n <= 59; ++n) {
        EXPECT_EQ(ValuesOf(n), (Strings{"M" + std::to_string(n), "1", "2", "DCS", "3"})) << n;
    }
    for (int n = 60; n <= 100; ++n) {
        EXPECT_EQ(ValuesOf(n), (Strings{"", "", "", "OFF", ""})) << n;
    }
}
#pragma GCC diagnostic pop

TEST_F(StoppedLoadTest, ASilentRadioGetsFiveQueriesForMemoryOneAndTheProgressShowsIt) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.silent = true; }));
    EXPECT_FALSE(Progress()->isVisible());
    Trigger("LoadFromQ44711");
    ServeUntilStatus("ReadQ4471 Retry : 1");
    EXPECT_TRUE(Progress()->isVisible());
    EXPECT_EQ(Progress()->value(), 1);
    EXPECT_EQ(Progress()->text(), "1 of 100");
    ServeUntilEnd("Load from Q4471 stopped: memory 1 did not answer");
    EXPECT_EQ(Commands(), Strings(5, Query(1)));
}

} // namespace
