#pragma once

#include "app/TForm1.h"
#include "framework/qt/QtFramework.h"

#include <QAction>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

// The main window as the program shows it, with the program's binding of the error display.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    QAction* Item(const char* name) {
        auto* item = form.findChild<QAction*>(QLatin1String(name));
        EXPECT_NE(item, nullptr) << name;
        return item;
    }
    QScrollArea* MemoriesSb() { return form.findChild<QScrollArea*>(QStringLiteral("MemoriesSb")); }
    QStatusBar* StatusBar() { return form.findChild<QStatusBar*>(QStringLiteral("StatusBar")); }
    // The status bar's one text area.
    QLabel* StatusLabel() {
        const auto labels = StatusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        EXPECT_EQ(labels.size(), 1);
        return labels.isEmpty() ? nullptr : labels.first();
    }
    TMemoryRow& Row(int number) { return *form.MemoryRows()[static_cast<size_t>(number)]; }

    const QtFrameworkBinding binding;
    TForm1 form;
};
