// One transfer at a time, and what ends a running one: closing the window or a Com Port command.
// The window stays usable while a load runs.
#include "RadioLinkFixture.h"
#include "app/ModalDialogDriver.h"

#include <q4471/serial/VaComm.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <regex>

namespace {

using namespace std::chrono_literals;

const std::string Busy = "A transfer with the Q4471 is running: wait until it has finished";

class TransferControlTest : public RadioLinkTest {
protected:
    // Nothing more reaches the radio: longer than one pause and a retry would take.
    void ExpectNoFurtherCommands() {
        const std::size_t count = radio->Commands().size();
        EXPECT_FALSE(radio->WaitForCommands(count + 1, Clock::now() + 800ms))
            << "the radio got " << Commands().back() << " after the transfer had ended";
    }

    void ExpectRefusalsDuring(const char* command, const std::function<std::string(int)>& sent) {
        ASSERT_NO_FATAL_FAILURE(ConnectRadio());
        Trigger(command);
        ServeUntilCommands(1);
        for (const char* another : {"LoadFromQ44711", "SendFileToQ44711"}) {
            Trigger(another);
            EXPECT_EQ(Status(), Busy) << another;
        }
        ServeUntilCommands(3);
        // A second exchange would have begun again at memory 1.
        EXPECT_EQ(Commands(), (Strings{sent(1), sent(2), sent(3)}));
    }

    void ExpectClosingEndsQuickly(const char* command) {
        ASSERT_NO_FATAL_FAILURE(ConnectRadio());
        Trigger(command);
        ServeUntilCommands(2);
        const Clock::time_point start = Clock::now();
        CloseWindow();
        EXPECT_LT(Clock::now() - start, 1s);
        ExpectNoFurtherCommands();
    }

    // `text` is a pattern: how far the transfer got depends on the moment it stopped.
    void ExpectPortChangeEnds(const char* command, const char* port, const std::string& text) {
        ASSERT_NO_FATAL_FAILURE(ConnectRadio());
        Trigger(command);
        ServeUntilCommands(2);
        EXPECT_TRUE(Progress()->isVisible());
        EXPECT_GE(Progress()->value(), 2);
        Trigger(port);
        EXPECT_TRUE(std::regex_match(Status(), std::regex(text))) << Status();
        EXPECT_FALSE(Progress()->isVisible());
        ExpectNoFurtherCommands();
    }
};

TEST_F(TransferControlTest, DuringALoadAnotherLoadOrSendIsRefusedAndNeverReachesThePort) {
    ExpectRefusalsDuring("LoadFromQ44711", [](int n) { return Query(n); });
}

TEST_F(TransferControlTest, DuringASendAnotherLoadOrSendIsRefusedAndNeverReachesThePort) {
    ExpectRefusalsDuring("SendFileToQ44711",
                         [](int n) { return Set(std::to_string(n) + ",,,,0,"); });
}

TEST_F(TransferControlTest, ATransferThatHasEndedNoLongerHoldsBackTheNextOne) {
    // The radio refuses every query, so each load ends after its first one.
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.answerErr = true; }));
    const std::string refused = "Load from Q4471 stopped: 'ERR' is not a valid integer value";
    for (int load = 1; load <= 3; ++load) {
        Trigger("LoadFromQ44711");
        EXPECT_EQ(Status(), "Loading from Q4471...") << "load " << load;
        ServeUntilEnd(refused);
    }
    EXPECT_EQ(Commands(), Strings(3, Query(1)));
}

TEST_F(TransferControlTest, ClosingTheWindowDuringALoadEndsItWithinASecond) {
    ExpectClosingEndsQuickly("LoadFromQ44711");
}

TEST_F(TransferControlTest, ClosingTheWindowDuringASendEndsItWithinASecond) {
    ExpectClosingEndsQuickly("SendFileToQ44711");
}

TEST_F(TransferControlTest, ChoosingThePortAgainDuringALoadEndsItAndSaysSo) {
    ExpectPortChangeEnds("LoadFromQ44711", "COM11",
                         "Load from Q4471 stopped after memory [0-9]+: the Com Port was changed "
                         "\\(Port 1 Selected\\)");
    EXPECT_TRUE(form->Comm().Active());
}

