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
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                        QString::fromLatin1(message.data(), qsizetype(message.size())),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText); // a message quotes file or radio text, never markup
        box.exec();
    });
}

QtFrameworkBinding::~QtFrameworkBinding() {
    SetWakeMainThread(nullptr);
    Application::SetExceptionDisplay(nullptr);
}
