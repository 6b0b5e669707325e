#include "framework/qt/QtFramework.h"

#include "framework/Application.h"
#include "framework/Thread.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

QtFrameworkBinding::QtFrameworkBinding() {
    SetWakeMainThread([] {
        QMetaObject::invokeMethod(
            qApp, [] { CheckSynchronize(); }, Qt::QueuedConnection);
    });
    Application::SetExceptionDisplay([](const std::string& message) {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                              QString::fromLatin1(message.data(), qsizetype(message.size())));
    });
}

QtFrameworkBinding::~QtFrameworkBinding() {
    SetWakeMainThread(nullptr);
    Application::SetExceptionDisplay(nullptr);
}
