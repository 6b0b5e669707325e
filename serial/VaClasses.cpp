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
