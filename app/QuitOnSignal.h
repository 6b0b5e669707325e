#pragma once

#include "serial/LinuxFileDescriptor.h"

#include <QObject>

class QSocketNotifier;

// Ends the event loop cleanly on SIGTERM, SIGINT or SIGHUP (a logout, kill, or Ctrl+C in the
// terminal), so the window closes as if the user had closed it: a running transfer stops and the
// port is closed. The signal handler only writes to a pipe; Qt's loop does the rest.
class TQuitOnSignal : public QObject {
public:
    TQuitOnSignal();
    ~TQuitOnSignal() override;

private:
    SerialPlatform::FileDescriptor readEnd_;
    SerialPlatform::FileDescriptor writeEnd_;
    QSocketNotifier* notifier_ = nullptr;
};
