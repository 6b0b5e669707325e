#include "serial/VaCommHandle.h"

using namespace q4471;
using namespace SerialPlatform;

TVaCommHandle::TUse::TUse(TVaCommHandle& owner) : owner_(owner) {
    const TLockGuard lock(owner_.mutex_);
    handle_ = owner_.closing_ ? INVALID_HANDLE_VALUE : owner_.handle_;
    if (Valid()) {
        ++owner_.borrowers_;
    }
}

TVaCommHandle::TUse::~TUse() {
    if (!Valid()) {
        return;
    }
    const TLockGuard lock(owner_.mutex_);
    if (--owner_.borrowers_ == 0) {
        owner_.returned_.notify_all();
    }
}

bool TVaCommHandle::Valid() const {
    return Get() != INVALID_HANDLE_VALUE;
}

THandle TVaCommHandle::Get() const {
    const TLockGuard lock(mutex_);
    return handle_;
}

void TVaCommHandle::Attach(THandle handle) {
    const TLockGuard lock(mutex_);
    handle_ = handle;
    closing_ = false;
}

bool TVaCommHandle::BeginClose() {
    const TLockGuard lock(mutex_);
    if (handle_ == INVALID_HANDLE_VALUE || closing_) {
        return false;
    }
    closing_ = true;
    return true;
}

THandle TVaCommHandle::Detach() {
    TUniqueLock lock(mutex_);
    closing_ = true;
    lock.Wait(returned_, [&]() Q4471_REQUIRES(mutex_) { return borrowers_ == 0; });
    const THandle handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    closing_ = false;
    return handle;
}
