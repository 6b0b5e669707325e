// CSV for other radio programs through the window: the file types of Save As and Load Existing
// File, the details box, and files dropped on the window.
#include "MainWindowFixture.h"
#include "ModalDialogDriver.h"
#include "TempFolder.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

namespace {

using Strings = std::vector<std::string>;
const char* const CsvHeader = "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,";

class CsvFileCommandsTest : public MainWindowFixture {
protected:
    // Picks the file type at `typeIndex` as a user does, then types and confirms `fileName`.
    static std::function<void(QFileDialog*)> Choose(int typeIndex, const QString& fileName) {
        return [typeIndex, fileName](QFileDialog* dialog) {
            dialog->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(types, nullptr);
            types->setFocus();
            for (int i = types->currentIndex(); i < typeIndex; ++i) {
                QTest::keyClick(types, Qt::Key_Down);
            }
            ASSERT_EQ(types->currentIndex(), typeIndex);
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setFocus();
            ASSERT_TRUE(QTest::qWaitFor([name] { return name->hasFocus(); }));
            name->setText(fileName);
            QTest::keyClick(name, Qt::Key_Return);
        };
    }

    TempFolder folder;
};

TEST_F(CsvFileCommandsTest, TheTypeChosenOrANameEndingInCsvDecidesWhatSaveAsWrites) {
    struct Case {
        int type; // 0 the memory file, 1 CSV
        const char* typed;
        const char* saved;
        bool csv;
    };
    const Case cases[] = {{1, "club", "club.csv", true},
                          {0, "list.csv", "list.csv", true},
                          {0, "LIST.CSV", "LIST.CSV", true},
                          {1, "chosen.mem", "chosen.mem", true},
                          {0, "plain", "plain.mem", false}};
    Item("ClearAllMemories1")->trigger();
    SetValues(2, {"RPT", "146.340", "146.940", "CTCSS", "100.0"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        RunWithDialog("SaveAs1", [&](QFileDialog* dialog) {
            EXPECT_EQ(dialog->nameFilters(),
                      (QStringList{"*.mem", "CSV for other radio programs (*.csv)"}));
            EXPECT_EQ(dialog->selectedNameFilter(), "*.mem");
            Choose(c.type, Native(folder.File(c.typed)))(dialog);
        });
        const std::string file = folder.File(c.saved);
        EXPECT_EQ(form.StatusText(), Native("Closing " + file + ", writing successful"));
        const std::string bytes = ReadBytes(file);
        EXPECT_EQ(bytes.rfind(c.csv ? CsvHeader : "1,---,,,0,\r\n", 0), 0u) << bytes;
        if (c.csv) {
            EXPECT_NE(bytes.find("\r\n2,RPT,146.940000,-,0.600000,TSQL,100.0,100.0,"),
                      std::string::npos);
        }
    }
}

TEST_F(CsvFileCommandsTest, WhatCannotBeWrittenOrReadAsItStandsIsListedInTheDetailsBox) {
    Item("ClearAllMemories1")->trigger();
    SetValues(4, {"four", "abc", "146.520", "CTCSS", "12x"});
    const std::string file = folder.File("report.csv");
    QString text;
    QString detailed;
    const auto read = [&](QMessageBox* box) {
        text = box->text();
        detailed = box->detailedText();
        box->accept();
    };
    {
        const ModalDialogDriver<QMessageBox> detailsBox(read);
        RunWithDialog("SaveAs1", Choose(1, Native(file)));
        EXPECT_TRUE(detailsBox.Handled());
    }
    const QString saved =
        Native("Closing " + file + ", writing successful; 1 memory could not be written whole");
    EXPECT_EQ(form.StatusText(), saved);
    EXPECT_EQ(text, saved);
    EXPECT_EQ(detailed, "memory 4: TX Freq 'abc' is not a frequency in MHz; Code '12x' is no "
                        "standard CTCSS tone\n");

    WriteBytes(file,
               std::string(CsvHeader) + "\r\n4,new,146.52,,,TSQL,88.5,99.9,\r\n5,x,y,,,,,,\r\n");
    {
        const ModalDialogDriver<QMessageBox> detailsBox(read);
        RunWithDialog("LoadExistingFile1", [&](QFileDialog* dialog) {
            EXPECT_EQ(dialog->nameFilters(),
                      (QStringList{"Memory and CSV files (*.mem *.csv)", "All files (*)"}));
            Choose(0, Native(file))(dialog);
        });
        EXPECT_TRUE(detailsBox.Handled());
    }
    const QString loaded = Native("Read 1 memory from " + file + "; 1 row skipped, 1 tone dropped");
    EXPECT_EQ(form.StatusText(), loaded);
    EXPECT_EQ(text, loaded);
    EXPECT_TRUE(detailed.contains("line 2, memory 4: loaded without its tone"))
        << detailed.toStdString();
    EXPECT_TRUE(detailed.contains("line 3 skipped: Frequency 'y'")) << detailed.toStdString();
    EXPECT_EQ(ValuesOf(4), (Strings{"new", "146.520", "146.520", "OFF", ""}));
}

TEST_F(CsvFileCommandsTest, AFileDroppedOnTheWindowLoadsAsLoadExistingFileLoadsIt) {
    struct Case {
        const char* name;
        const char* contents;
        const char* label; // memory 3's afterwards
        const char* status;
        const char* errorBox;
    };
    const Case cases[] = {
        {"drop.csv", "Location,Name,Frequency\r\n3,csv,146.52\r\n", "csv", "Read 1 memory from %s",
         nullptr},
        {"drop.mem", "3,mem,,,0,\r\n", "mem", "Closing %s, reading successful", nullptr},
        {"nocsv.csv", "3,no header\r\n", "kept", "Reading %s stopped: nothing was loaded",
         "was not loaded: its first line names no Location and Frequency columns"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File(c.name);
        WriteBytes(path, c.contents);
        Row(3).SetLabel("kept");
        QString shown;
        const ModalDialogDriver<QMessageBox> errorBox([&](QMessageBox* box) {
            shown = box->text();
            box->accept();
        });
        // Onto a box of the table, which takes text drops of its own.
        QLineEdit* target = Row(3).LabelBox();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Native(path))});
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_TRUE(drop.isAccepted());
        QString status = QString::fromUtf8(c.status).replace("%s", Native(path));
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.StatusText() == status; }))
            << form.StatusText().toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return errorBox.Handled() == (c.errorBox != nullptr); }));
        if (c.errorBox != nullptr) {
            EXPECT_TRUE(shown.contains(c.errorBox)) << shown.toStdString();
        }
        EXPECT_EQ(Row(3).GetLabel(), c.label);
        EXPECT_EQ(form.FileDlg.FileName, Native(path));
    }
    // Text that names no local file is left to the box it is dropped on.
    QMimeData text;
    text.setText(QStringLiteral("146.520"));
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Row(3).LabelBox(), &enter);
    EXPECT_TRUE(enter.isAccepted()); // by the line edit itself, for its text
    EXPECT_EQ(form.FileDlg.FileName, Native(folder.File("nocsv.csv")));
}

} // namespace
