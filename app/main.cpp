#include "app/TForm1.h"

#include <q4471/framework/Application.h>
#include <q4471/framework/qt/QtFramework.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

using namespace q4471;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Q4471 Memories Editor"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.q4471.MemoriesEditor"));
    QCommandLineParser arguments;
    arguments.setApplicationDescription(QStringLiteral("Edits the 100 memories of a Q4471 radio."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A memory file, or a CSV file of other radio programs, to open at start."),
        QStringLiteral("[FILE]"));
    arguments.process(application);
    if (arguments.positionalArguments().size() > 1) {
        arguments.showHelp(2);
    }
    const QtFrameworkBinding binding;
    try {
        TForm1 form;
        form.show();
        if (!arguments.positionalArguments().isEmpty()) {
            // Once the window is up, so that a message about the file shows above it.
            QTimer::singleShot(0, &form, [&form, &arguments] {
                form.OpenFile(arguments.positionalArguments().constFirst());
            });
        }
        // Qt's loop, which SIGTERM, SIGINT and SIGHUP end as closing the window would: a running
        // transfer stops and the port is closed.
        Application::Run();
    } catch (...) {
        Application::HandleException();
    }
    return 0;
}
