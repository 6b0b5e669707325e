#include "MainWindowFixture.h"

namespace {

using ClearCommandsTest = MainWindowFixture;

// GCC 12 at -O3 reports a false -Wrestrict inside std::string concatenation (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST_F(ClearCommandsTest, NewBlankFileAndClearAllMemoriesClearEveryRowAndSetNoStatusText) {
    for (const char* command : {"NewBlankFile1", "ClearAllMemories1"}) {
        SCOPED_TRACE(command);
        for (int n = 1; n <= 100; ++n) {
            Row(n).SetLabel("L" + std::to_string(n));
            Row(n).SetTxFreq("146.520");
            Row(n).SetRxFreq("146.580");
            Row(n).SetMode(n % 2 ? "CTCSS" : "typed");
            Row(n).SetCode("100.0");
        }
        form.SetStatusText("before");
        Item(command)->trigger();
        for (int n = 1; n <= 100; ++n) {
            EXPECT_EQ(Row(n).GetLabel(), "---");
            EXPECT_EQ(Row(n).GetTxFreq(), "");
            EXPECT_EQ(Row(n).GetRxFreq(), "");
            EXPECT_EQ(Row(n).GetMode(), "OFF");
            EXPECT_EQ(Row(n).GetCode(), "");
        }
        EXPECT_EQ(form.StatusText(), "before");
    }
}
#pragma GCC diagnostic pop

} // namespace
