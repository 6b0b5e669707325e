#include "app/QuitOnSignal.h"
#include "app/TForm1.h"
#include "framework/Application.h"
#include "framework/qt/QtFramework.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Q4471 Memories Editor"));
    const QtFrameworkBinding binding;
    const TQuitOnSignal quitOnSignal;
    try {
        TForm1 form;
        form.show();
        QApplication::exec();
    } catch (...) {
        Application::HandleException();
    }
    return 0;
}
