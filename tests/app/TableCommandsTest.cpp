// The table's commands beyond typing: the number box's menu, Alt+Up and Alt+Down, blocks of
// spreadsheet cells, and undo of the commands that change many memories.
#include "DistinctMemories.h"
#include "MainWindowFixture.h"
#include "ModalDialogDriver.h"
#include "RowMenuDriver.h"
#include "TempFolder.h"
#include "memories/TableUndo.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <functional>

namespace {

using Strings = std::vector<std::string>;

class TableCommandsTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        FillDistinct();
    }
    void FillDistinct() { ::FillDistinct(form.MemoryRows()); }
    static Strings Distinct(int n) { return DistinctMemory(n); }
    void ExpectTable(const std::function<int(int)>& source) {
        ExpectMovedFrom(form.MemoryRows(), source);
    }
    void ExpectUnchanged() {
        ExpectTable([](int n) { return n; });
    }
    QWidget* Box(int n, int column) { return Row(n).ValueBoxes()[size_t(column)]; }
    void Focus(QWidget* box) {
        box->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([box] { return box->hasFocus(); }));
    }
    std::string Status() { return form.StatusText().toStdString(); }
};

TEST_F(TableCommandsTest, TheRowMenuOffersItsItemsWhereTheyCanAct) {
    struct Case {
        int memory;
        bool moveUp, moveDown;
    };
    for (const Case& c : {Case{1, false, true}, Case{50, true, true}, Case{100, true, false}}) {
        SCOPED_TRACE(c.memory);
        QMenu* menu = OpenRowMenu(Row(c.memory));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(CaptionsOf(menu),
                  (QStringList{"Copy Memories", "-", "Insert Empty Memory Here", "Delete Memory",
                               "Move Up", "Move Down", "-", "Undo"}));
        EXPECT_EQ(MenuItem(menu, "Move Up")->isEnabled(), c.moveUp);
        EXPECT_EQ(MenuItem(menu, "Move Down")->isEnabled(), c.moveDown);
        EXPECT_EQ(MenuItem(menu, "Move Up")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Up));
        EXPECT_EQ(MenuItem(menu, "Move Down")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Down));
        EXPECT_TRUE(MenuItem(menu, "Insert Empty Memory Here")->isEnabled());
        EXPECT_FALSE(MenuItem(menu, "Undo")->isEnabled()); // nothing to undo yet
        menu->close();
    }
}

TEST_F(TableCommandsTest, EachRowCommandMovesTheMemoriesAndUndoAndRedoFollow) {
    struct Case {
        const char* item;
        const char* name; // as undo names it
        std::function<int(int)> source;
        const char* status;
    };
    const Case cases[] = {
        {"Insert Empty Memory Here", "Insert Empty Memory",
         [](int n) { return n < 10    ? n
                            : n == 10 ? 0
                                      : n - 1; },
         "Inserted an empty memory at 10; memories 10 to 99 moved down one"},
        {"Delete Memory", "Delete Memory", [](int n) { return n < 10    ? n
                                                              : n < 100 ? n + 1
                                                                        : 0; },
         "Deleted memory 10; memories 11 to 100 moved up one"},
        {"Move Up", "Move Up", [](int n) { return n == 9    ? 10
                                                  : n == 10 ? 9
                                                            : n; },
         "Moved memory 10 up to 9"},
        {"Move Down", "Move Down", [](int n) { return n == 11   ? 10
                                                      : n == 10 ? 11
                                                                : n; },
         "Moved memory 10 down to 11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        FillDistinct();
        SetValues(100, {"---", "", "", "OFF", ""}); // an empty memory 100 goes without a question
        const auto before = [](int n) { return n == 100 ? 0 : n; };
        const auto after = [&](int n) { return before(c.source(n)); };
        ASSERT_TRUE(ChooseRowMenuItem(Row(10), c.item));
        EXPECT_EQ(Status(), c.status);
        ExpectTable(after);

        const std::string name = c.name;
        ASSERT_TRUE(ChooseRowMenuItem(Row(60), QString::fromStdString("Undo " + name)));
        EXPECT_EQ(Status(), "Undone: " + name);
        ExpectTable(before);
        ASSERT_TRUE(ChooseRowMenuItem(Row(1), QString::fromStdString("Redo " + name)));
        EXPECT_EQ(Status(), "Redone: " + name);
        ExpectTable(after);
    }
}

TEST_F(TableCommandsTest, InsertAsksBeforeMemoryHundredIsLost) {
    for (const char* answer : {"Cancel", "Insert"}) {
        SCOPED_TRACE(answer);
        FillDistinct();
        form.SetStatusText("before");
        QString question;
        const ModalDialogDriver<QMessageBox> driver([&](QMessageBox* box) {
            question = box->text();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == answer) {
                    button->click();
                }
            }
        });
        ASSERT_TRUE(ChooseRowMenuItem(Row(50), "Insert Empty Memory Here"));
        EXPECT_TRUE(driver.Handled());
        EXPECT_TRUE(question.contains("Memory 100 holds \"L100\"")) << question.toStdString();
        if (std::string(answer) == "Cancel") {
            ExpectUnchanged();
            EXPECT_EQ(Status(), "before");
        } else {
            ExpectTable([](int n) { return n < 50 ? n : n == 50 ? 0 : n - 1; });
        }
    }
}

