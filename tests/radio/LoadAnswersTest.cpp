// How a load takes each kind of answer the radio may give, one memory at a time.
#include "RadioLinkFixture.h"

#include <q4471/serial/VaComm.h>

namespace {

using namespace std::chrono_literals;

const Strings Unchanged = {"", "", "", "OFF", ""};
const std::string Record1 = "1,CH 1,146.520,146.520,1,100.0";
const Strings Values1 = {"CH 1", "146.520", "146.520", "CTCSS", "100.0"};

class LoadAnswersTest : public RadioLinkTest {
protected:
    // Starts a load and serves it until the radio has been asked for `memory`.
    void LoadUntilQueryFor(int memory) {
        Trigger("LoadFromQ44711");
        ServeUntil([&] {
            const Strings commands = Commands();
            return !commands.empty() && commands.back() == Query(memory);
        });
    }
};

TEST_F(LoadAnswersTest, ARecordFillsItsRowAfterOneQuery) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    radio->SetRecord(1, Record1);
    LoadUntilQueryFor(2);
    EXPECT_EQ(ValuesOf(1), Values1);
    EXPECT_EQ(Commands(), (Strings{Query(1), Query(2)}));
}

TEST_F(LoadAnswersTest, BytesWaitingBeforeTheQueryAreNotTakenForItsAnswer) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    radio->SetRecord(1, Record1);
    form->Comm().WriteText("HELLO\r"); // the radio answers "ERR" CR LF to what it does not know
    ASSERT_TRUE(ServeUntil([&] { return form->Comm().ReadBufUsed() == 5; }));
    LoadUntilQueryFor(2);
    EXPECT_EQ(ValuesOf(1), Values1);
}

TEST_F(LoadAnswersTest, ExactlyZeroIsNoAnswerAndTheMemoryIsAskedAgain) {
    // The answer "0" CR LF goes out in two pieces, the second long after the read: the first read
    // finds exactly "0".
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) {
        b.fragments = 2;
        b.fragmentGap = 1500ms;
    }));
    radio->SetRecord(1, "0");
    Trigger("LoadFromQ44711");
    ServeUntilCommands(2);
    EXPECT_EQ(Commands(), (Strings{Query(1), Query(1)}));
    EXPECT_EQ(Statuses.back(), "ReadQ4471 Retry : 1");
}

TEST_F(LoadAnswersTest, ZeroWithItsLineEndIsTakenAndChangesNoRow) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    radio->SetRecord(1, "0"); // answered as "0" CR LF
    LoadUntilQueryFor(2);
    EXPECT_EQ(Commands(), (Strings{Query(1), Query(2)}));
    EXPECT_EQ(Statuses, Strings{"Loading from Q4471..."});
    EXPECT_EQ(ValuesOf(1), Unchanged);
}

TEST_F(LoadAnswersTest, AnAnswerStartingWithALineFeedIsTakenAndChangesNoRow) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    radio->SetRecord(1, "\n" + Record1);
    LoadUntilQueryFor(2);
    EXPECT_EQ(Commands(), (Strings{Query(1), Query(2)}));
    EXPECT_EQ(ValuesOf(1), Unchanged);
}

TEST_F(LoadAnswersTest, OfTwoRecordsInOneAnswerOnlyTheFirstCounts) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    radio->SetRecord(1, Record1 + "\r\n50,FIFTY,147.000,147.600,2,023");
    LoadUntilQueryFor(2);
    EXPECT_EQ(ValuesOf(1), Values1);
    EXPECT_EQ(ValuesOf(50), Unchanged);
}

TEST_F(LoadAnswersTest, AnAnswerInPiecesIsWholeWhenTheyAllArriveWithinTheWait) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) {
        b.fragments = 4;
        b.fragmentGap = 40ms;
    }));
    radio->SetRecord(1, Record1);
    LoadUntilQueryFor(2);
    EXPECT_EQ(ValuesOf(1), Values1);
    EXPECT_EQ(Commands(), (Strings{Query(1), Query(2)}));
}

TEST_F(LoadAnswersTest, APartialAnswerIsWaitedForUntilItsLineEndAndNotAskedForAgain) {
    // 16 of 32 bytes are in when the editor reads; the rest comes 500 ms after the first half,
    // in time for the next read of the same memory.
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) {
        b.fragments = 2;
        b.fragmentGap = 500ms;
    }));
    radio->SetRecord(1, Record1);
    LoadUntilQueryFor(2);
    EXPECT_EQ(ValuesOf(1), Values1);
    EXPECT_EQ(Commands(), (Strings{Query(1), Query(2)}));
}

TEST_F(LoadAnswersTest, AnErrAnswerEndsTheLoadWithItsMessage) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.answerErr = true; }));
    Trigger("LoadFromQ44711");
    ServeUntilEnd("Load from Q4471 stopped: 'ERR' is not a valid integer value");
    EXPECT_EQ(Statuses, (Strings{"Loading from Q4471...",
                                 "Load from Q4471 stopped: 'ERR' is not a valid integer value"}));
    EXPECT_EQ(Commands(), Strings{Query(1)});
    EXPECT_EQ(ValuesOf(1), Unchanged);
}

TEST_F(LoadAnswersTest, AStoppedLoadQuotesTheAnswerWholeEvenPastANulByte) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    radio->SetRecord(1, std::string("1") + '\0' + "x,a,b,c,0,d");
    Trigger("LoadFromQ44711");
    ServeUntilEnd(std::string("Load from Q4471 stopped: '1") + '\0' +
                  "x' is not a valid integer value");
    EXPECT_EQ(ValuesOf(1), Unchanged);
}

TEST_F(LoadAnswersTest, AnOkAnswerIsTakenChangesNoRowAndTheLoadGoesOn) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.answerOk = true; }));
    radio->SetRecord(1, Record1);
    LoadUntilQueryFor(3);
    EXPECT_EQ(Commands(), (Strings{Query(1), Query(2), Query(3)}));
    EXPECT_EQ(Statuses, Strings{"Loading from Q4471..."});
    EXPECT_EQ(ValuesOf(1), Unchanged);
}

TEST_F(LoadAnswersTest, AnAnswerNamingAnotherMemoryFillsThatRowAndTheLoadGoesOn) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.wrongNumber = 6; }));
    radio->SetRecord(1, Record1);
    LoadUntilQueryFor(2);
    EXPECT_EQ(ValuesOf(7), Values1);
    EXPECT_EQ(ValuesOf(1), Unchanged);
}

} // namespace
