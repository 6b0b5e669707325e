#pragma once

#include "app/FileDialog.h"
#include "memories/MemoryTable.h"

#include <QMainWindow>
#include <memory>
#include <string>

namespace Ui {
class TForm1;
}
class QLabel;

// The main window: the memory table in its scrolling panel, the menus and the status line.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    TForm1();
    ~TForm1() override;

    // Replaces the status line; may be called from any thread.
    void SetStatusText(const std::string& text);
    QString StatusText() const;

    const TMemoryRows& MemoryRows() const { return memoryRows_; }
    TFileDialog FileDlg;

private:
    void FormCreate();
    void NewBlankFile1Click();
    void ClearAllMemories1Click();
    void SaveAs1Click();
    void LoadExistingFile1Click();

    // Connects a menu item; an error that escapes its handler goes to the application's error box.
    void Bind(QAction* item, void (TForm1::*handler)());
    std::string ChosenFileName() const;

    std::unique_ptr<Ui::TForm1> ui_;
    QLabel* statusText_;
    THeaderLabels headerLabels_{};
    TMemoryRows memoryRows_;
};

// The one main window, for the code that reaches it from elsewhere.
extern TForm1* Form1;
