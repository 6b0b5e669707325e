#include "LineMonitorFixture.h"

#include "TrafficView.h"
#include "support/NoComPorts.h"

#include <q4471/framework/Application.h>

#include <QTest>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace q4471;

TFarWriter::TFarWriter(int master, std::string bytes, std::size_t piece) {
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this, master, bytes = std::move(bytes), piece] {
        for (std::size_t at = 0; at < bytes.size() && !stop_;) {
            pollfd room{master, POLLOUT, 0};
            if (poll(&room, 1, 100) <= 0) {
                continue;
            }
            const ssize_t sent =
                write(master, bytes.data() + at, std::min(piece, bytes.size() - at));
            at += sent > 0 ? static_cast<std::size_t>(sent) : 0;
        }
    });
}

TFarWriter::~TFarWriter() {
    stop_ = true;
    thread_.join();
}

LineMonitorTest::LineMonitorTest() {
    Application::SetExceptionDisplay(
        [this](const std::string& message) { ErrorBoxes.push_back(message); });
    PointComPortsAtNothing(folder);
}

LineMonitorTest::~LineMonitorTest() {
    // The window lets go of the port before the far end goes away.
    form.reset();
    radio.reset();
    Application::SetExceptionDisplay(nullptr);
}

void LineMonitorTest::TearDown() {
    EXPECT_EQ(ErrorBoxes, Strings{});
}

void LineMonitorTest::ShowWindow() {
    form = std::make_unique<TLineMonitorForm>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void LineMonitorTest::OpenRadio() {
    radiosim::RadioOptions options;
    options.logPath = folder.File("radio.log");
    radio = std::make_unique<radiosim::SimulatedRadio>(options);
    radio->Start();
    setenv("Q4471_COM1", radio->DevicePath().c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(ShowWindow());
    Choose("PortBox",
           QStringLiteral("COM1  (") + QString::fromStdString(radio->DevicePath()) + ")");
    Click("OpenButton");
    ASSERT_TRUE(StatusStartsWith("Opened COM1")) << Status();
}

void LineMonitorTest::OpenFar() {
    if (!form) {
        ASSERT_NO_FATAL_FAILURE(ShowWindow());
    }
    form->OpenPort(far.SlavePath());
    ASSERT_TRUE(StatusStartsWith("Opened " + far.SlavePath())) << Status();
}

QPushButton* LineMonitorTest::Button(const char* name) const {
    auto* button = form->findChild<QPushButton*>(QLatin1String(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

QComboBox* LineMonitorTest::Box(const char* name) const {
    auto* box = form->findChild<QComboBox*>(QLatin1String(name));
    EXPECT_NE(box, nullptr) << name;
    return box;
}

QLineEdit* LineMonitorTest::SendLine() const {
    return form->findChild<QLineEdit*>(QStringLiteral("SendLine"));
}

QSpinBox* LineMonitorTest::MemoryBox() const {
    return form->findChild<QSpinBox*>(QStringLiteral("MemoryBox"));
}

void LineMonitorTest::Click(const char* name) const {
    QTest::mouseClick(Button(name), Qt::LeftButton);
}

void LineMonitorTest::Choose(const char* box, const QString& item) const {
    QComboBox* const combo = Box(box);
    const int index = combo->findText(item);
    ASSERT_GE(index, 0) << box << ": no item " << item.toStdString();
    combo->setCurrentIndex(index);
}

void LineMonitorTest::SendTyped(const std::string& text) const {
    SendLine()->setFocus();
    SendLine()->clear();
    QTest::keyClicks(SendLine(), QString::fromStdString(text));
    QTest::keyClick(SendLine(), Qt::Key_Return);
}

std::string LineMonitorTest::Status() const {
    return form->StatusText().toStdString();
}

bool LineMonitorTest::StatusStartsWith(const std::string& start) const {
    return Status().rfind(start, 0) == 0;
}

bool LineMonitorTest::ServeUntil(const std::function<bool()>& done,
                                 std::chrono::milliseconds within) const {
    return QTest::qWaitFor(done, static_cast<int>(within.count()));
}

Strings LineMonitorTest::ViewLines() const {
    Strings lines;
    for (const QString& line : form->View().toPlainText().split(QLatin1Char('\n'))) {
        lines.push_back(line.toStdString());
    }
    return lines;
}

std::string LineMonitorTest::ShownText(const char* tag) const {
    std::string text;
    for (const std::string& line : ViewLines()) {
        if (line.size() > TrafficFormat::TextColumn &&
            line.compare(TrafficFormat::StampWidth + 1, 2, tag) == 0) {
            text += line.substr(TrafficFormat::TextColumn);
        }
    }
    return text;
}
