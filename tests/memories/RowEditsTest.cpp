// Insert, delete and move, and the one-level undo of commands that change many memories.
#include "memories/RowEdits.h"

#include "DistinctMemories.h"
#include "MemoryTableFixture.h"
#include "memories/TableUndo.h"

#include <QLineEdit>
#include <QTest>
#include <functional>
#include <stdexcept>

namespace {

using RowEditsTest = MemoryTableFixture;

TEST_F(RowEditsTest, EachCommandLeavesEveryMemoryWhereItBelongs) {
    struct Case {
        const char* name;
        std::function<void(const TMemoryRows&)> command;
        // Where memory n's values came from: a memory number, or 0 for a cleared row.
        std::function<int(int)> source;
    };
    const auto same = [](int n) { return n; };
    const Case cases[] = {
        {"insert at 1", [](auto& r) { InsertEmptyMemory(r, 1); }, [](int n) { return n - 1; }},
        {"insert at 50", [](auto& r) { InsertEmptyMemory(r, 50); },
         [](int n) { return n < 50    ? n
                            : n == 50 ? 0
                                      : n - 1; }},
        {"insert at 100", [](auto& r) { InsertEmptyMemory(r, 100); },
         [](int n) { return n < 100 ? n : 0; }},
        {"delete 1", [](auto& r) { DeleteMemory(r, 1); },
         [](int n) { return n < 100 ? n + 1 : 0; }},
        {"delete 50", [](auto& r) { DeleteMemory(r, 50); },
         [](int n) { return n < 50    ? n
                            : n < 100 ? n + 1
                                      : 0; }},
        {"delete 100", [](auto& r) { DeleteMemory(r, 100); },
         [](int n) { return n < 100 ? n : 0; }},
        {"swap 1 and 2", [](auto& r) { SwapMemories(r, 1, 2); },
         [](int n) { return n == 1   ? 2
                            : n == 2 ? 1
                                     : n; }},
        {"swap 100 and 99", [](auto& r) { SwapMemories(r, 100, 99); },
         [](int n) { return n == 99    ? 100
                            : n == 100 ? 99
                                       : n; }},
        {"insert at 0", [](auto& r) { InsertEmptyMemory(r, 0); }, same},
        {"insert at 101", [](auto& r) { InsertEmptyMemory(r, 101); }, same},
        {"delete 0", [](auto& r) { DeleteMemory(r, 0); }, same},
        {"delete 101", [](auto& r) { DeleteMemory(r, 101); }, same},
        {"swap 100 and 101", [](auto& r) { SwapMemories(r, 100, 101); }, same},
        {"swap 0 and 1", [](auto& r) { SwapMemories(r, 0, 1); }, same},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FillDistinct(rows);
        c.command(rows);
        ExpectMovedFrom(rows, c.source);
    }
}

TEST_F(RowEditsTest, EmptyMeansAsBuiltOrAsCleared) {
    const std::pair<TMemoryValues, bool> cases[] = {
        {{"", "", "", "OFF", ""}, true},      {{"---", "", "", "OFF", ""}, true},
        {{"", "", "", "", ""}, true},         {{"A", "", "", "OFF", ""}, false},
        {{"---", "1", "", "OFF", ""}, false}, {{"---", "", "1", "OFF", ""}, false},
        {{"---", "", "", "DCS", ""}, false},  {{"---", "", "", "OFF", "023"}, false},
        {{" ", "", "", "OFF", ""}, false},
    };
    for (const auto& [values, empty] : cases) {
        EXPECT_EQ(IsEmptyMemory(values), empty) << values[0] << "|" << values[1] << "|" << values[2]
                                                << "|" << values[3] << "|" << values[4];
    }
}

class TableUndoTest : public MemoryTableFixture {
protected:
    TTableUndo undo;
};

TEST_F(TableUndoTest, UndoPutsTheTableBackAndRedoTakesItForwardAgain) {
    EXPECT_FALSE(undo.Available());
    EXPECT_EQ(undo.Caption(), "");
    FillDistinct(rows);
    EXPECT_EQ(undo.Apply(rows), ""); // nothing to undo changes nothing
    ExpectMovedFrom(rows, [](int n) { return n; });

    undo.Record(rows, "Delete Memory");
    DeleteMemory(rows, 1);
    SetValues(7, {"typed", "after", "the", "command", "x"});
    const TTableSnapshot afterwards = ReadTable(rows);
    EXPECT_EQ(undo.Caption(), "Undo Delete Memory");

    EXPECT_EQ(undo.Apply(rows), "Undo Delete Memory");
    ExpectMovedFrom(rows, [](int n) { return n; });
    EXPECT_TRUE(undo.Undone());
    EXPECT_EQ(undo.Caption(), "Redo Delete Memory");

    // What was typed after the command comes back with the redo: nothing is lost for good.
    EXPECT_EQ(undo.Apply(rows), "Redo Delete Memory");
    EXPECT_EQ(ReadTable(rows), afterwards);
    EXPECT_EQ(undo.Caption(), "Undo Delete Memory");
}

TEST_F(TableUndoTest, OnlyTheLastCommandIsKeptAndOneThatChangedNothingKeepsTheEarlier) {
    struct Case {
        const char* name;
        std::function<void(const TMemoryRows&)> command;
        std::string caption; // what undo offers afterwards
    };
    const Case cases[] = {
        {"changes memory 3", [](auto& r) { r[3]->SetLabel("changed"); }, "Undo Second"},
        {"changes nothing", [](auto&) {}, "Undo First"},
        {"writes what was there", [](auto& r) { r[3]->SetLabel("L3"); }, "Undo First"},
        {"changes within another step",
         [&](auto& r) {
             TUndoStep inner(undo, r, "Inner");
             r[3]->SetLabel("changed");
         },
         "Undo Second"},
        {"changes nothing within another step", [&](auto& r) { TUndoStep inner(undo, r, "Inner"); },
         "Undo First"},
        {"changes, then fails",
         [](auto& r) {
             r[3]->SetLabel("half done");
             throw std::runtime_error("failed");
         },
         "Undo Second"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FillDistinct(rows);
        undo = TTableUndo();
        {
            TUndoStep first(undo, rows, "First");
            DeleteMemory(rows, 100);
        }
        try {
            TUndoStep second(undo, rows, "Second");
            c.command(rows);
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(undo.Caption(), c.caption);
        undo.Apply(rows);
        // Undoing the second command leaves the first one done.
        const bool firstUndone = c.caption == "Undo First";
        ExpectMovedFrom(rows, [&](int n) { return n == 100 && !firstUndone ? 0 : n; });
    }
}

TEST_F(TableUndoTest, AFieldTheUndoDoesNotChangeKeepsTheUndoOfItsTyping) {
    FillDistinct(rows);
    QTest::keyClicks(Row(5).LabelBox(), "x");
    ASSERT_TRUE(Row(5).LabelBox()->isUndoAvailable());
    undo.Record(rows, "Delete Memory");
    DeleteMemory(rows, 90);
    undo.Apply(rows);
    EXPECT_EQ(Row(5).LabelBox()->text(), "xL5"); // a set value shows its start
    EXPECT_TRUE(Row(5).LabelBox()->isUndoAvailable());
}

} // namespace
