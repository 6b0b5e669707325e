#include "app/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int QuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipeWriteEnd = -1;

void OnQuitSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipeWriteEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

TQuitOnSignal::TQuitOnSignal() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the program still works; a signal then ends it the default way
    }
    readEnd_ = SerialPlatform::FileDescriptor(ends[0]);
    writeEnd_ = SerialPlatform::FileDescriptor(ends[1]);
    signalPipeWriteEnd = writeEnd_.Get();
    notifier_ = new QSocketNotifier(readEnd_.Get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : QuitSignals) {
        sigaction(signal, &action, nullptr);
    }
}

TQuitOnSignal::~TQuitOnSignal() {
    if (notifier_ == nullptr) {
        return;
    }
    for (int signal : QuitSignals) {
        std::signal(signal, SIG_DFL);
    }
    signalPipeWriteEnd = -1;
}
