// q4471-line-monitor: watches and drives a serial line, e.g. a Q4471's cable. See --help.
#include "LineMonitorForm.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/qt/QtFramework.h>

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

using namespace q4471;

namespace {

constexpr const char* Usage =
    "Usage: q4471-line-monitor [DEVICE]\n"
    "Shows the traffic of a serial line and sends to it. DEVICE (COM1 to COM4, or the path of\n"
    "a device such as /dev/ttyUSB0 or a pseudo-terminal) is opened at once, at 9600 baud 8N1.\n"
    "COMn maps to $Q4471_COMn when set.\n";

} // namespace

int main(int argc, char* argv[]) {
    // Answered before the GUI starts, so that it works without a display.
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--help") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Q4471 Line Monitor"));
    // Qt has taken its own options out of the arguments by now.
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.size() > 1 ||
        (!arguments.isEmpty() && arguments.constFirst().startsWith(QLatin1Char('-')))) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const QtFrameworkBinding binding;
    try {
        TLineMonitorForm form;
        // An error raised while the port delivers (a device that went away) goes where every
        // other error of the port goes: the status line, not a box that stops the stream.
        Application::SetExceptionDisplay(
            [&form](const std::string& message) { form.ShowStatus(message); });
        form.show();
        if (!arguments.isEmpty()) {
            form.OpenPort(arguments.constFirst().toLocal8Bit().toStdString());
        }
        QApplication::exec();
        Application::SetExceptionDisplay(nullptr);
    } catch (...) {
        Application::HandleException();
    }
    return 0;
}
