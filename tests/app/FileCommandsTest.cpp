#include "MainWindowFixture.h"
#include "ModalDialogDriver.h"
#include "TempFolder.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

using Strings = std::vector<std::string>;

class FileCommandsTest : public MainWindowFixture {
protected:
    // Chooses `fileName` in the file dialog, as typed into its name field and confirmed. The field
    // has the focus, as when typing: the dialog then no longer puts the file it has preselected
    // there once it has read the folder.
    static std::function<void(QFileDialog*)> Choose(const QString& fileName) {
        return [fileName](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            dialog->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            name->setFocus();
            ASSERT_TRUE(QTest::qWaitFor([name] { return name->hasFocus(); }));
            name->setText(fileName);
            QTest::keyClick(name, Qt::Key_Return);
        };
    }
    static void Cancel(QFileDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }

    TempFolder folder;
};

TEST_F(FileCommandsTest, SaveAsWritesTheChosenFileAndTheDialogRemembersIt) {
    Item("ClearAllMemories1")->trigger();
    Row(7).SetLabel("CH 1");
    Row(7).SetMode("CTCSS");
    const std::string file = folder.File("Mémoires ü.mem");
    RunWithDialog("SaveAs1", Choose(Native(file)));
    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes.substr(0, 12), "1,---,,,0,\r\n");
    EXPECT_NE(bytes.find("\r\n7,CH 1,,,1,\r\n"), std::string::npos);
    EXPECT_EQ(form.StatusText(), Native("Closing " + file + ", writing successful"));
    EXPECT_EQ(form.FileDlg.FileName, Native(file));

    RunWithDialog("LoadExistingFile1", [&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->directory().absolutePath(), Native(folder.Path()));
        EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
                  "Mémoires ü.mem");
        Cancel(dialog);
    });
}

TEST_F(FileCommandsTest, TheDialogOffersMemFilesInTheCurrentFolderAtFirst) {
    RunWithDialog("SaveAs1", [](QFileDialog* dialog) {
        EXPECT_EQ(dialog->directory().absolutePath(), QDir::currentPath());
        EXPECT_EQ(dialog->nameFilters(),
                  (QStringList{"*.mem", "CSV for other radio programs (*.csv)"}));
        EXPECT_EQ(dialog->defaultSuffix(), "mem");
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        Cancel(dialog);
    });
}

TEST_F(FileCommandsTest, ANameWithoutExtensionGetsMem) {
    RunWithDialog("SaveAs1", Choose(Native(folder.File("plain"))));
    EXPECT_EQ(form.StatusText(),
              Native("Closing " + folder.File("plain.mem") + ", writing successful"));
    EXPECT_EQ(folder.Listing(), "plain.mem");
}

TEST_F(FileCommandsTest, LoadExistingFileReadsTheChosenFileIntoTheTable) {
    const std::string file = folder.File("load.mem");
    WriteBytes(file, "42,A,B,C,2,D\r\n3,X,,,0,1\n3,Y,,,1,2\n");
    RunWithDialog("LoadExistingFile1", Choose(Native(file)));
    EXPECT_EQ(ValuesOf(42), (Strings{"A", "B", "C", "DCS", "D"}));
    EXPECT_EQ(ValuesOf(3), (Strings{"Y", "", "", "CTCSS", "2"}));
    EXPECT_EQ(ValuesOf(4), (Strings{"", "", "", "OFF", ""}));
    EXPECT_EQ(form.StatusText(), Native("Closing " + file + ", reading successful"));
}

TEST_F(FileCommandsTest, CancellingTheDialogChangesNothingAndSetsNoStatusText) {
    Row(9).SetLabel("kept");
    for (const char* command : {"SaveAs1", "LoadExistingFile1"}) {
        RunWithDialog(command, Cancel);
        EXPECT_EQ(form.StatusText(), "") << command;
        EXPECT_EQ(Row(9).GetLabel(), "kept");
        EXPECT_EQ(form.FileDlg.FileName, "*.mem");
    }
    EXPECT_EQ(folder.Listing(), "");
}

TEST_F(FileCommandsTest, AConversionErrorReachesTheErrorBoxAndTheWindowGoesOn) {
    const std::string file = folder.File("bad.mem");
    WriteBytes(file, "1,one,,,0,\r\n2,two,,,1,\r\nx,three,,,0,\r\n4,four,,,0,\r\n");
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    const ModalDialogDriver<QMessageBox> errorBox([&](QMessageBox* box) {
        shown = box->text();
        format = box->textFormat(); // the message quotes the file: never taken as markup
        box->accept();
    });
    RunWithDialog("LoadExistingFile1", Choose(Native(file)));
    EXPECT_TRUE(errorBox.Handled());
    EXPECT_EQ(shown, "'x' is not a valid integer value");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(form.StatusText(), Native("Opening " + file + " for reading..."));
    EXPECT_EQ(Row(1).GetLabel(), "one");
    EXPECT_EQ(Row(2).GetLabel(), "two");
    EXPECT_EQ(Row(4).GetLabel(), "");
    EXPECT_TRUE(form.isVisible());
    // The window takes the next command as usual.
    RunWithDialog("SaveAs1", Choose(Native(folder.File("after.mem"))));
    EXPECT_EQ(form.StatusText(),
              Native("Closing " + folder.File("after.mem") + ", writing successful"));
}

} // namespace