TEST_F(TableCommandsTest, AltUpAndAltDownMoveTheFocusedMemoryAndTheFocusGoesAlong) {
    struct Case {
        int memory;
        int column;
        Qt::Key key;
        int movedTo; // 0: stays
    };
    const Case cases[] = {{10, mcLabel, Qt::Key_Up, 9},   {10, mcCode, Qt::Key_Down, 11},
                          {10, mcMode, Qt::Key_Down, 11}, {10, mcMode, Qt::Key_Up, 9},
                          {1, mcTxFreq, Qt::Key_Up, 0},   {100, mcRxFreq, Qt::Key_Down, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.memory) + " column " + std::to_string(c.column));
        FillDistinct();
        Focus(Box(c.memory, c.column));
        QTest::keyClick(QApplication::focusWidget(), c.key, Qt::AltModifier);
        const int at = c.movedTo == 0 ? c.memory : c.movedTo;
        EXPECT_EQ(ValuesOf(at), Distinct(c.memory));
        EXPECT_EQ(ValuesOf(c.memory), Distinct(at));
        EXPECT_TRUE(Box(at, c.column)->hasFocus());
        EXPECT_FALSE(Row(c.memory).ModeBox()->view()->isVisible()); // no list popped up
    }
}

TEST_F(TableCommandsTest, CopyMemoriesTakesTheRowOrTheShiftClickedRange) {
    struct Case {
        std::vector<std::pair<int, Qt::KeyboardModifiers>> clicks;
        int menuOn;
        const char* copied;
        const char* status;
    };
    const Case cases[] = {
        {{}, 7, "L7\tT7\tR7\tCTCSS\tC7\n", "Copied memory 7"},
        {{{5, Qt::NoModifier}, {7, Qt::ShiftModifier}},
         6,
         "L5\tT5\tR5\tCTCSS\tC5\nL6\tT6\tR6\tDCS\tC6\nL7\tT7\tR7\tCTCSS\tC7\n",
         "Copied memories 5 to 7"},
        {{{8, Qt::NoModifier}, {7, Qt::ShiftModifier}},
         9,
         "L9\tT9\tR9\tCTCSS\tC9\n",
         "Copied memory 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        for (const auto& [memory, modifiers] : c.clicks) {
            QTest::mouseClick(Row(memory).NumberBox(), Qt::LeftButton, modifiers);
        }
        ASSERT_TRUE(ChooseRowMenuItem(Row(c.menuOn), "Copy Memories"));
        EXPECT_EQ(QApplication::clipboard()->text(), c.copied);
        EXPECT_EQ(Status(), c.status);
    }
}

