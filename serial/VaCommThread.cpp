#include "serial/VaCommThread.h"

#include <utility>

void TVaCommThread::Release(TVaCommThread* thread) {
    if (thread == nullptr) {
        return;
    }
    if (thread->handOver_.Withdraw()) {
        // Held until the call up our stack returns; after it, the thread sees its stop request.
        thread->LetGoOfDevice();
        thread->SetFreeOnTerminate(true);
        return;
    }
    thread->WaitFor();
    delete thread;
}

void TVaCommThread::Deliver(const std::function<void()>& call) {
    if (!Terminated()) {
        handOver_.Run(call);
    }
}

void TVaCommThread::Post(std::function<void()> call) {
    if (!Terminated()) {
        handOver_.Post(std::move(call));
    }
}

void TVaCommThread::Execute() {
    Serve();
    handOver_.WaitIdle();
}
