// The monitor's window driven end to end over pseudo-terminals: against the simulated radio, and
// against a far end the test plays itself.
#include "LineMonitorFixture.h"
#include "TrafficView.h"
#include "serial/diagnostics/EditorPortTree.h"
#include "serial/diagnostics/TrafficFormat.h"

#include <QFile>
#include <QTest>

namespace {

TEST_F(LineMonitorTest, AMemoryQueryShowsTheRadiosRecordInTheView) {
    ASSERT_NO_FATAL_FAILURE(OpenRadio());
    radio->SetRecord(42, "42,Repeater,146.940,146.340,1,100.0");
    MemoryBox()->setValue(42);
    Click("QueryButton");

    const std::string answer = "42,Repeater,146.940,146.340,1,100.0<CR><LF>";
    ASSERT_TRUE(ServeUntil([&] { return ShownText("RX") == answer; })) << ShownText("RX");
    EXPECT_EQ(ShownText("TX"), "MEM:USR:SET? 42<CR>");
    EXPECT_EQ(radio->Commands().size(), 1u);
    EXPECT_EQ(form->BytesOut(), 16);
    EXPECT_EQ(form->BytesIn(), 37);
    // The text as shown goes to the file, the sent line marked as such.
    const QString path = QString::fromStdString(folder.File("session.txt"));
    form->SaveTraffic(path);
    EXPECT_TRUE(StatusStartsWith("Saved ")) << Status();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    EXPECT_EQ(text, form->View().toPlainText() + "\n");
    EXPECT_TRUE(text.contains(QStringLiteral(" TX  4D 45 4D 3A"))) << text.toStdString();
    // A place that cannot be written says so, and the view loses nothing.
    form->SaveTraffic(QString::fromStdString(folder.File("no-folder/session.txt")));
    EXPECT_TRUE(StatusStartsWith("Could not save the traffic to ")) << Status();
    EXPECT_EQ(form->View().toPlainText() + "\n", text);
}

TEST_F(LineMonitorTest, AStreamFromTheFarEndShowsWholeAndInOrder) {
    ASSERT_NO_FATAL_FAILURE(OpenFar());
    // Every byte value, then numbered text, written in small pieces as a line delivers them.
    std::string stream;
    for (int byte = 0; byte < 256; ++byte) {
        stream += static_cast<char>(byte);
    }
    for (int number = 0; number < 4000; ++number) {
        stream += std::to_string(100000 + number) + (number % 10 == 9 ? "\r\n" : " ");
    }
    const TFarWriter writer(far.Master(), stream, 100);
    const std::string expected = TrafficFormat::VisibleText(stream);
    ASSERT_TRUE(ServeUntil([&] { return ShownText("RX").size() >= expected.size(); }))
        << ShownText("RX").size() << " of " << expected.size();
    EXPECT_EQ(ShownText("RX"), expected);
    EXPECT_EQ(form->BytesIn(), static_cast<int64_t>(stream.size()));
}

TEST_F(LineMonitorTest, TypedLinesGoOutWithTheirEscapesAndABadOneSendsNothing) {
    ASSERT_NO_FATAL_FAILURE(OpenFar());
    struct TCase {
        const char* Typed;
        const char* Status;
    };
    const TCase bad[] = {
        {"MEM:USR:SET? 1\\", "Nothing sent: A lone \"\\\" ends the line at column 15"},
        {"\\q", "Nothing sent: Unknown escape \"\\q\" at column 1"},
        {"\\x0", "Nothing sent: \"\\x0\" at column 1 needs two hex digits"},
        {"", "Nothing to send: type the text to send first."},
    };
    for (const TCase& test : bad) {
        SendTyped(test.Typed);
        EXPECT_TRUE(StatusStartsWith(test.Status)) << Status();
        EXPECT_EQ(SendLine()->text().toStdString(), test.Typed) << "the typed line is kept";
    }
    SendTyped("A\\x42\\\\C\\r\\n");
    EXPECT_EQ(Status(), "Sent 6 bytes");
    // The first bytes the far end gets are the good line's: none came from the bad ones.
    EXPECT_EQ(far.Receive(6), "AB\\C\r\n");
    EXPECT_EQ(form->BytesOut(), 6);
    ASSERT_TRUE(ServeUntil([&] { return !ShownText("TX").empty(); }));
    EXPECT_EQ(ShownText("TX"), "AB\\\\C<CR><LF>");
}

TEST_F(LineMonitorTest, LineFunctionsShowTheirOutcomeOnTheStatusLine) {
    struct TCase {
        const char* Flow; // item of the flow-control box
        const char* Button;
        std::string Status;
        bool StaysOn;
    };
    const TCase cases[] = {
        // A pseudo-terminal has no modem lines: the port refuses, and the button stays off.
        {"None", "DtrButton", "Error calling comm function (25), Inappropriate ioctl for device",
         false},
        {"None", "RtsButton", "Error calling comm function (25), Inappropriate ioctl for device",
         false},
        {"RTS/CTS", "RtsButton",
         "RTS line updates not allowed when flowcontrol is set to Handshake or Toggle.", false},
        // A pseudo-terminal takes a break.
        {"None", "BreakButton", "Break on: the line is held in the break state", true},
    };
    ASSERT_NO_FATAL_FAILURE(OpenFar());
    for (const TCase& test : cases) {
        Choose("FlowBox", QLatin1String(test.Flow));
        Click(test.Button);
        EXPECT_EQ(Status(), test.Status) << test.Button;
        EXPECT_EQ(Button(test.Button)->isChecked(), test.StaysOn) << test.Button;
        if (test.StaysOn) {
            Click(test.Button);
        }
    }
    EXPECT_EQ(Status(), "Break off");
    EXPECT_TRUE(form->Comm().Active());
    // The port still works after every refusal.
    SendTyped("still here");
    EXPECT_EQ(far.Receive(10), "still here");
}

TEST_F(LineMonitorTest, APortThatCannotBeOpenedSaysWhyAndTheMonitorGoesOn) {
    ASSERT_NO_FATAL_FAILURE(ShowWindow());
    const std::string missing = folder.File("missing-device");
    const std::string plainFile = folder.File("plain-file");
    { QFile(QString::fromStdString(plainFile)).open(QIODevice::WriteOnly); }
    const std::pair<std::string, std::string> cases[] = {
        {"COM2", "Specified device not found (COM2)."},
        {missing, "Specified device not found (" + missing + ")."},
        {"", "Choose a port, or type the path of a device, then Open."},
        {plainFile, "Can't open specified device " + plainFile + " (Error 25, "},
    };
    for (const auto& [port, status] : cases) {
        form->OpenPort(port);
        EXPECT_TRUE(StatusStartsWith(status)) << port << ": " << Status();
        EXPECT_FALSE(form->Comm().Active()) << port;
        EXPECT_FALSE(Button("CloseButton")->isEnabled()) << port;
    }
    // Nothing to send on a closed port, and still a working window.
    SendTyped("x");
    EXPECT_EQ(Status(), "Nothing sent: no port is open.");
    ASSERT_NO_FATAL_FAILURE(OpenFar());
}

TEST_F(LineMonitorTest, ALineSettingChosenOnAnOpenPortIsWrittenAtOnce) {
    ASSERT_NO_FATAL_FAILURE(OpenFar());
    EXPECT_EQ(far.SlaveSettings().c_ospeed, 9600u);
    Choose("RateBox", QStringLiteral("115200"));
    EXPECT_EQ(Status(), "Line set to 115200 baud, 8N1, no flow control");
    EXPECT_EQ(far.SlaveSettings().c_ospeed, 115200u);
    // (A pseudo-terminal keeps no parity and no character size, but it keeps the stop bits.)
    Choose("StopBitsBox", QStringLiteral("2"));
    EXPECT_EQ(Status(), "Line set to 115200 baud, 8N2, no flow control");
    EXPECT_NE(far.SlaveSettings().c_cflag & CSTOPB, 0u);
}

TEST_F(LineMonitorTest, LineErrorsAreCountedAndNamedInTheView) {
    // A pseudo-terminal has no line errors: the driver's report is scripted.
    fakeSystem.scriptedEvents = &events;
    ASSERT_NO_FATAL_FAILURE(ShowWindow());
    form->Comm().SetCommSystem(fakeSystem);
    ASSERT_NO_FATAL_FAILURE(OpenFar());
    fakeSystem.pendingErrors = CE_FRAME | CE_OVERRUN;
    events.Raise(EV_ERR);
    ASSERT_TRUE(ServeUntil([&] { return form->LineErrors() == 1; }));
    form->View().Flush();
    EXPECT_NE(ViewLines().back().find("--  line error: framing error, character overrun"),
              std::string::npos)
        << ViewLines().back();
}

} // namespace

