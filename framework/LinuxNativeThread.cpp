#include "framework/NativeThread.h"

#include <sys/resource.h>
#include <unistd.h>

namespace q4471 {

namespace {

int NiceOf(TThreadPriority priority) {
    static const int nice[] = {19, 10, 5, 0, -5, -10, -15};
    return nice[priority];
}

} // namespace

int CurrentNativeThreadId() {
    return static_cast<int>(gettid());
}

void SetNativeThreadPriority(int nativeId, TThreadPriority priority) {
    setpriority(PRIO_PROCESS, static_cast<id_t>(nativeId), NiceOf(priority));
}

} // namespace q4471
