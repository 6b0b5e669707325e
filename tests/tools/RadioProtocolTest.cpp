#include "RadioFixture.h"

namespace {

TEST_F(RadioTest, AnswersQueriesWithTheStoredRecordAndCrLf) {
    StartRadio();
    EXPECT_EQ(port->Ask(Query(1), 9), "1,,,,0,\r\n");
    EXPECT_EQ(port->Ask(Query(100), 11), "100,,,,0,\r\n");
}

TEST_F(RadioTest, StoresASetUnderTheRecordsOwnNumberAndAnswersNothing) {
    StartRadio();
    const std::string record = "7,CH 1,146.520,146.520,1,100.0";
    port->Write(Set(record));
    // The set gets no answer: the first bytes back are the query's.
    EXPECT_EQ(port->Ask(Query(7), record.size() + 2), record + "\r\n");
    EXPECT_EQ(radio->Record(7), record);
    // Its record says the query was answered, after it came, and the set was not.
    const auto commands = radio->Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_FALSE(commands[0].answered);
    ASSERT_TRUE(commands[1].answered);
    EXPECT_GE(*commands[1].answered, commands[1].arrival);

    port->Write(Set("0,A,,,0,") + Set("101,B,,,0,") + Set("x,C,,,0,"));
    EXPECT_EQ(port->Ask(Query(1), 9), "1,,,,0,\r\n");
    EXPECT_EQ(radio->Record(1), "1,,,,0,");
    EXPECT_EQ(radio->Record(100), "100,,,,0,");
    EXPECT_EQ(Logged('#').size(), 3u + 1u); // three ignored sets after the start note
}

TEST_F(RadioTest, AnswersErrToBadNumbersAndUnknownCommands) {
    StartRadio();
    for (const std::string command : {"MEM:USR:SET? 0\r", "MEM:USR:SET? 101\r", "MEM:USR:SET? -1\r",
                                      "MEM:USR:SET? x\r", "MEM:USR:SET?\r", "HELLO\r"}) {
        EXPECT_EQ(port->Ask(command, 5), "ERR\r\n") << command;
    }
}

TEST_F(RadioTest, KeepsEveryByteValueOfARecord) {
    StartRadio();
    std::string record = "9,";
    for (int value = 0; value < 256; ++value) {
        if (value != '\r') {
            record += static_cast<char>(value);
        }
    }
    port->Write(Set(record));
    EXPECT_EQ(port->Ask(Query(9), record.size() + 2), record + "\r\n");
    EXPECT_EQ(radio->Record(9), record);
}

TEST_F(RadioTest, CutsCommandsAtCrWhateverTheWritesAndLineFeeds) {
    StartRadio();
    port->Write("\n\nMEM:USR:");
    port->Write("SET? 2\r\n\n");
    port->Write("MEM:USR:SET? 3\r\nMEM:USR:SET? 4\r");
    EXPECT_EQ(port->Read(27), "2,,,,0,\r\n3,,,,0,\r\n4,,,,0,\r\n");
    ASSERT_TRUE(radio->WaitForCommands(3, Soon()));
    std::vector<std::string> texts;
    for (const auto& command : radio->Commands()) {
        texts.push_back(command.text);
    }
    EXPECT_EQ(texts,
              (std::vector<std::string>{"MEM:USR:SET? 2", "MEM:USR:SET? 3", "MEM:USR:SET? 4"}));
}

TEST_F(RadioTest, DropsGarbageAndOverlongCommandsAndGoesOn) {
    StartRadio();
    EXPECT_EQ(port->Ask(std::string("\xff\x00\x1b[2J", 6) + "\r", 5), "ERR\r\n");

    port->Write(std::string(5000, 'A') + "\r");
    EXPECT_EQ(port->Ask(Query(3), 9), "3,,,,0,\r\n"); // nothing came back for the long one
    ASSERT_TRUE(radio->WaitForCommands(2, Soon()));
    EXPECT_EQ(radio->Commands().size(), 2u);
    EXPECT_NE(WaitForLogLine(log,
                             [](const std::string& line) {
                                 return line.find("longer than 4096 bytes dropped (5000 bytes)") !=
                                        std::string::npos;
                             }),
              "");
}

TEST_F(RadioTest, ServesTheEditorAgainAfterItClosesAndReopensThePort) {
    StartRadio();
    EXPECT_EQ(port->Ask(Query(1), 9), "1,,,,0,\r\n");
    port.reset();
    port = std::make_unique<PortClient>(radio->DevicePath());
    EXPECT_EQ(port->Ask(Query(2), 9), "2,,,,0,\r\n");
}

} // namespace
