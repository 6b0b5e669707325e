// Faults on the line, end to end: the device vanishes, the radio floods the line, answers far too
// much, too slowly, in pieces or for the wrong memory. In every case the status line says what
// happened, nothing hangs, no CPU is spent once the fault has passed, the table keeps every value
// the radio did not really send, and the next command works (on a device that came back, once
// the port has been chosen again).
#include "LineFaultFixture.h"

#include <q4471/serial/VaComm.h>

#include <gmock/gmock.h>
#include <optional>

namespace {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::Matcher;
using ::testing::StartsWith;
using ::testing::StrEq;

constexpr const char* Load = "LoadFromQ44711";
constexpr const char* Send = "SendFileToQ44711";
const std::string DeviceLost = "Connection to COM1 lost (5), Input/output error; choose the port "
                               "again once the device is back";

struct FaultCase {
    const char* name;
    const char* command; // the transfer the fault hits; none: the port is idle
    std::function<void(radiosim::Behaviour&)> radio;
    std::string firstRecord; // memory 1 as the radio holds it, unless the usual one
    // The device vanishes once the radio has this many commands; nothing: it stays.
    std::optional<std::size_t> vanishAfter;
    Matcher<std::string> status;
    // Rows 1 to radioRows hold the radio's values, the others the user's (or WholeRows);
    // shifted by `shift` rows when the radio names other memories than it was asked for.
    int radioRows;
    int shift = 0;
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

const FaultCase Cases[] = {
    {"DeviceVanishesDuringALoad", Load, {}, {}, 3, EndsWith(DeviceLost), 2},
    {"DeviceVanishesDuringASend", Send, {}, {}, 3, EndsWith(DeviceLost), 0},
    {"DeviceVanishesWhileThePortIsIdle", nullptr, {}, {}, 0, StrEq(DeviceLost), 0},
    {"RadioFloodsTheLineWithGarbage",
     Load,
     [](radiosim::Behaviour& b) {
         b.floodFrom = 3;
         b.seed = 11;
     },
     {},
     {},
     StartsWith("Load from Q4471 stopped: "),
     2},
    {"AnAnswerOf64KB",
     Load,
     [](radiosim::Behaviour& b) { b.stopFrom = 4; },
     BigAnswer(),
     {},
     // The line cannot hold it all: its line end never comes, and no row takes a part of it.
     StrEq("Load from Q4471 stopped: memory 1 did not answer"),
     0},
    {"BytesTrickleOneEvery100ms",
     Load,
     [](radiosim::Behaviour& b) {
         b.fragments = 4096; // one byte a piece
         b.fragmentGap = 100ms;
     },
     {},
     {},
     StrEq("Load from Q4471 stopped: memory 1 did not answer"),
     0},
    {"AnswersSplitAtEveryByteArriveWholeWithinThePause",
     Load,
     [](radiosim::Behaviour& b) {
         b.splitSweep = true;
         b.fragmentGap = 100ms;
         b.stopFrom = 32; // memory n's answer is cut after byte n: 31 covers every cut
     },
     {},
     {},
     StrEq("Load from Q4471 stopped: memory 32 did not answer"),
     31},
    {"AnswersSplitAtEveryByteAcrossThePause",
     Load,
     [](radiosim::Behaviour& b) {
         b.splitSweep = true;
         b.fragmentGap = 500ms; // the rest comes after the read: each memory waits one pause more
         b.stopFrom = 32;
     },
     {},
     {},
     // Memory 31's answer is cut between its CR and LF: the late LF, an answer that begins
     // with a line end, is taken as memory 32's and changes no row.
     StrEq("Load from Q4471 stopped: memory 33 did not answer"),
     31},
    {"RadioAnswersTheWrongMemory",
     Load,
     [](radiosim::Behaviour& b) {
         b.wrongNumber = 1;
         b.stopFrom = 4;
     },
     {},
     {},
     StrEq("Load from Q4471 stopped: memory 4 did not answer, and memory 1 answered as memory 2 "
           "(and 2 more)"),
     3,
     1},
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
        // Said on the status line, and the port lets go of the device.
        ServeUntil([&] { return Status().ends_with(DeviceLost); }, 10s);
        EXPECT_FALSE(form->Comm().Active());
    } else {
        radio->SetBehaviour({}); // the radio is itself again from here on
    }
    const std::string status = Status();
    const std::string tableDeviation = TableDeviation(fault.radioRows, fault.shift);

    const std::chrono::microseconds cpu = CpuOverOneSecond();
    RecordProperty("cpuMicrosecondsInTheSecondAfter", static_cast<int>(cpu.count()));
    EXPECT_LT(cpu, 50ms) << "after: " << status;

    const char* next = fault.command != nullptr ? fault.command : Load;
    if (fault.vanishAfter) {
        RestartRadio(); // the device is back under its name
        Trigger(next);
        EXPECT_EQ(Status(),
                  "No Com Port is open: choose the radio's port in the Com Port menu first");
        Trigger("COM11");
        ASSERT_EQ(Status(), "Port 1 Selected");
    }
    ExpectCommandWorks(next);

    EXPECT_THAT(status, fault.status);
    EXPECT_EQ(tableDeviation, "");
}

INSTANTIATE_TEST_SUITE_P(Faults, LineFaultsTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
