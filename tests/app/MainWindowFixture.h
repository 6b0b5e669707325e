#pragma once

#include "DistinctMemories.h"
#include "ModalDialogDriver.h"
#include "app/TForm1.h"

#include <q4471/framework/qt/QtFramework.h>

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

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
    // Label, TX Freq, RX Freq, mode and Code of memory `number`, through the row's own calls.
    std::vector<std::string> ValuesOf(int number) {
        return MemoryValuesOf(form.MemoryRows(), number);
    }
    void SetValues(int number, const std::vector<std::string>& values) {
        SetMemoryValues(form.MemoryRows(), number, values);
    }
    // Runs a menu command whose file dialog `dialogAction` answers.
    void RunWithDialog(const char* command, std::function<void(QFileDialog*)> dialogAction) {
        const ModalDialogDriver<QFileDialog> driver(std::move(dialogAction));
        Item(command)->trigger();
        EXPECT_TRUE(driver.Handled()) << command << ": no file dialog";
    }
    static QString Native(const std::string& fileName) { return QString::fromStdString(fileName); }

    const q4471::QtFrameworkBinding binding;
    TForm1 form;
};
