#include "MainWindowFixture.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

namespace {

using MainWindowTest = MainWindowFixture;

TEST_F(MainWindowTest, IsTheOneMainWindowWithItsTitle) {
    EXPECT_EQ(Form1, &form);
    EXPECT_EQ(form.windowTitle(), "Q4471 Memories Editor");
    // The icon is drawn from its SVG, which needs Qt's SVG icon engine installed.
    EXPECT_FALSE(form.windowIcon().pixmap(32, 32).isNull());
}

TEST_F(MainWindowTest, OpensAtItsStoredPlaceAndSizeInItsFont) {
    EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(187, 114));
    // The stored outer size of 467 by 620 less a usual frame and title bar.
    EXPECT_EQ(form.size(), QSize(459, 593));
    EXPECT_EQ(form.font().family(), "MS Sans Serif");
    EXPECT_EQ(form.font().pointSize(), 8);
    EXPECT_EQ(Row(1).LabelBox()->font(), form.font());
    EXPECT_EQ(StatusLabel()->font(), form.font());
}

TEST_F(MainWindowTest, MenusAndItemsInDisplayOrderWithoutShortcutsChecksOrSeparators) {
    const std::vector<std::pair<QString, QStringList>> expected = {
        {"File",
         {"New Blank File", "Load From Q4471", "Load Existing File", "Send File To Q4471",
          "Save As"}},
        {"Edit", {"Clear All Memories"}},
        {"Com Port", {"COM1", "COM2", "COM3", "COM4"}}};
    const QList<QAction*> menus = form.menuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (size_t m = 0; m < expected.size(); ++m) {
        QMenu* menu = menus[static_cast<qsizetype>(m)]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), expected[m].first);
        QStringList captions;
        for (const QAction* item : menu->actions()) {
            captions << item->text();
            EXPECT_FALSE(item->isSeparator()) << item->text().toStdString();
            EXPECT_TRUE(item->shortcut().isEmpty()) << item->text().toStdString();
            EXPECT_FALSE(item->isCheckable()) << item->text().toStdString();
            EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
        }
        EXPECT_EQ(captions, expected[m].second);
    }
}

TEST_F(MainWindowTest, TheTableSitsInItsPanelUnderTheHeader) {
    QScrollArea* panel = MemoriesSb();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->geometry(), QRect(8, 32, 441, 513));
    for (int n = 1; n <= 100; ++n) {
        EXPECT_EQ(Row(n).NumberBox()->parentWidget(), panel->widget()) << n;
    }
    const auto labels = panel->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    QStringList titles;
    for (const QLabel* label : labels) {
        titles << label->text();
    }
    EXPECT_EQ(titles, (QStringList{"#", "Label", "TX Freq", "RX Freq", "     Sub-Audible", "Mode",
                                   "Code"}));
}

TEST_F(MainWindowTest, ResizingMovesTheStatusBarButNeitherThePanelNorTheHeader) {
    QScrollArea* panel = MemoriesSb();
    const QList<QLabel*> header =
        panel->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    std::vector<QPoint> headerPlaces;
    for (const QLabel* label : header) {
        headerPlaces.push_back(label->pos());
    }
    EXPECT_LT(form.minimumWidth(), form.maximumWidth()); // a sizeable frame
    for (const QSize size : {QSize(700, 900), QSize(300, 250), QSize(459, 593)}) {
        form.resize(size);
        QTRY_COMPARE(form.size(), size);
        const QRect bar = StatusBar()->geometry();
        EXPECT_TRUE(StatusBar()->isVisible());
        EXPECT_EQ(bar.left(), 0);
        EXPECT_EQ(bar.width(), form.width());
        EXPECT_EQ(bar.bottom(), form.height() - 1);
        EXPECT_EQ(panel->geometry(), QRect(8, 32, 441, 513));
        for (qsizetype i = 0; i < header.size(); ++i) {
            EXPECT_EQ(header[i]->pos(), headerPlaces[static_cast<size_t>(i)]);
        }
    }
}

TEST_F(MainWindowTest, TheStatusLineStartsEmptyAndLeavesItsNameToItsText) {
    QLabel* status = StatusLabel();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), "");
    EXPECT_EQ(form.StatusText(), "");
    EXPECT_EQ(status->accessibleName(), "");
    form.SetStatusText("Closing x.mem, reading successful");
    EXPECT_EQ(status->text(), "Closing x.mem, reading successful");
    form.SetStatusText("next");
    EXPECT_EQ(form.StatusText(), "next");
}

TEST_F(MainWindowTest, AStatusTextThatLooksLikeMarkupIsShownAsItIs) {
    form.SetStatusText("Opening /tmp/ab.mem for reading...");
    const QSize plain = StatusLabel()->sizeHint();
    form.SetStatusText("Opening /tmp/a<br>b.mem for reading...");
    // As markup the line would break in two and lose the "<br>".
    EXPECT_EQ(StatusLabel()->sizeHint().height(), plain.height());
    EXPECT_GT(StatusLabel()->sizeHint().width(), plain.width());
}

TEST_F(MainWindowTest, KeyboardFocusStartsInTheFirstRowAndScrollsTheFocusedRowIntoView) {
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), Row(1).NumberBox());
    Row(29).CodeBox()->setFocus();
    QTest::keyClick(Row(29).CodeBox(), Qt::Key_Tab);
    QLineEdit* number30 = Row(30).NumberBox();
    ASSERT_EQ(QApplication::focusWidget(), number30);
    const QWidget* viewport = MemoriesSb()->viewport();
    const QRect shown(number30->mapTo(viewport, QPoint(0, 0)), number30->size());
    EXPECT_TRUE(viewport->rect().contains(shown));
}

} // namespace