TEST_F(TableCommandsTest, PastedCellsFillABlockAndAPlainPasteStaysAPaste) {
    struct Case {
        const char* what;
        const char* clipboard;
        int memory, column;
        std::vector<std::pair<int, Strings>> expected;
        const char* status; // nullptr: as before
    };
    const Case cases[] = {
        {"block",
         "A\t1\nB\t2\n",
         20,
         mcLabel,
         {{20, {"A", "1", "R20", "DCS", "C20"}}, {21, {"B", "2", "R21", "CTCSS", "C21"}}},
         "Pasted 4 cells into memories 20 to 21"},
        {"past memory 100",
         "a\nb\nc",
         99,
         mcCode,
         {{99, {"L99", "T99", "R99", "CTCSS", "a"}}, {100, {"L100", "T100", "R100", "DCS", "b"}}},
         "Pasted 2 cells into memories 99 to 100; 1 cell past memory 100 or the Code column "
         "dropped"},
        {"past Code",
         "DCS\t023\tx\ty\n",
         5,
         mcMode,
         {{5, {"L5", "T5", "R5", "DCS", "023"}}},
         "Pasted 2 cells into memory 5; 2 cells past memory 100 or the Code column dropped"},
        {"one cell with its line end",
         "146.520\n",
         3,
         mcRxFreq,
         {{3, {"L3", "T3", "146.520", "CTCSS", "C3"}}},
         "Pasted 1 cell into memory 3"},
        {"spreadsheet-quoted Label",
         "\"Hall, \"\"East\"\"\nside\"\tx\n",
         8,
         mcLabel,
         {{8, {"Hall \"East\" side", "x", "R8", "DCS", "C8"}}},
         "Pasted 2 cells into memory 8; commas replaced in 1 Label, line breaks replaced in 1 "
         "Label"},
        {"plain", "146.520", 3, mcRxFreq, {{3, {"L3", "T3", "146.520R3", "CTCSS", "C3"}}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FillDistinct();
        form.SetStatusText("before");
        QApplication::clipboard()->setText(QString::fromLatin1(c.clipboard));
        Focus(Box(c.memory, c.column));
        QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
        for (const auto& [memory, values] : c.expected) {
            EXPECT_EQ(ValuesOf(memory), values) << "memory " << memory;
        }
        EXPECT_EQ(Status(), c.status == nullptr ? "before" : c.status);
    }
}

TEST_F(TableCommandsTest, TheFieldMenusPasteFillsABlockToo) {
    QApplication::clipboard()->setText("X\tY\n");
    const QPoint inside(4, 4);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, Row(30).TxBox()->mapToGlobal(inside));
    QApplication::sendEvent(Row(30).TxBox(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* paste = nullptr;
    for (QAction* item : menu->actions()) {
        paste = item->text().startsWith("&Paste") ? item : paste;
    }
    ASSERT_NE(paste, nullptr);
    menu->close();
    paste->trigger();
    EXPECT_EQ(ValuesOf(30), (Strings{"L30", "X", "Y", "DCS", "C30"}));
}

TEST_F(TableCommandsTest, CtrlZUndoesTheLastTableCommandWhenTheFieldHasNoTypingToUndo) {
    const TempFolder folder;
    const std::string file = folder.File("five.mem");
    WriteBytes(file, "5,file,,,0,\r\n");
    struct Case {
        const char* name;
        std::function<void()> command;
    };
    const Case cases[] = {
        {"Clear All Memories", [&] { Item("ClearAllMemories1")->trigger(); }},
        {"New Blank File", [&] { Item("NewBlankFile1")->trigger(); }},
        {"Load Existing File", [&] { form.OpenFile(QString::fromStdString(file)); }},
        {"Paste Cells",
         [&] {
             QApplication::clipboard()->setText("a\tb\n");
             Focus(Row(4).LabelBox());
             QTest::keySequence(Row(4).LabelBox(), QKeySequence::Paste);
         }},
        {"Delete Memory", [&] { ASSERT_TRUE(ChooseRowMenuItem(Row(4), "Delete Memory")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FillDistinct();
        c.command();
        const TTableSnapshot changed = ReadTable(form.MemoryRows());
        // Typing in a field is undone first, by the field itself.
        Focus(Row(70).CodeBox());
        QTest::keyClicks(Row(70).CodeBox(), "xy");
        QTest::keySequence(Row(70).CodeBox(), QKeySequence::Undo);
        EXPECT_EQ(ReadTable(form.MemoryRows()), changed);
        EXPECT_FALSE(Row(70).CodeBox()->isUndoAvailable());
        // Then the field has nothing more of its own, and the table's command goes.
        QTest::keySequence(Row(70).CodeBox(), QKeySequence::Undo);
        ExpectUnchanged();
        EXPECT_EQ(Status(), std::string("Undone: ") + c.name);
        // Ctrl+Z undoes; it does not redo.
        QTest::keySequence(Row(70).CodeBox(), QKeySequence::Undo);
        ExpectUnchanged();
    }
}

TEST_F(TableCommandsTest, ACommandThatChangedNothingLeavesTheEarlierOneToUndo) {
    Item("ClearAllMemories1")->trigger();
    form.OpenFile(QStringLiteral("/nonexistent/none.mem"));
    Item("NewBlankFile1")->trigger(); // clears what is already clear
    QMenu* menu = OpenRowMenu(Row(1));
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(MenuItem(menu, "Undo Clear All Memories"), nullptr)
        << CaptionsOf(menu).join('|').toStdString();
    menu->close();
}

} // namespace