namespace {

// The port box follows the cables: each listed with what it is, named on the status line as it
// comes and goes.
TEST_F(LineMonitorTest, ThePortBoxFollowsCablesPluggedInAndPulledOut) {
    EditorPortTree tree;
    ASSERT_NO_FATAL_FAILURE(ShowWindow());
    QComboBox* ports = Box("PortBox");
    const QString item = QString::fromStdString(
        tree.Dev("ttyUSB0") + "  (FTDI FT232R USB UART, serial A10K3ZQ4, 0403:6001)");
    EXPECT_EQ(ports->findText(item), -1);
    tree.AddUsbPort("ttyUSB0", "ftdi_sio", {"0403", "6001", "FTDI", "FT232R USB UART", "A10K3ZQ4"},
                    1, "usb-FTDI_FT232R_USB_UART_A10K3ZQ4-if00-port0");
    EXPECT_TRUE(ServeUntil([&] { return ports->findText(item) >= 0; })) << Status();
    EXPECT_TRUE(StatusStartsWith("Port arrived: " + tree.Dev("ttyUSB0"))) << Status();
    tree.RemoveNode("ttyUSB0");
    EXPECT_TRUE(ServeUntil([&] { return ports->findText(item) == -1; })) << Status();
    EXPECT_TRUE(StatusStartsWith("Port left: " + tree.Dev("ttyUSB0"))) << Status();
}

} // namespace
