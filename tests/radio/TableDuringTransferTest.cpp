// While a load or send runs, nothing that writes many memories may run; a load can be undone, also
// when it was stopped part way.
#include "RadioLinkFixture.h"
#include "app/RowMenuDriver.h"

#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <regex>

namespace {

const std::string Busy = "A transfer with the Q4471 is running: wait until it has finished";

using TableDuringTransferTest = RadioLinkTest;

TEST_F(TableDuringTransferTest, RowCommandsWaitForTheTransferAndALoadStoppedPartWayUndoesWhole) {
    for (const char* command : {"SendFileToQ44711", "LoadFromQ44711"}) {
        SCOPED_TRACE(command);
        ASSERT_NO_FATAL_FAILURE(ConnectRadio());
        for (int n = 1; n <= 100; ++n) {
            radio->SetRecord(n, std::to_string(n) + ",R" + std::to_string(n) + ",1,2,1,3");
            SetValues(n, {"mine" + std::to_string(n), "", "", "OFF", ""});
        }
        Trigger(command);
        ASSERT_TRUE(ServeUntilCommands(2));

        QMenu* menu = OpenRowMenu(*form->MemoryRows()[10]);
        ASSERT_NE(menu, nullptr);
        for (const char* item :
             {"Insert Empty Memory Here", "Delete Memory", "Move Up", "Move Down"}) {
            EXPECT_FALSE(MenuItem(menu, item)->isEnabled()) << item;
        }
        EXPECT_TRUE(MenuItem(menu, "Copy Memories")->isEnabled());
        menu->close();

        // The keys are turned away with a word on the status line.
        QLineEdit* label = form->MemoryRows()[10]->LabelBox();
        QApplication::clipboard()->setText("a\tb\n");
        for (const QKeySequence& keys :
             {QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(QKeySequence::Paste),
              QKeySequence(QKeySequence::Undo)}) {
            QTest::keySequence(label, keys);
            EXPECT_EQ(Status(), Busy) << keys.toString().toStdString();
        }
        EXPECT_EQ(ValuesOf(10)[0], "mine10");
        EXPECT_EQ(ValuesOf(9)[0], "mine9");

        QTest::keyClick(form.get(), Qt::Key_Escape); // Stop
        if (std::string(command) == "LoadFromQ44711") {
            ASSERT_EQ(ValuesOf(1), (Strings{"R1", "1", "2", "CTCSS", "3"}));
            // Undo gives back the table as it was when the load started.
            ASSERT_TRUE(ChooseRowMenuItem(*form->MemoryRows()[50], "Undo Load From Q4471"));
            EXPECT_EQ(Status(), "Undone: Load From Q4471");
            for (int n = 1; n <= 100; ++n) {
                ASSERT_EQ(ValuesOf(n), (Strings{"mine" + std::to_string(n), "", "", "OFF", ""}))
                    << n;
            }
        }
    }
}

} // namespace
