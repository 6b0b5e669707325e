#include <q4471/framework/Application.h>
#include <q4471/framework/Thread.h>
#include <q4471/framework/qt/QtFramework.h>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>

namespace q4471 {

namespace {

void ShowErrorBox(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QString::fromLatin1(message.data(), qsizetype(message.size())), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText); // a message quotes file or radio text, never markup
    box.exec();
}

} // namespace

QtFrameworkBinding::QtFrameworkBinding() {
    SetWakeMainThread([] {
        QMetaObject::invokeMethod(
            qApp, [] { CheckSynchronize(); }, Qt::QueuedConnection);
    });
    Application::SetMessagePump([](int timeoutMs) {
        // A nested loop that the timer ends: the window repaints and takes input meanwhile.
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    });
    Application::SetMainLoop([] { QApplication::exec(); },
                             [] {
                                 // Queued: safe from any thread, and kept for a loop that has
                                 // not started yet; one that comes after its Run has returned
                                 // leaves the next Run alone.
                                 QMetaObject::invokeMethod(
                                     qApp,
                                     [] {
                                         if (Application::Terminated()) {
                                             QCoreApplication::quit();
                                         }
                                     },
                                     Qt::QueuedConnection);
                             });
    Application::SetExceptionDisplay([](const std::string& message) {
        if (IsMainThread()) {
            ShowErrorBox(message);
        } else {
            // A port whose handlers run on its own threads: the box is a widget, shown later on
            // the GUI thread, and the port's thread does not wait for the user.
            QMetaObject::invokeMethod(
                qApp, [message] { ShowErrorBox(message); }, Qt::QueuedConnection);
        }
    });
}

QtFrameworkBinding::~QtFrameworkBinding() {
    SetWakeMainThread(nullptr);
    Application::SetMessagePump(nullptr);
    Application::SetMainLoop(nullptr, nullptr);
    Application::SetExceptionDisplay(nullptr);
}

} // namespace q4471
