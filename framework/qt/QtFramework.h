/// @file
/// The framework binding to Qt.
#pragma once

#include <q4471/framework/Export.h>

namespace q4471 {

/// Binds the framework stand-ins to a running QApplication: calls handed to the GUI thread are run
/// from Qt's event loop, Application::Run runs that loop, and the application's error display is a
/// message box. Unbinds when destroyed, so nothing reaches Qt after the application has gone.
class Q4471_API QtFrameworkBinding {
public:
    /// Binds; make it after the QApplication, on the GUI thread.
    QtFrameworkBinding();
    /// Unbinds; destroy it before the QApplication.
    ~QtFrameworkBinding();
    /// One binding per process; not copyable.
    QtFrameworkBinding(const QtFrameworkBinding&) = delete;
    /// Not copyable.
    QtFrameworkBinding& operator=(const QtFrameworkBinding&) = delete;
};

} // namespace q4471
