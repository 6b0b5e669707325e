#include "serial/VaClasses.h"

void TVaPersistent::Changed() {
    if (updateCount_ == 0 && onChange_) {
        onChange_(this);
    }
}

void TVaPersistent::EndUpdate() {
    if (updateCount_ > 0) {
        --updateCount_;
    }
    Changed();
}

void TVaPersistent::ChangedOrUndo(const std::function<void()>& undo) {
    try {
        Changed();
    } catch (...) {
        undo();
        throw;
    }
}

void TVaPersistent::EndUpdateOrUndo(const std::function<void()>& undo) {
    try {
        EndUpdate();
    } catch (...) {
        undo();
        throw;
    }
}
