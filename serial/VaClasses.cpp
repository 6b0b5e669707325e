#include <q4471/serial/VaClasses.h>

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
    StepOrUndo(&TVaPersistent::Changed, undo);
}

void TVaPersistent::EndUpdateOrUndo(const std::function<void()>& undo) {
    StepOrUndo(&TVaPersistent::EndUpdate, undo);
}

void TVaPersistent::StepOrUndo(void (TVaPersistent::*step)(), const std::function<void()>& undo) {
    try {
        (this->*step)();
    } catch (...) {
        undo();
        throw;
    }
}
