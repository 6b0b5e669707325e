#include "MemoryTableFixture.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

using MemoryRowValuesTest = MemoryTableFixture;

// Texts the values must keep exactly: blanks, commas, case, emptiness, 8-bit and control bytes.
std::vector<std::string> TextsToKeep() {
    std::vector<std::string> texts = {"",    " ",       "  CH 1  ", "A,B",    ",",   "ctcss",
                                      "off", "Dcs ",    "XYZ",      "OFF",    "DCS", "146.520",
                                      "---", "\tTab\t", "a\rb",     "\x1b[0m"};
    texts.emplace_back(std::string("nul\0inside", 10));
    texts.emplace_back(std::string("\0", 1));
    std::string highBytes;
    for (int byte = 0x7f; byte <= 0xff; ++byte) {
        highBytes += static_cast<char>(byte);
    }
    texts.push_back(highBytes);
    std::string lowBytes;
    for (int byte = 0x00; byte < 0x20; ++byte) {
        if (byte != '\n') {
            lowBytes += static_cast<char>(byte);
        }
    }
    texts.push_back(lowBytes);
    texts.emplace_back(100000, 'w');
    return texts;
}

TEST_F(MemoryRowValuesTest, EverySetterPassesItsTextToItsGetterUnchanged) {
    for (const std::string& text : TextsToKeep()) {
        SetValues(12, {text, text + "t", text + "r", text, text + "c"});
        EXPECT_EQ(ValuesOf(12),
                  (std::vector<std::string>{text, text + "t", text + "r", text, text + "c"}))
            << "text of " << text.size() << " bytes";
    }
}

TEST_F(MemoryRowValuesTest, SetModeShowsAnyTextAndLeavesTheListAlone) {
    Row(2).SetMode("");
    EXPECT_EQ(Row(2).ModeBox()->currentText(), "");
    EXPECT_EQ(Row(2).GetMode(), "");
    Row(2).SetMode("ctcss");
    EXPECT_EQ(Row(2).GetMode(), "ctcss");
    Row(2).SetMode("DCS");
    EXPECT_EQ(Row(2).GetMode(), "DCS");
    EXPECT_EQ(Row(2).ModeBox()->count(), 3);
}

TEST_F(MemoryRowValuesTest, TheControlsShowTheBytesAsLatin1Characters) {
    Row(3).SetLabel("Caf\xe9 \xb5");
    EXPECT_EQ(Row(3).LabelBox()->text(), QString::fromUtf8("Café µ"));
    // A character typed that Latin-1 cannot hold comes back as '?'; the rest stays.
    Row(3).LabelBox()->setText(QString::fromUtf8("a€b"));
    EXPECT_EQ(Row(3).GetLabel(), "a?b");
}

} // namespace
