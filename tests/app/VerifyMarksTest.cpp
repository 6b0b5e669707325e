// A verify's marks and the chosen range share the number boxes: clicks, the row menu and moves
// leave the marks of the memories they do not change.
#include "DistinctMemories.h"
#include "RowMenuDriver.h"
#include "app/NumberBoxLook.h"
#include "app/TableCommands.h"
#include "app/VerifyControl.h"

#include <q4471/framework/qt/QtFramework.h>

#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>
#include <set>

using namespace q4471;

namespace {

TEST(VerifyMarksTest, MarksSurviveClicksTheRowMenuAndMovesOfOtherMemories) {
    // The table with its commands and the verify's marks, as the window joins them.
    const QtFrameworkBinding binding;
    QWidget window;
    auto* panel = new QScrollArea(&window);
    auto* statusBar = new QStatusBar(&window);
    (new QVBoxLayout(&window))->addWidget(panel);
    window.layout()->addWidget(statusBar);
    TMemoryRows rows;
    BuildMemoryRows(panel, rows);
    TTableUndo undo;
    TNumberBoxLook look(rows);
    TVerifyControl verify(statusBar, rows, look, {}, {});
    TTableCommands commands(
        panel, rows, undo, look,
        {[](const std::string&) {}, [] { return false; }, [] { return false; }});
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    FillDistinct(rows);
    verify.WatchRows();
    verify.VerifyStarted();
    for (const int n : {5, 7, 20}) {
        verify.DifferenceSink()(TMemoryDifference{n, "radio " + std::to_string(n)});
    }
    const auto box = [&](int n) { return rows[static_cast<size_t>(n)]->NumberBox(); };
    const auto click = [&](int n, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [=] { QTest::mouseClick(box(n), Qt::LeftButton, modifiers); };
    };
    const auto rightClick = [&](int n) {
        return [&, n] { OpenRowMenu(*rows[static_cast<size_t>(n)])->close(); };
    };
    const auto altUp = [&](int n) {
        return [&, n] {
            QWidget* field = rows[static_cast<size_t>(n)]->LabelBox();
            field->setFocus();
            ASSERT_TRUE(QTest::qWaitFor([field] { return field->hasFocus(); }));
            QTest::keyClick(field, Qt::Key_Up, Qt::AltModifier);
        };
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::set<int> marked;
        std::set<int> range; // a range of several memories shows; one memory alone does not
    };
    const Step steps[] = {
        {"a left click on a marked row", click(5), {5, 7, 20}, {}},
        {"a left click on an unmarked row", click(6), {5, 7, 20}, {}},
        {"a Shift+click over a marked row", click(8, Qt::ShiftModifier), {5, 7, 20}, {6, 7, 8}},
        {"a right-click inside the range", rightClick(7), {5, 7, 20}, {6, 7, 8}},
        {"a right-click on a marked row", rightClick(20), {5, 7, 20}, {}},
        {"a right-click on an unmarked row", rightClick(30), {5, 7, 20}, {}},
        {"Alt+Up on an unmarked row", altUp(12), {5, 7, 20}, {}},
        {"Alt+Up on a marked row", altUp(7), {5, 20}, {}},
        {"Alt+Up onto a marked row", altUp(21), {5}, {}},
    };
    const QPalette standard = QApplication::palette(box(1));
    const auto colour = [&](QPalette::ColorRole role) { return standard.color(role); };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        for (int n = 1; n <= MemoryCount; ++n) {
            const bool marked = step.marked.count(n) > 0;
            const bool chosen = step.range.count(n) > 0;
            const QColor base = marked   ? TNumberBoxLook::WarningColour
                                : chosen ? colour(QPalette::Highlight)
                                         : colour(QPalette::Base);
            const QColor text = marked   ? (chosen ? colour(QPalette::Highlight) : Qt::black)
                                : chosen ? colour(QPalette::HighlightedText)
                                         : colour(QPalette::Text);
            EXPECT_EQ(box(n)->palette().color(QPalette::Base), base) << n;
            EXPECT_EQ(box(n)->palette().color(QPalette::Text), text) << n;
            EXPECT_EQ(box(n)->toolTip().isEmpty(), !marked) << n;
        }
    }
}

} // namespace
