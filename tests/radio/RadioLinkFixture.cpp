#include "RadioLinkFixture.h"

#include "DistinctMemories.h"
#include "memories/Q4471Radio.h"
#include "support/NoComPorts.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>

#include <QTest>
#include <cstdlib>

using namespace q4471;

RadioLinkTest::RadioLinkTest() {
    Application::SetExceptionDisplay(
        [this](const std::string& message) { ErrorBoxes.push_back(message); });
    PointComPortsAtNothing(folder); // until the radio starts
}

RadioLinkTest::~RadioLinkTest() {
    // The window lets go of the port before the radio's device goes away.
    form.reset();
    radio.reset();
}

void RadioLinkTest::TearDown() {
    EXPECT_EQ(ErrorBoxes, Strings{});
}

void RadioLinkTest::StartRadio(const Misbehaviour& misbehave) {
    RestartRadio(misbehave);
    setenv("Q4471_COM1", radioLink.empty() ? radio->DevicePath().c_str() : radioLink.c_str(), 1);
    form = std::make_unique<TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void RadioLinkTest::RestartRadio(const Misbehaviour& misbehave) {
    radio.reset();
    radiosim::RadioOptions options;
    options.logPath = folder.File("radio.log");
    options.linkPath = radioLink;
    if (misbehave) {
        misbehave(options.behaviour);
    }
    radio = std::make_unique<radiosim::SimulatedRadio>(options);
    radio->Start();
}

void RadioLinkTest::ConnectRadio(const Misbehaviour& misbehave) {
    ASSERT_NO_FATAL_FAILURE(StartRadio(misbehave));
    Trigger("COM11");
    ASSERT_EQ(Status(), "Port 1 Selected");
}

QAction* RadioLinkTest::Item(const char* name) const {
    auto* item = form->findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(item, nullptr) << name;
    return item;
}

void RadioLinkTest::Trigger(const char* item) {
    Item(item)->trigger();
}

std::string RadioLinkTest::Status() const {
    return form->StatusText().toStdString();
}

QProgressBar* RadioLinkTest::Progress() const {
    return form->findChild<QProgressBar*>();
}

bool RadioLinkTest::ServeUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds within) {
    const Clock::time_point deadline = Clock::now() + within;
    for (;;) {
        if (const std::string text = Status(); Statuses.empty() || Statuses.back() != text) {
            Statuses.push_back(text);
        }
        if (done()) {
            return true;
        }
        if (Clock::now() > deadline) {
            return false;
        }
        CheckSynchronize(5);
    }
}

bool RadioLinkTest::ServeUntilStatus(const std::string& text, std::chrono::milliseconds within) {
    const bool shown = ServeUntil([&] { return Status() == text; }, within);
    EXPECT_TRUE(shown) << "still \"" << Status() << "\" instead of \"" << text << '"';
    return shown;
}

bool RadioLinkTest::ServeUntilEnd(const std::string& text, std::chrono::milliseconds within) {
    const bool ended =
        ServeUntil([&] { return Status() == text && !Progress()->isVisible(); }, within);
    EXPECT_TRUE(ended) << "\"" << Status() << "\" instead of the end with \"" << text << '"';
    return ended;
}

bool RadioLinkTest::ServeUntilCommands(std::size_t count, std::chrono::milliseconds within) {
    const bool arrived = ServeUntil([&] { return Commands().size() >= count; }, within);
    EXPECT_TRUE(arrived) << "the radio got " << Commands().size() << " commands, not " << count;
    return arrived;
}

Strings RadioLinkTest::Commands() const {
    Strings texts;
    for (const radiosim::ReceivedCommand& command : radio->Commands()) {
        texts.push_back(command.text);
    }
    return texts;
}

namespace {

using Received = std::vector<radiosim::ReceivedCommand>;

// How long the editor waits for an answer before it asks again.
constexpr std::chrono::milliseconds AnswerWait{TQ4471Radio::ReplyDelayMs};

// Whether commands[i] repeats the command before it because that one's answer came too late:
// the radio wrote it only once the repeat had reached it, or later than the editor's wait after
// the radio read the command (the editor sent it earlier still). A command the radio never
// answered excuses no repeat: tries for a silent memory are what the tests count.
bool IsLateRetry(const Received& commands, std::size_t i) {
    if (i == 0 || commands[i].text != commands[i - 1].text || !commands[i - 1].answered) {
        return false;
    }
    const radiosim::ReceivedCommand& asked = commands[i - 1];
    return *asked.answered >= commands[i].arrival || *asked.answered - asked.arrival > AnswerWait;
}

} // namespace

Strings RadioLinkTest::CommandsWithoutLateRetries(std::size_t from) const {
    const Received commands = radio->Commands();
    Strings texts;
    for (std::size_t i = from; i < commands.size(); ++i) {
        if (!IsLateRetry(commands, i)) {
            texts.push_back(commands[i].text);
        }
    }
    return texts;
}

Strings RadioLinkTest::RetryStatuses(std::size_t from) const {
    const Received commands = radio->Commands();
    Strings texts;
    int tries = 0;
    for (std::size_t i = from; i < commands.size(); ++i) {
        const bool again = i + 1 < commands.size() && commands[i + 1].text == commands[i].text;
        tries = i > from && commands[i].text == commands[i - 1].text ? tries + 1 : 1;
        const bool unanswered = again || !commands[i].answered;
        if (const std::string text = "ReadQ4471 Retry : " + std::to_string(tries);
            unanswered && (texts.empty() || texts.back() != text)) {
            texts.push_back(text);
        }
    }
    return texts;
}

Strings RadioLinkTest::ValuesOf(int number) const {
    return MemoryValuesOf(form->MemoryRows(), number);
}

void RadioLinkTest::SetValues(int number, const Strings& values) const {
    SetMemoryValues(form->MemoryRows(), number, values);
}

void RadioLinkTest::CloseWindow() {
    if (form) {
        form->close();
        form.reset();
    }
}
