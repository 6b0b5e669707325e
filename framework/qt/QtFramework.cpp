#include "framework/qt/QtFramework.h"

#include "framework/Application.h"
#include "framework/Thread.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>

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
    Application::SetExceptionDisplay([](const std::string& message) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                        QString::fromLatin1(message.data(), qsizetype(message.size())),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText); // a message quotes file or radio text, never markup
        box.exec();
    });
}

QtFrameworkBinding::~QtFrameworkBinding() {
    SetWakeMainThread(nullptr);
    Application::SetMessagePump(nullptr);
    Application::SetExceptionDisplay(nullptr);
}
