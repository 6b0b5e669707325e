// The pure parts of the monitor: what a typed send line stands for, and how traffic reads.
#include "EscapeText.h"
#include "LineChoices.h"
#include "serial/diagnostics/TrafficFormat.h"

#include <q4471/serial/Vaconst.h>

#include <gtest/gtest.h>
#include <string>

using namespace TrafficFormat;

namespace {

struct TEscapeCase {
    const char* Typed;
    std::string Bytes;
};

TEST(EscapeText, TypedEscapesStandForTheirBytesAndEverythingElseForItself) {
    const TEscapeCase cases[] = {
        {"", ""},
        {"MEM:USR:SET? 5\\r", "MEM:USR:SET? 5\r"},
        {"a\\nb\\r\\n", "a\nb\r\n"},
        {"C:\\\\path", "C:\\path"},
        {"\\x00\\x7f\\xFF\\x0d", std::string("\0\x7F\xFF\r", 4)},
        {"\\x41\\x42C", "ABC"},
        {"\\\\x41", "\\x41"}, // an escaped backslash ends the escape
        {"tab\there", "tab\there"},
        {"caf\xC3\xA9", "caf\xC3\xA9"}, // bytes that are not ASCII pass as they are
    };
    for (const TEscapeCase& test : cases) {
        const TEscapeResult result = ParseEscapes(test.Typed);
        EXPECT_TRUE(result.Ok) << test.Typed << ": " << result.Error;
        EXPECT_EQ(result.Bytes, test.Bytes) << test.Typed;
        EXPECT_EQ(result.Error, "") << test.Typed;
    }
}

struct TBadEscape {
    const char* Typed;
    const char* Error;
};

TEST(EscapeText, ABadEscapeRefusesTheWholeLineAndSaysWhereAndWhy) {
    const TBadEscape cases[] = {
        {"abc\\", "A lone \"\\\" ends the line at column 4: write \\\\ for a backslash."},
        {"\\t", "Unknown escape \"\\t\" at column 1: use \\r, \\n, \\\\ or \\xNN."},
        {"ok\\r then \\q", "Unknown escape \"\\q\" at column 11: use \\r, \\n, \\\\ or \\xNN."},
        {"\\x4", "\"\\x4\" at column 1 needs two hex digits, as in \\x0D."},
        {"\\x", "\"\\x\" at column 1 needs two hex digits, as in \\x0D."},
        {"ab\\xG1", "\"\\xG1\" at column 3 needs two hex digits, as in \\x0D."},
        {"\\x1 2", "\"\\x1 \" at column 1 needs two hex digits, as in \\x0D."},
    };
    for (const TBadEscape& test : cases) {
        const TEscapeResult result = ParseEscapes(test.Typed);
        EXPECT_FALSE(result.Ok) << test.Typed;
        EXPECT_EQ(result.Bytes, "") << test.Typed;
        EXPECT_EQ(result.Error, test.Error) << test.Typed;
    }
}

TEST(TrafficFormat, StampsAreTimesOfDayToTheMillisecond) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "00:00:00.000"},        {45296789, "12:34:56.789"},
        {86399999, "23:59:59.999"}, {86400000 + 1001, "00:00:01.001"}, // past midnight wraps
        {-1, "23:59:59.999"},
    };
    for (const auto& [ms, stamp] : cases) {
        EXPECT_EQ(FormatStamp(ms), stamp) << ms;
    }
}

TEST(TrafficFormat, EveryByteHasOneUnambiguousVisibleForm) {
    const std::pair<std::string, const char*> cases[] = {
        {"MEM:USR:SET? 5", "MEM:USR:SET? 5"},
        {"\r\n", "<CR><LF>"},
        {std::string("\0\t\x1B\x7F\x80\xFF", 6), "\\x00\\x09\\x1B\\x7F\\x80\\xFF"},
        {"a\\b", "a\\\\b"},
        {" ~", " ~"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(VisibleText(bytes), text) << text;
    }
}

struct TRunCase {
    TDirection Direction;
    std::string Bytes;
    std::string Lines;
};

TEST(TrafficFormat, ARunReadsAsStampedLinesOfSixteenBytesInHexAndText) {
    const int64_t noon = 12 * 3600000 + 5;
    const std::string pad(12, ' ');
    const TRunCase cases[] = {
        {TDirection::Received, "", ""},
        {TDirection::Sent, "MEM:USR:SET? 5\r",
         "12:00:00.005 TX  4D 45 4D 3A 55 53 52 3A 53 45 54 3F 20 35 0D     "
         "MEM:USR:SET? 5<CR>"},
        {TDirection::Received, "5,Repeater,146.9\r\n",
         "12:00:00.005 RX  35 2C 52 65 70 65 61 74 65 72 2C 31 34 36 2E 39  "
         "5,Repeater,146.9\n" +
             pad + " RX  0D 0A" + std::string(47 - 5 + 2, ' ') + "<CR><LF>"},
        {TDirection::Received, std::string(1, '\0'),
         "12:00:00.005 RX  00" + std::string(47 - 2 + 2, ' ') + "\\x00"},
    };
    for (const TRunCase& test : cases) {
        const std::string lines = FormatRun(test.Direction, noon, test.Bytes);
        EXPECT_EQ(lines, test.Lines);
        // The text always starts in the same column, which is what keeps the view readable.
        for (std::size_t start = 0; start < lines.size();) {
            const std::size_t end = std::min(lines.find('\n', start), lines.size());
            EXPECT_GT(end - start, TextColumn) << lines;
            EXPECT_EQ(lines.substr(start + TextColumn - 2, 2), "  ") << lines;
            start = end + 1;
        }
    }
}

TEST(TrafficFormat, LineErrorsAndNotesReadAsWords) {
    const std::pair<uint32_t, const char*> cases[] = {
        {CE_FRAME, "framing error"},
        {CE_OVERRUN | CE_FRAME, "framing error, character overrun"},
        {CE_RXPARITY | CE_BREAK | CE_RXOVER | CE_TXFULL,
         "parity error, input queue overflow, break, output queue full"},
        {0x8000 | CE_FRAME, "framing error, 0x8000"},
    };
    for (const auto& [errors, text] : cases) {
        EXPECT_EQ(LineErrorText(errors), text) << errors;
    }
    EXPECT_EQ(FormatNote(1000, "break received"), "00:00:01.000 --  break received");
}

TEST(LineChoices, ASetOfLineSettingsReadsAsUsersWriteIt) {
    using namespace LineChoices;
    const std::pair<TLineSettings, const char*> cases[] = {
        {TLineSettings{}, "9600 baud, 8N1, no flow control"},
        {TLineSettings{br115200, db7, paEven, sb2, flRtsCts, false, false},
         "115200 baud, 7E2, RTS/CTS flow control"},
        {TLineSettings{br110, db5, paSpace, sb15, flXonXoff, true, true},
         "110 baud, 5S1.5, XON/XOFF flow control"},
    };
    for (const auto& [settings, text] : cases) {
        EXPECT_EQ(DescribeLine(settings), text);
    }
    EXPECT_EQ(DeviceNamePattern("/dev/odd%dname"), "/dev/odd%%dname");
    EXPECT_EQ(Rates().front(), br110);
    EXPECT_EQ(Rates().back(), br256000);
}

} // namespace
