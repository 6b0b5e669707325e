#pragma once

#include "serial/platform/CommPlatform.h"

#include <q4471/framework/Locks.h>

#include <condition_variable>

// The open device's handle and the calls using it. Each call borrows the handle and gives it
// back; closing first refuses new borrowers, then waits until the last one has given the handle
// back, so no call ever reaches a closed handle or one that the system has reused.
//
// Its mutex is a leaf of the port's lock order (serial/VaComm.h), held only for a few
// instructions. Closing waits on the condition with no other lock held; a borrower never waits
// for a closer, and a direct write waiting for room is cancelled before the wait.
class TVaCommHandle {
public:
    // One borrowing: Valid() tells whether the handle was lent; given back when destroyed.
    class TUse {
    public:
        explicit TUse(TVaCommHandle& owner);
        ~TUse();
        TUse(const TUse&) = delete;
        TUse& operator=(const TUse&) = delete;

        bool Valid() const { return handle_ != SerialPlatform::INVALID_HANDLE_VALUE; }
        SerialPlatform::THandle Get() const { return handle_; }

    private:
        TVaCommHandle& owner_;
        SerialPlatform::THandle handle_;
    };

    // Valid from Attach until Detach, closing included.
    bool Valid() const;
    // The handle as it is (INVALID_HANDLE_VALUE when there is none), for the port's own threads,
    // which are stopped before their port closes.
    SerialPlatform::THandle Get() const;

    void Attach(SerialPlatform::THandle handle);
    // Refuses new borrowers. Answers true for the one caller that turned an open handle to
    // closing, false when there is none or another caller is closing it.
    bool BeginClose();
    // Waits until every borrower has given the handle back, then answers it and holds none.
    SerialPlatform::THandle Detach();

private:
    mutable q4471::TMutex mutex_;
    std::condition_variable returned_;
    SerialPlatform::THandle handle_ Q4471_GUARDED_BY(mutex_) = SerialPlatform::INVALID_HANDLE_VALUE;
    bool closing_ Q4471_GUARDED_BY(mutex_) = false;
    int borrowers_ Q4471_GUARDED_BY(mutex_) = 0;
};
