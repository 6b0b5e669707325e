#include "MemoryTableFixture.h"
#include "memories/ColumnLayout.h"
#include "memories/RecordLine.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

namespace {

using MemoryTableTest = MemoryTableFixture;

struct Column {
    const char* name;
    int offset;
    int width;
};
const Column Columns[] = {{"Number", 0, 27},    {"Label", 37, 65}, {"TX Freq", 112, 81},
                          {"RX Freq", 203, 81}, {"Mode", 294, 59}, {"Code", 363, 40}};

std::vector<QWidget*> ControlsOf(const TMemoryRow& row) {
    return {row.NumberBox(), row.LabelBox(), row.TxBox(),
            row.RxBox(),     row.ModeBox(),  row.CodeBox()};
}

TEST_F(MemoryTableTest, SlotsOneToHundredHoldTheRowsTopToBottomAndSlotZeroNone) {
    EXPECT_EQ(rows[0], nullptr);
    EXPECT_EQ(MemoryRowOf(rows, 0), nullptr);
    EXPECT_EQ(MemoryRowOf(rows, -1), nullptr);
    EXPECT_EQ(MemoryRowOf(rows, 101), nullptr);
    for (int n = 1; n <= 100; ++n) {
        ASSERT_NE(rows[n], nullptr);
        EXPECT_EQ(MemoryRowOf(rows, n), rows[n].get());
        EXPECT_EQ(Row(n).Position(), n - 1);
        EXPECT_EQ(Row(n).NumberBox()->text(), QString::number(n));
        EXPECT_EQ(Row(n).NumberBox()->y(), 10 + 24 * (n - 1));
    }
    EXPECT_EQ(Row(1).NumberBox()->y(), 10);
    EXPECT_EQ(Row(100).NumberBox()->y(), 2386);
}

TEST_F(MemoryTableTest, AFreshRowShowsItsNumberEmptyValuesAndOff) {
    for (int n = 1; n <= 100; ++n) {
        EXPECT_EQ(ValuesOf(n), (std::vector<std::string>{"", "", "", "OFF", ""})) << n;
        EXPECT_EQ(Row(n).ModeBox()->currentIndex(), 0);
    }
}

TEST_F(MemoryTableTest, EveryControlSitsInItsColumnOnTheRowsTop) {
    for (int n : {1, 2, 50, 100}) {
        const std::vector<QWidget*> controls = ControlsOf(Row(n));
        for (size_t c = 0; c < controls.size(); ++c) {
            SCOPED_TRACE(std::string("memory ") + std::to_string(n) + " " + Columns[c].name);
            EXPECT_EQ(controls[c]->parentWidget(), panel.widget());
            EXPECT_EQ(controls[c]->x(), 8 + Columns[c].offset);
            EXPECT_EQ(controls[c]->y(), 10 + 24 * (n - 1));
            EXPECT_EQ(controls[c]->width(), Columns[c].width);
        }
    }
}

TEST(HeaderLabelsTest, SevenTitlesOnTheWindowAboveTheirColumns) {
    QWidget window;
    const THeaderLabels labels = BuildHeaderLabels(&window);
    struct Expected {
        const char* text;
        int offset;
        int top;
    };
    const Expected expected[] = {{"#", 0, 12},
                                 {"Label", 37, 12},
                                 {"TX Freq", 112, 12},
                                 {"RX Freq", 203, 12},
                                 {"     Sub-Audible", 294, 0},
                                 {"Mode", 294, 12},
                                 {"Code", 363, 12}};
    for (size_t i = 0; i < labels.size(); ++i) {
        ASSERT_NE(labels[i], nullptr);
        EXPECT_EQ(labels[i]->text(), QString::fromLatin1(expected[i].text));
        EXPECT_EQ(labels[i]->parentWidget(), &window);
        EXPECT_EQ(labels[i]->pos(), QPoint(19 + expected[i].offset, expected[i].top));
    }
}

TEST_F(MemoryTableTest, ClearShowsDashesAndOffAndKeepsTheNumber) {
    SetValues(7, {"CH 1", "146.520", "146.520", "XYZ", "100.0"});
    Row(7).Clear();
    EXPECT_EQ(ValuesOf(7), (std::vector<std::string>{"---", "", "", "OFF", ""}));
    EXPECT_EQ(Row(7).NumberBox()->text(), "7");
    // Also when the list selection already was position 0 and other text had been typed over it.
    QTest::keyClicks(Row(8).ModeBox()->lineEdit(), "ctcss");
    Row(8).Clear();
    EXPECT_EQ(Row(8).GetMode(), "OFF");
}

TEST_F(MemoryTableTest, EveryControlIsNamedForScreenReaders) {
    for (int n : {1, 9, 100}) {
        const std::vector<QWidget*> controls = ControlsOf(Row(n));
        for (size_t c = 0; c < controls.size(); ++c) {
            EXPECT_EQ(controls[c]->accessibleName(),
                      QStringLiteral("Memory %1 %2").arg(n).arg(Columns[c].name));
        }
    }
}

class MemoryTableKeyboardTest : public MemoryTableFixture {
protected:
    void SetUp() override {
        panel.show();
        panel.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    }
    // The control that has the keyboard focus; the mode box counts for its text field.
    static QWidget* FocusedControl() {
        QWidget* focus = QApplication::focusWidget();
        auto* modeBox =
            focus != nullptr ? qobject_cast<QComboBox*>(focus->parentWidget()) : nullptr;
        return modeBox != nullptr ? modeBox : focus;
    }
};

TEST_F(MemoryTableKeyboardTest, TabGoesAcrossARowAndOnToTheNextRow) {
    Row(1).NumberBox()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }));
    std::vector<QWidget*> expected;
    for (int n : {1, 2, 3}) {
        for (QWidget* control : ControlsOf(Row(n))) {
            expected.push_back(control);
        }
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(FocusedControl(), expected[i]) << "step " << i;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(MemoryTableKeyboardTest, TheModeBoxKeepsTypedTextWithoutCompletingOrAddingItems) {
    QComboBox* mode = Row(3).ModeBox();
    mode->lineEdit()->clear();
    QTest::keyClicks(mode->lineEdit(), "d");
    EXPECT_EQ(Row(3).GetMode(), "d"); // not completed to "DCS"
    mode->lineEdit()->clear();
    QTest::keyClicks(mode->lineEdit(), "ctcss");
    QTest::keyClick(mode->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Row(3).GetMode(), "ctcss"); // not matched to "CTCSS"
    mode->lineEdit()->clear();
    QTest::keyClicks(mode->lineEdit(), "Tone 88.5");
    QTest::keyClick(mode->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Row(3).GetMode(), "Tone 88.5");
    EXPECT_EQ(mode->count(), 3);
    EXPECT_EQ(mode->itemText(0), "OFF");
    EXPECT_EQ(mode->itemText(1), "CTCSS");
    EXPECT_EQ(mode->itemText(2), "DCS");
}

TEST_F(MemoryTableKeyboardTest, PickingFromTheModeListGivesTheItemText) {
    QComboBox* mode = Row(4).ModeBox();
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down);
    EXPECT_EQ(Row(4).GetMode(), "CTCSS");
    QTest::keyClick(mode, Qt::Key_Down);
    EXPECT_EQ(Row(4).GetMode(), "DCS");
}

