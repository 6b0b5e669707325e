// Faults on the line, end to end: the device vanishes, the radio floods the line, answers far too
// much, too slowly, in pieces or for the wrong memory. In every case the status line says what
// happened, nothing hangs, no CPU is spent once the fault has passed, the table keeps every value
// the radio did not really send, and the next command works (on a device that came back, once
// the port has been chosen again).
//
// Where the editor is known to fall short, the case names the shortfall: the case then checks
// everything else and is reported as skipped, with what it saw, until the editor meets it.
#include "LineFaultFixture.h"

#include <gmock/gmock.h>
#include <optional>

namespace {

using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Matcher;
using ::testing::StartsWith;
using ::testing::StrEq;

constexpr const char* kLoad = "LoadFromQ44711";
constexpr const char* kSend = "SendFileToQ44711";
const std::string kDeviceLost = "Connection to COM1 lost (5), Input/output error";

struct FaultCase {
    const char* name;
    const char* command; // the transfer the fault hits; none: the port is idle
    std::function<void(radiosim::Behaviour&)> radio;
    std::string firstRecord; // memory 1 as the radio holds it, unless the usual one
    // The device vanishes once the radio has this many commands; nothing: it stays.
    std::optional<std::size_t> vanishAfter;
    Matcher<std::string> status;
    // Rows 1 to radioRows hold the radio's values, the others the user's (or kWholeRows).
    int radioRows;
    const char* knownFault; // what the editor does instead, or nothing where it is sound
};

// Names the case in a failure's message, instead of dumping its bytes.
void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.name;
}

std::string BigAnswer() {
    // A whole record, then what a record line ignores after a sixth comma, to 64 KB with CR LF.
    const std::string record = "1,R1,146.520,146.520,1,100.0,";
    return record + std::string(64 * 1024 - 2 - record.size(), 'X');
}

const FaultCase kCases[] = {
    {"DeviceVanishesDuringALoad",
     kLoad,
     {},
     {},
     3,
     AllOf(StartsWith("Load from Q4471 stopped: "), HasSubstr("Input/output error")),
     2,
     nullptr},
    {"DeviceVanishesDuringASend",
     kSend,
     {},
     {},
     3,
     AllOf(StartsWith("Send to Q4471 stopped: "), HasSubstr("Input/output error")),
     0,
     nullptr},
    {"DeviceVanishesWhileThePortIsIdle",
     nullptr,
     {},
     {},
     0,
     HasSubstr("lost"),
     0,
     "the status line keeps \"Port 1 Selected\": only the error box says the device is gone"},
    {"RadioFloodsTheLineWithGarbage",
     kLoad,
     [](radiosim::Behaviour& b) {
         b.floodFrom = 3;
         b.seed = 11;
     },
     {},
     {},
     StartsWith("Load from Q4471 stopped: "),
     2,
     nullptr},
    {"AnAnswerOf64KB",
     kLoad,
     [](radiosim::Behaviour& b) { b.stopFrom = 4; },
     BigAnswer(),
     {},
     StrEq("Load from Q4471 stopped: memory 4 did not answer"),
     3,
     nullptr},
    {"BytesTrickleOneEvery100ms",
     kLoad,
     [](radiosim::Behaviour& b) {
         b.fragments = 4096; // one byte a piece
         b.fragmentGap = 100ms;
     },
     {},
     {},
     StartsWith("Load from Q4471 stopped: memory 1"),
     kWholeRows,
     "an answer only partly in after the pause is taken as it is: rows get the first bytes of a "
     "record and lose the rest of their values, and the load ends on a fragment of a later "
     "answer that is no memory number"},
    {"AnswersSplitAtEveryByteArriveWholeWithinThePause",
     kLoad,
     [](radiosim::Behaviour& b) {
         b.splitSweep = true;
         b.fragmentGap = 100ms;
         b.stopFrom = 32; // memory n's answer is cut after byte n: 31 covers every cut
     },
     {},
     {},
     StrEq("Load from Q4471 stopped: memory 32 did not answer"),
     31,
     nullptr},
    {"AnswersSplitAtEveryByteAcrossThePause",
     kLoad,
     [](radiosim::Behaviour& b) {
         b.splitSweep = true;
         b.fragmentGap = 500ms;
     },
     {},
     {},
     StartsWith("Load from Q4471 stopped: memory 1"),
     kWholeRows,
     "the head of a split answer is taken as the whole answer and its tail as the head of the "
     "next one: memories are skipped or cut short without a word, until a tail is no memory "
     "number"},
    {"RadioAnswersTheWrongMemory",
     kLoad,
     [](radiosim::Behaviour& b) {
         b.wrongNumber = 1;
         b.stopFrom = 4;
     },
     {},
     {},
     HasSubstr("memory 1"),
     kWholeRows,
     "an answer naming memory n+1 fills row n+1 with memory n's values, without a word"},
};

class LineFaultsTest : public LineFaultTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LineFaultsTest, StatusTableCpuAndTheNextCommand) {
    const FaultCase& fault = GetParam();
    ASSERT_NO_FATAL_FAILURE(ConnectAndFill(fault.radio));
    if (!fault.firstRecord.empty()) {
        radio->SetRecord(1, fault.firstRecord);
    }

    if (fault.command != nullptr) {
        Trigger(fault.command);
    }
    if (fault.vanishAfter) {
        ServeUntilCommands(*fault.vanishAfter);
        radio->Stop();
    }
    // Nothing hangs: the transfer ends, and a vanished device is told once.
    ASSERT_TRUE(ServeUntil([&] { return !Progress()->isVisible(); }, 60s)) << Status();
    if (fault.vanishAfter) {
        ServeUntil([&] { return !ErrorBoxes.empty(); }, 10s);
        EXPECT_EQ(ErrorBoxes, Strings{kDeviceLost});
        ErrorBoxes.clear();
    } else {
        radio->SetBehaviour({}); // the radio is itself again from here on
    }
    const std::string status = Status();
    const std::string tableDeviation = TableDeviation(fault.radioRows);

    const std::chrono::microseconds cpu = CpuOverOneSecond();
    RecordProperty("cpuMicrosecondsInTheSecondAfter", static_cast<int>(cpu.count()));
    EXPECT_LT(cpu, 50ms) << "after: " << status;

    const char* next = fault.command != nullptr ? fault.command : kLoad;
    if (fault.vanishAfter) {
        RestartRadio(); // the device is back under its name
        ASSERT_TRUE(RunTransfer(next, 10s)) << "the port still holds the vanished device";
        EXPECT_THAT(Status(), StartsWith(next == kLoad ? "Load from Q4471 stopped: "
                                                       : "Send to Q4471 stopped: "));
        Trigger("COM11");
        ASSERT_EQ(Status(), "Port 1 Selected");
    }
    ExpectCommandWorks(next);

    const bool statusSound = ::testing::Matches(fault.status)(status);
    if (fault.knownFault != nullptr && !(statusSound && tableDeviation.empty())) {
        GTEST_SKIP() << "known fault: " << fault.knownFault << ". Status \"" << status
                     << "\"; rows differing:"
                     << (tableDeviation.empty() ? " none" : tableDeviation);
    }
    EXPECT_THAT(status, fault.status);
    EXPECT_EQ(tableDeviation, "");
}

INSTANTIATE_TEST_SUITE_P(Faults, LineFaultsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