TEST_F(TransferControlTest, ChoosingAMissingPortDuringASendEndsItAndSaysSo) {
    ExpectPortChangeEnds("SendFileToQ44711", "COM31",
                         "Send to Q4471 stopped after memory [0-9]+: the Com Port was changed "
                         "\\(Port 3 Unavailable\\)");
    EXPECT_FALSE(form->Comm().Active());
}

TEST_F(TransferControlTest, ATransferStoppedTheMomentItStartedEndsCleanly) {
    // The thread may not yet have begun its work when the port change stops it.
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.silent = true; }));
    for (int round = 0; round < 100; ++round) {
        for (const char* command : {"LoadFromQ44711", "SendFileToQ44711"}) {
            Trigger(command);
            Trigger("COM11");
            ASSERT_FALSE(Progress()->isVisible()) << command << ", round " << round;
        }
    }
    EXPECT_TRUE(std::regex_match(Status(), std::regex("Send to Q4471 stopped (before the first "
                                                      "memory|after memory 1): the Com Port was "
                                                      "changed \\(Port 1 Selected\\)")))
        << Status();
}

TEST_F(TransferControlTest, ALineThatGoesDeadEndsALoadOrASendWithTheReason) {
    for (const char* command : {"LoadFromQ44711", "SendFileToQ44711"}) {
        SCOPED_TRACE(command);
        ASSERT_NO_FATAL_FAILURE(ConnectRadio());
        Trigger(command);
        ServeUntilCommands(2);
        radio->Stop(); // the far end of the line closes

        // The status line says so, whatever the transfer tried after; the port lets go.
        const std::string lost = "Connection to COM1 lost (5), Input/output error; choose the "
                                 "port again once the device is back";
        EXPECT_TRUE(ServeUntil([&] { return Status().ends_with(lost); })) << Status();
        EXPECT_FALSE(Progress()->isVisible());
        EXPECT_FALSE(form->Comm().Active());
        CloseWindow();
    }
}

TEST_F(TransferControlTest, ASendWhoseCommandDoesNotGoOutWholeStopsAndSaysWhichMemory) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio());
    form->Comm().SetXon(false); // the line holds back what is written until the write gives up
    Trigger("SendFileToQ44711");
    ServeUntilEnd("Send to Q4471 stopped: memory 1 did not go out whole");
    EXPECT_EQ(Statuses, (Strings{"Sending to Q4471...",
                                 "Send to Q4471 stopped: memory 1 did not go out whole"}));
    form->Comm().SetXon(true);
    ExpectNoFurtherCommands(); // memory 2 was not sent after memory 1 failed
}

TEST_F(TransferControlTest, TypingIntoARowAndSavingAFileWorkWhileALoadRuns) {
    ASSERT_NO_FATAL_FAILURE(ConnectRadio([](radiosim::Behaviour& b) { b.stopFrom = 6; }));
    for (int n = 1; n <= 5; ++n) {
        radio->SetRecord(n, std::to_string(n) + ",R" + std::to_string(n) + ",1,2,1,3");
    }
    Trigger("LoadFromQ44711");
    ServeUntilCommands(1);

    QLineEdit* label = form->MemoryRows()[50]->LabelBox();
    QTest::keyClicks(label, "TYPED");
    const std::string file = folder.File("during-load.mem");
    const ModalDialogDriver<QFileDialog> dialog([&](QFileDialog* shown) {
        auto* name = shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(file));
        QTest::keyClick(name, Qt::Key_Return);
    });
    Trigger("SaveAs1");
    ASSERT_TRUE(dialog.Handled());
    EXPECT_TRUE(Progress()->isVisible()) << "the load should still run";

    const std::string saved = ReadBytes(file);
    EXPECT_NE(saved.find("\r\n50,TYPED,,,0,\r\n"), std::string::npos) << saved;
    ServeUntilEnd("Load from Q4471 stopped: memory 6 did not answer");
    EXPECT_EQ(ValuesOf(5), (Strings{"R5", "1", "2", "CTCSS", "3"}));
    EXPECT_EQ(ValuesOf(50), (Strings{"TYPED", "", "", "OFF", ""}));
}

} // namespace