TEST_F(MemoryTableKeyboardTest, TextTypedIntoANumberBoxChangesNothingTheProgramReads) {
    SetValues(5, {"L", "T", "R", "DCS", "C"});
    Row(5).NumberBox()->selectAll();
    QTest::keyClicks(Row(5).NumberBox(), "77");
    std::string record;
    ASSERT_TRUE(ComposeRecord(rows, 5, record));
    EXPECT_EQ(record, "5,L,T,R,2,C");
    ParseRecord(rows, "77,x,x,x,1,x");
    EXPECT_EQ(ValuesOf(5), (std::vector<std::string>{"L", "T", "R", "DCS", "C"}));
    EXPECT_EQ(ValuesOf(77), (std::vector<std::string>{"x", "x", "x", "CTCSS", "x"}));
}

TEST_F(MemoryTableKeyboardTest, TypedTextHasNoLengthLimit) {
    const std::string longText(40000, 'k'); // beyond a line edit's default limit of 32767
    for (QLineEdit* box : {Row(6).LabelBox(), Row(6).TxBox(), Row(6).RxBox(), Row(6).CodeBox(),
                           Row(6).ModeBox()->lineEdit()}) {
        box->clear();
        QTest::keyClicks(box, QString(QLatin1String("ab")));
        box->insert(QString::fromStdString(longText));
        EXPECT_EQ(box->text().size(), 40002);
    }
    EXPECT_EQ(Row(6).GetLabel().size(), 40002u);
    EXPECT_EQ(Row(6).GetMode().size(), 40002u);
}

} // namespace
