#include "RadioLinkFixture.h"

#include "DistinctMemories.h"
#include "framework/Application.h"
#include "framework/Thread.h"
#include "support/NoComPorts.h"

#include <QTest>
#include <cstdlib>

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
