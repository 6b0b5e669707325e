#include "MemoryFileFixture.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Strings = std::vector<std::string>;
using SaveMemoryFileTest = MemoryFileFixture;

mode_t PermissionsOf(const std::string& fileName) {
    struct stat info {};
    EXPECT_EQ(stat(fileName.c_str(), &info), 0) << fileName;
    return info.st_mode & 07777;
}

TEST_F(SaveMemoryFileTest, AClearedTableGivesHundredLinesEndedByCrLfAndNothingElse) {
    ClearAll();
    const std::string file = folder.File("cleared.mem");
    ASSERT_TRUE(Save(file));
    EXPECT_EQ(ReadBytes(file), ClearedTableFile());
    EXPECT_EQ(statuses, (Strings{"Opening " + file + " for writing...",
                                 "Closing " + file + ", writing successful"}));
    EXPECT_EQ(folder.Listing(), "cleared.mem"); // no temporary left beside it
}

TEST_F(SaveMemoryFileTest, SavingOverALongerFileLeavesNoTraceOfIt) {
    const std::string file = folder.File("old.mem");
    WriteBytes(file, std::string(100000, 'O'));
    ClearAll();
    ASSERT_TRUE(Save(file));
    EXPECT_EQ(ReadBytes(file), ClearedTableFile());
}

TEST_F(SaveMemoryFileTest, SavingThenLoadingGivesBackEveryValueWithoutAComma) {
    const std::vector<Strings> values = {{"CH 1", "146.520", "146.520", "CTCSS", "100.0"},
                                         {" Rpt ", "439.000", "431.400", "DCS", "023"},
                                         {"", "", "", "OFF", ""},
                                         {"simplex", "145.500", "145.500", "OFF", "x y"}};
    for (int n = 1; n <= 100; ++n) {
        SetValues(n, values[static_cast<size_t>(n) % values.size()]);
    }
    const auto saved = Table();
    const std::string file = folder.File("round.mem");
    ASSERT_TRUE(Save(file));
    ClearAll();
    Load(file);
    EXPECT_EQ(Table(), saved);
}

TEST_F(SaveMemoryFileTest, ANewFileGetsTheUsualPermissionsAndAnExistingFileKeepsItsOwn) {
    const mode_t mask = umask(027);
    const std::string fresh = folder.File("new.mem");
    ASSERT_TRUE(Save(fresh));
    EXPECT_EQ(PermissionsOf(fresh), 0640u);
    umask(mask);

    for (const mode_t kept : {0600u, 0644u, 0664u, 0604u}) {
        const std::string file = folder.File("kept.mem");
        WriteBytes(file, "old");
        ASSERT_EQ(chmod(file.c_str(), kept), 0);
        ASSERT_TRUE(Save(file));
        EXPECT_EQ(PermissionsOf(file), kept);
        EXPECT_EQ(statuses.back(), "Closing " + file + ", writing successful");
    }
}

TEST_F(SaveMemoryFileTest, AnExistingFileKeepsItsOwnerAndGroup) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another owner";
    }
    const std::string file = folder.File("shared.mem");
    WriteBytes(file, "old");
    ASSERT_EQ(chown(file.c_str(), 4471, 4472), 0);
    ASSERT_EQ(chmod(file.c_str(), 0660), 0);
    ASSERT_TRUE(Save(file));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4471u);
    EXPECT_EQ(info.st_gid, 4472u);
    EXPECT_EQ(info.st_mode & 07777, 0660u);
}

TEST_F(SaveMemoryFileTest, ASymbolicLinkIsFollowedAndStaysALink) {
    std::filesystem::create_directory(folder.File("real"));
    const std::string target = folder.File("real/target.mem");
    WriteBytes(target, "old content");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const std::string absoluteLink = folder.File("absolute.mem");
    const std::string relativeLink = folder.File("relative.mem");
    const std::string chainLink = folder.File("chain.mem");
    std::filesystem::create_symlink(target, absoluteLink);
    std::filesystem::create_symlink("real/target.mem", relativeLink);
    std::filesystem::create_symlink("relative.mem", chainLink);

    ClearAll();
    for (const std::string& link : {absoluteLink, relativeLink, chainLink}) {
        WriteBytes(target, "old content");
        ASSERT_TRUE(Save(link)) << link;
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << link;
        EXPECT_EQ(ReadBytes(target), ClearedTableFile()) << link;
        EXPECT_EQ(PermissionsOf(target), 0640u);
        EXPECT_EQ(statuses.back(), "Closing " + link + ", writing successful");
    }
    EXPECT_EQ(folder.Listing(), "absolute.mem chain.mem real relative.mem");
    EXPECT_EQ(std::filesystem::directory_iterator(folder.File("real"))->path().filename(),
              "target.mem");
}

TEST_F(SaveMemoryFileTest, ALinkToAMissingFileCreatesThatFile) {
    const std::string link = folder.File("dangling.mem");
    std::filesystem::create_symlink("made.mem", link);
    ClearAll();
    ASSERT_TRUE(Save(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(folder.File("made.mem")), ClearedTableFile());
}

TEST_F(SaveMemoryFileTest, ALoopOfLinksCannotBeOpenedAndStaysAsItWas) {
    const std::string first = folder.File("first.mem");
    std::filesystem::create_symlink("second.mem", first);
    std::filesystem::create_symlink("first.mem", folder.File("second.mem"));
    EXPECT_FALSE(Save(first));
    EXPECT_EQ(statuses.back(), "Unable to open " + first + ", exiting");
    EXPECT_TRUE(std::filesystem::is_symlink(first));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("second.mem")));
    EXPECT_EQ(folder.Listing(), "first.mem second.mem");
}

TEST_F(SaveMemoryFileTest, ANameThatCannotBeOpenedIsReportedAndCreatesNothing) {
    std::filesystem::create_directory(folder.File("folder.mem"));
    for (const std::string& name :
         {folder.File("folder.mem"), folder.File("missing/x.mem"), std::string(),
          folder.File("folder.mem/"), std::string("/proc/version")}) {
        EXPECT_FALSE(Save(name)) << name;
        EXPECT_EQ(statuses, (Strings{"Opening " + name + " for writing...",
                                     "Unable to open " + name + ", exiting"}));
    }
    EXPECT_EQ(folder.Listing(), "folder.mem");
    EXPECT_TRUE(std::filesystem::is_empty(folder.File("folder.mem")));
}

TEST_F(SaveMemoryFileTest, TextPastedWithLineEndsStillSavesOneLinePerMemory) {
    ClearAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("two\nlines"));
    Row(5).LabelBox()->clear();
    Row(5).LabelBox()->paste();
    QGuiApplication::clipboard()->setText(QStringLiteral("dos\r\nline"));
    Row(6).CodeBox()->paste();
    Row(7).ModeBox()->lineEdit()->clear();
    Row(7).ModeBox()->lineEdit()->paste();
    const auto pasted = Table();
    EXPECT_EQ(pasted[4][0], "two lines");
    EXPECT_EQ(pasted[5][4], "dos line");
    EXPECT_EQ(pasted[6][3], "dos line");

    const std::string file = folder.File("pasted.mem");
    ASSERT_TRUE(Save(file));
    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 100);
    ClearAll();
    Load(file);
    EXPECT_EQ(statuses.back(), "Closing " + file + ", reading successful");
    EXPECT_EQ(Row(5).GetLabel(), "two lines");
    EXPECT_EQ(Row(6).GetCode(), "dos line");
}

} // namespace
