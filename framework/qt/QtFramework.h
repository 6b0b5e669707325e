#pragma once

class QWidget;

// Binds the framework stand-ins to a running QApplication: calls handed to the GUI thread are run
// from Qt's event loop, Application::Run runs that loop, and the application's error display is a
// message box. Unbinds when
// destroyed, so nothing reaches Qt after the application has gone.
class QtFrameworkBinding {
public:
    QtFrameworkBinding();
    ~QtFrameworkBinding();
    QtFrameworkBinding(const QtFrameworkBinding&) = delete;
    QtFrameworkBinding& operator=(const QtFrameworkBinding&) = delete;
};
