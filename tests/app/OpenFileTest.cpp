// A file named on the command line (or opened from the desktop) loads exactly as a file chosen
// under Load Existing File: the same status texts, the same handling of a bad file, memory file
// or CSV.
#include "MainWindowFixture.h"
#include "ModalDialogDriver.h"
#include "TempFolder.h"

#include <QMessageBox>

namespace {

struct OpenFileCase {
    const char* what;
    const char* name;        // under the test's folder
    const char* contents;    // nullptr: nothing is written there
    bool folder;             // made a folder instead
    const char* finalStatus; // "%s" stands for the full path
    const char* errorBox;    // nullptr: none is shown
    const char* row1Label;   // what row 1 holds afterwards ("kept" was there before)
};

const OpenFileCase Cases[] = {
    {"good file", "good.mem", "1,one,146.520,146.580,1,100.0\r\n", false,
     "Closing %s, reading successful", nullptr, "one"},
    {"bad file", "bad.mem", "1,one,,,0,\r\nx,two,,,0,\r\n", false, "Opening %s for reading...",
     "'x' is not a valid integer value", "one"},
    {"csv file", "list.csv", "Location,Name,Frequency\r\n1,one,146.52\r\n", false,
     "Read 1 memory from %s", nullptr, "one"},
    {"csv without header", "bad.csv", "1,one,146.52\r\n", false,
     "Reading %s stopped: nothing was loaded",
     "%s was not loaded: its first line names no Location and Frequency columns, as the header of "
     "a CSV of radio memories does",
     "kept"},
    {"missing file", "missing.mem", nullptr, false, "Unable to open %s, exiting", nullptr, "kept"},
    {"folder", "folder.mem", nullptr, true, "Unable to open %s, exiting", nullptr, "kept"},
};

using OpenFileTest = MainWindowFixture;

TEST_F(OpenFileTest, LoadsLikeLoadExistingFileAndTheDialogThenProposesTheFile) {
    for (const OpenFileCase& c : Cases) {
        SCOPED_TRACE(c.what);
        const TempFolder folder;
        const std::string path = folder.File(c.name);
        if (c.contents != nullptr) {
            WriteBytes(path, c.contents);
        }
        if (c.folder) {
            ASSERT_TRUE(QDir().mkdir(QString::fromStdString(path)));
        }
        Row(1).SetLabel("kept");
        QString shown;
        const ModalDialogDriver<QMessageBox> errorBox([&](QMessageBox* box) {
            shown = box->text();
            box->accept();
        });

        form.OpenFile(QString::fromStdString(path));

        EXPECT_EQ(errorBox.Handled(), c.errorBox != nullptr);
        if (c.errorBox != nullptr) {
            EXPECT_EQ(shown,
                      QString::fromUtf8(c.errorBox).replace("%s", QString::fromStdString(path)));
        }
        QString status = QString::fromUtf8(c.finalStatus);
        EXPECT_EQ(form.StatusText(), status.replace("%s", QString::fromStdString(path)));
        EXPECT_EQ(Row(1).GetLabel(), c.row1Label);
        EXPECT_EQ(form.FileDlg.FileName, QString::fromStdString(path));
        EXPECT_TRUE(form.isVisible());
    }
}

} // namespace
